// Shots of the shared layer: a message box with a Japanese text and
// caption, which shows whether the prefix renders Japanese at all.
#include <thread>

#include "message_box.h"
#include "shots.h"

int main() {
    std::thread box([] { zv::ui::message_box(nullptr, L"日本語の表示を確認します。\n\nABC abc 123", L"zarvo-bot", MB_OK | MB_ICONINFORMATION); });
    HWND w = nullptr;
    for (int i = 0; i < 500 && !w; ++i, Sleep(10)) w = FindWindowW(L"#32770", L"zarvo-bot");
    int rc = w && zv::shots::save(w, "ui_message_box") ? 0 : 1;
    if (w) PostMessageW(w, WM_CLOSE, 0, 0);
    box.join();
    return rc;
}
