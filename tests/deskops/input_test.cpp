// The mouse, keyboard and IME functions on a real desktop (Windows, or Wine
// on a display): zvs_cmd scripts drive zv_target and the test checks what
// the target received (messages with their codes, client points, scan codes)
// and what the system reports (cursor position, key state). Argument kinds,
// pauses and display scaling are checked by direct calls.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <sstream>
#include <string>

#include "catalogue.h"
#include "deskops_call.h"
#include "frame_win32.h"
#include "target_driver.h"

#include <imm.h>

using deskops_test::Arg;
using deskops_test::call;
using zv::test::eventually;
using zv::test::handle;
using zv::test::number;
using zv::test::Target;
using zv::test::text_of;

namespace {

bool have_desktop() {
    HWND probe = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    if (probe) DestroyWindow(probe);
    return probe != nullptr;
}

class Input : public ::testing::Test {
protected:
    void SetUp() override {
        if (!have_desktop()) GTEST_SKIP() << "no desktop to create windows on";
        deskops::library_start(GetModuleHandleW(nullptr));
        target_ = std::make_unique<Target>();
        ASSERT_TRUE(target_->started()) << "zv_target did not report its windows:\n" << target_->log();
    }
    void TearDown() override { target_.reset(); }
    Target& target() { return *target_; }

    std::unique_ptr<Target> target_;
};

ksc::NativeFunc fn(const char* name) {
    size_t count = 0;
    const deskops::CatalogueEntry* entries = deskops::catalogue(&count);
    for (size_t i = 0; i < count; ++i)
        if (std::string(entries[i].name) == name) return entries[i].function;
    ADD_FAILURE() << name << " is not catalogued";
    return nullptr;
}

// The log lines that begin with one of the words, in order.
std::string lines_of(const std::string& log, std::initializer_list<const char*> words) {
    std::istringstream in(log);
    std::string line, out;
    while (std::getline(in, line))
        for (const char* w : words)
            if (line.rfind(std::string(w) + " ", 0) == 0) out += line + "\n";
    return out;
}

std::string key_line(const char* what, const char* ctrl, int vk, int scan, int ext, const char* mods = "none") {
    return std::string(what) + " " + ctrl + " vk=" + std::to_string(vk) + " scan=" + std::to_string(scan) +
           " ext=" + std::to_string(ext) + " mods=" + mods + "\n";
}

// Where a script point relative to window from (its visible frame, or its
// window rectangle when raw) lies in window to's client area.
POINT client_of(HWND to, HWND from, int x, int y, bool raw = false) {
    RECT r = {};
    deskops::window_frame_rect(from, &r, raw);
    POINT origin = {0, 0};
    ClientToScreen(to, &origin);
    return {r.left + x - origin.x, r.top + y - origin.y};
}

POINT client_point(HWND w, int x, int y) { return client_of(w, w, x, y); }

std::string at(const char* what, const char* ctrl, POINT p) {
    return std::string(what) + " " + ctrl + " x=" + std::to_string(p.x) + " y=" + std::to_string(p.y) + "\n";
}

// Under X11 the target itself reports each pointer warp back a little
// later; a move made before it has done so would be undone. Two round trips
// through its message loop let it catch up.
const char* const settle = "wait_busy(main, 5000)\nwait_busy(main, 5000)\n";

// Script text placing the cursor at the centre of a window.
std::string over(HWND w) {
    RECT r;
    GetWindowRect(w, &r);
    return "set_mouse_pos(" + std::to_string((r.left + r.right) / 2) + ", " + std::to_string((r.top + r.bottom) / 2) +
           ")\n" + settle;
}

POINT cursor() {
    POINT p = {};
    GetCursorPos(&p);
    return p;
}

}  // namespace

