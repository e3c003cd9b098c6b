// The window functions on a real desktop (Windows, or Wine on a display):
// zvs_cmd scripts that import DESKOPS drive the target program (zv_target),
// and the test checks what the target received and how its windows changed.
// Argument checks and display scaling are called directly.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>

#include "catalogue.h"
#include "deskops_call.h"
#include "frame_win32.h"
#include "target_driver.h"

using deskops_test::Arg;
using zv::test::eventually;
using zv::test::handle;
using zv::test::number;
using zv::test::Target;
using zv::test::text_of;

namespace {


class Window : public ::testing::Test {
protected:
    void SetUp() override {
        if (!zv::test::have_desktop()) GTEST_SKIP() << "no desktop to create windows on";
        deskops::library_start(GetModuleHandleW(nullptr));
        target_ = std::make_unique<Target>();
        ASSERT_TRUE(target_->started()) << "zv_target did not report its windows:\n" << target_->log();
    }
    void TearDown() override { target_.reset(); }
    Target& target() { return *target_; }

    std::unique_ptr<Target> target_;
};

constexpr auto fn = deskops::catalogue_function;

RECT frame_of(HWND w, bool raw) {
    RECT r = {};
    deskops::window_frame_rect(w, &r, raw);
    return r;
}

}  // namespace

TEST_F(Window, FindsWindowsByClassTitleAndPatterns) {
    Target& t = target();
    std::string lower = "*zv target " + t.id() + "*";
    std::string out = t.script(
        "print(find_window(\"zv_test_target\", \"" + t.title() + "\") + \"\\n\")\n"
        "print(find_window(\"\", \"" + t.title() + "\") + \"\\n\")\n"
        "print(find_window(0, \"" + t.title() + "\") + \"\\n\")\n"
        "print(find_window(\"zv_test_target\", \"no such title\") + \"\\n\")\n"
        "print(search_window(\"\", \"" + lower + "\") + \"\\n\")\n"
        "print(search_window(\"ZV_TEST_*\", \"ZV?Target " + t.id() + "\") + \"\\n\")\n"
        "print(search_window(\"zv_test_targ\", \"" + lower + "\") + \"\\n\")\n"
        "print(search_window(\"\", \"*no such title*\") + \"\\n\")\n"
        "print(get_window_class(main) + \"|\" + get_window_text(main) + \"\\n\")\n"
        "print(get_parent_window(edit) + \" \" + get_window(main, 5) + \" \" + get_window(edit, 2) + \"\\n\")\n"
        "print(get_control_id(edit) + \" \" + get_control_id(pad) + \"\\n\")\n"
        "print(get_window_style(edit) + \" \" + get_window_exstyle(main) + \"\\n\")\n");
    std::string m = number(t.main);
    EXPECT_EQ(out, m + "\n" + m + "\n" + m + "\n0\n" + m + "\n" + m + "\n0\n0\n" +
                       "zv_test_target|" + t.title() + "\n" +
                       m + " " + number(t.edit) + " " + number(t.button) + "\n" +
                       "101 104\n" +
                       std::to_string(int(GetWindowLongW(t.edit, GWL_STYLE))) + " " +
                       std::to_string(int(GetWindowLongW(t.main, GWL_EXSTYLE))) + "\n");
}

