#include "tooltip.h"

#include <string>

#include "window_class.h"

namespace zvb {

namespace {

constexpr UINT_PTR kShowTimer = 1, kTrackTimer = 2;

struct Tip {
    HFONT font = nullptr;
    std::wstring text;
    int x = 0, y = 0, offset = 0;
    HWND tracked = nullptr;  // the window under the mouse at the request
};

Tip* tip_of(HWND w) { return reinterpret_cast<Tip*>(GetWindowLongPtrW(w, GWLP_USERDATA)); }

void make_font(Tip* t) {
    if (t->font) DeleteObject(t->font);
    NONCLIENTMETRICSW m = {};
    m.cbSize = sizeof m;
    t->font = SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof m, &m, 0) ? CreateFontIndirectW(&m.lfStatusFont)
                                                                                  : nullptr;
}

HWND window_under_mouse() {
    POINT p;
    GetCursorPos(&p);
    return WindowFromPoint(p);
}

// How far the visible part of the current cursor reaches below its hotspot:
// the lowest row of the mask that is not transparent.
int cursor_depth() {
    ICONINFO info = {};
    HCURSOR c = GetCursor();
    if (!c || !GetIconInfo(c, &info)) return GetSystemMetrics(SM_CYCURSOR) / 2;
    BITMAP bm = {};
    GetObjectW(info.hbmMask, sizeof bm, &bm);
    int height = info.hbmColor ? bm.bmHeight : bm.bmHeight / 2;
    int lowest = height - 1;
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, info.hbmMask);
    for (; lowest > 0; --lowest) {
        bool opaque = false;
        for (int x = 0; x < bm.bmWidth && !opaque; ++x) opaque = GetPixel(dc, x, lowest) == RGB(0, 0, 0);
        if (opaque) break;
    }
    SelectObject(dc, old);
    DeleteDC(dc);
    if (info.hbmMask) DeleteObject(info.hbmMask);
    if (info.hbmColor) DeleteObject(info.hbmColor);
    return lowest - int(info.yHotspot) + 2;
}

void hide(HWND w, Tip* t) {
    KillTimer(w, kShowTimer);
    KillTimer(w, kTrackTimer);
    ShowWindow(w, SW_HIDE);
    t->text.clear();
}

void show(HWND w, Tip* t) {
    KillTimer(w, kShowTimer);
    int x = t->x, y = t->y, offset = t->offset;
    if (x == 0 && y == 0) {
        POINT p;
        GetCursorPos(&p);
        x = p.x, y = p.y, offset = cursor_depth();
        if (t->tracked && window_under_mouse() != t->tracked) return hide(w, t);
    }
    HDC dc = GetDC(w);
    HGDIOBJ old = SelectObject(dc, t->font ? t->font : GetStockObject(DEFAULT_GUI_FONT));
    RECT r = {0, 0, 0, 0};
    DRAWTEXTPARAMS tabs = {sizeof tabs, 4, 0, 0, 0};
    DrawTextExW(dc, &t->text[0], int(t->text.size()), &r, DT_CALCRECT | DT_NOPREFIX | DT_EXPANDTABS | DT_TABSTOP,
                &tabs);
    SelectObject(dc, old);
    ReleaseDC(w, dc);
    int cx = r.right + 6, cy = r.bottom + 6;
    int screen_x = GetSystemMetrics(SM_CXSCREEN), screen_y = GetSystemMetrics(SM_CYSCREEN);
    int left = x, top = y + offset;
    if (left + cx > screen_x) left = screen_x - cx > 0 ? screen_x - cx : 0;
    if (top + cy > screen_y) top = y - cy;
    if (top < 0) top = 0;
    SetWindowPos(w, HWND_TOPMOST, left, top, cx, cy, SWP_NOACTIVATE | SWP_SHOWWINDOW);
    InvalidateRect(w, nullptr, TRUE);
    SetTimer(w, kTrackTimer, 100, nullptr);
}

LRESULT CALLBACK tip_proc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
    Tip* t = tip_of(w);
    switch (msg) {
    case WM_NCCREATE:
        t = new Tip;
        SetWindowLongPtrW(w, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(t));
        make_font(t);
        break;
    case WM_NCDESTROY:
        if (t) {
            if (t->font) DeleteObject(t->font);
            delete t;
        }
        break;
    case WM_SETTINGCHANGE:
        if (wp == SPI_SETNONCLIENTMETRICS) make_font(t);
        break;
    case kTipShow: {
        hide(w, t);
        const TipRequest* r = reinterpret_cast<const TipRequest*>(lp);
        if (!r || !r->text || !*r->text) return 0;
        t->x = r->x, t->y = r->y, t->offset = r->offset;
        t->tracked = r->x == 0 && r->y == 0 ? window_under_mouse() : nullptr;
        t->text = r->text;
        SetTimer(w, kShowTimer, UINT(wp), nullptr);
        return 0;
    }
    case kTipHide:
        hide(w, t);
        return 0;
    case WM_TIMER:
        if (wp == kShowTimer) show(w, t);
        if (wp == kTrackTimer && IsWindowVisible(w) && t->tracked && window_under_mouse() != t->tracked) hide(w, t);
        return 0;
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
        hide(w, t);
        return 0;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(w, &ps);
        RECT r;
        GetClientRect(w, &r);
        FillRect(dc, &r, GetSysColorBrush(COLOR_INFOBK));
        FrameRect(dc, &r, GetSysColorBrush(COLOR_WINDOWFRAME));
        InflateRect(&r, -3, -3);
        HGDIOBJ old = SelectObject(dc, t->font ? t->font : GetStockObject(DEFAULT_GUI_FONT));
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, GetSysColor(COLOR_INFOTEXT));
        DRAWTEXTPARAMS tabs = {sizeof tabs, 4, 0, 0, 0};
        DrawTextExW(dc, &t->text[0], int(t->text.size()), &r, DT_NOPREFIX | DT_EXPANDTABS | DT_TABSTOP, &tabs);
        SelectObject(dc, old);
        EndPaint(w, &ps);
        return 0;
    }
    default:
        break;
    }
    return DefWindowProcW(w, msg, wp, lp);
}

}  // namespace

bool register_tooltip_class(HINSTANCE module) {
    return zv::ui::register_window_class(module, {L"zarvo-bot_tooltip", tip_proc});
}

HWND create_tooltip(HINSTANCE module, HWND owner) {
    return CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_TOPMOST | WS_EX_NOACTIVATE, L"zarvo-bot_tooltip", L"", WS_POPUP,
                           0, 0, 0, 0, owner, nullptr, module, nullptr);
}

}  // namespace zvb
