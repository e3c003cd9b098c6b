// zvs.exe as the user meets it, driven from this process: typing into the
// editor, undo and redo, search, saving and loading; running scripts that
// print, read input and fail; stepping, running to a line, stopping;
// settings and the menus' run options.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "resource_ids.h"
#include "target_driver.h"
#include "zv_test_support.h"
#include "zvs_driver.h"

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using ::testing::Not;
using zv::test::eventually;
using zvs_test::narrow;
using zvs_test::wide;
using zvs_test::Zvs;

namespace {

void write(const fs::path& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }

std::string contents(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class ZvsTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!zv::test::have_desktop()) GTEST_SKIP() << "no desktop to create windows on";
        dir_ = zv::test::fresh_dir("zvs");
        fs::create_directories(dir_ / "settings");
    }
    void TearDown() override {
        zvs_.reset();
        std::error_code ignored;
        fs::remove_all(dir_, ignored);
    }
    // Starts zvs on a script file holding bytes.
    Zvs& open(const std::string& name, const std::string& bytes) {
        write(dir_ / name, bytes);
        zvs_ = std::make_unique<Zvs>(dir_ / name, dir_ / "settings");
        EXPECT_TRUE(zvs_->started());
        return *zvs_;
    }
    // Replaces the editor's text and runs it with the command (F5, F10 ...).
    void run(const std::string& script, WORD command = ID_RUN_EXEC) {
        SendMessageW(zvs_->editor, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(wide(script).c_str()));
        zvs_->command(command);
        ASSERT_TRUE(eventually([&] { return zvs_->running(); }, 10000)) << "the run did not start";
    }
    bool console_has(const std::string& text, int ms = 20000) {
        return eventually([&] { return narrow(zvs_->console_text()).find(text) != std::string::npos; }, ms);
    }
    bool finished() {
        return eventually([&] { return !zvs_->running(); }, 20000);
    }

    fs::path dir_;
    std::unique_ptr<Zvs> zvs_;
};

