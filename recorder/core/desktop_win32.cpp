#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include "desktop.h"

namespace zvb {

void screen_size(int32_t* width, int32_t* height) {
    *width = GetSystemMetrics(SM_CXSCREEN);
    *height = GetSystemMetrics(SM_CYSCREEN);
}

void release_bitmap(void* bitmap) { DeleteObject(static_cast<HGDIOBJ>(bitmap)); }

size_t key_name(uint32_t virtual_key, char16_t* buf, size_t cap) {
    if (cap == 0) return 0;
    buf[0] = 0;
    UINT scan = MapVirtualKeyW(virtual_key & 0xFF, MAPVK_VK_TO_VSC);
    switch (virtual_key & 0xFF) {
    case VK_PRIOR: case VK_NEXT: case VK_END: case VK_HOME:
    case VK_LEFT: case VK_UP: case VK_RIGHT: case VK_DOWN:
    case VK_INSERT: case VK_DELETE: case VK_APPS: case VK_NUMLOCK:
        scan |= 0x100;  // extended key
        break;
    default:
        break;
    }
    int n = GetKeyNameTextW(LONG(scan << 16), reinterpret_cast<wchar_t*>(buf), int(cap));
    return n > 0 ? size_t(n) : 0;
}

uint32_t double_click_time() { return GetDoubleClickTime(); }

}  // namespace zvb
