// The program's pictures, drawn at run time with GDI+ at the size the
// display scale asks for: the program and notification-area icon, the
// header buttons, the three scenario types, and the drag cursors.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

namespace zvb {

enum class Picture { kProgram, kRecord, kPause, kStop, kTimeline, kScript, kGroup };
enum class DragCursor { kMove, kCopy, kGroup, kNoDrop };

// A new icon of `size` pixels; the caller destroys it. GDI+ must be started.
HICON make_icon(Picture picture, int size);
// The drag cursors (made once, kept for the program's life).
HCURSOR drag_cursor(DragCursor which);

}  // namespace zvb
