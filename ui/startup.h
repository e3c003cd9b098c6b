// Start-up of the system libraries a GUI program uses.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

namespace zv::ui {

// Registers the common-control classes the program uses (ICC_ flags).
bool init_common_controls(DWORD classes);

// Starts GDI+ (imaging: PNG encoding and decoding); the token for
// gdiplus_stop, 0 when it failed.
ULONG_PTR gdiplus_start();
void gdiplus_stop(ULONG_PTR token);

}  // namespace zv::ui
