// Window-class registration with the suite's defaults.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

namespace zv::ui {

struct WindowClass {
    const wchar_t* name;
    WNDPROC proc;
    UINT style = 0;                  // CS_DBLCLKS for controls that want double clicks
    HBRUSH background = nullptr;     // null: the window paints everything itself
    HCURSOR cursor = nullptr;        // null: the arrow
    HICON icon = nullptr, small_icon = nullptr;
    int window_extra = 0;            // bytes of GetWindowLongPtr slots
};

// Registers the class in the module; true also when it is registered
// already (a second window of the same kind).
bool register_window_class(HINSTANCE module, const WindowClass& c);

}  // namespace zv::ui
