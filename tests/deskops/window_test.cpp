// The window functions on a desktop: zvs_cmd scripts drive zv_target;
// argument checks, display scaling and pauses by direct calls.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>

#include "catalogue.h"
#include "deskops_call.h"
#include "frame_win32.h"
#include "target_driver.h"
#include "target_test.h"

using deskops_test::Arg;
using zv::test::eventually;
using zv::test::handle;
using zv::test::number;
using zv::test::Target;
using zv::test::text_of;

namespace {

class Window : public zv::test::TargetTest {};

constexpr auto fn = deskops::catalogue_function;

// "left,top widthxheight" of the window's visible frame or raw rectangle.
std::string geometry(HWND w, bool raw) {
    RECT r = {};
    deskops::window_frame_rect(w, &r, raw);
    return std::to_string(r.left) + "," + std::to_string(r.top) + " " + std::to_string(r.right - r.left) + "x" +
           std::to_string(r.bottom - r.top);
}

std::string brief(const deskops_test::Outcome& o) { return std::to_string(o.rc) + "|" + (o.rc ? o.error : o.value); }

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
    auto place = [&](const std::string& pos, const std::string& size, const std::string& raw) {
        return t.script("print(set_window_pos(main, " + pos + raw + ") + \" \" + set_window_size(main, " + size + raw +
                        ") + \"\\n\")\np = get_window_pos(main" + raw + ")\ns = get_window_size(main" + raw +
                        ")\nprint(p[\"left\"] + \",\" + p[\"top\"] + \" \" + s[\"width\"] + \"x\" + s[\"height\"])\n");
    };
    EXPECT_EQ(place("150, 130", "330, 260", ""), "1 1\n150,130 330x260");
    EXPECT_EQ(geometry(t.main, false), "150,130 330x260");
    EXPECT_EQ(place("40, 50", "300, 200", ", 1"), "1 1\n40,50 300x200");
    EXPECT_EQ(geometry(t.main, true), "40,50 300x200");

    POINT corner = {3, 4};
    ClientToScreen(t.edit, &corner);
    std::string out = t.script(
        "c = client_to_screen(edit, 3, 4)\nb = screen_to_client(edit, c[\"left\"], c[\"top\"])\n"
        "print(c[\"left\"] + \",\" + c[\"top\"] + \" \" + b[\"left\"] + \",\" + b[\"top\"] + \"\\n\")\n"
        "print(get_window_pos(0))\n");
    // A rectangle query on no window is a script error (the output ends).
    EXPECT_EQ(out.substr(0, out.find("Error")),
              std::to_string(corner.x) + "," + std::to_string(corner.y) + " 3,4\n");
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
        "print(set_foreground_window(main) + \" \" + get_foreground_window() + \" \")\nset_focus_window(edit)\n"
        "print(get_focus_window() + \" \" + set_focus_window(pad) + \" \" + get_focus_window())\n");
    EXPECT_EQ(out, "0 " + number(t.main) + " " + number(t.edit) + " " + number(t.edit) + " " + number(t.pad));
    EXPECT_TRUE(eventually([&] { return t.logged("focus pad"); }));
    EXPECT_TRUE(t.logged("focus edit"));
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    ASSERT_TRUE(GetGUIThreadInfo(GetWindowThreadProcessId(t.main, nullptr), &info));
    EXPECT_EQ(info.hwndFocus, t.pad);
}

