#include <gtest/gtest.h>

#include "dialog.h"
#include "dpi.h"
#include "paint_buffer.h"
#include "strings.h"
#include "window_class.h"
#include "zv_test_support.h"

namespace {

using namespace zv::ui;

TEST(UiStrings, FollowTheThreadLocaleAndFormatWideText) {
    bool ja = zv::test::japanese();
    EXPECT_EQ(load_string(100), ja ? L"こんにちは" : L"Hello");
    EXPECT_EQ(load_string(200), L"neutral only");
    EXPECT_EQ(load_string(101), L"");
    EXPECT_EQ(format_string(117, L"リスト", 3), ja ? L"リストは3項目" : L"リスト has 3 items");
    // wsprintf's limit: long texts are cut, never overrun.
    std::wstring long_name(3000, L'x');
    EXPECT_EQ(format(L"[%s]", long_name.c_str()).size(), 1024u);
    EXPECT_FALSE(system_error_text(ERROR_FILE_NOT_FOUND).empty());
    EXPECT_NE(system_error_text(ERROR_FILE_NOT_FOUND).back(), L'\n');
}

TEST(UiScale, ConvertsBothWaysAndStaysExactAtOneHundred) {
    set_scale_percent(150);
    EXPECT_EQ(scale(600), 900);
    EXPECT_EQ(unscale(900), 600);
    EXPECT_EQ(scale(65), 98);  // MulDiv rounds
    set_scale_percent(100);
    EXPECT_EQ(scale(-7), -7);
    EXPECT_EQ(unscale(12345), 12345);
}

int g_paints;

LRESULT CALLBACK painted(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg != WM_PAINT) return DefWindowProcW(w, msg, wp, lp);
    PaintBuffer paint(w);
    FillRect(paint.dc(), &paint.client(), static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    RECT corner = {0, 0, 10, 10};
    FillRect(paint.dc(), &corner, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    ++g_paints;
    return 0;
}

TEST(UiWindows, CentreOnTheOwnerWithinTheScreenAndPaintBuffered) {
    HINSTANCE module = GetModuleHandleW(nullptr);
    ASSERT_TRUE(register_window_class(module, {L"zv_ui_test", painted}));
    ASSERT_TRUE(register_window_class(module, {L"zv_ui_test", painted}));  // again: fine
    HWND owner = CreateWindowExW(0, L"zv_ui_test", L"", WS_POPUP | WS_VISIBLE, 0, 0, 60, 40, nullptr, nullptr,
                                 module, nullptr);
    ASSERT_TRUE(owner);
    HWND box = CreateWindowExW(0, L"zv_ui_test", L"", WS_POPUP, 500, 500, 200, 100, owner, nullptr, module, nullptr);
    center_window(box);
    RECT r;
    GetWindowRect(box, &r);
    EXPECT_EQ(r.left, 0);  // would be -70: kept on the screen
    EXPECT_EQ(r.top, 0);
    SetWindowPos(owner, nullptr, 400, 300, 400, 300, SWP_NOZORDER);
    center_window(box);
    GetWindowRect(box, &r);
    EXPECT_EQ(r.left, 500);
    EXPECT_EQ(r.top, 400);

    g_paints = 0;
    RedrawWindow(owner, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    EXPECT_GE(g_paints, 1);
    HDC screen = GetDC(owner);
    EXPECT_EQ(GetPixel(screen, 2, 2), RGB(255, 255, 255));
    EXPECT_EQ(GetPixel(screen, 30, 30), RGB(0, 0, 0));
    ReleaseDC(owner, screen);
    DestroyWindow(box);
    DestroyWindow(owner);
}

}  // namespace
