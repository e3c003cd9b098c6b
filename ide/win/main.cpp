// zvs.exe: the script editor and runner. `zvs <script path>` opens the
// script (it runs only on the user's command).
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <commctrl.h>

#include "dpi.h"
#include "main_window.h"
#include "message_box.h"
#include "startup.h"
#include "strings.h"

namespace {

// The whole argument string is one path; a quoted one ends at the next quote.
std::wstring script_argument(const wchar_t* command_line) {
    const wchar_t* p = command_line;
    if (*p == L'"') {
        for (++p; *p && *p != L'"'; ++p) {
        }
        if (*p) ++p;
    } else {
        while (*p && *p != L' ' && *p != L'\t') ++p;
    }
    while (*p == L' ' || *p == L'\t') ++p;
    if (*p == L'"') {
        const wchar_t* end = wcschr(p + 1, L'"');
        return end ? std::wstring(p + 1, end) : std::wstring(p + 1);
    }
    std::wstring path(p);
    while (!path.empty() && (path.back() == L' ' || path.back() == L'\t')) path.pop_back();
    return path;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE module, HINSTANCE, PWSTR, int show) {
    zv::ui::dpi_setup();
    zv::ui::init_common_controls(ICC_WIN95_CLASSES | ICC_BAR_CLASSES);
    static zvs::MainWindow w;
    w.module = module;
    w.open_argument = script_argument(GetCommandLineW());
    w.settings_path = zvs::settings_file();
    zvs::read_settings(w.settings_path, &w.settings);
    if (!zvs::register_main_class(module) || !zvs::create_main_window(&w, show)) {
        zv::ui::message_box(nullptr, zv::ui::system_error_text(GetLastError()), zvs::kCaption, MB_OK | MB_ICONERROR);
        return 1;
    }
    return zvs::run_message_loop(&w);
}