// send_text types each character in order; send_message passes numbers and
// strings by address and gives the window's answer.
TEST_F(Window, TextChecksEnablingAndMessages) {
    Target& t = target();
    std::string out = t.script(
        "print(set_window_text(edit, \"caf\xC3\xA9 \xE3\x81\x82\") + \" \" + length(get_window_text(edit)) + \"\\n\")\n"
        "print(set_button_check(check, 5) + \" \" + get_button_check(check))\n"
        "set_button_check(check, 0)\nprint(\" \" + get_button_check(check) + \"\\n\")\n"
        "print(enable_window(button, 0) + \" \" + is_window_enabled(button))\n"
        "print(\" \" + (enable_window(button, 1) != 0) + \" \" + is_window_enabled(button) + \"\\n\")\n");
    EXPECT_EQ(out, "1 6\n0 1 0\n0 0 1 1\n");
    EXPECT_EQ(text_of(t.edit), L"caf\u00e9 \u3042");
    out = t.script(
        "print(send_text(edit, \"a\xE3\x81\x82Z\") + \" \" + send_message(main, 32770, 7, -5) + \" \")\n"
        "print(send_message(pad, 12, 0, \"by address\") + \" \" + get_window_text(pad) + \"\\n\")\n"
        "send_message(button, 245, 0, 0)\nprint(get_window_text(button))\n");  // BM_CLICK
    EXPECT_EQ(out, "0 6995 1 by address\nCount 1");
    std::string log = t.log();
    size_t a = log.find("ime_char edit code=97\n"), b = log.find("ime_char edit code=12354\n"),
           z = log.find("ime_char edit code=90\n");
    EXPECT_TRUE(a < b && b < z && z != std::string::npos) << log;
    EXPECT_TRUE(eventually([&] { return text_of(t.edit).find(L"a\u3042Z") != std::wstring::npos; })) << log;
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
    const std::string not_number = "-1|引数は数値のみです。";
    wchar_t text[256];
    DWORD n = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                             ERROR_INVALID_WINDOW_HANDLE, 0, text, 256, nullptr);
    while (n && wcschr(L"\r\n \t", text[n - 1])) --n;
    const std::string invalid = "-1|" + deskops_test::utf8(std::u16string(reinterpret_cast<char16_t*>(text), n));
    const struct {
        const char* name;
        deskops_test::Args args;
        std::string outcome;
    } cases[] = {
        {"get_window_pos", {"1"}, not_number},           {"set_window_pos", {1, 2, "3"}, not_number},
        {"set_window_size", {1, Arg({}), 3}, not_number}, {"get_window", {1, "2"}, not_number},
        {"screen_to_client", {1, 2, "x"}, not_number},    {"set_focus_window", {"x"}, not_number},
        {"wait_busy", {0, "x"}, not_number},              {"send_message", {0, "x", 0, 0}, not_number},
        {"set_window_text", {"x", "y"}, "-1|第1引数は数値のみです"},
        {"set_window_text", {0, 5}, "-1|第2引数は文字列のみです。"},
        {"send_text", {0, 5}, "-1|引数は文字列のみです。"},
        // Rectangle queries on no window fail with the system's text; other
        // calls on it give the system's own result.
        {"get_window_pos", {0, 1}, invalid},              {"get_window_size", {0, 1}, invalid},
        {"get_window_text", {0}, "0|"},                   {"get_window_class", {0}, "0|"},
        {"set_window_pos", {0, 1, 2}, "0|0"},             {"get_window_state", {0}, "0|0"},
        {"send_message", {0, 12, 0, "x"}, "0|0"},
    };
    for (const auto& c : cases) EXPECT_EQ(brief(deskops_test::call(fn(c.name), c.args)), c.outcome) << c.name;
}

// At 150 % scripts speak in 100 % units; every change takes exactly one pause
// (counted rather than timed).
TEST(WindowCalls, CoordinatesFollowTheDisplayScaleAndChangesPause) {
    deskops::library_start(GetModuleHandleW(nullptr));
    HWND w = CreateWindowExW(0, L"BUTTON", L"wait", WS_OVERLAPPEDWINDOW | BS_AUTOCHECKBOX, 60, 60, 200, 150,
                             nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (!w) GTEST_SKIP() << "no desktop to create windows on";
    const int h = handle(w);
    deskops::set_display_scale(1, 150);
    std::string moved;  // in this order
    for (const auto& [name, args] : std::initializer_list<std::pair<const char*, deskops_test::Args>>{
             {"set_window_pos", {h, 100, 60}}, {"set_window_size", {h, 200, 120}}, {"get_window_pos", {h}},
             {"get_window_size", {h}}, {"client_to_screen", {h, 10, 20}}})
        moved += deskops_test::call(fn(name), args).value + " ";
    deskops::set_display_scale(0, 100);
    POINT origin = {0, 0};
    ClientToScreen(w, &origin);
    EXPECT_EQ(moved, "1 1 {\"left\":100,\"top\":60} {\"width\":200,\"height\":120} {\"left\":" +
                         std::to_string(deskops::mul_div(origin.x + 15, 100, 150)) +
                         ",\"top\":" + std::to_string(deskops::mul_div(origin.y + 30, 100, 150)) + "} ");
    EXPECT_EQ(geometry(w, false), "150,90 300x180");

    const std::pair<const char*, deskops_test::Args> changes[] = {
        {"set_foreground_window", {h}},    {"set_focus_window", {h}},       {"set_window_pos", {h, 70, 70}},
        {"set_window_size", {h, 210, 160}}, {"set_window_state", {h, 5}},   {"set_window_text", {h, "x"}},
        {"enable_window", {h, 1}},          {"set_button_check", {h, 1}},   {"send_text", {h, "ab"}},
        {"send_message", {h, 0, 0, 0}},
    };
    deskops::set_operation_wait(1);
    for (const auto& [name, args] : changes) {
        uint32_t before = deskops::operation_pauses();
        EXPECT_EQ(deskops_test::call(fn(name), args).rc, 0) << name;
        EXPECT_EQ(deskops::operation_pauses() - before, 1u) << name;
    }
    deskops::set_operation_wait(0);
    DestroyWindow(w);
}
