// What the mouse functions share: the optional window an absolute position
// is relative to, and its raw-rectangle flag.
#pragma once

#include "frame_win32.h"

namespace deskops {

// The raw-rectangle flag of the mouse functions: a number whose integer
// value is not 0 (any other kind is false).
inline bool number_flag(const Value* v) {
    if (!v) return false;
    if (v->kind == ksc::kInt) return v->data.i != 0;
    if (v->kind == ksc::kReal) return truncate_real(v->data.r) != 0;
    return false;
}

// The top left corner window-relative positions count from: the visible
// frame's, or with raw set the window rectangle's. False (last error set)
// when the window has no rectangle.
inline bool window_origin(HWND window, bool raw, POINT* origin) {
    RECT r;
    if (!window_frame_rect(window, &r, raw)) return false;
    origin->x = r.left;
    origin->y = r.top;
    return true;
}

}  // namespace deskops