// Typing (Japanese through WM_IME_CHAR too), automatic indentation, undo
// and redo in steps, search with wrap-around, saving without a byte-order
// mark and loading the saved file again unchanged.
TEST_F(ZvsTest, EditUndoSearchSaveAndReload) {
    Zvs& z = open("edit.ksc", "\xEF\xBB\xBF" "// テスト\r\nif (a) {\r\n");
    EXPECT_EQ(narrow(z.editor_text()), "// テスト\r\nif (a) {\r\n") << "the byte-order mark is not text";
    EXPECT_EQ(z.title(), L"zarvo-bot Script - [" + (dir_ / "edit.ksc").wstring() + L"]");
    z.focus(z.editor);
    SendMessageW(z.editor, EM_SETSEL, 16, 16);  // the end of "if (a) {"
    z.type(z.editor, L"\nprint(1)");
    for (wchar_t c : std::wstring(L"日本")) PostMessageW(z.editor, WM_IME_CHAR, c, 1);
    std::string typed = "// テスト\r\nif (a) {\r\n\tprint(1)日本\r\n";
    EXPECT_TRUE(eventually([&] { return narrow(z.editor_text()) == typed; })) << narrow(z.editor_text());
    z.type(z.editor, L"\n}x\b");
    EXPECT_EQ(narrow(z.editor_text()), "// テスト\r\nif (a) {\r\n\tprint(1)日本\r\n}\r\n") << "} took the tab away";

    z.press('Z', VK_CONTROL);
    EXPECT_EQ(narrow(z.editor_text()), typed) << "the run of typing since Enter is one step";
    z.press('Z', VK_CONTROL);
    z.press('Z', VK_CONTROL);
    EXPECT_EQ(narrow(z.editor_text()), "// テスト\r\nif (a) {\r\n");
    EXPECT_EQ(SendMessageW(z.editor, EM_GETMODIFY, 0, 0), 0) << "back at the loaded text";
    z.press('Y', VK_CONTROL);
    z.press('Z', VK_CONTROL, VK_SHIFT);
    z.press('Y', VK_CONTROL);
    EXPECT_EQ(narrow(z.editor_text()), "// テスト\r\nif (a) {\r\n\tprint(1)日本\r\n}\r\n");

    // Search: the find dialog from Ctrl+F, then F3 wraps to the first match.
    SendMessageW(z.editor, EM_SETSEL, 0, 0);
    z.command(ID_EDIT_FIND);
    HWND find = z.dialog();
    ASSERT_TRUE(find);
    SetDlgItemTextW(find, 0x480, L"PRINT");
    PostMessageW(find, WM_COMMAND, IDOK, 0);
    DWORD b = 0, e = 0;
    EXPECT_TRUE(eventually([&] { return z.selection(&b, &e), b == 19 && e == 24; })) << b << "," << e;
    PostMessageW(find, WM_CLOSE, 0, 0);
    SendMessageW(z.editor, EM_SETSEL, 25, 25);
    z.command(ID_EDIT_FIND_NEXT);
    EXPECT_TRUE(eventually([&] { return z.selection(&b, &e), b == 19; })) << "wrapped around to the start";

    z.command(ID_FILE_SAVE);
    std::string saved = "// テスト\r\nif (a) {\r\n\tprint(1)日本\r\n}\r\n";
    EXPECT_TRUE(eventually([&] { return contents(dir_ / "edit.ksc") == saved; }));
    EXPECT_EQ(SendMessageW(z.editor, EM_GETMODIFY, 0, 0), 0);
    z.command(ID_FILE_EXIT);
    EXPECT_TRUE(z.ended()) << "closing an unchanged text asks nothing";

    Zvs& again = open("edit.ksc", contents(dir_ / "edit.ksc"));
    EXPECT_EQ(narrow(again.editor_text()), saved);
    fs::remove(dir_ / "edit.ksc");
    again.command(ID_FILE_SAVE);
    EXPECT_TRUE(eventually([&] { return contents(dir_ / "edit.ksc") == saved; })) << "saved again unchanged";

    // A new script that is never named stays changed, so closing asks.
    again.command(ID_FILE_NEW);
    again.settle();
    EXPECT_EQ(again.title(), L"zarvo-bot Script");
    SendMessageW(again.editor, EM_REPLACESEL, 0, reinterpret_cast<LPARAM>(L"x = 1"));
    again.command(ID_FILE_SAVE);
    HWND save_as = again.dialog();
    ASSERT_TRUE(save_as);
    PostMessageW(save_as, WM_COMMAND, IDCANCEL, 0);
    EXPECT_TRUE(eventually([&] { return !IsWindow(save_as); }));
    EXPECT_NE(SendMessageW(again.editor, EM_GETMODIFY, 0, 0), 0);
    again.command(ID_FILE_EXIT);
    HWND ask = again.dialog();
    ASSERT_TRUE(ask);
    EXPECT_EQ(zvs_test::window_text(ask), L"zarvo-bot Script");
    PostMessageW(ask, WM_COMMAND, IDNO, 0);
    EXPECT_TRUE(again.ended());
}

