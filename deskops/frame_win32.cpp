// Windows part of the library frame: library start (optional system
// functions, display scaling), system error texts, the string table, files,
// and the window helpers of frame_win32.h.
#include "frame_win32.h"

#include <cstring>

namespace deskops {

namespace {

typedef HRESULT(WINAPI* DwmGetWindowAttributeFn)(HWND, DWORD, PVOID, DWORD);
typedef HRESULT(WINAPI* GetDpiForMonitorFn)(HMONITOR, int, UINT*, UINT*);
typedef HRESULT(WINAPI* GetProcessDpiAwarenessFn)(HANDLE, int*);
typedef HRESULT(WINAPI* SetProcessDpiAwarenessFn)(int);

DwmGetWindowAttributeFn g_frame_bounds;  // null: no desktop window manager

constexpr DWORD kExtendedFrameBounds = 9;  // DWMWA_EXTENDED_FRAME_BOUNDS
constexpr int kEffectiveDpi = 0;           // MDT_EFFECTIVE_DPI

void start_scaling() {
    HMODULE shcore = LoadLibraryW(L"shcore.dll");
    if (!shcore) return;
    auto dpi_for_monitor =
        reinterpret_cast<GetDpiForMonitorFn>(reinterpret_cast<void*>(GetProcAddress(shcore, "GetDpiForMonitor")));
    auto get_awareness = reinterpret_cast<GetProcessDpiAwarenessFn>(
        reinterpret_cast<void*>(GetProcAddress(shcore, "GetProcessDpiAwareness")));
    // Looked up with the others so that scaling stays off on systems that
    // lack any of the three; the library never changes the awareness.
    auto set_awareness = reinterpret_cast<SetProcessDpiAwarenessFn>(
        reinterpret_cast<void*>(GetProcAddress(shcore, "SetProcessDpiAwareness")));
    if (!dpi_for_monitor || !get_awareness || !set_awareness) return;

    // The pseudo handle of this process has full access; Wine answers
    // "unaware" for any other handle, even one to this same process.
    int awareness = 0;
    if (FAILED(get_awareness(GetCurrentProcess(), &awareness))) awareness = 0;

    int percent = 100;
    POINT origin = {1, 1};
    UINT dpi_x = 0, dpi_y = 0;
    HMONITOR monitor = MonitorFromPoint(origin, MONITOR_DEFAULTTONEAREST);
    if (monitor && SUCCEEDED(dpi_for_monitor(monitor, kEffectiveDpi, &dpi_x, &dpi_y)) && dpi_x)
        percent = mul_div(int32_t(dpi_x), 100, 96);
    set_display_scale(awareness, percent);
}

}  // namespace

void system_start(void*) {
    if (HMODULE dwm = LoadLibraryW(L"dwmapi.dll"))
        g_frame_bounds = reinterpret_cast<DwmGetWindowAttributeFn>(
            reinterpret_cast<void*>(GetProcAddress(dwm, "DwmGetWindowAttribute")));
    start_scaling();
}

uint32_t last_error() { return GetLastError(); }
uint32_t no_memory_error() { return ERROR_NOT_ENOUGH_MEMORY; }
void sleep_ms(uint32_t ms) { Sleep(ms); }
uint32_t tick_count() { return GetTickCount(); }

void system_error_text(uint32_t code, char16_t* out, size_t units) {
    wchar_t* buf = reinterpret_cast<wchar_t*>(out);
    DWORD n = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, buf,
                             DWORD(units), nullptr);
    // The table's texts end with a line break; the engine puts the text in
    // front of its own message on one line.
    while (n > 0 && (buf[n - 1] == L'\r' || buf[n - 1] == L'\n' || buf[n - 1] == L' ' || buf[n - 1] == L'\t')) --n;
    buf[n] = 0;
}

bool load_string(void* module, uint32_t id, char16_t* buf, int units) {
    return LoadStringW(static_cast<HMODULE>(module), id, reinterpret_cast<wchar_t*>(buf), units) > 0;
}

bool append_to_file(const char16_t* path, const char* data, size_t n) {
    HANDLE h = CreateFileW(reinterpret_cast<const wchar_t*>(path), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                           OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    LARGE_INTEGER zero = {};
    bool ok = SetFilePointerEx(h, zero, nullptr, FILE_END) != FALSE;
    while (ok && n > 0) {
        DWORD done = 0;
        DWORD chunk = n > 0x40000000 ? 0x40000000 : DWORD(n);
        ok = WriteFile(h, data, chunk, &done, nullptr) && done > 0;
        data += done;
        n -= done;
    }
    DWORD error = GetLastError();
    CloseHandle(h);
    SetLastError(error);
    return ok;
}

// ---- window helpers ----------------------------------------------------------

bool read_window(const Value* v, HWND* out, char16_t* errbuf, Msg id) {
    void* h;
    if (!read_handle(v, &h, errbuf, id)) return false;
    *out = static_cast<HWND>(h);
    return true;
}

bool window_frame_bounds(HWND window, RECT* rect) {
    return g_frame_bounds && g_frame_bounds(window, kExtendedFrameBounds, rect, sizeof *rect) == S_OK;
}

bool window_frame_rect(HWND window, RECT* rect, bool raw) {
    if (!raw && window_frame_bounds(window, rect)) return true;
    return GetWindowRect(window, rect) != FALSE;
}

BOOL bring_to_front(HWND window) {
    DWORD saved = 0;
    SystemParametersInfoW(SPI_GETFOREGROUNDLOCKTIMEOUT, 0, &saved, 0);
    SystemParametersInfoW(SPI_SETFOREGROUNDLOCKTIMEOUT, 0, nullptr, 0);
    SetForegroundWindow(window);
    DWORD target = GetWindowThreadProcessId(window, nullptr);
    DWORD foreground = GetWindowThreadProcessId(GetForegroundWindow(), nullptr);
    bool attached = target && foreground && target != foreground && AttachThreadInput(target, foreground, TRUE);
    BOOL raised = BringWindowToTop(window);
    if (attached) AttachThreadInput(target, foreground, FALSE);
    SystemParametersInfoW(SPI_SETFOREGROUNDLOCKTIMEOUT, 0, reinterpret_cast<void*>(uintptr_t(saved)), 0);
    return raised;
}

void input_done() {
    MSG msg;
    PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);
    pause_after_operation();
}

}  // namespace deskops
