// What is under the mouse: the cursor position (on the screen or relative
// to a window), the window and top-level window there, the colour of the
// pixel and the shape of the cursor. Positions are reported through
// to_logical.
#include "mouse_common.h"
#include "utf.h"

using namespace deskops;

namespace {

int32_t put_handle(Node* result, HWND window) {
    put_int(result, int32_t(reinterpret_cast<intptr_t>(window)));
    return kDone;
}

// An array of integers under the given keys (lower-cased names, labels as
// written).
int32_t put_keyed(Node* result, const char16_t* const keys[], const int32_t values[], int count, char16_t* errbuf) {
    ListBuilder list;
    list_start(result->value, &list);
    for (int i = 0; i < count; ++i) {
        Node* e = list_add(&list);
        if (!e || !element_set_key(e, keys[i], zv::u16len(keys[i]))) return fail_no_memory(errbuf);
        e->value->data.i = values[i];
    }
    return kDone;
}

// Never taken deeper: a chain of parents longer than this is a loop.
constexpr int kMaxAncestorSteps = 10;

// The standard cursors in the order of the numbers get_mouse_cursor gives
// (1 to 16); resource numbers, so the narrow spelling of the ids serves
// LoadCursorW as well.
const LPCSTR kStandardCursors[] = {
    IDC_APPSTARTING, IDC_ARROW, IDC_CROSS, IDC_HAND, IDC_HELP, IDC_IBEAM, IDC_ICON, IDC_NO,
    IDC_SIZE, IDC_SIZEALL, IDC_SIZENESW, IDC_SIZENS, IDC_SIZENWSE, IDC_SIZEWE, IDC_UPARROW, IDC_WAIT,
};

}  // namespace

DESKOPS_FUNCTION(get_mouse_pos) {
    // A first argument of another kind than a number means the screen.
    const Value* first = arg(args, 0);
    HWND window = nullptr;
    if (first && (first->kind == ksc::kInt || first->kind == ksc::kReal) && !read_window(first, &window, errbuf))
        return kFailed;
    POINT p;
    if (!GetCursorPos(&p)) return fail_system(errbuf);
    if (window) {
        POINT origin;
        if (!window_origin(window, number_flag(arg(args, 1)), &origin)) return fail_system(errbuf);
        p.x -= origin.x;
        p.y -= origin.y;
    }
    static const char16_t* const keys[] = {u"x", u"y"};
    const int32_t values[] = {to_logical(p.x), to_logical(p.y)};
    return put_keyed(result, keys, values, 2, errbuf);
}

DESKOPS_FUNCTION(window_from_mouse) {
    POINT p;
    if (!GetCursorPos(&p)) return fail_system(errbuf);
    HWND window = WindowFromPoint(p);
    if (window) {
        ScreenToClient(window, &p);
        if (HWND child = ChildWindowFromPointEx(window, p, CWP_SKIPINVISIBLE | CWP_SKIPTRANSPARENT)) window = child;
    }
    return put_handle(result, window);
}

namespace {

// top_window_from_mouse and topwindow_from_mouse: the outermost ancestor,
// where a pop-up window counts as outermost.
int32_t top_window_under_mouse(Node* result, char16_t* errbuf) {
    POINT p;
    if (!GetCursorPos(&p)) return fail_system(errbuf);
    HWND window = WindowFromPoint(p);
    for (int step = 0; window && step < kMaxAncestorSteps; ++step) {
        HWND parent = GetParent(window);
        if (!parent) break;
        window = parent;
        if (GetWindowLongW(window, GWL_STYLE) & WS_POPUP) break;
    }
    return put_handle(result, window);
}

}  // namespace

DESKOPS_FUNCTION(top_window_from_mouse) { return top_window_under_mouse(result, errbuf); }

DESKOPS_FUNCTION(topwindow_from_mouse) { return top_window_under_mouse(result, errbuf); }

DESKOPS_FUNCTION(color_from_mouse) {
    POINT p;
    if (!GetCursorPos(&p)) return fail_system(errbuf);
    HDC screen = GetDC(nullptr);
    // CLR_INVALID (an unreadable pixel) gives 255 for all three.
    COLORREF c = screen ? GetPixel(screen, p.x, p.y) : CLR_INVALID;
    if (screen) ReleaseDC(nullptr, screen);
    static const char16_t* const keys[] = {u"R", u"G", u"B"};
    const int32_t values[] = {GetRValue(c), GetGValue(c), GetBValue(c)};
    return put_keyed(result, keys, values, 3, errbuf);
}

DESKOPS_FUNCTION(get_mouse_cursor) {
    CURSORINFO info = {};
    info.cbSize = sizeof info;
    if (!GetCursorInfo(&info)) return fail_system(errbuf);
    int32_t number = 0;
    if (info.flags & CURSOR_SHOWING) {
        number = -1;
        for (int i = 0; i < int(sizeof kStandardCursors / sizeof kStandardCursors[0]); ++i)
            if (LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(kStandardCursors[i])) == info.hCursor) number = i + 1;
    }
    put_int(result, number);
    return kDone;
}