// The editing keys on prepared texts: Backspace over a surrogate pair,
// overwrite mode, block indentation and its undo, a case label aligned
// with its switch; the window opens at 800 x 600 when the saved size is
// too small.
TEST_F(ZvsTest, EditingKeys) {
    write(dir_ / "settings" / "ksc.ini", "[WINDOW]\r\nleft=10\r\ntop=10\r\nright=150\r\nbottom=50\r\n");
    Zvs& z = open("keys.ksc", "");
    RECT r;
    GetWindowRect(z.main, &r);
    EXPECT_EQ(r.right - r.left, 800);
    EXPECT_EQ(r.bottom - r.top, 600);
    z.focus(z.editor);
    auto load = [&](const wchar_t* text, int caret) {
        SendMessageW(z.editor, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
        SendMessageW(z.editor, EM_SETSEL, caret, caret);
    };
    // A press waits only so long for a change: under load the key may land
    // later, so each check waits for the text it expects.
    auto shows = [&](const wchar_t* want) { return eventually([&] { return z.editor_text() == want; }); };
    load(L"a\U0001F600b", 3);
    z.press(VK_BACK);
    EXPECT_TRUE(shows(L"ab")) << "one Backspace takes the whole pair";
    z.press(VK_INSERT);
    z.type(z.editor, L"XY");
    EXPECT_TRUE(shows(L"aXY")) << "overwrite replaces, and appends at the end";
    z.press(VK_INSERT);

    load(L"one\r\ntwo\r\n\tthree", 0);
    SendMessageW(z.editor, EM_SETSEL, 1, 7);
    z.press(VK_TAB);
    EXPECT_TRUE(shows(L"\tone\r\n\ttwo\r\n\tthree"));
    z.press(VK_TAB, VK_SHIFT);
    z.press(VK_TAB, VK_SHIFT);
    EXPECT_TRUE(shows(L"one\r\ntwo\r\n\tthree")) << "a line without a tab stays";
    z.press('Z', VK_CONTROL);
    EXPECT_TRUE(shows(L"\tone\r\n\ttwo\r\n\tthree")) << "the outdent of both lines is one step";

    load(L"\tswitch (x) {\r\n\tcase 1:\r\n\t\tbreak\r\n", 33);
    z.type(z.editor, L"\ndefault:");
    EXPECT_TRUE(shows(L"\tswitch (x) {\r\n\tcase 1:\r\n\t\tbreak\r\n\tdefault:\r\n")) << narrow(z.editor_text());
}

// A script that prints and reads a line typed into the console, one that
// fails on line 12, strict mode and hexadecimal results from the menu, and
// the settings written when the window closes.
TEST_F(ZvsTest, RunPrintsReadsInputAndReportsErrors) {
    Zvs& z = open("run.ksc", "");
    z.command(ID_SPEED_NO_WAIT);
    run("print(\"name? \")\nx = input()\nprint(\"hello \" + x + \"\\n\")\n");
    ASSERT_TRUE(console_has("name? "));
    ASSERT_TRUE(eventually([&] { return SendMessageW(z.console, WM_APP + 111, 0, 0) == 1; })) << "waits for input";
    EXPECT_TRUE(z.running());
    z.focus(z.console);
    z.type(z.console, L"太郎ab\b\n");
    ASSERT_TRUE(console_has(zv::test::tr("End", "終了")));
    std::string console = narrow(z.console_text());
    EXPECT_THAT(console, HasSubstr(" " + zv::test::tr("Start", "開始") + "\r\nname? 太郎a\r\nhello 太郎a\r\n"));
    ASSERT_TRUE(finished());

    run("a = 1\n\n\n\n\n\n\n\n\n\n\nb = a / 0\nprint(\"not reached\")\n");
    ASSERT_TRUE(finished());
    EXPECT_EQ(z.error_line(), 11);
    EXPECT_THAT(narrow(z.console_text()),
                HasSubstr(zv::test::tr("Division by zero(12): b = a / 0", "0 で除算をしました(12): b = a / 0")));
    EXPECT_THAT(narrow(z.console_text()), Not(HasSubstr("not reached")));

    z.command(ID_RUN_STRICT);
    run("var a = 1\nb = 2\n");
    ASSERT_TRUE(finished());
    EXPECT_EQ(z.error_line(), 1) << "a new run removed the old mark and set its own";
    EXPECT_THAT(narrow(z.console_text()),
                HasSubstr(zv::test::tr("b :Undefined variable(2)", "b :変数が定義されていません(2)")));
    z.command(ID_RUN_STRICT);
    z.command(ID_RUN_HEX);
    run("b = 2\nexit b * 15 + 1\n");
    ASSERT_TRUE(console_has(zv::test::tr("Result: 0x1F", "実行結果: 0x1F")));
    EXPECT_EQ(z.error_line(), -1);

    SendMessageW(z.editor, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L""));
    SendMessageW(z.editor, EM_SETMODIFY, FALSE, 0);
    z.command(ID_FILE_EXIT);
    ASSERT_TRUE(z.ended());
    std::string ini = contents(dir_ / "settings" / "ksc.ini");
    for (const char* line : {"exec_speed=0", "strict_val=0", "hex_mode=1", "ksc.5_mode=1", "line_no=1"})
        EXPECT_THAT(ini, HasSubstr(line));
}

