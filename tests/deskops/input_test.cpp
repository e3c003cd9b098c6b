// The mouse, keyboard and IME functions on a desktop: zvs_cmd scripts drive
// zv_target; cursor shapes, IME commands, failures and pauses by direct calls.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "catalogue.h"
#include "deskops_call.h"
#include "frame_win32.h"
#include "target_driver.h"
#include "target_test.h"

#include <imm.h>

using deskops_test::Arg;
using zv::test::eventually;
using zv::test::handle;
using zv::test::number;
using zv::test::Target;

namespace {

class Input : public zv::test::TargetTest {};

// The log lines that begin with one of the words, in order.
std::string lines_of(const std::string& log, std::initializer_list<const char*> words) {
    std::istringstream in(log);
    std::string line, out;
    while (std::getline(in, line))
        for (const char* w : words)
            if (line.rfind(std::string(w) + " ", 0) == 0) out += line + "\n";
    return out;
}

// What the pad logs for one key press.
std::string press(int vk, int scan, int ext, const char* mods = "none") {
    std::string codes = " vk=" + std::to_string(vk) + " scan=" + std::to_string(scan) + " ext=" + std::to_string(ext);
    return "keydown pad" + codes + " mods=" + mods + "\nkeyup pad" + codes + " mods=none\n";
}

int layout_scan(int vk) { return int(MapVirtualKeyW(UINT(vk), MAPVK_VK_TO_VSC)); }

// Where a script point relative to window from (its visible frame, or its
// window rectangle when raw) lies in window to's client area.
POINT client_of(HWND to, HWND from, int x, int y, bool raw = false) {
    RECT r = {};
    deskops::window_frame_rect(from, &r, raw);
    POINT origin = {0, 0};
    ClientToScreen(to, &origin);
    return {r.left + x - origin.x, r.top + y - origin.y};
}

std::string at(const char* what, const char* ctrl, POINT p) {
    return std::string(what) + " " + ctrl + " x=" + std::to_string(p.x) + " y=" + std::to_string(p.y) + "\n";
}

std::string pair(long x, long y) { return std::to_string(x) + "," + std::to_string(y); }

// Under X11 the target reports each pointer warp back a moment later; a
// move made before it has done so would be undone. Two round trips through
// its message loop let it catch up.
const char* const settle = "wait_busy(main, 5000)\nwait_busy(main, 5000)\n";

// Script text placing the cursor at the centre of a window.
std::string over(HWND w) {
    RECT r;
    GetWindowRect(w, &r);
    return "set_mouse_pos(" + pair((r.left + r.right) / 2, (r.top + r.bottom) / 2) + ")\n" + settle;
}

}  // namespace

TEST_F(Input, KeysCarryTheirCodesAndModifiers) {
    Target& t = *target_;
    std::string out = t.script(
        "set_foreground_window(main)\nset_focus_window(pad)\n"
        "print(key_input(\"VK_RETURN\") + key_input(\"Vk_ReTuRn\") + key_input(13))\n"
        "print(key_input(\"vk_no_such_key\") + key_input(0) + key_input(\"A\") + key_input(\"a\") + key_input(321.7))\n"
        "print(key_input(\"VK_LEFT\") + key_input(\"VK_F24\") + key_input(\"VK_RCONTROL\") + key_input(\"VK_DIVIDE\"))\n");
    EXPECT_EQ(out, "000");
    std::string enter = press(13, layout_scan(13), 1), a = press('A', layout_scan('A'), 0);
    // "a" is the numeric-pad 1 key; the right control key arrives as
    // VK_CONTROL with its fixed scan code.
    std::string expected = enter + enter + enter + a + press(0x61, 0x4F, 0) + a +
                           press(VK_LEFT, layout_scan(VK_LEFT), 1) + press(VK_F24, layout_scan(VK_F24), 0) +
                           press(VK_CONTROL, 0x1D, 1, "ctrl") + press(VK_DIVIDE, 0x35, 1);
    EXPECT_TRUE(eventually([&] { return lines_of(t.log(), {"keydown", "keyup"}) == expected; }))
        << lines_of(t.log(), {"keydown", "keyup"});

    // Held modifiers show in the key state and shape the typed text.
    out = t.script(
        "set_foreground_window(main)\nset_focus_window(edit)\nkey_down(\"VK_SHIFT\")\nkey_input(\"H\")\n"
        "print((get_key_state(\"vk_shift\") < 0) + \" \" + (get_async_key_state(16) < 0) + \" \")\n"
        "key_up(\"VK_SHIFT\")\nkey_input(\"I\")\nkey_input(\"VK_OEM_1\")\n"
        "print((get_key_state(\"vk_shift\") < 0) + \" \" + (get_async_key_state(16) < 0))\n");
    EXPECT_EQ(out, "1 1 0 0");
    EXPECT_TRUE(eventually([&] { return zv::test::text_of(t.edit) == L"Hi;"; })) << t.log();
    EXPECT_TRUE(t.logged("keydown edit vk=72 scan=35 ext=0 mods=shift")) << t.log();
    EXPECT_TRUE(t.logged("keydown edit vk=73 scan=23 ext=0 mods=none")) << t.log();
}

