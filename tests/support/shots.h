// Screenshots of window states for `./dev shots`. A GUI module adds a
// program with zv_add_shots() (named <module>_shots); it drives its windows
// into the states worth looking at and saves each with save() or
// save_area(). `./dev shots` builds them all and runs each under Wine in
// the Japanese locale, with the pictures going to build/shots/.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <string>

namespace zv::shots {

// The folder the pictures go to: ZV_SHOTS_DIR (a Unix path, as ./dev sets
// it), else the current folder.
std::wstring dir();

// Lets the window's thread paint what it has queued and the display catch
// up, then saves the window's screen area (frame included) as <name>.png.
bool save(HWND window, const char* name);
// The same for any screen area (a window with its open menu, say).
bool save_area(HWND settle_window, const RECT& area, const char* name);

// The union of the screen rectangles of the windows.
RECT around(std::initializer_list<HWND> windows);

}  // namespace zv::shots
