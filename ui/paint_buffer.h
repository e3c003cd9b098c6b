// Double-buffered painting: WM_PAINT draws into an off-screen bitmap of the
// client size, copied to the window in one go when the buffer goes out of
// scope, so rows and buttons never flicker.
//
//   case WM_PAINT: {
//       zv::ui::PaintBuffer paint(window);
//       draw(paint.dc(), paint.client());
//       return 0;
//   }
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

namespace zv::ui {

class PaintBuffer {
public:
    explicit PaintBuffer(HWND window);
    ~PaintBuffer();
    PaintBuffer(const PaintBuffer&) = delete;
    PaintBuffer& operator=(const PaintBuffer&) = delete;

    // The off-screen surface (the window's own DC when no bitmap could be
    // made: painting then still works, only unbuffered).
    HDC dc() const { return memory_ ? memory_ : ps_.hdc; }
    const RECT& client() const { return client_; }
    // The part of the window that needs painting.
    const RECT& dirty() const { return ps_.rcPaint; }

private:
    HWND window_;
    PAINTSTRUCT ps_ = {};
    RECT client_ = {};
    HDC memory_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ old_bitmap_ = nullptr;
};

}  // namespace zv::ui
