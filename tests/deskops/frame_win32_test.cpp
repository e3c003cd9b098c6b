// The frame's window helpers on a real desktop (Windows, or Wine with a
// display): the visible frame rectangle and bring_to_front.
#include <gtest/gtest.h>

#include "frame_win32.h"

namespace {

void pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
}

}  // namespace

// The raw rectangle is the window's; the visible frame is the system's frame
// bounds where there are any, else the window's too; no window fails. Each
// window in turn comes to the front (twice round), and the foreground lock
// timeout is as it was afterwards.
TEST(Windows, FrameRectangleAndBringToFront) {
    deskops::library_start(GetModuleHandleW(nullptr));
    HWND windows[2];
    for (HWND& w : windows) {
        w = CreateWindowExW(0, L"STATIC", L"frame test", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 50, 60, 300, 200, nullptr,
                            nullptr, nullptr, nullptr);
        if (!w) GTEST_SKIP() << "no desktop to create windows on";
    }
    pump();
    RECT window, raw, frame, bounds;
    ASSERT_TRUE(GetWindowRect(windows[0], &window));
    ASSERT_TRUE(deskops::window_frame_rect(windows[0], &raw, true) &&
                deskops::window_frame_rect(windows[0], &frame, false));
    EXPECT_TRUE(EqualRect(&raw, &window));
    EXPECT_TRUE(EqualRect(&frame, deskops::window_frame_bounds(windows[0], &bounds) ? &bounds : &window));
    SetLastError(0);
    EXPECT_FALSE(deskops::window_frame_rect(nullptr, &frame, false));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_WINDOW_HANDLE));

    DWORD before = 0, after = 0;
    SystemParametersInfoW(SPI_GETFOREGROUNDLOCKTIMEOUT, 0, &before, 0);
    for (HWND w : {windows[0], windows[1], windows[0], windows[1]}) {
        EXPECT_TRUE(deskops::bring_to_front(w));
        // The window manager may apply the change asynchronously.
        for (int i = 0; i < 200 && GetForegroundWindow() != w; ++i, Sleep(10)) pump();
        EXPECT_EQ(GetForegroundWindow(), w);
    }
    SystemParametersInfoW(SPI_GETFOREGROUNDLOCKTIMEOUT, 0, &after, 0);
    EXPECT_EQ(after, before);
    for (HWND w : windows) DestroyWindow(w);
}
