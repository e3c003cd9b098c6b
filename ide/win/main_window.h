// The main window of zvs, class "KSCEditMainWndClass": toolbar, editor,
// variable view and console with their splitters, menus, files, settings,
// and the run of the edited script on a worker thread.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <commdlg.h>

#include <memory>
#include <string>

#include "run_control.h"
#include "settings.h"

namespace zvs {

constexpr const wchar_t* kMainClass = L"KSCEditMainWndClass";
constexpr const wchar_t* kCaption = L"zarvo-bot Script";

// Messages of the main window to itself, sent by the run's worker.
constexpr UINT kRunFetch = WM_APP + 200;     // lParam RunFetch*: the script to run
constexpr UINT kRunMenus = WM_APP + 201;     // running state changed
constexpr UINT kRunFinished = WM_APP + 202;  // the worker is about to end
constexpr UINT kRunAllocError = WM_APP + 203;
constexpr UINT kRunDirectory = WM_APP + 204;  // lParam const wchar_t*: make it current

struct RunFetch {
    std::u16string* text;
    std::u16string* path;
    bool ok;
};

struct MainWindow {
    HINSTANCE module = nullptr;
    HWND wnd = nullptr, toolbar = nullptr, editor = nullptr, vars = nullptr, console = nullptr;
    HACCEL accelerators = nullptr;
    std::wstring path;           // the current file, empty for a new script
    std::wstring open_argument;  // the command line's path, opened at start-up
    std::wstring settings_path;
    Settings settings;
    HFONT font = nullptr;
    std::unique_ptr<RunControl> run;
    HANDLE worker = nullptr;
    bool stopping = false;  // a second Stop waits for the worker
    std::u16string status_texts[4];  // strings 13-16, loaded on the window thread
    HWND find_dialog = nullptr;
    FINDREPLACEW find = {};
    wchar_t find_text[256] = L"";
    UINT find_message = 0;
    HWND focus = nullptr;  // the child that had the focus when the window was left
    int drag = 0;          // splitter being dragged: 1 vertical, 2 horizontal
};

bool register_main_class(HINSTANCE module);
HWND create_main_window(MainWindow* w, int show);
// The message loop: the find dialog first, then the accelerators.
int run_message_loop(MainWindow* w);

// ---- main_commands.cpp ----
void on_command(MainWindow* w, WORD id);
void update_menus(MainWindow* w);
void update_edit_menu(MainWindow* w);
void set_title(MainWindow* w);
bool open_file(MainWindow* w, const std::wstring& path);
// Asks to save a changed text; false when the action is to be cancelled.
bool ask_to_save(MainWindow* w);
void on_find_message(MainWindow* w, const FINDREPLACEW* fr);
void apply_font(MainWindow* w);
void show_tutorial_prompt(MainWindow* w);

// ---- run_link.cpp ----
void create_run_control(MainWindow* w);
// Starts the worker unless one exists.
void start_worker(MainWindow* w);
// The second Stop: ends the run at once (the worker within a grace time,
// else outright).
void kill_worker(MainWindow* w);
void worker_finished(MainWindow* w);

}  // namespace zvs
