// The tooltip window (class "zarvo-bot_tooltip"): a short text near the
// mouse after a delay, hidden when the mouse moves to another window.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

namespace zvb {

// 32769: request a tip (wParam delay in ms, lParam a TipRequest, copied);
// 32770: hide it.
constexpr UINT kTipShow = WM_APP + 1;
constexpr UINT kTipHide = WM_APP + 2;

struct TipRequest {
    const wchar_t* text;
    int x, y;    // 0, 0: at the mouse
    int offset;  // below (x, y); at the mouse the cursor's height decides
};

bool register_tooltip_class(HINSTANCE module);
HWND create_tooltip(HINSTANCE module, HWND owner);

}  // namespace zvb
