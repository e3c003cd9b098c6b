#include "header_bar.h"

#include <commctrl.h>

#include "dpi.h"
#include "paint_buffer.h"
#include "window_class.h"

namespace zvb {

namespace {

constexpr int kIconSize = 32;

struct Button {
    HIMAGELIST images = nullptr;
    int icon = -1;
    bool hover = false, pressed = false;
    HFONT font = nullptr;
};

Button* button_of(HWND w) { return reinterpret_cast<Button*>(GetWindowLongPtrW(w, GWLP_USERDATA)); }

void paint(HWND w, Button* b) {
    zv::ui::PaintBuffer paint(w);
    HDC dc = paint.dc();
    RECT r = paint.client();
    bool enabled = IsWindowEnabled(w);
    FillRect(dc, &r, GetSysColorBrush(COLOR_BTNFACE));
    if (enabled && (b->hover || b->pressed)) {
        // Flat until the mouse is over it: a light face with a thin border.
        HBRUSH face = CreateSolidBrush(b->pressed ? GetSysColor(COLOR_3DSHADOW) : GetSysColor(COLOR_3DHILIGHT));
        FillRect(dc, &r, face);
        DeleteObject(face);
        FrameRect(dc, &r, GetSysColorBrush(COLOR_HIGHLIGHT));
    }
    int icon = zv::ui::scale(kIconSize);
    int x = (r.right - icon) / 2, y = zv::ui::scale(2);
    if (b->images && b->icon >= 0 && enabled) {
        ImageList_DrawEx(b->images, b->icon, dc, x, y, icon, icon, CLR_NONE, CLR_NONE, ILD_TRANSPARENT);
    } else if (b->images && b->icon >= 0) {
        // Disabled: the system's embossed gray form of the picture.
        HICON picture = ImageList_GetIcon(b->images, b->icon, ILD_NORMAL);
        DrawStateW(dc, nullptr, nullptr, reinterpret_cast<LPARAM>(picture), 0, x, y, icon, icon,
                   DST_ICON | DSS_DISABLED);
        DestroyIcon(picture);
    }
    wchar_t text[64];
    GetWindowTextW(w, text, 64);
    RECT t = {0, y + icon, r.right, r.bottom};
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(enabled ? COLOR_BTNTEXT : COLOR_GRAYTEXT));
    HGDIOBJ old = SelectObject(dc, b->font);
    DrawTextW(dc, text, -1, &t, DT_CENTER | DT_SINGLELINE | DT_NOPREFIX | DT_TOP);
    SelectObject(dc, old);
}

LRESULT CALLBACK button_proc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
    Button* b = button_of(w);
    switch (msg) {
    case WM_NCCREATE: {
        b = new Button;
        SetWindowLongPtrW(w, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(b));
        int icon = zv::ui::scale(kIconSize);
        b->images = ImageList_Create(icon, icon, ILC_COLOR32 | ILC_MASK, 1, 1);
        NONCLIENTMETRICSW m = {};
        m.cbSize = sizeof m;
        SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof m, &m, 0);
        m.lfMessageFont.lfHeight = -zv::ui::scale(10);
        b->font = CreateFontIndirectW(&m.lfMessageFont);
        break;
    }
    case WM_NCDESTROY:
        if (b) {
            ImageList_Destroy(b->images);
            DeleteObject(b->font);
            delete b;
        }
        break;
    case WM_SETICON:
        if (lp) {
            ImageList_RemoveAll(b->images);
            b->icon = ImageList_AddIcon(b->images, reinterpret_cast<HICON>(lp));
            InvalidateRect(w, nullptr, FALSE);
        }
        return 0;
    case WM_SETTEXT:
    case WM_ENABLE: {
        LRESULT result = DefWindowProcW(w, msg, wp, lp);
        if (msg == WM_ENABLE && !wp) b->hover = b->pressed = false;
        InvalidateRect(w, nullptr, FALSE);
        return result;
    }
    case WM_MOUSEMOVE:
        if (!b->hover) {
            b->hover = true;
            TRACKMOUSEEVENT track = {sizeof track, TME_LEAVE, w, 0};
            TrackMouseEvent(&track);
            InvalidateRect(w, nullptr, FALSE);
        }
        return 0;
    case WM_MOUSELEAVE:
        b->hover = false;
        InvalidateRect(w, nullptr, FALSE);
        return 0;
    case WM_LBUTTONDOWN:
        b->pressed = true;
        SetCapture(w);
        InvalidateRect(w, nullptr, FALSE);
        return 0;
    case WM_LBUTTONUP: {
        bool was_pressed = b->pressed;
        b->pressed = false;
        ReleaseCapture();
        InvalidateRect(w, nullptr, FALSE);
        RECT r;
        GetClientRect(w, &r);
        POINT p = {short(LOWORD(lp)), short(HIWORD(lp))};
        if (was_pressed && PtInRect(&r, p))
            SendMessageW(GetParent(w), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(w), BN_CLICKED), LPARAM(w));
        return 0;
    }
    case WM_CAPTURECHANGED:
        b->pressed = false;
        InvalidateRect(w, nullptr, FALSE);
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT:
        paint(w, b);
        return 0;
    default:
        break;
    }
    return DefWindowProcW(w, msg, wp, lp);
}

}  // namespace

bool register_header_classes(HINSTANCE module) {
    return zv::ui::register_window_class(module, {L"zarvo-bot_header_button", button_proc}) &&
           zv::ui::register_window_class(
               module, {L"zarvo-bot_header_line", DefWindowProcW, 0, GetSysColorBrush(COLOR_BTNSHADOW)});
}

HWND create_header_button(HWND parent, int id, const wchar_t* text, int x, int y) {
    using zv::ui::scale;
    return CreateWindowExW(0, L"zarvo-bot_header_button", text, WS_CHILD | WS_VISIBLE, scale(x), scale(y), scale(50),
                           scale(50), parent, reinterpret_cast<HMENU>(INT_PTR(id)), GetModuleHandleW(nullptr),
                           nullptr);
}

HWND create_header_line(HWND parent, int id) {
    return CreateWindowExW(0, L"zarvo-bot_header_line", L"", WS_CHILD | WS_VISIBLE, 0, 0, 0, 0, parent,
                           reinterpret_cast<HMENU>(INT_PTR(id)), GetModuleHandleW(nullptr), nullptr);
}

}  // namespace zvb
