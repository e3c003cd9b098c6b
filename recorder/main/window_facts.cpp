#include "window_facts.h"

namespace zvb {

namespace {

typedef HRESULT(WINAPI* FrameBoundsFn)(HWND, DWORD, PVOID, DWORD);
constexpr DWORD kExtendedFrameBounds = 9;  // DWMWA_EXTENDED_FRAME_BOUNDS

FrameBoundsFn frame_bounds() {
    // Looked up once; the library stays loaded for the process's life.
    static FrameBoundsFn fn = [] {
        HMODULE dwm = LoadLibraryW(L"dwmapi.dll");
        void* fn = dwm ? reinterpret_cast<void*>(GetProcAddress(dwm, "DwmGetWindowAttribute")) : nullptr;
        return reinterpret_cast<FrameBoundsFn>(fn);
    }();
    return fn;
}

}  // namespace

RECT visible_frame(HWND window) {
    RECT r = {};
    if (!window) return r;
    FrameBoundsFn fn = frame_bounds();
    if (fn && fn(window, kExtendedFrameBounds, &r, sizeof r) == S_OK && r.right > r.left) return r;
    if (!GetWindowRect(window, &r)) r = RECT();
    return r;
}

int32_t window_state(HWND window) {
    if (!IsWindowVisible(window)) return 0;
    if (IsZoomed(window)) return 3;
    if (IsIconic(window)) return 2;
    return 1;
}

void window_class_text(HWND window, char16_t (&out)[kTextUnits]) {
    out[0] = 0;
    if (GetClassNameW(window, reinterpret_cast<wchar_t*>(out), int(kTextUnits)) <= 0) out[0] = 0;
    out[kTextUnits - 1] = 0;
}

void window_title_text(HWND window, char16_t (&out)[kTextUnits]) {
    out[0] = 0;
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXT, kTextUnits, reinterpret_cast<LPARAM>(out),
                             SMTO_ABORTIFHUNG | SMTO_BLOCK, kTitleWaitMs, &length))
        out[0] = 0;
    out[length < kTextUnits ? length : kTextUnits - 1] = 0;
}

HWND window_for_click(POINT p) {
    HWND w = WindowFromPoint(p);
    for (int step = 0; w && step < kMaxAncestorSteps; ++step) {
        HWND parent = GetParent(w);
        if ((GetWindowLongW(w, GWL_STYLE) & WS_POPUP) || !parent) return w;
        w = parent;
    }
    return nullptr;
}

HWND control_under(POINT p, int32_t* id) {
    *id = 0;
    HWND window = WindowFromPoint(p);
    if (!window) return nullptr;
    POINT client = p;
    ScreenToClient(window, &client);
    HWND control = ChildWindowFromPointEx(window, client, CWP_SKIPINVISIBLE | CWP_SKIPTRANSPARENT);
    if (!control) control = window;
    if (GetWindowLongW(control, GWL_STYLE) & WS_CHILD) *id = GetDlgCtrlID(control);
    return control;
}

Rect32 rect32(const RECT& r) { return {int32_t(r.left), int32_t(r.top), int32_t(r.right), int32_t(r.bottom)}; }

}  // namespace zvb
