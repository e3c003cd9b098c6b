// A window's scroll bar, set only when what it shows changes: under Wine
// every SetScrollInfo redraws the bar at a cost above a typed key's whole
// repaint, so the views also set their bars only once they are idle.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

namespace zvs {

struct ScrollBar {
    int max = -1, page = -1, pos = -1;

    void set(HWND window, int bar, int new_max, int new_page, int new_pos) {
        if (new_max == max && new_page == page && new_pos == pos) return;
        max = new_max;
        page = new_page;
        pos = new_pos;
        SCROLLINFO si = {};
        si.cbSize = sizeof si;
        si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
        si.nMax = max;
        si.nPage = UINT(page);
        si.nPos = pos;
        SetScrollInfo(window, bar, &si, TRUE);
    }
};

// Where the user drags the bar's thumb.
inline int track_position(HWND window, int bar) {
    SCROLLINFO si = {};
    si.cbSize = sizeof si;
    si.fMask = SIF_TRACKPOS;
    GetScrollInfo(window, bar, &si);
    return si.nTrackPos;
}

}  // namespace zvs
