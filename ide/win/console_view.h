// The console view of zvs, window class "ConsoleViewClass": what scripts
// print, with colours, and the line a script's input() waits for. Long
// lines wrap at the window's width. Messages in zvs_messages.h; it also
// answers the standard edit messages for text, selection, lines, copy,
// paste and select all.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

namespace zvs {

constexpr const wchar_t* kConsoleClass = L"ConsoleViewClass";

bool console_register(HINSTANCE module);

}  // namespace zvs