TEST_F(Input, ButtonsAndWheelLandInsideTheVisibleFrame) {
    Target& t = *target_;
    auto on_pad = [&](int x, int y) { return client_of(t.pad, t.pad, x, y); };
    auto click = [&](const char* button, POINT p) {
        return at((std::string(button) + "down").c_str(), "pad", p) + at((std::string(button) + "up").c_str(), "pad", p);
    };
    POINT still = on_pad(40, 50);
    const std::string positioned =
        "print(mouse_leftclick(20, 30, pad))\nprint(mouse_rightclick(21.9, 31, pad))\n"
        "print(mouse_middleclick(22, 32, pad))\nprint(mouse_leftdown(5, 6, pad))\n"
        "print(mouse_leftup(50, 40, pad))\nprint(mouse_rightdown(40, 120, main, 1))\n"
        "print(mouse_rightup(41, 121, main))\nprint(mouse_middledown(60, 61, pad) + mouse_middleup(60, 61, pad))\n"
        "print(mouse_leftclick(10, 10, button))\n";
    const std::string landed =
        click("lbutton", on_pad(20, 30)) + click("rbutton", on_pad(21, 31)) + click("mbutton", on_pad(22, 32)) +
        at("lbuttondown", "pad", on_pad(5, 6)) + at("lbuttonup", "pad", on_pad(50, 40)) +
        at("rbuttondown", "pad", client_of(t.pad, t.main, 40, 120, true)) +
        at("rbuttonup", "pad", client_of(t.pad, t.main, 41, 121)) + click("mbutton", on_pad(60, 61)) +
        at("lbuttondown", "button", client_of(t.button, t.button, 10, 10)) +
        at("lbuttonup", "button", client_of(t.button, t.button, 10, 10));
    const struct {
        std::string script, received;
    } steps[] = {
        // Buttons at a position land there even one right after another:
        // the late warp reports of X11 (see settle) cannot move them.
        {positioned + positioned + positioned, landed + landed + landed},
        // Without a position (fewer than two numbers) a button acts where the
        // cursor is, once the warps before have been reported back.
        {std::string(settle) + "print(mouse_middledown(60, 61, pad) + mouse_middleup(\"x\"))",
         click("mbutton", on_pad(60, 61))},
        // A second click on the same spot is a double click (one script, so
        // that a slow process start cannot stretch the pair past the
        // double-click time).
        {std::string(settle) + "set_mouse_pos(40, 50, pad)\n" + settle + "mouse_leftclick()\nprint(mouse_leftclick(3))",
         click("lbutton", still) + at("dblclk", "pad", still) + at("lbuttonup", "pad", still)},
        // The pad leaves the wheel to DefWindowProc, which hands it on.
        {"print(mouse_wheel(-240))", "wheel pad delta=-240\nwheel main delta=-240\n"},
    };
    ASSERT_EQ(t.script("set_foreground_window(main)"), "");
    for (const auto& step : steps) {
        size_t before = t.log().size();
        size_t prints = 0;
        for (size_t at = 0; (at = step.script.find("print(", at)) != std::string::npos; ++at) ++prints;
        EXPECT_EQ(t.script(step.script), std::string(prints, '0')) << step.script;
        EXPECT_TRUE(eventually([&] {
            return lines_of(t.log().substr(before), {"lbuttondown", "lbuttonup", "rbuttondown", "rbuttonup",
                                                     "mbuttondown", "mbuttonup", "dblclk", "wheel"}) == step.received;
        })) << step.script << "\n" << t.log().substr(before);
    }
    EXPECT_TRUE(eventually([&] { return t.logged("clicked button count=3"); }));
}

