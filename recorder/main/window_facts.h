// What the recorder asks the desktop about the window of an event: its
// visible frame, state, class and title, the window that a click outside
// the foreground window was meant for, and the control under the mouse.
// Safe on any thread; nothing here waits longer than kTitleWaitMs.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include "operation_record.h"

namespace zvb {

constexpr UINT kTitleWaitMs = 100;
constexpr int kMaxAncestorSteps = 10;

// The visible frame: the desktop window manager's extended frame bounds
// when it gives them, else the window rectangle (empty for no window).
RECT visible_frame(HWND window);
// 0 not visible, 1 normal, 2 minimized, 3 maximized.
int32_t window_state(HWND window);
void window_class_text(HWND window, char16_t (&out)[kTextUnits]);
// The title as the window answers WM_GETTEXT, waiting at most kTitleWaitMs
// (a hung window, or one of a thread that is waiting for this one, gives an
// empty title).
void window_title_text(HWND window, char16_t (&out)[kTextUnits]);

// The window a click at p was meant for: the window under it and up its
// parents to the first pop-up or top-level one, null after kMaxAncestorSteps.
HWND window_for_click(POINT p);

// The control under p: the child of the window under p that holds p,
// skipping invisible and transparent children (that window itself when it
// has none). *id is its dialog control identifier when it is a child, else 0.
HWND control_under(POINT p, int32_t* id);

Rect32 rect32(const RECT& r);

}  // namespace zvb
