// zv_target: a small window that desktop-driving tests aim at. It logs what
// it receives, one UTF-8 line at a time, to the file named by --log:
//
//   ready main=H edit=H button=H check=H pad=H   windows created (handles)
//   keydown|keyup|syskeydown|syskeyup CTRL vk=N scan=S ext=E mods=M
//                                                 S scan code, E extended flag (0/1),
//                                                 M: none or ctrl+shift+alt
//   char|ime_char CTRL code=N                     N: the UTF-16 unit
//   lbuttondown|lbuttonup|rbutton..|mbutton..|dblclk CTRL x=X y=Y   client coordinates
//   wheel CTRL delta=D
//   focus CTRL                                    CTRL got the keyboard focus
//   clicked button count=N                        the count button was pressed
//   app wparam=W lparam=L                         kAppEcho (answers W * 1000 + L)
//   hang N / hang done                            kAppHang: unresponsive for N ms
//
// CTRL is main, edit, button, check or pad (child ids 101 to 104). Options:
// --class NAME (default "zv_test_target"), --title TEXT (default
// "zv test target"), --log PATH, --lifetime MS (default 120000: the target
// closes itself even if a test never does).
//
// Private messages: kAppHang (WM_APP + 1, wparam = ms) makes the window
// thread sleep; it returns early when the event "zv_target_release_<pid>" is
// set. kAppEcho (WM_APP + 2) logs and answers its parameters.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#include <shellapi.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>

namespace {

constexpr UINT kAppHang = WM_APP + 1;
constexpr UINT kAppEcho = WM_APP + 2;
constexpr UINT_PTR kLifetimeTimer = 1;
enum ControlId { kEdit = 101, kButton = 102, kCheck = 103, kPad = 104 };

HANDLE g_log = INVALID_HANDLE_VALUE;
HANDLE g_release;
HWND g_main, g_edit, g_button, g_check, g_pad;
WNDPROC g_edit_proc, g_button_proc, g_check_proc;
int g_clicks;

void log_line(const char* format, ...) {
    char line[512];
    va_list list;
    va_start(list, format);
    int n = vsnprintf(line, sizeof line - 2, format, list);
    va_end(list);
    if (n < 0 || g_log == INVALID_HANDLE_VALUE) return;
    if (n > int(sizeof line) - 3) n = int(sizeof line) - 3;
    line[n++] = '\n';
    DWORD written;
    // One write per line: a reader never sees half a line.
    WriteFile(g_log, line, DWORD(n), &written, nullptr);
}

const char* control_name(HWND w) {
    if (w == g_edit) return "edit";
    if (w == g_button) return "button";
    if (w == g_check) return "check";
    if (w == g_pad) return "pad";
    return "main";
}

std::string modifiers() {
    std::string m;
    if (GetKeyState(VK_CONTROL) < 0) m += "ctrl+";
    if (GetKeyState(VK_SHIFT) < 0) m += "shift+";
    if (GetKeyState(VK_MENU) < 0) m += "alt+";
    if (m.empty()) return "none";
    m.pop_back();
    return m;
}

// Logs the input messages of any of the target's windows.
void log_input(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
    const char* name = control_name(w);
    const char* what = nullptr;
    switch (msg) {
    case WM_KEYDOWN: what = "keydown"; break;
    case WM_KEYUP: what = "keyup"; break;
    case WM_SYSKEYDOWN: what = "syskeydown"; break;
    case WM_SYSKEYUP: what = "syskeyup"; break;
    default: break;
    }
    if (what) {
        log_line("%s %s vk=%u scan=%u ext=%u mods=%s", what, name, unsigned(wp), unsigned((lp >> 16) & 0xFF),
                 unsigned((lp >> 24) & 1), modifiers().c_str());
        return;
    }
    switch (msg) {
    case WM_CHAR: log_line("char %s code=%u", name, unsigned(wp)); return;
    case WM_IME_CHAR: log_line("ime_char %s code=%u", name, unsigned(wp)); return;
    case WM_LBUTTONDOWN: what = "lbuttondown"; break;
    case WM_LBUTTONUP: what = "lbuttonup"; break;
    case WM_RBUTTONDOWN: what = "rbuttondown"; break;
    case WM_RBUTTONUP: what = "rbuttonup"; break;
    case WM_MBUTTONDOWN: what = "mbuttondown"; break;
    case WM_MBUTTONUP: what = "mbuttonup"; break;
    case WM_LBUTTONDBLCLK: what = "dblclk"; break;
    case WM_MOUSEWHEEL: log_line("wheel %s delta=%d", name, int(short(HIWORD(wp)))); return;
    case WM_SETFOCUS: log_line("focus %s", name); return;
    default: return;
    }
    log_line("%s %s x=%d y=%d", what, name, int(short(LOWORD(lp))), int(short(HIWORD(lp))));
}

LRESULT CALLBACK edit_proc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
    log_input(w, msg, wp, lp);
    return CallWindowProcW(g_edit_proc, w, msg, wp, lp);
}

