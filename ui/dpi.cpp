#include "dpi.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

namespace zv::ui {

namespace {

int g_percent = 100;

typedef HRESULT(WINAPI* GetDpiForMonitorFn)(HMONITOR, int, UINT*, UINT*);
typedef HRESULT(WINAPI* GetProcessDpiAwarenessFn)(HANDLE, int*);
typedef HRESULT(WINAPI* SetProcessDpiAwarenessFn)(int);

template <typename F>
F symbol(HMODULE m, const char* name) {
    return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(m, name)));
}

}  // namespace

void dpi_setup() {
    g_percent = 100;
    HMODULE shcore = LoadLibraryW(L"shcore.dll");
    if (!shcore) return;
    auto dpi_for_monitor = symbol<GetDpiForMonitorFn>(shcore, "GetDpiForMonitor");
    auto get_awareness = symbol<GetProcessDpiAwarenessFn>(shcore, "GetProcessDpiAwareness");
    auto set_awareness = symbol<SetProcessDpiAwarenessFn>(shcore, "SetProcessDpiAwareness");
    if (!dpi_for_monitor || !get_awareness || !set_awareness) return;
    // The pseudo handle: Wine answers "unaware" for any other handle.
    int awareness = 0;
    if (FAILED(get_awareness(GetCurrentProcess(), &awareness)) || awareness == 0) return;
    UINT dpi_x = 0, dpi_y = 0;
    HMONITOR monitor = MonitorFromPoint(POINT{1, 1}, MONITOR_DEFAULTTONEAREST);
    if (monitor && SUCCEEDED(dpi_for_monitor(monitor, 0 /* effective DPI */, &dpi_x, &dpi_y)) && dpi_x)
        g_percent = MulDiv(int(dpi_x), 100, 96);
}

int scale_percent() { return g_percent; }
int scale(int pixels) { return g_percent == 100 ? pixels : MulDiv(pixels, g_percent, 100); }
int unscale(int pixels) { return g_percent == 100 ? pixels : MulDiv(pixels, 100, g_percent); }
void set_scale_percent(int percent) { g_percent = percent > 0 ? percent : 100; }

}  // namespace zv::ui
