#include "startup.h"

#include <commctrl.h>
#include <objidl.h>  // gdiplus.h needs COM types the lean windows.h leaves out
#include <gdiplus.h>

namespace zv::ui {

bool init_common_controls(DWORD classes) {
    INITCOMMONCONTROLSEX icc = {sizeof icc, classes};
    return InitCommonControlsEx(&icc) != FALSE;
}

ULONG_PTR gdiplus_start() {
    Gdiplus::GdiplusStartupInput input;
    ULONG_PTR token = 0;
    if (Gdiplus::GdiplusStartup(&token, &input, nullptr) != Gdiplus::Ok) return 0;
    return token;
}

void gdiplus_stop(ULONG_PTR token) {
    if (token) Gdiplus::GdiplusShutdown(token);
}

}  // namespace zv::ui
