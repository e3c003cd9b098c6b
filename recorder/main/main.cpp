// zarvo-bot.exe: one instance per desktop. A second start hands its command
// line to the first one and ends.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <commctrl.h>

#include "command_line.h"
#include "dpi.h"
#include "main_window.h"
#include "message_box.h"
#include "startup.h"
#include "strings.h"

namespace {

constexpr wchar_t kMutexName[] = L"_zarvo-bot_mutex_";
constexpr wchar_t kInstanceProperty[] = L"zarvo-bot_instance";

// The first instance's main window (zvb_cmd owns windows of the same class
// for its plays; they lack the property). It may still be starting.
HWND find_first_instance() {
    for (int i = 0; i < 100; ++i) {
        for (HWND w = FindWindowExW(nullptr, nullptr, L"zarvo-bot_main", nullptr); w;
             w = FindWindowExW(nullptr, w, L"zarvo-bot_main", nullptr))
            if (GetPropW(w, kInstanceProperty)) return w;
        Sleep(50);
    }
    return nullptr;
}

void hand_over(const std::wstring& arguments) {
    HWND first = find_first_instance();
    if (!first) return;
    if (arguments.empty()) {
        ShowWindow(first, IsIconic(first) ? SW_RESTORE : SW_SHOW);
        SetForegroundWindow(first);
        return;
    }
    SetForegroundWindow(first);
    COPYDATASTRUCT cd = {0, DWORD((arguments.size() + 1) * sizeof(wchar_t)), const_cast<wchar_t*>(arguments.c_str())};
    DWORD_PTR ignored;
    SendMessageTimeoutW(first, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&cd), SMTO_NORMAL, 30000, &ignored);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE module, HINSTANCE, PWSTR, int show) {
    std::wstring arguments = zvb::arguments_of(GetCommandLineW());
    HANDLE mutex = CreateMutexW(nullptr, TRUE, kMutexName);
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        hand_over(arguments);
        if (mutex) CloseHandle(mutex);
        return 0;
    }
    zv::ui::dpi_setup();
    static zvb::MainWindow w;
    w.module = module;
    w.command_line = arguments;
    zvb::setup_folders(&w.folders);
    if (!w.folders.settings_file.empty()) zvb::read_settings(w.folders.settings_file, &w.settings);
    w.apply_log_setting();

    zv::ui::init_common_controls(ICC_WIN95_CLASSES | ICC_HOTKEY_CLASS | ICC_STANDARD_CLASSES);
    ULONG_PTR gdiplus = zv::ui::gdiplus_start();
    int rc = 0;
    if (!zvb::register_main_classes(module) || !zvb::create_main_window(&w, show)) {
        zv::ui::message_box(nullptr, zv::ui::system_error_text(GetLastError()), L"zarvo-bot", MB_OK | MB_ICONERROR);
        rc = 1;
    } else {
        SetPropW(w.window, kInstanceProperty, reinterpret_cast<HANDLE>(1));
        rc = zvb::run_message_loop(&w);
    }
    zv::ui::gdiplus_stop(gdiplus);
    if (mutex) {
        ReleaseMutex(mutex);
        CloseHandle(mutex);
    }
    return rc;
}