// The cursor stays off the target until the last move (see settle).
TEST_F(Input, PositionsWindowsAndColoursUnderTheMouse) {
    Target& t = *target_;
    RECT frame = {}, raw = {};
    deskops::window_frame_rect(t.main, &frame, false);
    GetWindowRect(t.main, &raw);
    const char* const show = "print(p[\"x\"] + \",\" + p[\"y\"] + \" \")\n";
    std::string out = t.script(std::string("set_mouse_pos(700, 600)\np = get_mouse_pos()\n") + show +
                               "p = get_mouse_pos(main)\n" + show + "p = get_mouse_pos(main, 1)\n" + show +
                               "p = get_mouse_pos(\"main\")\n" + show + "mouse_move(5, -3)\np = get_mouse_pos()\n" +
                               show + "set_mouse_pos(10, 20, main)\np = get_mouse_pos(main)\n" + show);
    EXPECT_EQ(out, "700,600 " + pair(700 - frame.left, 600 - frame.top) + " " + pair(700 - raw.left, 600 - raw.top) +
                       " 700,600 705,597 10,20 ");
    POINT cursor = {};
    GetCursorPos(&cursor);
    EXPECT_EQ(pair(cursor.x, cursor.y), pair(frame.left + 10, frame.top + 20));

    // The windows and colours under the cursor.
    POINT empty = {282, 60};  // a spot of the main window's own client area
    ClientToScreen(t.main, &empty);
    out = t.script(
        "set_foreground_window(main)\n" + over(t.edit) +
        "print(window_from_mouse() + \" \" + top_window_from_mouse() + \" \" + topwindow_from_mouse() + \"\\n\")\n" +
        "set_mouse_pos(" + pair(empty.x, empty.y) + ")\n" + settle +
        "print(window_from_mouse() + \" \" + top_window_from_mouse() + \"\\n\")\n" +
        "c = color_from_mouse()\nprint(c[\"r\"] + \",\" + c[\"G\"] + \",\" + c[\"b\"] + \"\\n\")\n" + over(t.pad) +
        "c = color_from_mouse()\nprint(c[\"R\"] + \",\" + c[\"g\"] + \",\" + c[\"B\"])\n");
    auto rgb = [](DWORD c) { return pair(GetRValue(c), GetGValue(c)) + "," + std::to_string(GetBValue(c)); };
    std::string m = number(t.main);
    EXPECT_EQ(out, number(t.edit) + " " + m + " " + m + "\n" + m + " " + m + "\n" + rgb(GetSysColor(COLOR_BTNFACE)) +
                       "\n" + rgb(GetSysColor(COLOR_WINDOW)));
}

