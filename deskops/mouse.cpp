// Mouse input through mouse_event: absolute positioning (optionally
// relative to a window), the three buttons, relative moves and the wheel.
// Script coordinates pass through to_physical; every function pauses
// operation_wait after its events.
#include <cstdint>

#include "mouse_common.h"

using namespace deskops;

namespace {

constexpr DWORD kLeftDown = MOUSEEVENTF_LEFTDOWN, kLeftUp = MOUSEEVENTF_LEFTUP;
constexpr DWORD kRightDown = MOUSEEVENTF_RIGHTDOWN, kRightUp = MOUSEEVENTF_RIGHTUP;
constexpr DWORD kMiddleDown = MOUSEEVENTF_MIDDLEDOWN, kMiddleUp = MOUSEEVENTF_MIDDLEUP;

// A device coordinate on the 0..65535 scale of absolute mouse events. The
// system maps a normalized n back to the pixel floor(n * extent / 65536),
// so n is the smallest value that maps to v: rounding down instead (as
// trunc(65535 / extent * v) does) would land one pixel up and left of
// nearly every point.
DWORD normalized(int32_t v, int32_t extent) {
    if (extent <= 0) return 0;
    int64_t scaled = int64_t(v) * 65536;
    int64_t n = scaled >= 0 ? (scaled + extent - 1) / extent : -(-scaled / extent);
    if (n > INT32_MAX) n = INT32_MAX;
    if (n < INT32_MIN) n = INT32_MIN;
    return DWORD(int32_t(n));
}

// Where the button events of a call happen: at a position of the script
// (on the 0..65535 scale of absolute events), or where the cursor is.
struct Place {
    bool given = false;
    DWORD x = 0, y = 0;
};

// Moves the cursor to the script position in args (x, y, [window, [raw]]).
// With fewer than two arguments nothing moves and the position is the
// cursor's. kDone, or kFailed with the message.
int32_t position(Node* args, char16_t* errbuf, Place* place = nullptr) {
    if (!has_args(args, 2)) return kDone;
    int32_t x, y;
    if (!read_number(arg(args, 0), &x, errbuf) || !read_number(arg(args, 1), &y, errbuf)) return kFailed;
    x = to_physical(x);
    y = to_physical(y);
    const Value* third = arg(args, 2);
    HWND window = nullptr;
    // A third argument of another kind than a number is no window.
    if (third && (third->kind == ksc::kInt || third->kind == ksc::kReal) && !read_window(third, &window, errbuf))
        return kFailed;
    if (window) {
        POINT origin;
        if (!window_origin(window, number_flag(arg(args, 3)), &origin)) return fail_system(errbuf);
        x += origin.x;
        y += origin.y;
    }
    Place at;
    at.given = true;
    at.x = normalized(x, GetSystemMetrics(SM_CXSCREEN));
    at.y = normalized(y, GetSystemMetrics(SM_CYSCREEN));
    mouse_event(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE, at.x, at.y, 0, 0);
    if (place) *place = at;
    return kDone;
}

int32_t done(Node* result) {
    input_done();
    put_int(result, 0);
    return kDone;
}

// The button functions: optional positioning, then the events (a click is
// down and up with no pause between). Events after a positioning carry the
// position too: a move from elsewhere in between (the user's hand, a late
// pointer event of the window system) cannot take the click to another
// place.
int32_t button(Node* args, Node* result, char16_t* errbuf, DWORD first, DWORD second = 0) {
    Place at;
    if (int32_t rc = position(args, errbuf, &at)) return rc;
    const DWORD there = at.given ? MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE : 0;
    mouse_event(first | there, at.x, at.y, 0, 0);
    if (second) mouse_event(second | there, at.x, at.y, 0, 0);
    return done(result);
}

}  // namespace

DESKOPS_FUNCTION(set_mouse_pos) {
    if (!has_args(args, 2)) return kMissing;
    if (int32_t rc = position(args, errbuf)) return rc;
    return done(result);
}

DESKOPS_FUNCTION(mouse_move) {
    if (!has_args(args, 2)) return kMissing;
    int32_t dx, dy;
    if (!read_number(arg(args, 0), &dx, errbuf) || !read_number(arg(args, 1), &dy, errbuf)) return kFailed;
    mouse_event(MOUSEEVENTF_MOVE, DWORD(to_physical(dx)), DWORD(to_physical(dy)), 0, 0);
    return done(result);
}

DESKOPS_FUNCTION(mouse_wheel) {
    if (!has_args(args, 1)) return kMissing;
    int32_t delta;
    if (!read_number(arg(args, 0), &delta, errbuf)) return kFailed;
    mouse_event(MOUSEEVENTF_WHEEL, 0, 0, DWORD(delta), 0);
    return done(result);
}

DESKOPS_FUNCTION(mouse_leftclick) { return button(args, result, errbuf, kLeftDown, kLeftUp); }
DESKOPS_FUNCTION(mouse_leftdown) { return button(args, result, errbuf, kLeftDown); }
DESKOPS_FUNCTION(mouse_leftup) { return button(args, result, errbuf, kLeftUp); }
DESKOPS_FUNCTION(mouse_rightclick) { return button(args, result, errbuf, kRightDown, kRightUp); }
DESKOPS_FUNCTION(mouse_rightdown) { return button(args, result, errbuf, kRightDown); }
DESKOPS_FUNCTION(mouse_rightup) { return button(args, result, errbuf, kRightUp); }
DESKOPS_FUNCTION(mouse_middleclick) { return button(args, result, errbuf, kMiddleDown, kMiddleUp); }
DESKOPS_FUNCTION(mouse_middledown) { return button(args, result, errbuf, kMiddleDown); }
DESKOPS_FUNCTION(mouse_middleup) { return button(args, result, errbuf, kMiddleUp); }
