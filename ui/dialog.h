// Dialog placement.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

namespace zv::ui {

// Centres the window on its owner (or parent); on the work area of the
// nearest monitor when there is none or it is hidden or minimized. The left
// and top edges never go below 0. Call it from WM_INITDIALOG.
void center_window(HWND window);

}  // namespace zv::ui