namespace {

// Wine takes the system DPI from the prefix registry when a process starts:
// while this lives, new processes see 144 DPI. (Windows reads it at logon.)
struct SystemDpi144 {
    HKEY key = nullptr;
    DWORD saved = 0, size = sizeof saved, dpi = 144;
    bool had = false, active = false;
    SystemDpi144() {
        if (!GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") ||
            RegOpenKeyExW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", 0, KEY_QUERY_VALUE | KEY_SET_VALUE, &key))
            return;
        had = RegQueryValueExW(key, L"LogPixels", nullptr, nullptr, reinterpret_cast<BYTE*>(&saved), &size) == 0;
        active = RegSetValueExW(key, L"LogPixels", 0, REG_DWORD, reinterpret_cast<BYTE*>(&dpi), sizeof dpi) == 0;
    }
    ~SystemDpi144() {
        if (!key) return;
        had ? RegSetValueExW(key, L"LogPixels", 0, REG_DWORD, reinterpret_cast<BYTE*>(&saved), sizeof saved)
            : RegDeleteValueW(key, L"LogPixels");
        RegCloseKey(key);
    }
};

}  // namespace

// At 144 DPI (DPI-aware runner and target) scripts speak in 100 % units and
// the system in device pixels: a click 20, 30 into the pad's frame lands 30,
// 45 pixels into it (29, 44 of its client area, inside the 1-pixel border).
TEST(InputAt144Dpi, ScriptUnitsBecomeDevicePixels) {
    if (!zv::test::have_desktop()) GTEST_SKIP() << "no desktop to create windows on";
    SystemDpi144 dpi;
    if (!dpi.active) GTEST_SKIP() << "the system DPI is not set by the registry here";
    Target t;
    ASSERT_TRUE(t.started()) << t.log();
    std::string out = t.script("set_foreground_window(main)\nprint(mouse_leftclick(20, 30, pad))\n" +
                               std::string(settle) + "mouse_move(4, -4)\n" + settle +
                               "p = get_mouse_pos(pad)\nprint(\" \" + p[\"x\"] + \",\" + p[\"y\"])\n");
    EXPECT_EQ(out, "0 24,26");
    EXPECT_TRUE(eventually([&] { return t.logged("lbuttondown pad x=29 y=44"); })) << t.log();
}

// ---- direct calls ------------------------------------------------------------------

namespace {

// A window of this process under the cursor, in front: the calls move the
// real cursor and send real events. One for all tests (Wine takes two
// seconds to destroy a visible window when there is no window manager).
class OwnWindow : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        deskops::library_start(GetModuleHandleW(nullptr));
        WNDCLASSW wc = {};
        wc.lpfnWndProc = DefWindowProcW;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"deskops_input_test";
        RegisterClassW(&wc);
        window_ = CreateWindowExW(0, wc.lpszClassName, L"input test", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 80, 90, 300,
                                  200, nullptr, nullptr, wc.hInstance, nullptr);
    }
    static void TearDownTestSuite() {
        if (window_) DestroyWindow(window_);
    }
    void SetUp() override {
        if (!window_) GTEST_SKIP() << "no desktop to create windows on";
        deskops::bring_to_front(window_);
        SetFocus(window_);
        SetCursorPos(200, 150);
        pump();
    }
    static void pump() {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    }
    static inline HWND window_ = nullptr;
};

// The result, or the return code and message.
std::string value_of(const char* name, const deskops_test::Args& args = {}) {
    deskops_test::Outcome o = deskops_test::call(deskops::catalogue_function(name), args);
    return o.rc == 0 ? o.value : "rc " + std::to_string(o.rc) + " " + o.error;
}

WNDPROC g_ime_proc;
std::string g_ime_log;

// Stands in for an input method (Wine's default IME window answers every
// WM_IME_CONTROL with 0 and keeps nothing).
LRESULT CALLBACK fake_ime(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg != WM_IME_CONTROL) return CallWindowProcW(g_ime_proc, w, msg, wp, lp);
    g_ime_log += std::to_string(wp) + ":" + std::to_string(lp) + " ";
    return LRESULT(wp * 100 + lp);
}

}  // namespace

// Compared with this process's standard cursors (under Wine every process
// has cursor handles of its own, so the cursor is set here).
TEST_F(OwnWindow, CursorShapeIsTheLastMatchingStandardCursor) {
    const std::pair<LPCSTR, const char*> cursors[] = {
        {IDC_IBEAM, "6"}, {IDC_ARROW, "2"}, {IDC_WAIT, "16"}, {IDC_APPSTARTING, "1"}, {IDC_SIZEWE, "14"}};
    for (const auto& [id, number] : cursors) {
        SetCursor(LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(id)));
        EXPECT_EQ(value_of("get_mouse_cursor"), number);
    }
    BYTE and_mask[128], xor_mask[128] = {};
    memset(and_mask, 0xFF, sizeof and_mask);
    HCURSOR own = CreateCursor(GetModuleHandleW(nullptr), 0, 0, 32, 32, and_mask, xor_mask);
    SetCursor(own);
    EXPECT_EQ(value_of("get_mouse_cursor"), "-1");
    ShowCursor(FALSE);
    EXPECT_EQ(value_of("get_mouse_cursor"), "0");
    ShowCursor(TRUE);
    SetCursor(LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW)));
    DestroyCursor(own);
}