// Step exec three lines with the variables of each, run to a line, run on
// into an endless loop and stop it; then a script stuck in a library call
// is ended by a second Stop, and the editor runs again afterwards.
TEST_F(ZvsTest, StepRunToLineAndStop) {
    Zvs& z = open("debug.ksc",
                  "a = 1\r\nBee = a + 1\r\nc = {Bee, \"x\"}\r\nd = 0\r\nfor (i = 0; i < 3; i++) {\r\n\td += i\r\n}\r\n"
                  "while (1) {\r\n\te = d\r\n}\r\n");
    z.command(ID_SPEED_NO_WAIT);
    z.command(ID_RUN_STEP);
    ASSERT_TRUE(eventually([&] { return z.run_line() == 0; })) << "paused before the first line";
    EXPECT_EQ(z.variables(), L"");
    // Names show as written.
    const wchar_t* after[] = {L"a\t1", L"a\t1\r\nBee\t2", L"a\t1\r\nBee\t2\r\nc\t{\"Bee\":2,\"x\"}"};
    for (long line = 1; line <= 3; ++line) {
        z.command(ID_RUN_STEP);
        ASSERT_TRUE(eventually([&] { return z.run_line() == line; })) << line;
        EXPECT_TRUE(eventually([&] { return z.variables() == after[line - 1]; })) << narrow(z.variables());
    }

    LRESULT body = SendMessageW(z.editor, EM_LINEINDEX, 5, 0);
    SendMessageW(z.editor, EM_SETSEL, WPARAM(body), body);
    z.command(ID_RUN_TO_CURSOR);
    ASSERT_TRUE(eventually([&] { return z.run_line() == 5; }));
    EXPECT_THAT(narrow(z.variables()), HasSubstr("d\t0\r\ni\t0"));
    z.command(ID_RUN_STEP);
    ASSERT_TRUE(eventually([&] { return z.run_line() == 6; })) << "the loop body's closing brace";
    z.command(ID_RUN_EXEC);
    EXPECT_TRUE(eventually([&] { return z.run_line() == -1; })) << "F5 at No Wait removes the mark";
    EXPECT_TRUE(z.running()) << "the endless loop goes on";
    z.command(ID_RUN_STOP);
    ASSERT_TRUE(finished());
    std::string stop = zv::test::tr("Stop", "停止");
    EXPECT_TRUE(console_has(" " + stop));
    EXPECT_EQ(z.run_line(), -1);

    // A message box of the library: the run waits inside the call.
    run("#import(\"DESKOPS\")\nmessage_box(\"waiting\", \"zvs test\")\n");
    HWND box = z.dialog();
    ASSERT_TRUE(box) << "the script's message box";
    z.command(ID_RUN_STOP);
    z.settle();
    EXPECT_TRUE(z.running()) << "a first Stop waits for the library call";
    z.command(ID_RUN_STOP);
    ASSERT_TRUE(finished()) << "a second Stop ends it at once";
    EXPECT_TRUE(eventually([&] { return !IsWindow(box); })) << "the box went with its thread";
    auto ends_with_stop = [&] {
        std::string console = narrow(z.console_text());
        return console.size() > stop.size() && console.compare(console.size() - stop.size() - 1, std::string::npos,
                                                               " " + stop) == 0;
    };
    EXPECT_TRUE(ends_with_stop()) << narrow(z.console_text());

    // A script asleep in a library call: two Stops end it within moments.
    run("#import(\"DESKOPS\")\nprint(\"sleeping\")\nsleep(600000)\n");
    ASSERT_TRUE(console_has("sleeping"));
    z.command(ID_RUN_STOP);
    z.command(ID_RUN_STOP);
    ASSERT_TRUE(finished());
    EXPECT_TRUE(ends_with_stop()) << narrow(z.console_text());
    run("print(40 + 2)\n");
    ASSERT_TRUE(console_has("42"));
    ASSERT_TRUE(finished());
}

}  // namespace
