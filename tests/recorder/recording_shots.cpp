// Shots of recording: the always-on-top bar while recording and paused,
// with its menu open, each insert dialog, the save dialog and the messages
// of a recording that went wrong.
#include <cstdio>

#include "recorder_driver.h"
#include "shots.h"
#include "target_driver.h"

using namespace zv::test;

namespace {

enum { kRecord = 40020, kPause = 40021, kStop = 40022, kLaunch = 40023, kText = 40024, kInput = 40025,
       kDateTime = 40026 };

int g_failures;

void check(bool ok, const char* what) {
    if (!ok) {
        std::printf("FAILED %s\n", what);
        ++g_failures;
    }
}

void shot(const Recorder& r, HWND w, const char* name) {
    check(w && zv::shots::save_area(w, zv::shots::around({r.main, w}), name), name);
}

}  // namespace

int main() {
    UserFolder folder("zarvo-bot-recording-shots", false, "main_left=200\r\n");
    folder.put("毎日の作業.zv", "");
    Recorder r(folder);
    check(r.started(), "start");
    if (!r.started()) return 1;
    SetForegroundWindow(r.main);
    check(zv::shots::save(r.main, "recording_idle"), "recording_idle");

    r.command(kRecord);
    check(eventually([&] { return title_of(r.main) == L"記録中..."; }, 10000), "recording title");
    check(zv::shots::save(r.main, "recording_bar"), "recording_bar");
    PostMessageW(r.main, WM_SYSCOMMAND, SC_KEYMENU, 'r');  // Alt+R opens the recording menu
    HWND menu = nullptr;
    eventually([&] { return (menu = FindWindowW(L"#32768", nullptr)) != nullptr && IsWindowVisible(menu); }, 5000);
    check(menu && zv::shots::save_area(r.main, zv::shots::around({r.main, menu}), "recording_menu"), "recording_menu");
    PostMessageW(r.main, WM_CANCELMODE, 0, 0);
    eventually([&] { return !menu || !IsWindowVisible(menu); }, 5000);

    const struct {
        int command;
        const wchar_t* caption;
        const char* name;
    } dialogs[] = {
        {kLaunch, L"アプリケーション起動", "recording_insert_launch"},
        {kText, L"テキストをクリップボードにセット", "recording_insert_text"},
        {kInput, L"入力してクリップボードにセット", "recording_insert_input"},
        {kDateTime, L"現在日時をクリップボードにセット", "recording_insert_date_time"},
    };
    for (const auto& d : dialogs) {
        r.command(d.command);
        HWND dialog = r.dialog(d.caption, 10000);
        if (dialog && d.command == kText) SetDlgItemTextW(dialog, 1018, L"請求書番号\r\nINV-2024-0815");
        shot(r, dialog, d.name);
        if (dialog && d.command == kLaunch) {
            // A program that does not exist: the system's text, the dialog stays.
            SetDlgItemTextW(dialog, 1014, L"C:\\ない\\請求書.exe");
            PostMessageW(dialog, WM_COMMAND, IDOK, 0);
            HWND error = nullptr;
            eventually([&] { return (error = r.dialog(L"エラー", 100)) != nullptr; }, 10000);
            shot(r, error, "recording_insert_launch_failed");
            if (error) press(error, IDOK);
        }
        if (dialog) press(dialog, IDCANCEL);
    }

    r.command(kPause);
    check(eventually([&] { return title_of(r.main) == L"一時停止"; }, 10000), "paused title");
    check(zv::shots::save(r.main, "recording_paused"), "recording_paused");
    r.command(kRecord);
    check(eventually([&] { return title_of(r.main) == L"記録中..."; }, 10000), "resumed title");

    // Something to save: an insert is an operation of its own.
    r.command(kDateTime);
    if (HWND dialog = r.dialog(L"現在日時をクリップボードにセット", 10000)) press(dialog, IDOK);
    r.command(kStop);
    HWND save = r.dialog(L"シナリオの保存", 10000);
    shot(r, save, "recording_save");
    if (save) {
        SetDlgItemTextW(save, 1024, L"毎日の作業");  // taken: refused
        PostMessageW(save, WM_COMMAND, IDOK, 0);
        HWND refused = nullptr;
        eventually([&] { return (refused = r.dialog(L"シナリオの保存", 100)) && refused != save; }, 10000);
        shot(r, refused, "recording_save_refused");
        if (refused) press(refused, IDOK);
        press(save, IDCANCEL);
    }
    check(eventually([&] { return title_of(r.main).rfind(L"zarvo-bot Ver", 0) == 0; }, 10000), "normal title");
    check(zv::shots::save(r.main, "recording_done"), "recording_done");

    // A temporary folder that cannot be written: recording does not start.
    r.command(40008);  // exit
    r.wait();
    SetEnvironmentVariableW(L"TMP", L"C:\\zarvo-bot-missing-folder");
    SetEnvironmentVariableW(L"TEMP", L"C:\\zarvo-bot-missing-folder");
    Recorder broken(folder);
    if (broken.started()) {
        SetForegroundWindow(broken.main);
        broken.command(kRecord);
        HWND error = broken.dialog(L"エラー", 10000);
        shot(broken, error, "recording_not_started");
        if (error) press(error, IDOK);
    }
    return g_failures ? 1 : 0;
}