LRESULT CALLBACK button_proc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
    log_input(w, msg, wp, lp);
    return CallWindowProcW(w == g_check ? g_check_proc : g_button_proc, w, msg, wp, lp);
}

// The pad: an empty child that takes the focus when clicked.
LRESULT CALLBACK pad_proc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
    log_input(w, msg, wp, lp);
    if (msg == WM_LBUTTONDOWN || msg == WM_RBUTTONDOWN || msg == WM_MBUTTONDOWN) SetFocus(w);
    if (msg == WM_GETDLGCODE) return DLGC_WANTALLKEYS | DLGC_WANTCHARS;
    return DefWindowProcW(w, msg, wp, lp);
}

HWND child(const wchar_t* cls, const wchar_t* text, DWORD style, int x, int y, int cx, int cy, int id) {
    return CreateWindowExW(0, cls, text, WS_CHILD | WS_VISIBLE | WS_TABSTOP | style, x, y, cx, cy, g_main,
                           reinterpret_cast<HMENU>(INT_PTR(id)), GetModuleHandleW(nullptr), nullptr);
}

void create_controls() {
    g_edit = child(L"EDIT", L"", WS_BORDER | ES_AUTOHSCROLL, 10, 10, 260, 24, kEdit);
    g_button = child(L"BUTTON", L"Count 0", BS_PUSHBUTTON, 10, 44, 120, 26, kButton);
    g_check = child(L"BUTTON", L"Check", BS_AUTOCHECKBOX, 150, 44, 120, 26, kCheck);
    g_pad = child(L"zv_test_pad", L"", WS_BORDER, 10, 80, 260, 100, kPad);
    g_edit_proc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(g_edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(edit_proc)));
    g_button_proc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(g_button, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(button_proc)));
    g_check_proc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(g_check, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(button_proc)));
}

LRESULT CALLBACK main_proc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
    log_input(w, msg, wp, lp);
    switch (msg) {
    case WM_COMMAND:
        if (LOWORD(wp) == kButton && HIWORD(wp) == BN_CLICKED) {
            wchar_t text[32];
            swprintf(text, 32, L"Count %d", ++g_clicks);
            SetWindowTextW(g_button, text);
            log_line("clicked button count=%d", g_clicks);
        }
        return 0;
    case kAppHang:
        log_line("hang %u", unsigned(wp));
        WaitForSingleObject(g_release, DWORD(wp));
        log_line("hang done");
        return 0;
    case kAppEcho:
        log_line("app wparam=%d lparam=%d", int(wp), int(lp));
        return LRESULT(int(wp) * 1000 + int(lp));
    case WM_TIMER:
        if (wp == kLifetimeTimer) DestroyWindow(w);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcW(w, msg, wp, lp);
    }
}

const wchar_t* option(int argc, wchar_t** argv, const wchar_t* name, const wchar_t* fallback) {
    for (int i = 1; i + 1 < argc; ++i)
        if (wcscmp(argv[i], name) == 0) return argv[i + 1];
    return fallback;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    const wchar_t* cls = option(argc, argv, L"--class", L"zv_test_target");
    const wchar_t* title = option(argc, argv, L"--title", L"zv test target");
    const wchar_t* log = option(argc, argv, L"--log", nullptr);
    UINT lifetime = UINT(_wtoi(option(argc, argv, L"--lifetime", L"120000")));

    if (log)
        g_log = CreateFileW(log, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    wchar_t release[64];
    swprintf(release, 64, L"zv_target_release_%lu", GetCurrentProcessId());
    g_release = CreateEventW(nullptr, TRUE, FALSE, release);

    WNDCLASSW wc = {};
    wc.style = CS_DBLCLKS;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpfnWndProc = main_proc;
    wc.lpszClassName = cls;
    if (!RegisterClassW(&wc)) return 1;
    wc.lpfnWndProc = pad_proc;
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = L"zv_test_pad";
    if (!RegisterClassW(&wc)) return 1;

    g_main = CreateWindowExW(0, cls, title, WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 100, 300, 240, nullptr, nullptr,
                             instance, nullptr);
    if (!g_main) return 1;
    create_controls();
    SetTimer(g_main, kLifetimeTimer, lifetime, nullptr);
    UpdateWindow(g_main);
    log_line("ready main=%d edit=%d button=%d check=%d pad=%d", int(INT_PTR(g_main)), int(INT_PTR(g_edit)),
             int(INT_PTR(g_button)), int(INT_PTR(g_check)), int(INT_PTR(g_pad)));

    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    if (g_log != INVALID_HANDLE_VALUE) CloseHandle(g_log);
    return 0;
}