TEST_F(Window, PlacesTheVisibleFrameOrTheRawRectangle) {
    Target& t = target();
    std::string out = t.script(
        "print(set_window_pos(main, 150, 130) + \" \" + set_window_size(main, 330, 260) + \"\\n\")\n"
        "p = get_window_pos(main)\ns = get_window_size(main)\n"
        "print(p[\"left\"] + \",\" + p[\"top\"] + \" \" + s[\"width\"] + \"x\" + s[\"height\"] + \"\\n\")\n");
    EXPECT_EQ(out, "1 1\n150,130 330x260\n");
    RECT r = frame_of(t.main, false);
    EXPECT_EQ(r.left, 150);
    EXPECT_EQ(r.top, 130);
    EXPECT_EQ(r.right - r.left, 330);
    EXPECT_EQ(r.bottom - r.top, 260);

    out = t.script(
        "print(set_window_pos(main, 40, 50, 1) + \" \" + set_window_size(main, 300, 200, 1) + \"\\n\")\n"
        "p = get_window_pos(main, 1)\ns = get_window_size(main, 1)\n"
        "print(p[\"left\"] + \",\" + p[\"top\"] + \" \" + s[\"width\"] + \"x\" + s[\"height\"] + \"\\n\")\n"
        "c = client_to_screen(edit, 3, 4)\nb = screen_to_client(edit, c[\"left\"], c[\"top\"])\n"
        "print(c[\"left\"] + \",\" + c[\"top\"] + \" \" + b[\"left\"] + \",\" + b[\"top\"] + \"\\n\")\n"
        "print(get_window_pos(0))\n");
    RECT raw;
    GetWindowRect(t.main, &raw);
    EXPECT_EQ(raw.left, 40);
    EXPECT_EQ(raw.top, 50);
    EXPECT_EQ(raw.right - raw.left, 300);
    EXPECT_EQ(raw.bottom - raw.top, 200);
    POINT corner = {3, 4};
    ClientToScreen(t.edit, &corner);
    std::string point = std::to_string(corner.x) + "," + std::to_string(corner.y);
    // A rectangle query on no window is a script error (the output ends).
    EXPECT_EQ(out.substr(0, out.find("Error")), "1 1\n40,50 300x200\n" + point + " 3,4\n");
    EXPECT_NE(out.find("Error"), std::string::npos);
}

TEST_F(Window, ChangesAndReportsTheShowState) {
    Target& t = target();
    struct Step {
        int command;
        std::function<bool()> reached;
        const char* state;  // get_window_state afterwards
    } steps[] = {
        {6, [&] { return IsIconic(t.main) != 0; }, "6"},
        {9, [&] { return !IsIconic(t.main) && !IsZoomed(t.main); }, "1"},
        {3, [&] { return IsZoomed(t.main) != 0; }, "3"},
        {0, [&] { return !IsWindowVisible(t.main); }, "0"},
        {1, [&] { return IsWindowVisible(t.main) && !IsZoomed(t.main); }, "1"},
    };
    EXPECT_EQ(t.script("print(get_window_state(main))"), "1");
    for (const Step& s : steps) {
        EXPECT_NE(t.script("print(set_window_state(main, " + std::to_string(s.command) + "))"), "0") << s.command;
        EXPECT_TRUE(eventually(s.reached)) << s.command;
        EXPECT_EQ(t.script("print(get_window_state(main))"), s.state) << s.command;
    }
}

TEST_F(Window, MovesTheFocusInsideTheForegroundWindow) {
    Target& t = target();
    std::string out = t.script(
        "print(set_foreground_window(main) + \"\\n\")\n"
        "print(get_foreground_window() + \"\\n\")\n"
        "set_focus_window(edit)\n"
        "print(get_focus_window() + \"\\n\")\n"
        "print(set_focus_window(pad) + \"\\n\")\n"
        "print(get_focus_window() + \"\\n\")\n");
    EXPECT_EQ(out, "0\n" + number(t.main) + "\n" + number(t.edit) + "\n" + number(t.edit) + "\n" + number(t.pad) + "\n");
    EXPECT_TRUE(eventually([&] { return t.logged("focus pad"); }));
    EXPECT_NE(t.log().find("focus edit\n"), std::string::npos);
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    ASSERT_TRUE(GetGUIThreadInfo(GetWindowThreadProcessId(t.main, nullptr), &info));
    EXPECT_EQ(info.hwndFocus, t.pad);
}

TEST_F(Window, SetsAndReadsTextChecksAndEnabling) {
    Target& t = target();
    std::string out = t.script(
        "print(set_window_text(edit, \"caf\xC3\xA9 \xE3\x81\x82\") + \"\\n\")\n"
        "print(length(get_window_text(edit)) + \"\\n\")\n"
        "print(set_button_check(check, 5) + \" \" + get_button_check(check))\n"
        "set_button_check(check, 0)\nprint(\" \" + get_button_check(check) + \"\\n\")\n"
        "print(enable_window(button, 0) + \" \" + is_window_enabled(button))\n"
        "print(\" \" + (enable_window(button, 1) != 0) + \" \" + is_window_enabled(button) + \"\\n\")\n");
    EXPECT_EQ(out, "1\n6\n0 1 0\n0 0 1 1\n");
    EXPECT_EQ(text_of(t.edit), L"caf\u00e9 \u3042");
}