TEST_F(Input, KeysCarryTheirCodeScanCodeAndExtendedFlag) {
    Target& t = target();
    std::string out = t.script(
        "set_foreground_window(main)\nset_focus_window(pad)\n"
        "print(key_input(\"VK_RETURN\") + key_input(\"vk_return\") + key_input(\"Vk_ReTuRn\") + key_input(13))\n"
        "print(key_input(\"vk_no_such_key\") + key_input(0) + key_input(\"A\") + key_input(\"a\") + key_input(321.7))\n"
        "print(key_input(\"VK_LEFT\") + key_input(\"vk_numpad7\") + key_input(\"VK_F24\"))\n"
        "print(key_input(\"VK_RCONTROL\") + key_input(\"VK_DIVIDE\") + key_input(\"VK_MULTIPLY\"))\n");
    EXPECT_EQ(out, "0000");
    const int enter = int(MapVirtualKeyW(VK_RETURN, MAPVK_VK_TO_VSC)), a = int(MapVirtualKeyW('A', MAPVK_VK_TO_VSC));
    std::string expected;
    for (int i = 0; i < 4; ++i) expected += key_line("keydown", "pad", 13, enter, 1) + key_line("keyup", "pad", 13, enter, 1);
    expected += key_line("keydown", "pad", 65, a, 0) + key_line("keyup", "pad", 65, a, 0);
    expected += key_line("keydown", "pad", 0x61, 0x4F, 0) + key_line("keyup", "pad", 0x61, 0x4F, 0);
    expected += key_line("keydown", "pad", 65, a, 0) + key_line("keyup", "pad", 65, a, 0);
    const int left = int(MapVirtualKeyW(VK_LEFT, MAPVK_VK_TO_VSC)), f24 = int(MapVirtualKeyW(VK_F24, MAPVK_VK_TO_VSC));
    expected += key_line("keydown", "pad", VK_LEFT, left, 1) + key_line("keyup", "pad", VK_LEFT, left, 1);
    expected += key_line("keydown", "pad", 0x67, 0x47, 0) + key_line("keyup", "pad", 0x67, 0x47, 0);
    expected += key_line("keydown", "pad", 0x87, f24, 0) + key_line("keyup", "pad", 0x87, f24, 0);
    // Fixed scan codes; the right control key arrives as VK_CONTROL.
    expected += key_line("keydown", "pad", VK_CONTROL, 0x1D, 1, "ctrl") + key_line("keyup", "pad", VK_CONTROL, 0x1D, 1);
    expected += key_line("keydown", "pad", VK_DIVIDE, 0x35, 1) + key_line("keyup", "pad", VK_DIVIDE, 0x35, 1);
    expected += key_line("keydown", "pad", VK_MULTIPLY, 0x37, 0) + key_line("keyup", "pad", VK_MULTIPLY, 0x37, 0);
    EXPECT_TRUE(eventually([&] { return lines_of(t.log(), {"keydown", "keyup"}) == expected; }))
        << lines_of(t.log(), {"keydown", "keyup"});
}

TEST_F(Input, ScriptsBuildModifiersAndTypeText) {
    Target& t = target();
    std::string out = t.script(
        "set_foreground_window(main)\nset_focus_window(edit)\n"
        "key_down(\"VK_SHIFT\")\nkey_input(\"H\")\n"
        "print((get_key_state(\"vk_shift\") < 0) + \" \" + (get_async_key_state(16) < 0) + \" \")\n"
        "key_up(\"VK_SHIFT\")\nkey_input(\"I\")\nkey_input(\"VK_OEM_1\")\n"
        "print((get_key_state(\"vk_shift\") < 0) + \" \" + (get_async_key_state(16) < 0))\n");
    EXPECT_EQ(out, "1 1 0 0");
    EXPECT_TRUE(eventually([&] { return text_of(t.edit) == L"Hi;"; })) << t.log();
    EXPECT_NE(t.log().find("keydown edit vk=72 scan=35 ext=0 mods=shift\n"), std::string::npos) << t.log();
    EXPECT_NE(t.log().find("keydown edit vk=73 scan=23 ext=0 mods=none\n"), std::string::npos) << t.log();
}