// The commands reach the default IME window of the foreground thread's
// focus window, the value as lparam; the answer is the result.
TEST_F(OwnWindow, ImeCommandsGoToTheFocusWindowsImeWindow) {
    HWND ime = ImmGetDefaultIMEWnd(window_);
    if (!ime) GTEST_SKIP() << "no default IME window";
    g_ime_proc = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(ime, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(fake_ime)));
    g_ime_log.clear();
    const std::pair<const char*, deskops_test::Args> calls[] = {
        {"get_ime_status", {}},          {"set_ime_status", {1}},          {"get_ime_conversion_mode", {}},
        {"set_ime_conversion_mode", {9.7}}, {"get_ime_sentence_mode", {}}, {"set_ime_sentence_mode", {-8}},
    };
    std::string answers;
    for (const auto& [name, args] : calls) answers += value_of(name, args) + " ";
    SetWindowLongPtrW(ime, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_ime_proc));
    EXPECT_EQ(g_ime_log, "5:0 6:1 1:0 2:9 3:0 4:-8 ");
    EXPECT_EQ(answers, "500 601 100 209 300 392 ");
}

// Wrong argument kinds and windows that do not exist fail; failures, reading
// and the IME take no pause, every synthesizing call exactly one (counted
// rather than timed).
TEST_F(OwnWindow, FailuresAndPauses) {
    const std::string not_number = "rc -1 引数は数値のみです。", no_array = "rc -1 引数に配列は指定できません。";
    wchar_t text[256];
    DWORD n = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                             ERROR_INVALID_WINDOW_HANDLE, 0, text, 256, nullptr);
    while (n && wcschr(L"\r\n \t", text[n - 1])) --n;
    std::string invalid = "rc -1 " + deskops_test::utf8(std::u16string(reinterpret_cast<char16_t*>(text), n));
    const int nowhere = 0x7FFF0;  // no such window
    const struct {
        const char* name;
        deskops_test::Args args;
        std::string outcome;
    } cases[] = {
        {"key_input", {Arg({65})}, no_array},         {"get_async_key_state", {Arg({})}, no_array},
        {"set_ime_status", {"1"}, not_number},        {"set_mouse_pos", {"1", 2}, not_number},
        {"mouse_leftclick", {1, Arg({})}, not_number}, {"mouse_move", {1, "2"}, not_number},
        {"mouse_wheel", {"120"}, not_number},         {"set_mouse_pos", {1, 2, nowhere}, invalid},
        {"mouse_middleclick", {1, 2, nowhere, 1}, invalid}, {"get_mouse_pos", {nowhere}, invalid},
        {"get_key_state", {"VK_"}, "0"},
    };
    deskops::set_operation_wait(1);
    uint32_t before = deskops::operation_pauses();
    for (const auto& c : cases) EXPECT_EQ(value_of(c.name, c.args), c.outcome) << c.name;
    for (const char* name : {"get_mouse_pos", "window_from_mouse", "color_from_mouse", "get_ime_status"})
        value_of(name);
    value_of("get_key_state", {16});
    value_of("set_ime_status", {0});
    EXPECT_EQ(deskops::operation_pauses(), before);

    const int h = handle(window_);
    std::vector<std::pair<const char*, deskops_test::Args>> synthesizing = {
        {"key_input", {0}}, {"key_down", {"vk_unknown"}}, {"key_up", {"vk_unknown"}},
        {"set_mouse_pos", {50, 60, h}}, {"mouse_move", {1, 1}}, {"mouse_wheel", {0}}};
    for (const char* b : {"mouse_leftclick", "mouse_leftdown", "mouse_leftup", "mouse_rightclick", "mouse_rightdown",
                          "mouse_rightup", "mouse_middleclick", "mouse_middledown", "mouse_middleup"})
        synthesizing.push_back({b, {}});
    for (const auto& [name, args] : synthesizing) {
        before = deskops::operation_pauses();
        EXPECT_EQ(value_of(name, args), "0") << name;
        EXPECT_EQ(deskops::operation_pauses() - before, 1u) << name;
        pump();
    }
    deskops::set_operation_wait(0);
}
