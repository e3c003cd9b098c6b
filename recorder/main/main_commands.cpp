// The main window's command table: the store's commands, the launches, and
// the program's own (play log, tutorial, manual, closing).
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <shellapi.h>

#include "dialogs.h"
#include "ids.h"
#include "main_window.h"
#include "message_box.h"
#include "recording_window.h"
#include "statistics_report.h"
#include "strings.h"

namespace zvb {

bool store_command(MainWindow* w, int id);
bool launch_command(MainWindow* w, int id);

namespace {

constexpr wchar_t kHomePage[] = L"https://zarvo-bot.example/";

void toggle_play_log(MainWindow* w) {
    w->settings.enable_log = !w->settings.enable_log;
    w->apply_log_setting();
    w->save_settings();
    w->refresh_menu();
    if (w->settings.enable_log)
        zv::ui::message_box(w->window, zv::ui::format_string(IDS_LOG_FOLDER, w->log.folder().c_str()), L"zarvo-bot",
                            MB_OK | MB_ICONINFORMATION);
}

void open_manual(MainWindow* w) {
    std::wstring manual = w->folders.program + L"zarvo-bot_manual.pdf";
    if (reinterpret_cast<INT_PTR>(ShellExecuteW(w->window, L"open", manual.c_str(), nullptr, nullptr, SW_SHOWNORMAL)) <=
        32)
        zv::ui::message_box(w->window, IDS_MANUAL_FAILED, IDS_ERROR, MB_OK | MB_ICONERROR);
}

void exit_program(MainWindow* w) {
    if (w->convert_process) {
        zv::ui::message_box(w->window, IDS_CLOSE_SCRIPT_EDITOR, L"zarvo-bot", MB_OK | MB_ICONERROR);
        return;
    }
    shut_down(w);
}

}  // namespace

void on_command(MainWindow* w, int id) {
    if (recording_command(w, id) || store_command(w, id) || launch_command(w, id)) return;
    switch (id) {
    case ID_PLAY_LOG: toggle_play_log(w); break;
    case ID_REC_MOUSE_MOVE:
        w->settings.rec_mouse_move = !w->settings.rec_mouse_move;
        w->save_settings();
        w->refresh_menu();
        break;
    case ID_CLOSE: SendMessageW(w->window, WM_CLOSE, 0, 0); break;
    case ID_EXIT: exit_program(w); break;
    case ID_SHOW:
        ShowWindow(w->window, IsIconic(w->window) ? SW_RESTORE : SW_SHOW);
        SetForegroundWindow(w->window);
        break;
    case ID_TUTORIAL:
        show_tutorial(w->window, &w->settings);
        w->save_settings();
        break;
    case ID_MANUAL: open_manual(w); break;
    case ID_STATISTICS: show_statistics(w); break;
    case ID_HOME_PAGE: ShellExecuteW(w->window, L"open", kHomePage, nullptr, nullptr, SW_SHOWNORMAL); break;
    default: break;
    }
}

}  // namespace zvb