TEST_F(Input, ButtonsAndWheelLandInsideTheVisibleFrame) {
    Target& t = target();
    POINT still = client_point(t.pad, 40, 50);
    struct Step {
        std::string script, received;
    } steps[] = {
        {"print(mouse_leftclick(20, 30, pad))",
         at("lbuttondown", "pad", client_point(t.pad, 20, 30)) + at("lbuttonup", "pad", client_point(t.pad, 20, 30))},
        {"print(mouse_rightclick(21.9, 31, pad))",
         at("rbuttondown", "pad", client_point(t.pad, 21, 31)) + at("rbuttonup", "pad", client_point(t.pad, 21, 31))},
        {"print(mouse_middleclick(22, 32, pad))",
         at("mbuttondown", "pad", client_point(t.pad, 22, 32)) + at("mbuttonup", "pad", client_point(t.pad, 22, 32))},
        {"print(mouse_leftdown(5, 6, pad))", at("lbuttondown", "pad", client_point(t.pad, 5, 6))},
        {"print(mouse_leftup(50, 40, pad))", at("lbuttonup", "pad", client_point(t.pad, 50, 40))},
        {"print(mouse_rightdown(40, 120, main, 1))", at("rbuttondown", "pad", client_of(t.pad, t.main, 40, 120, true))},
        {"print(mouse_rightup(41, 121, main, \"raw\"))", at("rbuttonup", "pad", client_of(t.pad, t.main, 41, 121))},
        {"print(mouse_middledown(60, 61, pad))", at("mbuttondown", "pad", client_point(t.pad, 60, 61))},
        {"print(mouse_middleup(62, 63, pad))", at("mbuttonup", "pad", client_point(t.pad, 62, 63))},
        // Without a position the buttons act where the cursor is; the second
        // press on the same spot is a double click.
        {"set_mouse_pos(40, 50, pad)\nprint(mouse_leftclick())", at("lbuttondown", "pad", still) + at("lbuttonup", "pad", still)},
        {"print(mouse_leftclick(3))", at("dblclk", "pad", still) + at("lbuttonup", "pad", still)},
        // The pad leaves the wheel to DefWindowProc, which hands it on to
        // the parent.
        {"print(mouse_wheel(-240))", "wheel pad delta=-240\nwheel main delta=-240\n"},
        {"print(mouse_wheel(120.9))", "wheel pad delta=120\nwheel main delta=120\n"},
        {"print(mouse_leftclick(10, 10, button))",
         at("lbuttondown", "button", client_point(t.button, 10, 10)) +
             at("lbuttonup", "button", client_point(t.button, 10, 10))},
    };
    ASSERT_EQ(t.script("set_foreground_window(main)"), "");
    // One step at a time: under X11 the pointer warps of one step can reach
    // the target after the events of a later one.
    for (const Step& step : steps) {
        size_t before = t.log().size();
        EXPECT_EQ(t.script(step.script), "0") << step.script;
        EXPECT_TRUE(eventually([&] {
            return lines_of(t.log().substr(before), {"lbuttondown", "lbuttonup", "rbuttondown", "rbuttonup",
                                                     "mbuttondown", "mbuttonup", "dblclk", "wheel"}) == step.received;
        })) << step.script << "\n" << t.log().substr(before);
    }
    EXPECT_TRUE(eventually([&] { return t.logged("clicked button count=1"); }));
}

// The cursor stays off the target until the last move (see settle).
TEST_F(Input, PositionsOnTheScreenAndInsideAWindow) {
    Target& t = target();
    RECT frame = {}, raw = {};
    deskops::window_frame_rect(t.main, &frame, false);
    GetWindowRect(t.main, &raw);
    std::string out = t.script(
        "set_mouse_pos(700, 600)\np = get_mouse_pos()\nprint(p[\"x\"] + \",\" + p[\"y\"] + \" \")\n"
        "p = get_mouse_pos(main)\nprint(p[\"x\"] + \",\" + p[\"y\"] + \" \")\n"
        "p = get_mouse_pos(main, 1)\nprint(p[\"x\"] + \",\" + p[\"y\"] + \" \")\n"
        "p = get_mouse_pos(\"main\")\nprint(p[\"x\"] + \",\" + p[\"y\"] + \" \")\n"
        "mouse_move(5, -3)\np = get_mouse_pos()\nprint(p[\"x\"] + \",\" + p[\"y\"] + \" \")\n"
        "set_mouse_pos(10, 20, main)\np = get_mouse_pos(main)\nprint(p[\"x\"] + \",\" + p[\"y\"])\n");
    auto pair = [](long x, long y) { return std::to_string(x) + "," + std::to_string(y); };
    EXPECT_EQ(out, pair(700, 600) + " " + pair(700 - frame.left, 600 - frame.top) + " " +
                       pair(700 - raw.left, 600 - raw.top) + " 700,600 705,597 10,20");
    EXPECT_EQ(pair(cursor().x, cursor().y), pair(frame.left + 10, frame.top + 20));
}

