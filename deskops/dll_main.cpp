// Entry of the DESKOPS shared library: the library start runs when the
// library is attached to a process (zvs_app calls library_start itself).
#include "frame.h"

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) deskops::library_start(module);
    return TRUE;
}
#else
__attribute__((constructor)) static void deskops_attach() { deskops::library_start(nullptr); }
#endif
