#include "dialog.h"

namespace zv::ui {

void center_window(HWND window) {
    HWND owner = GetWindow(window, GW_OWNER);
    if (!owner) owner = GetParent(window);
    RECT area;
    if (owner && IsWindowVisible(owner) && !IsIconic(owner)) {
        GetWindowRect(owner, &area);
    } else {
        MONITORINFO mi = {};
        mi.cbSize = sizeof mi;
        GetMonitorInfoW(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &mi);
        area = mi.rcWork;
    }
    RECT r;
    GetWindowRect(window, &r);
    int x = area.left + ((area.right - area.left) - (r.right - r.left)) / 2;
    int y = area.top + ((area.bottom - area.top) - (r.bottom - r.top)) / 2;
    SetWindowPos(window, nullptr, x < 0 ? 0 : x, y < 0 ? 0 : y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace zv::ui
