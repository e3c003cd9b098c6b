#include "icons.h"

#include <objidl.h>  // gdiplus.h needs COM types the lean windows.h leaves out
#include <gdiplus.h>

namespace zvb {

namespace {

using namespace Gdiplus;

const Color kBlue(255, 40, 110, 200), kRed(255, 215, 50, 50), kDark(255, 70, 70, 70), kWhite(255, 255, 255, 255);

// Draws in a square of side 16 units, scaled to the picture's size.
void draw(Graphics& g, Picture picture) {
    SolidBrush blue(kBlue), red(kRed), dark(kDark), white(kWhite);
    Pen outline(kDark, 1.0f);
    switch (picture) {
    case Picture::kProgram: {
        g.FillEllipse(&blue, 0.5f, 0.5f, 15.0f, 15.0f);
        PointF play[] = {{6.0f, 4.0f}, {12.0f, 8.0f}, {6.0f, 12.0f}};
        g.FillPolygon(&white, play, 3);
        break;
    }
    case Picture::kRecord: g.FillEllipse(&red, 2.0f, 2.0f, 12.0f, 12.0f); break;
    case Picture::kPause:
        g.FillRectangle(&dark, 3.5f, 2.5f, 3.0f, 11.0f);
        g.FillRectangle(&dark, 9.5f, 2.5f, 3.0f, 11.0f);
        break;
    case Picture::kStop: g.FillRectangle(&dark, 3.0f, 3.0f, 10.0f, 10.0f); break;
    case Picture::kTimeline: {
        // A strip of frames.
        g.FillRectangle(&blue, 1.0f, 3.0f, 14.0f, 10.0f);
        for (int i = 0; i < 4; ++i) {
            g.FillRectangle(&white, 2.5f + 3.5f * i, 4.0f, 2.0f, 1.5f);
            g.FillRectangle(&white, 2.5f + 3.5f * i, 10.5f, 2.0f, 1.5f);
        }
        break;
    }
    case Picture::kScript: {
        g.FillRectangle(&white, 3.0f, 1.0f, 10.0f, 14.0f);
        g.DrawRectangle(&outline, 3.0f, 1.0f, 10.0f, 14.0f);
        Pen line(kBlue, 1.0f);
        for (int i = 0; i < 4; ++i) g.DrawLine(&line, 5.0f, 4.0f + 3 * i, 11.0f - (i % 2) * 2, 4.0f + 3 * i);
        break;
    }
    case Picture::kGroup: {
        SolidBrush folder(Color(255, 230, 180, 60));
        g.FillRectangle(&folder, 1.0f, 3.0f, 6.0f, 3.0f);
        g.FillRectangle(&folder, 1.0f, 5.0f, 14.0f, 9.0f);
        break;
    }
    }
}

HICON icon_from(Bitmap& bitmap, bool cursor, int hot_x, int hot_y) {
    HICON icon = nullptr;
    if (bitmap.GetHICON(&icon) != Ok || !icon) return nullptr;
    if (!cursor) return icon;
    ICONINFO info = {};
    GetIconInfo(icon, &info);
    info.fIcon = FALSE;
    info.xHotspot = DWORD(hot_x);
    info.yHotspot = DWORD(hot_y);
    HICON made = CreateIconIndirect(&info);
    if (info.hbmMask) DeleteObject(info.hbmMask);
    if (info.hbmColor) DeleteObject(info.hbmColor);
    DestroyIcon(icon);
    return made;
}

HCURSOR make_cursor(DragCursor which) {
    if (which == DragCursor::kNoDrop) return LoadCursorW(nullptr, IDC_NO);
    int size = GetSystemMetrics(SM_CXCURSOR);
    Bitmap bitmap(size, size, PixelFormat32bppARGB);
    Graphics g(&bitmap);
    g.SetSmoothingMode(SmoothingModeAntiAlias);
    g.ScaleTransform(size / 32.0f, size / 32.0f);
    SolidBrush white(kWhite), black(Color(255, 0, 0, 0));
    Pen pen(Color(255, 0, 0, 0), 1.0f);
    PointF arrow[] = {{1, 1}, {1, 17}, {5, 13}, {8, 20}, {10, 19}, {7, 12}, {12, 12}};
    g.FillPolygon(&white, arrow, 7);
    g.DrawPolygon(&pen, arrow, 7);
    // The sign beside the arrow: a box, with a plus for copy and a second
    // box for grouping.
    g.FillRectangle(&white, 14.0f, 18.0f, 11.0f, 11.0f);
    g.DrawRectangle(&pen, 14.0f, 18.0f, 11.0f, 11.0f);
    if (which == DragCursor::kCopy) {
        g.FillRectangle(&black, 16.5f, 23.0f, 6.0f, 1.5f);
        g.FillRectangle(&black, 19.0f, 20.5f, 1.5f, 6.0f);
    } else if (which == DragCursor::kGroup) {
        g.DrawRectangle(&pen, 16.5f, 20.5f, 4.0f, 4.0f);
        g.DrawRectangle(&pen, 18.5f, 22.5f, 4.0f, 4.0f);
    }
    return icon_from(bitmap, true, 1, 1);
}

}  // namespace

HICON make_icon(Picture picture, int size) {
    Bitmap bitmap(size, size, PixelFormat32bppARGB);
    Graphics g(&bitmap);
    g.SetSmoothingMode(SmoothingModeAntiAlias);
    g.ScaleTransform(size / 16.0f, size / 16.0f);
    draw(g, picture);
    return icon_from(bitmap, false, 0, 0);
}

HCURSOR drag_cursor(DragCursor which) {
    static HCURSOR cursors[4];
    HCURSOR& c = cursors[int(which)];
    if (!c) c = make_cursor(which);
    return c;
}

}  // namespace zvb
