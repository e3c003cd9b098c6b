// Generated scripts drive a real window: timelines of operations on
// zv_target, written as the recorder would have recorded them (its class
// and title, points relative to its frame, keys with their modifiers),
// become scripts through zvb_cmd script and run in zvs_app; the target's log
// shows what arrived where.
#include <gtest/gtest.h>

#include <regex>
#include <sstream>
#include <string>

#include "frame_win32.h"
#include "operation_codes.h"
#include "script_cases.h"
#include "target_test.h"
#include "utf.h"
#include "zv_test_support.h"

namespace zvb {
namespace {

using namespace zvb::test;
using zv::test::eventually;
using zv::test::Target;

class ScriptPlay : public zv::test::TargetTest {};

std::wstring clipboard_text() {
    std::wstring text;
    eventually([] { return OpenClipboard(nullptr) != FALSE; });
    if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
        text = static_cast<const wchar_t*>(GlobalLock(data));
        GlobalUnlock(data);
    }
    CloseClipboard();
    return text;
}

// Writes the scenario into a fresh user folder, has zvb_cmd write its
// script and zvs_app play it; "" when both ended normally.
std::string play(const Scenario& s, const TempFolder& user) {
    PlaySettings settings = play_settings_defaults();
    settings.double_click_interval = 100;
    write_play_settings(user / "zarvo-bot.ini", settings);
    fs::create_directories(user / "data");
    int32_t id = 1;
    entry_free(materialize(s, user / "data", &id));
    std::string script = (user / "play.ksc").u8string();
    auto made = zv::test::run_program(zv::test::program_path("zvb_cmd"),
                                      {"/dir", user.root.u8string(), "script", s.name, script});
    if (made.exit_code != 0) return "zvb_cmd: " + made.err;
    zv::test::RunOptions options;
    options.timeout_ms = 60000;
    auto ran = zv::test::run_program(zv::test::program_path("zvs_app"), {script}, options);
    if (ran.timed_out) return "zvs_app did not end:\n" + bytes_of(user / "play.ksc");
    return ran.exit_code == 0 ? "" : "zvs_app exit " + std::to_string(ran.exit_code);
}

// The log lines of the input that reached the target, without the scan
// code details of keys.
std::string received(const std::string& log) {
    static const std::regex kDetails(" scan=[0-9]+ ext=[0-9]+");
    std::istringstream in(log);
    std::string line, out;
    while (std::getline(in, line)) {
        if (line.rfind("ready", 0) == 0 || line.rfind("focus", 0) == 0 || line.rfind("char", 0) == 0 ||
            line.rfind("wheel", 0) == 0)
            continue;
        out += std::regex_replace(line, kDetails, "") + "\n";
    }
    return out;
}

TEST_F(ScriptPlay, ClicksKeysClipboardTextAndRestorationReachTheTarget) {
    Target& t = target();
    RECT frame;
    deskops::window_frame_rect(t.main, &frame, false);
    // Recorded somewhere else and larger: the first operation puts it back.
    Rect32 recorded = {frame.left + 60, frame.top + 40, frame.right + 80, frame.bottom + 50};
    auto on = [&](int32_t code, HWND control, int x, int y) {
        POINT p = {x, y};
        ClientToScreen(control, &p);
        Op op(code);
        op.win(t.title().c_str(), "zv_test_target", recorded).at(p.x - frame.left, p.y - frame.top).wait(200);
        return op;
    };
    auto key = [&](int32_t code, uint32_t vk, uint32_t modifiers) {
        Op op(code);
        op.win(t.title().c_str(), "zv_test_target", recorded).key(vk, modifiers);
        return op;
    };
    Scenario s;
    s.name = "Target";
    s.options.play_start_confirm = s.options.play_end_confirm = 0;
    s.options.recovery_window_pos = 1;
    s.ops = {
        on(kCodeLeftClick, t.edit, 12, 8),
        key(kCodeKeyInput, 'H', kModShift),
        key(kCodeKeyInput, 'I', 0),
        Op(kCodeWait).wait(300),
        key(kCodeKeyInput, VK_HOME, kModShift),  // selects what was typed
        Op(kCodeSetText).text("clip"),
        key(kCodeKeyInput, 'V', kModCtrl),
        Op(kCodeWait).text(t.title()).data(4).wait(50),  // the target is in front: no wait
        Op(kCodeSendText).text("送信"),
        on(kCodeLeftClick, t.button, 20, 10),
        on(kCodeLeftDoubleClick, t.pad, 30, 40),
        on(kCodeRightClick, t.pad, 50, 60),
        key(kCodeKeyDown, 'Z', kModCtrl),
        key(kCodeKeyUp, 'Z', kModCtrl),
    };
    TempFolder user;
    ASSERT_EQ(play(s, user), "");

    EXPECT_TRUE(eventually([&] { return zv::test::text_of(t.edit) == L"clip送信"; }))
        << zv::test::from_console(zv::test::to_console(
               zv::utf16_to_utf8(reinterpret_cast<const char16_t*>(zv::test::text_of(t.edit).c_str()))));
    std::string expected =
        "lbuttondown edit x=12 y=8\nlbuttonup edit x=12 y=8\n"
        "keydown edit vk=16 mods=shift\nkeydown edit vk=72 mods=shift\nkeyup edit vk=72 mods=shift\n"
        "keyup edit vk=16 mods=none\n"
        "keydown edit vk=73 mods=none\nkeyup edit vk=73 mods=none\n"
        "keydown edit vk=16 mods=shift\nkeydown edit vk=36 mods=shift\nkeyup edit vk=36 mods=shift\n"
        "keyup edit vk=16 mods=none\n"
        "keydown edit vk=17 mods=ctrl\nkeydown edit vk=86 mods=ctrl\nkeyup edit vk=86 mods=ctrl\n"
        "keyup edit vk=17 mods=none\n"
        "ime_char edit code=36865\nime_char edit code=20449\n"
        "lbuttondown button x=20 y=10\nlbuttonup button x=20 y=10\nclicked button count=1\n"
        "lbuttondown pad x=30 y=40\nlbuttonup pad x=30 y=40\ndblclk pad x=30 y=40\nlbuttonup pad x=30 y=40\n"
        "rbuttondown pad x=50 y=60\nrbuttonup pad x=50 y=60\n"
        "keydown pad vk=17 mods=ctrl\nkeydown pad vk=90 mods=ctrl\nkeyup pad vk=90 mods=ctrl\n"
        "keyup pad vk=17 mods=none\n";
    EXPECT_TRUE(eventually([&] { return received(t.log()) == expected; })) << received(t.log());
    RECT now;
    deskops::window_frame_rect(t.main, &now, false);
    EXPECT_EQ(std::vector<long>({now.left, now.top, now.right, now.bottom}),
              std::vector<long>({recorded.left, recorded.top, recorded.right, recorded.bottom}));
}

// With its window gone, an operation that may be skipped is skipped after
// one more look, and the play goes on.
TEST_F(ScriptPlay, OperationsOfAClosedWindowAreSkipped) {
    std::string title = target().title();
    target_.reset();
    Scenario s;
    s.name = "Closed";
    s.options.play_start_confirm = s.options.play_end_confirm = 0;
    Op click(kCodeLeftClick);
    click.win(title.c_str(), "zv_test_target", {100, 100, 400, 340}).at(40, 60).skip();
    Op typing(kCodeKeyInput);
    typing.win(title.c_str(), "zv_test_target", {100, 100, 400, 340}).key('Q', kModShift).skip();
    s.ops = {click, typing, Op(kCodeSetText).text("played on")};
    TempFolder user;
    DWORD start = GetTickCount();
    ASSERT_EQ(play(s, user), "");
    EXPECT_LT(GetTickCount() - start, 30000u);
    EXPECT_EQ(clipboard_text(), L"played on");
    EXPECT_FALSE(GetAsyncKeyState(VK_SHIFT) < 0);  // the skipped key left no modifier down
}

}  // namespace
}  // namespace zvb
