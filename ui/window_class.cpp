#include "window_class.h"

namespace zv::ui {

bool register_window_class(HINSTANCE module, const WindowClass& c) {
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof wc;
    wc.style = c.style;
    wc.lpfnWndProc = c.proc;
    wc.cbWndExtra = c.window_extra;
    wc.hInstance = module;
    wc.hIcon = c.icon;
    wc.hIconSm = c.small_icon;
    wc.hCursor = c.cursor ? c.cursor : LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = c.background;
    wc.lpszClassName = c.name;
    return RegisterClassExW(&wc) || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

}  // namespace zv::ui