TEST_F(Input, WindowsAndColoursUnderTheMouse) {
    Target& t = target();
    POINT empty = {282, 60};  // a spot of the main window's own client area
    ClientToScreen(t.main, &empty);
    std::string onto_empty =
        "set_mouse_pos(" + std::to_string(empty.x) + ", " + std::to_string(empty.y) + ")\n" + settle;
    std::string out = t.script(
        "set_foreground_window(main)\n" + over(t.edit) +
        "print(window_from_mouse() + \" \" + top_window_from_mouse() + \" \" + topwindow_from_mouse() + \"\\n\")\n" +
        onto_empty + "print(window_from_mouse() + \" \" + top_window_from_mouse() + \"\\n\")\n" +
        "c = color_from_mouse()\nprint(c[\"r\"] + \",\" + c[\"G\"] + \",\" + c[\"b\"] + \"\\n\")\n" + over(t.pad) +
        "c = color_from_mouse()\nprint(c[\"R\"] + \",\" + c[\"g\"] + \",\" + c[\"B\"] + \"\\n\")\n");
    auto rgb = [](DWORD c) {
        return std::to_string(GetRValue(c)) + "," + std::to_string(GetGValue(c)) + "," + std::to_string(GetBValue(c));
    };
    EXPECT_EQ(out, number(t.edit) + " " + number(t.main) + " " + number(t.main) + "\n" + number(t.main) + " " +
                       number(t.main) + "\n" + rgb(GetSysColor(COLOR_BTNFACE)) + "\n" + rgb(GetSysColor(COLOR_WINDOW)) +
                       "\n");
}

namespace {

// Wine takes the system DPI from the prefix registry when a process starts
// (and reports every process as DPI aware): while this lives, new
// processes see 144 DPI. Windows reads it only at logon.
class SystemDpi144 {
public:
    SystemDpi144() {
        if (!GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version")) return;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", 0, KEY_QUERY_VALUE | KEY_SET_VALUE, &key_))
            return;
        DWORD size = sizeof saved_;
        had_ = RegQueryValueExW(key_, L"LogPixels", nullptr, nullptr, reinterpret_cast<BYTE*>(&saved_), &size) == 0;
        DWORD dpi = 144;
        active_ = RegSetValueExW(key_, L"LogPixels", 0, REG_DWORD, reinterpret_cast<BYTE*>(&dpi), sizeof dpi) == 0;
    }
    ~SystemDpi144() {
        if (!key_) return;
        if (had_)
            RegSetValueExW(key_, L"LogPixels", 0, REG_DWORD, reinterpret_cast<BYTE*>(&saved_), sizeof saved_);
        else
            RegDeleteValueW(key_, L"LogPixels");
        RegCloseKey(key_);
    }
    bool active() const { return active_; }

private:
    HKEY key_ = nullptr;
    DWORD saved_ = 0;
    bool had_ = false, active_ = false;
};

}  // namespace

// At 144 DPI (a DPI-aware runner and target) scripts speak in 100 % units
// and the system in device pixels: a click 20, 30 into the pad's frame lands
// 30, 45 device pixels into it (29, 44 in its client area, inside the
// one-pixel border).
TEST(InputAt144Dpi, ScriptUnitsBecomeDevicePixels) {
    if (!have_desktop()) GTEST_SKIP() << "no desktop to create windows on";
    SystemDpi144 dpi;
    if (!dpi.active()) GTEST_SKIP() << "the system DPI is not set by the registry here";
    Target t;
    ASSERT_TRUE(t.started()) << t.log();
    std::string out = t.script(
        "set_foreground_window(main)\nprint(mouse_leftclick(20, 30, pad))\n" + std::string(settle) +
        "p = get_mouse_pos(pad)\nprint(\" \" + p[\"x\"] + \",\" + p[\"y\"])\n");
    EXPECT_EQ(out, "0 20,30");
    EXPECT_TRUE(eventually([&] { return t.logged("lbuttondown pad x=29 y=44"); })) << t.log();
}

// ---- direct calls: cursor shapes, IME, argument kinds, pauses, scaling --------

namespace {

// A window of this process to point and click at: the calls below move the
// real cursor and send real events. One for all tests (Wine takes two
// seconds to destroy a visible window without a window manager).
class OwnWindow : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        deskops::library_start(GetModuleHandleW(nullptr));
        WNDCLASSW wc = {};
        wc.lpfnWndProc = DefWindowProcW;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_IBEAM));
        wc.lpszClassName = L"deskops_input_test";
        RegisterClassW(&wc);
        window_ = CreateWindowExW(0, wc.lpszClassName, L"input test", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 80, 90, 300,
                                  200, nullptr, nullptr, wc.hInstance, nullptr);
    }
    static void TearDownTestSuite() {
        if (window_) DestroyWindow(window_);
        window_ = nullptr;
    }
    void SetUp() override {
        if (!window_) GTEST_SKIP() << "no desktop to create windows on";
        deskops::bring_to_front(window_);
        SetFocus(window_);
        pump();
        RECT r;
        GetWindowRect(window_, &r);
        SetCursorPos((r.left + r.right) / 2, (r.top + r.bottom) / 2);
        pump();
    }
    void TearDown() override {
        deskops::set_display_scale(0, 100);
        deskops::set_operation_wait(0);
        pump();
    }
    static void pump() {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    }
    static HWND window_;
};
HWND OwnWindow::window_ = nullptr;

