// zvh.dll, the recorder's input-hook library, as the recorder imports it:
// two entry points exported by ordinal only (zvh.def), no names.
//   5  zvh_start(window, mouse message, keyboard message): from now on every
//      low-level mouse event reaches the window as the mouse message and
//      every keyboard event as the keyboard message (hooks.h tells how);
//      FALSE when the hooks could not be installed
//   6  zvh_stop(): afterwards no further message arrives
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#ifdef ZVH_BUILD
#define ZVH_API extern "C"
#else
#define ZVH_API extern "C" __declspec(dllimport)
#endif

ZVH_API BOOL WINAPI zvh_start(HWND window, UINT mouse_message, UINT key_message);
ZVH_API void WINAPI zvh_stop();
