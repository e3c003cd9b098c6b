#include "zvh.h"

#include "hooks.h"

BOOL WINAPI zvh_start(HWND window, UINT mouse_message, UINT key_message) {
    return zvh::start(window, mouse_message, key_message);
}

void WINAPI zvh_stop() { zvh::stop(); }

BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, void*) {
    if (reason == DLL_PROCESS_ATTACH) DisableThreadLibraryCalls(module);
    return TRUE;
}