std::string value_of(const char* name, const deskops_test::Args& args = {}) {
    deskops_test::Outcome o = call(fn(name), args);
    return o.rc == 0 ? o.value : "rc " + std::to_string(o.rc) + " " + o.error;
}

}  // namespace

// Cursor handles are compared with this process's standard cursors; under
// Wine each process has handles of its own, so the cursor is set here.
TEST_F(OwnWindow, CursorShapeIsTheLastMatchingStandardCursor) {
    const struct {
        LPCSTR id;
        const char* number;
    } cursors[] = {{IDC_IBEAM, "6"}, {IDC_ARROW, "2"}, {IDC_WAIT, "16"}, {IDC_APPSTARTING, "1"}, {IDC_SIZEWE, "14"}};
    for (const auto& c : cursors) {
        SetCursor(LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(c.id)));
        EXPECT_EQ(value_of("get_mouse_cursor"), c.number);
    }
    BYTE and_mask[128], xor_mask[128];
    memset(and_mask, 0xFF, sizeof and_mask);
    memset(xor_mask, 0, sizeof xor_mask);
    HCURSOR own = CreateCursor(GetModuleHandleW(nullptr), 0, 0, 32, 32, and_mask, xor_mask);
    SetCursor(own);
    EXPECT_EQ(value_of("get_mouse_cursor"), "-1");
    ShowCursor(FALSE);
    EXPECT_EQ(value_of("get_mouse_cursor"), "0");
    ShowCursor(TRUE);
    SetCursor(LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW)));
    DestroyCursor(own);
}

namespace {

WNDPROC g_ime_proc;
std::string g_ime_log;

// Stands in for an input method: Wine's default IME window answers every
// WM_IME_CONTROL with 0 and keeps nothing.
LRESULT CALLBACK fake_ime(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg != WM_IME_CONTROL) return CallWindowProcW(g_ime_proc, w, msg, wp, lp);
    g_ime_log += std::to_string(wp) + ":" + std::to_string(lp) + " ";
    return LRESULT(wp * 100 + lp);
}

}  // namespace

// The IME functions reach the default IME window of the foreground thread's
// focus window with the commands' numbers and the value as lparam.
TEST_F(OwnWindow, ImeCommandsGoToTheFocusWindowsImeWindow) {
    HWND ime = ImmGetDefaultIMEWnd(window_);
    if (!ime) GTEST_SKIP() << "no default IME window";
    ASSERT_EQ(GetForegroundWindow(), window_);
    g_ime_proc = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(ime, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(fake_ime)));
    g_ime_log.clear();
    const std::pair<const char*, deskops_test::Args> calls[] = {
        {"get_ime_status", {}},          {"set_ime_status", {1}},         {"get_ime_conversion_mode", {}},
        {"set_ime_conversion_mode", {9.7}}, {"get_ime_sentence_mode", {}}, {"set_ime_sentence_mode", {-8}},
    };
    std::string answers;
    for (const auto& [name, args] : calls) answers += value_of(name, args) + " ";
    SetWindowLongPtrW(ime, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_ime_proc));
    EXPECT_EQ(g_ime_log, "5:0 6:1 1:0 2:9 3:0 4:-8 ");
    EXPECT_EQ(answers, "500 601 100 209 300 392 ");
}