TEST_F(Window, SendsTextAndMessages) {
    Target& t = target();
    std::string out = t.script(
        "print(send_text(edit, \"a\xE3\x81\x82Z\") + \"\\n\")\n"
        "print(send_message(main, 32770, 7, -5) + \"\\n\")\n"
        "print(send_message(pad, 12, 0, \"by address\") + \" \" + get_window_text(pad) + \"\\n\")\n"
        "send_message(button, 245, 0, 0)\n"  // BM_CLICK
        "print(get_window_text(button) + \"\\n\")\n");
    EXPECT_EQ(out, "0\n6995\n1 by address\nCount 1\n");
    std::string log = t.log();
    size_t a = log.find("ime_char edit code=97\n"), b = log.find("ime_char edit code=12354\n"),
           z = log.find("ime_char edit code=90\n");
    ASSERT_NE(a, std::string::npos) << log;
    ASSERT_NE(b, std::string::npos) << log;
    ASSERT_NE(z, std::string::npos) << log;
    EXPECT_LT(a, b);
    EXPECT_LT(b, z);
    EXPECT_TRUE(eventually([&] { return text_of(t.edit) == L"a\u3042Z"; })) << log;
    EXPECT_TRUE(t.logged("app wparam=7 lparam=-5"));
    EXPECT_TRUE(t.logged("clicked button count=1"));
}

TEST_F(Window, WaitBusyTellsAHungWindowFromAResponsiveOne) {
    Target& t = target();
    HANDLE release = nullptr;
    ASSERT_TRUE(eventually([&] {
        release = OpenEventW(EVENT_MODIFY_STATE, FALSE, (L"zv_target_release_" + std::to_wstring(t.pid())).c_str());
        return release != nullptr;
    }));
    EXPECT_EQ(t.script("print(wait_busy(main, 2000))"), "0");

    ASSERT_TRUE(PostMessageW(t.main, WM_APP + 1, 60000, 0));
    ASSERT_TRUE(eventually([&] { return t.logged("hang 60000"); }));
    auto start = std::chrono::steady_clock::now();
    std::string out = t.script("print(wait_busy(main, 500) + \" \" + wait_busy(main, 0) + \" \" + wait_busy(main, -1))");
    auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(out, "1 1 1");
    EXPECT_GE(elapsed, std::chrono::milliseconds(500));
    EXPECT_FALSE(t.logged("hang done"));  // still hung: the answers were not luck

    SetEvent(release);
    CloseHandle(release);
    ASSERT_TRUE(eventually([&] { return t.logged("hang done"); }));
    EXPECT_EQ(t.script("print(wait_busy(main, 2000) + \" \" + wait_busy(0, 100))"), "0 1");
}

// ---- direct calls: argument kinds, failures, display scaling ------------------

TEST(WindowCalls, ArgumentKindsAndFailures) {
    deskops::library_start(GetModuleHandleW(nullptr));
    const char* const not_number = "引数は数値のみです。";
    struct Case {
        const char* name;
        deskops_test::Args args;
        std::string message;
    } cases[] = {
        {"get_window_pos", {"1"}, not_number},
        {"set_window_pos", {1, 2, "3"}, not_number},
        {"set_window_size", {1, Arg({}), 3}, not_number},
        {"get_window", {1, "2"}, not_number},
        {"screen_to_client", {1, 2, "x"}, not_number},
        {"set_focus_window", {"x"}, not_number},
        {"wait_busy", {0, "x"}, not_number},
        {"send_message", {0, "x", 0, 0}, not_number},
        {"set_window_text", {"x", "y"}, "第1引数は数値のみです"},
        {"set_window_text", {0, 5}, "第2引数は文字列のみです。"},
        {"send_text", {0, 5}, "引数は文字列のみです。"},
    };
    for (const Case& c : cases) {
        deskops_test::Outcome o = deskops_test::call(fn(c.name), c.args);
        EXPECT_EQ(o.rc, -1) << c.name;
        EXPECT_EQ(o.error, c.message) << c.name;
    }

    // Rectangle queries on no window fail with the system's text; other
    // calls on it give the system's own result.
    wchar_t text[256];
    DWORD n = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                             ERROR_INVALID_WINDOW_HANDLE, 0, text, 256, nullptr);
    while (n && wcschr(L"\r\n \t", text[n - 1])) --n;
    std::string invalid = deskops_test::utf8(std::u16string(reinterpret_cast<char16_t*>(text), n));
    for (const char* name : {"get_window_pos", "get_window_size"}) {
        deskops_test::Outcome o = deskops_test::call(fn(name), {0, 1});
        EXPECT_EQ(o.rc, -1) << name;
        EXPECT_EQ(o.error, invalid) << name;
    }
    EXPECT_EQ(deskops_test::call(fn("get_window_text"), {0}).value, "");
    EXPECT_EQ(deskops_test::call(fn("get_window_class"), {0}).value, "");
    EXPECT_EQ(deskops_test::call(fn("set_window_pos"), {0, 1, 2}).value, "0");
    EXPECT_EQ(deskops_test::call(fn("get_window_state"), {0}).value, "0");
    EXPECT_EQ(deskops_test::call(fn("send_message"), {0, 12, 0, "x"}).value, "0");
}

