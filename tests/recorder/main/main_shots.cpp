// Shots of zarvo-bot's main window: a nested tree with selection and
// hover, a play running, the context and tray menus, every dialog and
// message box of the main window.
#include <cstdio>
#include <functional>

#include "recorder_driver.h"
#include "shots.h"
#include "target_driver.h"

using namespace zv::test;

namespace {

int g_failures;

void check(bool ok, const char* what) {
    if (!ok) {
        std::printf("FAILED %s\n", what);
        ++g_failures;
    }
}

POINT row_point(const Recorder& r, int row, int x = 200) {
    POINT p = {x, row * 65 + 20};
    ClientToScreen(r.list, &p);
    return p;
}

// Saves a popup menu opened by `open` together with the main window.
void menu_shot(const Recorder& r, const std::function<void()>& open, const char* name) {
    open();
    HWND menu = nullptr;
    eventually([&] { return (menu = FindWindowW(L"#32768", nullptr)) != nullptr && IsWindowVisible(menu); }, 5000);
    check(menu && zv::shots::save_area(r.main, zv::shots::around({r.main, menu}), name), name);
    keybd_event(VK_ESCAPE, 0, 0, 0);
    keybd_event(VK_ESCAPE, 0, KEYEVENTF_KEYUP, 0);
    eventually([&] { return !IsWindowVisible(menu); }, 5000);
}

// Opens a dialog by a command, saves it over the main window, closes it.
HWND dialog_shot(const Recorder& r, int command, const wchar_t* caption, const char* name, bool close = true) {
    r.command(command);
    HWND d = r.dialog(caption, 10000);
    check(d && zv::shots::save_area(d, zv::shots::around({r.main, d}), name), name);
    if (d && close) press(d, IDCANCEL);
    return d;
}

}  // namespace

int main() {
    UserFolder folder("zarvo-bot-shots", true);
    folder.put("毎日の作業/売上レポート/集計.zv", "");
    folder.put("毎日の作業/売上レポート/メール送信.ksc", "#import(\"DESKOPS\")\r\n");
    folder.put("毎日の作業/勤怠入力.zv", "");
    folder.put("顧客リストの更新.ksc", "sleep(60000)\r\n");
    folder.put("顧客リストの更新.ksc.ini", "[HOTKEY]\r\nmodifiers=2\r\nvirtkey=75\r\n");
    folder.put("請求書の発行.zv", "");
    folder.put("請求書の発行.zv.ini", "[OPTION]\r\nloop_count=3\r\n");
    folder.put("週次バックアップ.ksc", "");

    Recorder r(folder);
    check(r.started(), "start");
    if (!r.started()) return 1;
    SetForegroundWindow(r.main);
    SetWindowPos(r.main, nullptr, 40, 40, 600, 660, SWP_NOZORDER);

    // Rows: 0 毎日の作業 (group), 1 勤怠入力, 2 売上レポート (group), 3 メール送信 (script),
    // 4 集計, 5 請求書の発行 (repeated 3 times), 6 週次バックアップ (script),
    // 7 顧客リストの更新 (script with a call key).
    r.select_row(3);
    POINT hover = row_point(r, 7);
    SetCursorPos(hover.x, hover.y);
    ScreenToClient(r.list, &hover);
    PostMessageW(r.list, WM_MOUSEMOVE, 0, MAKELPARAM(hover.x, hover.y));
    check(zv::shots::save(r.main, "main_tree_selection_hover"), "main_tree_selection_hover");

    POINT at = row_point(r, 3);
    SetCursorPos(at.x, at.y);
    menu_shot(r, [&] { PostMessageW(r.main, 1225, 0, 0); }, "main_context_menu");
    menu_shot(r, [&] { PostMessageW(r.main, 1126, 1, WM_RBUTTONDOWN); }, "main_tray_menu");

    r.select_row(0);
    dialog_shot(r, 40012, L"グループの編集", "dialog_group");
    dialog_shot(r, 40001, L"新しいグループの作成", "dialog_new_group");
    dialog_shot(r, 40002, L"新しいスクリプトの作成", "dialog_new_script");
    r.select_row(5);
    dialog_shot(r, 40011, L"繰り返し再生", "dialog_repeat_play");
    dialog_shot(r, 40015, L"呼び出しキーの設定", "dialog_call_key");
    dialog_shot(r, 40040, L"zarvo-bot - 簡単な使い方", "dialog_tutorial");
    dialog_shot(r, 40016, L"削除", "message_delete");
    dialog_shot(r, 40019, L"スクリプトに変換", "message_convert");
    HWND rename = dialog_shot(r, 40013, L"名前の変更", "dialog_rename", false);
    if (rename) {
        SetDlgItemTextW(rename, 1024, L"請求書/発行");
        PostMessageW(rename, WM_COMMAND, IDOK, 0);
        HWND refused = nullptr;
        eventually([&] {
            refused = r.dialog(L"名前の変更", 100);
            return refused && refused != rename;
        });
        check(refused && zv::shots::save_area(refused, zv::shots::around({r.main, refused}), "message_name_refused"),
              "message_name_refused");
        if (refused) press(refused, IDOK);
        press(rename, IDCANCEL);
    }
    r.select_row(5);
    // Its operation file is gone: no script, message 1012.
    std::filesystem::remove(folder.data() / std::filesystem::u8path("請求書の発行.zv"));
    r.command(40010);
    HWND failed = r.dialog(L"エラー", 10000);
    check(failed && zv::shots::save_area(failed, zv::shots::around({r.main, failed}), "message_play_failed"),
          "message_play_failed");
    if (failed) press(failed, IDOK);

    r.select_row(7);
    r.command(40010);
    check(eventually([&] { return title_of(r.main) == L"再生中..."; }, 10000), "playing title");
    POINT play = row_point(r, 7, 600 - 48 - 10 - 48 - 10 - 20 + 24);
    ScreenToClient(r.list, &play);
    PostMessageW(r.list, WM_MOUSEMOVE, 0, MAKELPARAM(play.x, play.y));
    check(zv::shots::save(r.main, "main_playing"), "main_playing");
    r.command(40010);  // stop
    eventually([&] { return title_of(r.main) != L"再生中..."; }, 10000);

    {
        Recorder second(folder, L"/n 存在しないシナリオ");
        HWND missing = r.dialog(L"zarvo-bot", 10000);
        check(missing && zv::shots::save_area(missing, zv::shots::around({r.main, missing}), "message_not_found"),
              "message_not_found");
        if (missing) press(missing, IDOK);
    }
    return g_failures ? 1 : 0;
}
