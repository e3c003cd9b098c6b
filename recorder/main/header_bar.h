// The header above the scenario list: flat buttons (class
// "zarvo-bot_header_button") that show the icon given with WM_SETICON and
// their text, and a separator line (class "zarvo-bot_header_line").
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

namespace zvb {

bool register_header_classes(HINSTANCE module);

// A button at (x, y) at 100 % scale, 50 x 50; sends WM_COMMAND with its id
// to the parent when the left button is released over it.
HWND create_header_button(HWND parent, int id, const wchar_t* text, int x, int y);
HWND create_header_line(HWND parent, int id);

}  // namespace zvb