TEST(WindowCalls, CoordinatesFollowTheDisplayScale) {
    deskops::library_start(GetModuleHandleW(nullptr));
    WNDCLASSW wc = {};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"deskops_window_scale_test";
    RegisterClassW(&wc);
    HWND w = CreateWindowExW(0, wc.lpszClassName, L"scale", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 60, 60, 200, 150,
                             nullptr, nullptr, wc.hInstance, nullptr);
    if (!w) GTEST_SKIP() << "no desktop to create windows on";

    deskops::set_display_scale(1, 150);
    deskops_test::Outcome moved = deskops_test::call(fn("set_window_pos"), {handle(w), 100, 60});
    deskops_test::Outcome sized = deskops_test::call(fn("set_window_size"), {handle(w), 200, 120});
    deskops_test::Outcome pos = deskops_test::call(fn("get_window_pos"), {handle(w)});
    deskops_test::Outcome size = deskops_test::call(fn("get_window_size"), {handle(w)});
    deskops_test::Outcome client = deskops_test::call(fn("client_to_screen"), {handle(w), 10, 20});
    POINT origin = {0, 0};
    ClientToScreen(w, &origin);
    deskops::set_display_scale(0, 100);

    EXPECT_EQ(moved.value + sized.value, "11");
    RECT r = frame_of(w, false);
    EXPECT_EQ(r.left, 150);
    EXPECT_EQ(r.top, 90);
    EXPECT_EQ(r.right - r.left, 300);
    EXPECT_EQ(r.bottom - r.top, 180);
    EXPECT_EQ(pos.value, "{\"left\":100,\"top\":60}");
    EXPECT_EQ(size.value, "{\"width\":200,\"height\":120}");
    EXPECT_EQ(client.value, "{\"left\":" + std::to_string(deskops::mul_div(origin.x + 15, 100, 150)) +
                                ",\"top\":" + std::to_string(deskops::mul_div(origin.y + 30, 100, 150)) + "}");
    DestroyWindow(w);
}

TEST(WindowCalls, ChangesPauseTheOperationWait) {
    deskops::library_start(GetModuleHandleW(nullptr));
    HWND w = CreateWindowExW(0, L"BUTTON", L"wait", WS_OVERLAPPEDWINDOW | BS_AUTOCHECKBOX, 60, 60, 200, 150,
                             nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (!w) GTEST_SKIP() << "no desktop to create windows on";
    const int h = handle(w);
    const std::pair<const char*, deskops_test::Args> changes[] = {
        {"set_foreground_window", {h}},    {"set_focus_window", {h}},       {"set_window_pos", {h, 70, 70}},
        {"set_window_size", {h, 210, 160}}, {"set_window_state", {h, 5}},   {"set_window_text", {h, "x"}},
        {"enable_window", {h, 1}},          {"set_button_check", {h, 1}},   {"send_text", {h, "ab"}},
        {"send_message", {h, 0, 0, 0}},
    };
    // Counted rather than timed: each change takes exactly one pause.
    deskops::set_operation_wait(1);
    for (const auto& [name, args] : changes) {
        uint32_t before = deskops::operation_pauses();
        EXPECT_EQ(deskops_test::call(fn(name), args).rc, 0) << name;
        EXPECT_EQ(deskops::operation_pauses() - before, 1u) << name;
    }
    deskops::set_operation_wait(0);
    DestroyWindow(w);
}
