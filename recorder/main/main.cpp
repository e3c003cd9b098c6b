// zarvo-bot.exe: one instance per desktop. A second start hands its command
// line to the first one and ends.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <commctrl.h>

#include "command_line.h"
#include "dpi.h"
#include "hand_over.h"
#include "main_window.h"
#include "message_box.h"
#include "startup.h"
#include "strings.h"

namespace {

constexpr wchar_t kMutexName[] = L"_zarvo-bot_mutex_";

void hand_over(const std::wstring& arguments) {
    // The first instance may still be starting.
    HWND first = zvb::find_instance(L"", 5000);
    if (!first) return;
    if (arguments.empty()) {
        ShowWindow(first, IsIconic(first) ? SW_RESTORE : SW_SHOW);
        SetForegroundWindow(first);
        return;
    }
    SetForegroundWindow(first);
    zvb::send_copy_data(first, zvb::kCopyCommandLine, arguments.c_str(), (arguments.size() + 1) * sizeof(wchar_t));
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
        SetPropW(w.window, zvb::kInstanceProperty, reinterpret_cast<HANDLE>(1));
        rc = zvb::run_message_loop(&w);
    }
    zv::ui::gdiplus_stop(gdiplus);
    if (mutex) {
        ReleaseMutex(mutex);
        CloseHandle(mutex);
    }
    return rc;
}
