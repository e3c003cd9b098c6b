// The frame's window helpers on a real desktop (Windows, or Wine with a
// display): the visible frame rectangle and bring_to_front.
#include <gtest/gtest.h>

#include "frame_win32.h"

namespace {

class Windows : public ::testing::Test {
protected:
    void SetUp() override {
        deskops::library_start(GetModuleHandleW(nullptr));
        WNDCLASSW wc = {};
        wc.lpfnWndProc = DefWindowProcW;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"deskops_frame_test";
        RegisterClassW(&wc);
        for (HWND& w : windows_) {
            w = CreateWindowExW(0, wc.lpszClassName, L"frame test", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 50, 60, 300,
                                200, nullptr, nullptr, wc.hInstance, nullptr);
            if (!w) GTEST_SKIP() << "no desktop to create windows on";
        }
        pump();
    }
    void TearDown() override {
        for (HWND w : windows_)
            if (w) DestroyWindow(w);
    }
    static void pump() {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    }
    HWND windows_[2] = {};
};

}  // namespace

TEST_F(Windows, FrameRectangleFallsBackToTheWindowRectangle) {
    RECT window, raw, frame, bounds;
    ASSERT_TRUE(GetWindowRect(windows_[0], &window));
    ASSERT_TRUE(deskops::window_frame_rect(windows_[0], &raw, true));
    EXPECT_TRUE(EqualRect(&raw, &window));
    ASSERT_TRUE(deskops::window_frame_rect(windows_[0], &frame, false));
    if (deskops::window_frame_bounds(windows_[0], &bounds))
        EXPECT_TRUE(EqualRect(&frame, &bounds));
    else
        EXPECT_TRUE(EqualRect(&frame, &window));

    SetLastError(0);
    EXPECT_FALSE(deskops::window_frame_rect(nullptr, &frame, false));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_WINDOW_HANDLE));
}

TEST_F(Windows, BringToFrontRaisesAndRestoresTheLockTimeout) {
    DWORD before = 0, after = 0;
    SystemParametersInfoW(SPI_GETFOREGROUNDLOCKTIMEOUT, 0, &before, 0);
    for (int round = 0; round < 2; ++round) {
        for (HWND w : windows_) {
            EXPECT_TRUE(deskops::bring_to_front(w));
            // The window manager may apply the change asynchronously.
            for (int i = 0; i < 200 && GetForegroundWindow() != w; ++i) {
                pump();
                Sleep(10);
            }
            EXPECT_EQ(GetForegroundWindow(), w);
        }
    }
    SystemParametersInfoW(SPI_GETFOREGROUNDLOCKTIMEOUT, 0, &after, 0);
    EXPECT_EQ(after, before);
}