TEST_F(OwnWindow, ArgumentKindsAndFailures) {
    const char* const not_number = "rc -1 引数は数値のみです。";
    const char* const no_array = "rc -1 引数に配列は指定できません。";
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
        {"key_input", {Arg({65})}, no_array},
        {"key_down", {Arg({})}, no_array},
        {"get_key_state", {Arg({"VK_SHIFT"})}, no_array},
        {"get_async_key_state", {Arg({16})}, no_array},
        {"set_ime_status", {"1"}, not_number},
        {"set_ime_conversion_mode", {Arg({})}, not_number},
        {"set_ime_sentence_mode", {"x"}, not_number},
        {"set_mouse_pos", {"1", 2}, not_number},
        {"mouse_leftclick", {1, Arg({})}, not_number},
        {"mouse_rightup", {"1", 2, 0}, not_number},
        {"mouse_move", {1, "2"}, not_number},
        {"mouse_wheel", {"120"}, not_number},
        {"set_mouse_pos", {1, 2, nowhere}, invalid},
        {"mouse_middleclick", {1, 2, nowhere, 1}, invalid},
        {"get_mouse_pos", {nowhere}, invalid},
        {"get_mouse_pos", {nowhere, 1}, invalid},
        // Unknown names and code 0 send nothing and succeed.
        {"key_input", {"vk_nothing"}, "0"},
        {"key_up", {"VK_"}, "0"},
        {"key_down", {""}, "0"},
        {"get_key_state", {"vk_none"}, "0"},
    };
    for (const auto& c : cases) EXPECT_EQ(value_of(c.name, c.args), c.outcome) << c.name;
}

TEST_F(OwnWindow, EverySynthesizingCallPausesOnce) {
    RECT r;
    GetWindowRect(window_, &r);
    const int h = handle(window_);
    const std::pair<const char*, deskops_test::Args> synthesizing[] = {
        {"key_input", {0}},          {"key_down", {"vk_unknown"}},  {"key_up", {"vk_unknown"}},
        {"set_mouse_pos", {50, 60, h}}, {"mouse_move", {1, 1}},     {"mouse_wheel", {0}},
        {"mouse_leftclick", {60, 70, h}}, {"mouse_leftdown", {}},   {"mouse_leftup", {}},
        {"mouse_rightclick", {}},   {"mouse_rightdown", {}},        {"mouse_rightup", {}},
        {"mouse_middleclick", {}},  {"mouse_middledown", {}},       {"mouse_middleup", {}},
    };
    const std::pair<const char*, deskops_test::Args> reading[] = {
        {"get_key_state", {16}},    {"get_async_key_state", {16}},  {"get_mouse_pos", {}},
        {"window_from_mouse", {}},  {"top_window_from_mouse", {}},  {"topwindow_from_mouse", {}},
        {"color_from_mouse", {}},   {"get_mouse_cursor", {}},       {"get_ime_status", {}},
        {"set_ime_status", {0}},    {"get_ime_conversion_mode", {}}, {"set_ime_conversion_mode", {0}},
        {"get_ime_sentence_mode", {}}, {"set_ime_sentence_mode", {0}},
    };
    // Counted rather than timed.
    deskops::set_operation_wait(1);
    for (const auto& [name, args] : synthesizing) {
        uint32_t before = deskops::operation_pauses();
        EXPECT_EQ(value_of(name, args), "0") << name;
        EXPECT_EQ(deskops::operation_pauses() - before, 1u) << name;
        pump();
    }
    for (const auto& [name, args] : reading) {
        uint32_t before = deskops::operation_pauses();
        call(fn(name), args);
        EXPECT_EQ(deskops::operation_pauses(), before) << name;
    }
    // A failed positioning sends no events and takes no pause.
    uint32_t before = deskops::operation_pauses();
    EXPECT_NE(value_of("mouse_leftclick", {1, 2, 0x7FFF0}), "0");
    EXPECT_EQ(deskops::operation_pauses(), before);
}

TEST_F(OwnWindow, CoordinatesFollowTheDisplayScale) {
    RECT frame;
    deskops::window_frame_rect(window_, &frame, false);
    deskops::set_display_scale(1, 150);
    EXPECT_EQ(value_of("set_mouse_pos", {100, 80}), "0");
    POINT device = cursor();
    std::string screen = value_of("get_mouse_pos");
    // Small steps: the system accelerates larger relative moves.
    EXPECT_EQ(value_of("mouse_move", {4, -4}), "0");
    POINT moved = cursor();
    EXPECT_EQ(value_of("set_mouse_pos", {10, 20, handle(window_)}), "0");
    POINT inside = cursor();
    std::string relative = value_of("get_mouse_pos", {handle(window_)});
    deskops::set_display_scale(0, 100);

    EXPECT_EQ(device.x, 150);
    EXPECT_EQ(device.y, 120);
    EXPECT_EQ(screen, "{\"x\":100,\"y\":80}");
    EXPECT_EQ(moved.x, 156);
    EXPECT_EQ(moved.y, 114);
    EXPECT_EQ(inside.x, frame.left + 15);
    EXPECT_EQ(inside.y, frame.top + 30);
    EXPECT_EQ(relative, "{\"x\":10,\"y\":20}");
}
