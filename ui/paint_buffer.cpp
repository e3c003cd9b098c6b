#include "paint_buffer.h"

namespace zv::ui {

PaintBuffer::PaintBuffer(HWND window) : window_(window) {
    BeginPaint(window, &ps_);
    GetClientRect(window, &client_);
    int cx = client_.right - client_.left, cy = client_.bottom - client_.top;
    if (cx <= 0 || cy <= 0) return;
    memory_ = CreateCompatibleDC(ps_.hdc);
    bitmap_ = memory_ ? CreateCompatibleBitmap(ps_.hdc, cx, cy) : nullptr;
    if (!bitmap_) {
        if (memory_) DeleteDC(memory_);
        memory_ = nullptr;
        return;
    }
    old_bitmap_ = SelectObject(memory_, bitmap_);
}

PaintBuffer::~PaintBuffer() {
    if (memory_) {
        const RECT& d = ps_.rcPaint;
        BitBlt(ps_.hdc, d.left, d.top, d.right - d.left, d.bottom - d.top, memory_, d.left, d.top, SRCCOPY);
        SelectObject(memory_, old_bitmap_);
        DeleteObject(bitmap_);
        DeleteDC(memory_);
    }
    EndPaint(window_, &ps_);
}

}  // namespace zv::ui
