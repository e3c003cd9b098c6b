// Window helpers of the library frame (Windows only): the visible frame
// rectangle and bringing a window to the front. Families that drive the
// desktop (windows, mouse and keyboard, dialogs) include this header.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include "frame.h"

namespace deskops {

// Handle argument as a window handle (message id when it is not a number).
bool read_window(const Value* v, HWND* out, char16_t* errbuf, Msg id = kMsgNotNumber);

// The visible frame rectangle: the desktop window manager's extended frame
// bounds when that function exists and succeeds, else GetWindowRect. With
// raw set, always GetWindowRect. False (last error set) when GetWindowRect
// fails.
bool window_frame_rect(HWND window, RECT* rect, bool raw);

// The extended frame bounds alone; false when the function is missing or
// fails (callers then use the window rectangle).
bool window_frame_bounds(HWND window, RECT* rect);

// Makes the window the foreground window even when this process does not
// own the foreground: the foreground lock time-out is lifted for the call
// and the input of the two threads attached while the window is raised.
// The result is that of BringWindowToTop.
BOOL bring_to_front(HWND window);

// Ends a function that made input: the calling thread takes in what the
// window system has queued for it, then the library pauses as after every
// operation. A thread that makes input and never looks at its queue lets
// those events pile up: under Wine on X11 the process grows with every
// move.
void input_done();

}  // namespace deskops
