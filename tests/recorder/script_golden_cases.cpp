// The scenarios behind the golden scripts in tests/recorder/golden/. Each
// file checks many rules at once; the comments name what an operation is
// there for.
#include <string>

#include "operation_codes.h"
#include "script_cases.h"

namespace zvb::test {

namespace {

// The windows the operations aim at.
struct Window {
    const char* title;
    const char* cls;
    Rect32 rect;
};
const Window kNote = {"Report \"Q1\" - C:\\data\\メモ帳", "Notepad", {100, 50, 740, 530}};
const Window kCalc = {"計算機", "CalcFrame", {300, 200, 560, 520}};
const Window kDesk = {"Program Manager", "Progman", {0, 0, 1920, 1080}};

Op on(const Window& w, int32_t code, int32_t state = 1) {
    Op op(code);
    op.win(w.title, w.cls, w.rect, state);
    return op;
}

Op on(const Window& w, Rect32 rect, int32_t code, int32_t state = 1) {
    Op op(code);
    op.win(w.title, w.cls, rect, state);
    return op;
}

// Mouse codes, both code variants, the window check by the options and by
// each record's check type, restoration of state, size and position,
// data version 0, desktop operations with the control check, masked and
// disabled operations; a loop of 2 with both confirmations.
Scenario mouse_scenario() {
    Scenario s;
    s.name = "Mouse";
    s.options.always_check_window = 0;
    s.options.recovery_window_pos = 1;
    s.options.loop_count = 2;
    s.ops = {
        on(kNote, kCodeLeftClick).at(20, 30),  // first: the window differs from the empty head
        on(kNote, kCodeLeftClick).at(25, 35).wait(300),  // same window: no block
        on(kNote, kCodeLeftDoubleClick).at(40, 60),
        on(kNote, kCodeLeftDownNc).at(30, -8),
        on(kNote, kCodeLeftUpNc).at(30, -8),
        on(kNote, kCodeRightDown).at(50, 70),
        on(kNote, kCodeRightUpNc).at(50, 70),
        on(kNote, kCodeRightClick).at(55, 75),
        on(kNote, kCodeMiddleDownNc).at(60, 80),
        on(kNote, kCodeMiddleUp).at(60, 80),
        on(kNote, kCodeMiddleClick).at(65, 85),
        on(kCalc, kCodeWheelDown).at(10, 10),    // wheels and moves get no check
        on(kCalc, kCodeMouseMoveNc).at(12, 14),  // ... but become the previous operation
        on(kCalc, kCodeLeftClick).at(15, 20),
        on(kNote, kCodeLeftClick).at(20, 30).check(kCheckNone),  // restoration without a block
        on(kNote, {120, 70, 760, 550}, kCodeLeftClick).at(20, 30).check(kCheckTitle).v0(),
        on(kNote, {-8, -8, 1928, 1048}, kCodeLeftUp, 3).at(200, 100).check(kCheckClass),
        on(kCalc, kCodeLeftClick).at(15, 20).check(kCheckBoth).skip(),
        on(kDesk, kCodeLeftClick).screen(500, 400).control("Button"),
        on(kDesk, kCodeMouseMove).screen(510, 410).control("Button"),
        on(kDesk, kCodeRightClick).screen(520, 420),
        on(kCalc, kCodeWheelUp).at(30, 40).mask().wait(100),
        on(kNote, kCodeLeftClick).at(20, 30).off(),
        on(kNote, kCodeLeftClick).at(21, 31),
        on(kNote, kCodeLeftDown).at(1, 2),
        on(kNote, kCodeRightDownNc).at(3, 4),
        on(kNote, kCodeRightUp).at(3, 4),
        on(kNote, kCodeMiddleDown).at(5, 6),
        on(kNote, kCodeMiddleUpNc).at(5, 6),
    };
    return s;
}

// Key operations (modifiers, key names and numbers, the title's special
// names), the class check with always_check_window, then every other
// operation with escaping and unescaped condition texts; notifications on.
Scenario keys_scenario() {
    Scenario s;
    s.name = "Keys";
    s.options.play_start_confirm = 0;
    s.options.play_end_confirm = 0;
    s.options.check_window_title = 0;
    s.options.check_busy = 0;
    s.options.recovery_window_size = 0;
    std::string long_text;
    for (int i = 0; i < 200; ++i) long_text += "あ";
    long_text += std::string(54, 'x') + "\"";  // 255 units, the last one escaped
    s.ops = {
        on(kNote, kCodeKeyInput).key('A', kModCtrl | kModShift),
        on(kNote, kCodeSysKeyDown).key(0x73, kModAlt),
        on(kNote, kCodeSysKeyUp).key(0x73, kModAlt).wait(50),
        on(kNote, kCodeKeyInput).key(0x09),
        on(kNote, kCodeKeyInput).key(19),
        on(kNote, kCodeKeyDown).key(25),
        on(kNote, kCodeKeyInput).key(92, kModWin),
        on(kNote, kCodeKeyInput).key(7),
        on(kNote, kCodeKeyInput).key(0xE5),
        on(kNote, kCodeKeyInput).key(0x141),
        on(kNote, kCodeKeyUp).key(0xFF, kModShift),
        on(kNote, kCodeKeyDown).key(0x15).mask(),
        Op(kCodeKeyInput).win("無題", "", kNote.rect).key('5'),  // no class: no check
        Op(kCodeWait).wait(1500),
        Op(kCodeWait),
        Op(kCodeWait).text("*\\\\server\\share*").data(1),
        Op(kCodeWait).text("Untitled*").data(2).wait(250),
        Op(kCodeWait).text("*メモ帳*").data(3).wait(1000),
        Op(kCodeWait).text("計算機").data(4).wait(1000),
        Op(kCodeWait).text("Notepad").data(5).wait(7),
        Op(kCodeWait).text("#32770").data(6).wait(1000),
        Op(kCodeWait).text("ignored").data(7).wait(200),
        Op(kCodeEndPlay),
        Op(kCodeEndGroupPlay).text("Notepad").data(6),
        Op(kCodeEndPlay).text("done*").data(2),
        Op(kCodeEndGroupPlay),
        Op(kCodeMessageBox).text("Line 1\r\nLine \"2\"\t<tab> C:\\temp\\ 完了"),
        Op(kCodeLaunch).text("C:\\Windows\\notepad.exe"),
        Op(kCodeLaunch).text("cmd.exe", "/c echo \"hi\" > C:\\out.txt"),
        Op(kCodeSetText).text("クリップボード \"値\""),
        Op(kCodeInputText).text("名前を入力"),
        Op(kCodeDateTime).text("%Y/%m/%d %H:%M:%S"),
        Op(kCodeSendText).text(long_text),
        Op(kCodeImeSettings).data(1, -9),
        Op(kCodeScript).text("for (i = 0; i < 2; i++) {\r\n\tprint(i)\r\n", "}"),
        Op(1535, kCategoryOther),
        Op(kCodeLeftClick, 5),
    };
    return s;
}

// Playing from the third operation, which is disabled but keeps its number:
// the first one written compares with the empty head. Title check only.
Scenario resume_scenario() {
    Scenario s;
    s.name = "Resume";
    s.options.check_window_class = 0;
    s.options.always_check_window = 0;
    s.options.check_desktop_control_class = 0;
    s.ops = {
        on(kNote, kCodeLeftClick).at(5, 5),
        on(kCalc, kCodeLeftClick).at(6, 6),
        on(kCalc, kCodeLeftClick).at(7, 7).off(),
        on(kCalc, kCodeLeftClick).at(8, 9),
        on(kCalc, kCodeKeyInput).key('B'),
        on(kCalc, kCodeLeftClick).at(9, 9).mask().wait(20),
        on(kDesk, kCodeLeftClick).screen(500, 400).control("Button"),  // no control check by the options
    };
    return s;
}

Scenario script_member(const std::string& name, const std::string& bytes) {
    Scenario s;
    s.name = name;
    s.type = kTypeScript;
    s.script = bytes;
    return s;
}

// A group with a timeline, script members (one with a byte-order mark and
// no final line break), a nested group holding an empty group, and loops
// of their own; notifications name each member.
Scenario group_scenario() {
    Scenario open;
    open.name = "a Open";
    open.options.check_busy = 0;
    open.options.recovery_window_size = 0;
    open.ops = {on(kNote, kCodeLeftClick).at(10, 10), Op(kCodeSetText).text("開始")};

    Scenario empty;
    empty.name = "a Empty";
    empty.type = kTypeGroup;

    Scenario mail;
    mail.name = "b Mail";
    mail.options.check_window_title = 0;
    mail.options.always_check_window = 0;
    mail.options.recovery_window_size = 0;
    mail.options.loop_count = 2;
    mail.ops = {on(kNote, kCodeKeyInput).key('M', kModCtrl), Op(kCodeWait).wait(500)};

    Scenario weekly;
    weekly.name = "c Weekly";
    weekly.type = kTypeGroup;
    weekly.options.loop_count = 3;
    weekly.members = {empty, mail, script_member("c Script", "print(1)\r\n")};

    Scenario close;
    close.name = "d Close";
    close.ops = {Op(kCodeMessageBox).text("終了"), Op(kCodeEndGroupPlay)};

    Scenario daily;
    daily.name = "Daily";
    daily.type = kTypeGroup;
    daily.options.play_start_confirm = 0;
    daily.options.loop_count = 2;
    daily.members = {open, script_member("b Notes", "\xEF\xBB\xBF#import(\"DESKOPS\")\r\nprint(\"メモ\")"), weekly,
                     close};
    return daily;
}

}  // namespace

PlaySettings golden_play_settings() {
    PlaySettings p;
    p.double_click_interval = 240;
    p.window_operation_interval = 150;
    p.check_interval = 120;
    p.check_count = 30;
    p.wait_busy_interval = 4000;
    p.loop_interval = 700;
    return p;
}

std::vector<GoldenCase> golden_cases() {
    return {
        {mouse_scenario(), false, 0, "mouse.ksc"},
        {keys_scenario(), true, 0, "keys_and_others.ksc"},
        {resume_scenario(), true, 2, "resume.ksc"},
        {group_scenario(), true, 0, "group.ksc"},
    };
}

}  // namespace zvb::test
