// zarvo-bot.exe under Wine, on user folders of the tests' own: the single
// instance and its hand-over, the store's commands through menus, keys and
// drags, plays through zvs_app that drive zv_target with their counters and
// log, Ctrl+Q, call keys, and building an executable.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "recorder_driver.h"
#include "target_driver.h"
#include "zv_test_support.h"

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using ::testing::Not;
using namespace zv::test;

namespace {

// Menu commands (recorder/main/ids.h).
enum {
    kNewGroup = 40001, kNewScript = 40002, kRefresh = 40003, kExport = 40005, kExecutable = 40006,
    kExit = 40008, kPlay = 40010, kRepeatPlay = 40011, kRename = 40013, kCopy = 40014, kCallKey = 40015,
    kDelete = 40016, kMoveUp = 40017, kMoveDown = 40018, kStatistics = 40030,
};

std::string read(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string ksc_path(const fs::path& p) {
    std::string out;
    for (char c : p.string()) out += c == '\\' ? std::string("\\\\") : std::string(1, c);
    return out;
}

// Waits until the marks file a script appends to holds `expected`. The
// size is polled without opening the file: a script's file_write_text
// shares it with writers only, and a reader at the wrong moment would make
// the script fail.
bool marks_are(const fs::path& marks, const std::string& expected) {
    eventually([&] {
        std::error_code ec;
        return fs::file_size(marks, ec) == expected.size() && !ec;
    });
    return read(marks) == expected;
}

// A script that reports its steps like a generated one and appends a line
// to a file at the end.
std::string notifying_script(const fs::path& marker, const std::string& body = "") {
    return "__play_start()\r\n__select_step(0)\r\n" + body + "__select_step(1)\r\nsleep(30)\r\nfile_write_text(\"" +
           ksc_path(marker) + "\", \"done\\n\", 1)\r\n__play_end()\r\n";
}

void key(BYTE vk, bool down) { keybd_event(vk, BYTE(MapVirtualKeyW(vk, 0)), down ? 0 : KEYEVENTF_KEYUP, 0); }

void tap(BYTE vk) {
    key(vk, true);
    key(vk, false);
}

// Types into a name dialog and presses OK.
void answer_name(HWND dialog, const wchar_t* name) {
    SetDlgItemTextW(dialog, 1024, name);
    PostMessageW(dialog, WM_COMMAND, IDOK, 0);
}

// The message box the process shows next, as "caption|text", answered.
std::wstring answer_box(const Recorder& r, int button = IDOK, const wchar_t* caption = nullptr) {
    HWND box = r.message_box(caption, 15000);
    if (!box) return L"[no box]";
    std::wstring seen = title_of(box) + L"|" + box_text(box);
    press(box, button);
    return seen;
}

int run_second(const UserFolder& folder, const std::wstring& arguments) {
    Recorder second(folder, arguments, true);
    std::string code = second.wait(30000);
    return code == "[running]" ? -99 : std::stoi(code);
}

class RecorderTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!have_desktop()) GTEST_SKIP() << "no desktop";
    }
};

TEST_F(RecorderTest, StartsOnceAndHandsItsCommandLineToTheFirstInstance) {
    UserFolder folder("zarvo-bot-instance", true, "main_left=5000\r\n");
    fs::path marks = folder.path() / "marks.txt";
    folder.put("drive.ksc", "file_write_text(\"" + ksc_path(marks) + "\", \"drive\\n\", 1)\r\n");
    folder.put("G/inner.ksc", "file_write_text(\"" + ksc_path(marks) + "\", \"inner\\n\", 1)\r\n");
    folder.put("wait.ksc", "__play_start()\r\n__select_step(0)\r\nsleep(60000)\r\n");
    Recorder r(folder);
    ASSERT_TRUE(r.started());
    RECT rect;
    GetWindowRect(r.main, &rect);
    EXPECT_EQ(rect.left, 0);  // a saved position beyond the screen
    EXPECT_THAT(narrow(title_of(r.main)), testing::StartsWith("zarvo-bot Ver 0."));

    // Closing with the notification-area icon only hides the window and
    // writes every setting back.
    PostMessageW(r.main, WM_CLOSE, 0, 0);
    EXPECT_TRUE(eventually([&] { return !IsWindowVisible(r.main); }));
    EXPECT_EQ(folder.setting("PLAY", "check_count"), "50");
    EXPECT_EQ(folder.setting("WINDOW", "edit_left"), "-2147483648");
    EXPECT_EQ(folder.setting("WINDOW", "main_right"), "600");
    EXPECT_EQ(folder.setting("LOG", "enable_log"), "1");
    // A second start without a name shows the first instance's window.
    EXPECT_EQ(run_second(folder, L""), 0);
    EXPECT_TRUE(eventually([&] { return IsWindowVisible(r.main) != FALSE; }));

    // By group path, by quoted plain name.
    EXPECT_EQ(run_second(folder, L"g/INNER"), 0);
    EXPECT_TRUE(marks_are(marks, "inner\n"));
    EXPECT_TRUE(eventually([&] { return narrow(title_of(r.main)).find("Ver") != std::string::npos; }));
    EXPECT_EQ(run_second(folder, L"\"inner\""), 0);
    EXPECT_TRUE(marks_are(marks, "inner\ninner\n"));
    EXPECT_TRUE(eventually([&] { return narrow(title_of(r.main)).find("Ver") != std::string::npos; }));

    // /n leaves a running play alone; without it the play is stopped first.
    EXPECT_EQ(run_second(folder, L"wait"), 0);
    EXPECT_TRUE(eventually([&] { return folder.log().find("[wait] Start") != std::string::npos; }));
    EXPECT_EQ(run_second(folder, L"/n drive"), 0);
    EXPECT_EQ(run_second(folder, L"/x drive"), 0);  // "/" dropped alone: the name is "x drive"
    EXPECT_EQ(answer_box(r), L"zarvo-bot|コマンドライン引数で指定されたシナリオ「x drive」が見つかりません。");
    EXPECT_EQ(read(marks), "inner\ninner\n");
    EXPECT_EQ(run_second(folder, L"drive"), 0);
    EXPECT_TRUE(marks_are(marks, "inner\ninner\ndrive\n"));

    std::string log = folder.log();
    EXPECT_THAT(log, HasSubstr("[*initialize*] zarvo-bot Ver 0."));
    EXPECT_THAT(log, HasSubstr("[G/inner] name_to_play_group\r\n"));
    EXPECT_THAT(log, HasSubstr("[G/inner] SCENARIO_TYPE_SCRIPT\r\n"));
    EXPECT_THAT(log, HasSubstr("[G/inner] name_to_play\r\n"));
    EXPECT_THAT(log, HasSubstr("[drive] name_to_play_group\r\n"));  // a top-level name is its own path
    EXPECT_THAT(log, HasSubstr("[wait] Stop: Step=1\r\n"));
    EXPECT_EQ(folder.entry_setting("wait.ksc.ini", "PLAY", "stop"), "1");
    EXPECT_EQ(folder.entry_setting("wait.ksc.ini", "STATS", "script"), "1");
    r.command(kExit);
    EXPECT_EQ(r.wait(), "0");
}

void select(const Recorder& r, const wchar_t* name) { r.select_row(r.row_of(name)); }

void front(const Recorder& r) {
    SetForegroundWindow(r.main);
    eventually([&] { return GetForegroundWindow() == r.main; }, 5000);
}

// Real input on the list: rows are 65 pixels high at 100 %.
POINT on_row(const Recorder& r, int row, int y_in_row = 32, int x = 150) {
    POINT p = {x, row * 65 + y_in_row};
    ClientToScreen(r.list, &p);
    return p;
}

void settle(const Recorder& r) {
    DWORD_PTR ignored;
    SendMessageTimeoutW(r.list, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &ignored);
}

// A real pointer move (SetCursorPos alone may move no window's mouse).
void move_to(const Recorder& r, POINT p) {
    int cx = GetSystemMetrics(SM_CXSCREEN) - 1, cy = GetSystemMetrics(SM_CYSCREEN) - 1;
    mouse_event(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE, DWORD(p.x * 65535 / cx), DWORD(p.y * 65535 / cy), 0, 0);
    eventually([&] {
        POINT at;
        GetCursorPos(&at);
        return at.x == p.x && at.y == p.y;
    }, 2000);
    settle(r);
}

// Drags with a mouse button from one row onto a place of another. (Keys
// held for a drag are left to `drag_with_keys`: under Wine a real pointer
// move takes the modifier state from the X server, which knows nothing of
// synthesized keys.)
void drag(const Recorder& r, int from, int to, int y_in_row, bool right = false) {
    front(r);
    move_to(r, on_row(r, from));
    mouse_event(right ? MOUSEEVENTF_RIGHTDOWN : MOUSEEVENTF_LEFTDOWN, 0, 0, 0, 0);
    eventually([&] { return r.selected_row() == from; }, 5000);
    POINT a = on_row(r, from), b = on_row(r, to, y_in_row);
    for (int i = 1; i <= 4; ++i) move_to(r, POINT{a.x + (b.x - a.x) * i / 4, a.y + (b.y - a.y) * i / 4});
    mouse_event(right ? MOUSEEVENTF_RIGHTUP : MOUSEEVENTF_LEFTUP, 0, 0, 0, 0);
    settle(r);
}

// A left drag as the list's own mouse messages, with the key flags they
// carry (MK_CONTROL, MK_SHIFT).
void drag_with_keys(const Recorder& r, int from, int to, int y_in_row, WPARAM keys) {
    auto at = [](int row, int y) { return MAKELPARAM(150, row * 65 + y); };
    PostMessageW(r.list, WM_LBUTTONDOWN, MK_LBUTTON, at(from, 32));
    PostMessageW(r.list, WM_MOUSEMOVE, MK_LBUTTON | keys, at(from, 40));
    PostMessageW(r.list, WM_MOUSEMOVE, MK_LBUTTON | keys, at(to, y_in_row));
    PostMessageW(r.list, WM_LBUTTONUP, keys, at(to, y_in_row));
    settle(r);
}


RunResult zvb_play(const UserFolder& folder, const std::vector<std::string>& args) {
    std::vector<std::string> all = {"/dir", folder.path().string(), "play"};
    all.insert(all.end(), args.begin(), args.end());
    RunOptions options;
    options.timeout_ms = 60000;
    RunResult r = run_program(program_path("zvb_cmd"), all, options);
    r.err = from_console(r.err);
    return r;
}

TEST_F(RecorderTest, ZvbCmdPlaysItselfOrHandsThePlayToTheInstance) {
    UserFolder folder("zvb-play"), other("zvb-play-other");
    fs::path marks = folder.path() / "marks.txt";
    folder.put("drive.ksc", notifying_script(marks));
    // The runner ends while step 3 is pending.
    folder.put("G/fails.ksc", "__play_start()\r\n__select_step(0)\r\n__select_step(2)\r\nexit\r\n");
    folder.put("wait.ksc", "__play_start()\r\n__select_step(0)\r\nsleep(60000)\r\n");

    // No instance: played here, accounted like the main window's plays.
    RunResult run = zvb_play(folder, {"drive"});
    EXPECT_EQ(run.exit_code, 0) << run.err;
    EXPECT_EQ(read(marks), "done\n");
    EXPECT_EQ(folder.entry_setting("drive.ksc.ini", "PLAY", "end"), "1");
    run = zvb_play(folder, {"G/fails"});
    EXPECT_EQ(run.exit_code, 1);
    EXPECT_THAT(run.err, HasSubstr(tr("at step 3", "ステップ 3")));
    EXPECT_EQ(folder.entry_setting("G/fails.ksc.ini", "PLAY", "start"), "1");
    run = zvb_play(folder, {"nothing"});
    EXPECT_EQ(run.exit_code, 1);
    EXPECT_THAT(run.err, HasSubstr("nothing"));
    std::string log = folder.log();
    EXPECT_THAT(log, HasSubstr("[drive] name_to_play_group\r\n"));
    EXPECT_THAT(log, HasSubstr("[drive] End\r\n"));
    EXPECT_THAT(log, HasSubstr("[G/fails] Error: Step=3\r\n"));

    // An instance on another user folder is not asked; one on this folder is.
    {
        Recorder elsewhere(other);
        ASSERT_TRUE(elsewhere.started());
        run = zvb_play(folder, {"drive"});
        EXPECT_EQ(run.exit_code, 0) << run.err;
        EXPECT_EQ(read(marks), "done\ndone\n");
        EXPECT_EQ(other.log().find("drive"), std::string::npos);
        elsewhere.command(kExit);
        EXPECT_EQ(elsewhere.wait(), "0");
    }
    Recorder r(folder);
    ASSERT_TRUE(r.started());
    run = zvb_play(folder, {"drive"});
    EXPECT_EQ(run.exit_code, 0) << run.err;
    EXPECT_EQ(read(marks), "done\ndone\ndone\n");
    EXPECT_EQ(folder.entry_setting("drive.ksc.ini", "PLAY", "end"), "3");
    EXPECT_EQ(zvb_play(folder, {"G/fails"}).exit_code, 1);
    // /n while the instance plays: refused; without it the play is taken
    // over, and the one it replaced reports its stop.
    r.select_row(r.row_of(L"wait"));
    r.command(kPlay);
    EXPECT_TRUE(eventually([&] { return folder.log().find("[wait] Start") != std::string::npos; }));
    EXPECT_EQ(zvb_play(folder, {"drive", "/n"}).exit_code, 1);
    EXPECT_EQ(read(marks), "done\ndone\ndone\n");
    EXPECT_EQ(zvb_play(folder, {"drive"}).exit_code, 0);
    EXPECT_EQ(read(marks), "done\ndone\ndone\ndone\n");
    r.command(kExit);
    EXPECT_EQ(r.wait(), "0");
}

TEST_F(RecorderTest, PlaysDriveTheTargetAndAreAccounted) {
    Target t;
    ASSERT_TRUE(t.started());
    // Beside the target (at 100, 100), never over it: the script's clicks
    // must find the target's button even if it cannot come to the front.
    UserFolder folder("zarvo-bot-play", false, "main_left=450\r\nmain_bottom=700\r\n");
    fs::path marks = folder.path() / "marks.txt";
    std::string handles = "main = " + number(t.main) + "\r\nbutton = " + number(t.button) + "\r\n";
    folder.put("drive.ksc", handles + notifying_script(marks, "set_foreground_window(main)\r\n"
                                                               "mouse_leftclick(10, 10, button)\r\n"));
    // Holds Shift and waits: stopped with Ctrl+Q, the recorder lets go of Shift.
    folder.put("hold.ksc", "__play_start()\r\n__select_step(0)\r\nkey_down(\"VK_SHIFT\")\r\n__select_step(1)\r\n"
                           "file_write_text(\"" + ksc_path(marks) + "\", \"holding\\n\", 1)\r\nsleep(60000)\r\n");
    // A call key (Ctrl+Alt+F8) plays it.
    folder.put("key.ksc", "file_write_text(\"" + ksc_path(marks) + "\", \"key\\n\", 1)\r\n");
    folder.put("key.ksc.ini", "[HOTKEY]\r\nmodifiers=3\r\nvirtkey=119\r\n");
    folder.put("broken.zv", "");
    // An empty timeline without confirmations: its generated script only
    // notifies, once per pass.
    folder.put("empty.zv", "");
    folder.put("empty.zv.ini", "[OPTION]\r\nplay_start_confirm=0\r\nplay_end_confirm=0\r\n");
    folder.put("E/F/placeholder.txt", "");  // groups without anything to play
    Recorder r(folder);
    ASSERT_TRUE(r.started());

    // Enter plays the selected script; the target is clicked; the counters
    // and the log follow the notifications.
    select(r, L"drive");
    front(r);
    tap(VK_RETURN);
    EXPECT_TRUE(marks_are(marks, "done\n"));
    EXPECT_TRUE(eventually([&] { return t.logged("clicked button count=1"); }));
    EXPECT_TRUE(eventually([&] { return title_of(r.main).find(L"Ver") != std::wstring::npos; }));
    EXPECT_EQ(folder.entry_setting("drive.ksc.ini", "PLAY", "start"), "1");
    EXPECT_EQ(folder.entry_setting("drive.ksc.ini", "PLAY", "end"), "1");
    int took = std::atoi(folder.entry_setting("drive.ksc.ini", "TIME", "last_play").c_str());
    EXPECT_GE(took, 30);
    EXPECT_EQ(folder.entry_setting("drive.ksc.ini", "TIME", "play_total"), std::to_string(took));
    std::string log = folder.log();
    EXPECT_THAT(log, HasSubstr("[drive] SCENARIO_TYPE_SCRIPT\r\n"));
    EXPECT_LT(log.find("[drive] Start\r\n"), log.find("[drive] End\r\n"));
    EXPECT_THAT(log, Not(HasSubstr("Error")));

    // The row's play button; the title and the play item show the play;
    // Ctrl+Q stops it and Shift, held by the script, is let go.
    r.select_row(-1);
    int row = r.row_of(L"hold");
    RECT list;
    GetClientRect(r.list, &list);
    move_to(r, on_row(r, row));
    move_to(r, on_row(r, row, 32, list.right - 48 - 10 - 48 - 10 + 24));
    mouse_event(MOUSEEVENTF_LEFTDOWN, 0, 0, 0, 0);
    mouse_event(MOUSEEVENTF_LEFTUP, 0, 0, 0, 0);
    EXPECT_TRUE(marks_are(marks, "done\nholding\n"));
    EXPECT_EQ(title_of(r.main), L"再生中...");
    EXPECT_LT(GetAsyncKeyState(VK_SHIFT), 0);
    // While a play runs the tree stays as it is: the play follows its entry.
    r.command(kDelete);
    r.command(kRename);
    EXPECT_EQ(r.dialog(nullptr, 1000), nullptr);  // neither the question nor the name dialog
    EXPECT_TRUE(fs::exists(folder.data() / "hold.ksc"));
    // A call key does nothing while playing.
    front(r);
    key(VK_CONTROL, true);
    key(VK_MENU, true);
    tap(VK_F8);
    key(VK_MENU, false);
    tap('Q');
    key(VK_CONTROL, false);
    EXPECT_TRUE(eventually([&] { return GetAsyncKeyState(VK_SHIFT) >= 0; }));
    EXPECT_TRUE(eventually([&] { return folder.log().find("[hold] Stop: Step=2\r\n") != std::string::npos; }));
    EXPECT_TRUE(eventually([&] { return title_of(r.main).find(L"Ver") != std::wstring::npos; }));
    EXPECT_EQ(folder.entry_setting("hold.ksc.ini", "PLAY", "start"), "1");
    EXPECT_EQ(folder.entry_setting("hold.ksc.ini", "PLAY", "stop"), "1");
    EXPECT_EQ(folder.entry_setting("hold.ksc.ini", "PLAY", "end"), "");
    EXPECT_EQ(read(marks), "done\nholding\n");

    // The call key, now that nothing plays.
    front(r);
    key(VK_CONTROL, true);
    key(VK_MENU, true);
    tap(VK_F8);
    key(VK_MENU, false);
    key(VK_CONTROL, false);
    EXPECT_TRUE(marks_are(marks, "done\nholding\nkey\n"));
    EXPECT_TRUE(eventually([&] { return folder.log().find("[key] play_hotkey_scenario\r\n") != std::string::npos; }));
    EXPECT_TRUE(eventually([&] { return title_of(r.main).find(L"Ver") != std::wstring::npos; }));  // played out

    // Repeat play: refused for a script; a count below 1 is refused in the
    // dialog; a kept count becomes the entry's loop_count.
    select(r, L"drive");
    r.command(kRepeatPlay);
    EXPECT_EQ(answer_box(r), L"エラー|スクリプトのため再生回数の指定ができません。");
    // A timeline whose operation file cannot be read fails to play.
    HANDLE lock = CreateFileW((folder.data() / "broken.zv").wstring().c_str(), GENERIC_READ, 0, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    select(r, L"broken");
    r.command(kRepeatPlay);
    HWND d = r.dialog(L"繰り返し再生");
    ASSERT_TRUE(d);
    SetDlgItemTextW(d, 1041, L"0");
    PostMessageW(d, WM_COMMAND, IDOK, 0);
    EXPECT_EQ(answer_box(r, IDOK, L"繰り返し再生"), L"繰り返し再生|繰り返し回数は 1 以上を入れてください。");
    SetDlgItemTextW(d, 1041, L"4");
    CheckDlgButton(d, 1042, BST_CHECKED);
    PostMessageW(d, WM_COMMAND, IDOK, 0);
    EXPECT_EQ(answer_box(r), L"エラー|シナリオの再生に失敗しました。");
    CloseHandle(lock);
    EXPECT_EQ(folder.entry_setting("broken.zv.ini", "OPTION", "loop_count"), "4");
    EXPECT_EQ(folder.entry_setting("broken.zv.ini", "PLAY", "start"), "1");
    EXPECT_EQ(folder.entry_setting("broken.zv.ini", "PLAY", "error"), "1");
    // Repeat play of a timeline: three passes, three starts and ends; the
    // count is used once (the box is not ticked).
    select(r, L"empty");
    r.command(kRepeatPlay);
    d = r.dialog(L"繰り返し再生");
    ASSERT_TRUE(d);
    SetDlgItemTextW(d, 1041, L"3");
    press(d, IDOK);
    EXPECT_TRUE(eventually([&] { return folder.entry_setting("empty.zv.ini", "PLAY", "end") == "3"; }));
    EXPECT_EQ(folder.entry_setting("empty.zv.ini", "PLAY", "start"), "3");
    EXPECT_EQ(folder.entry_setting("empty.zv.ini", "OPTION", "loop_count"), "");
    EXPECT_TRUE(eventually([&] { return folder.log().find("[empty] SCENARIO_TYPE_TIMELINE\r\n") != std::string::npos; }));
    EXPECT_TRUE(eventually([&] { return title_of(r.main).find(L"Ver") != std::wstring::npos; }));
    // A group with nothing to play below it.
    select(r, L"E");
    r.command(kPlay);
    EXPECT_EQ(answer_box(r), L"エラー|再生可能なシナリオがありません。");
    EXPECT_EQ(folder.entry_setting("E.ini", "PLAY", "start"), "");

    // Export copies a script; the executable built from it runs it.
    select(r, L"drive");
    r.command(kExport);
    d = r.dialog();
    ASSERT_TRUE(d);
    SetDlgItemTextW(d, 1148, (folder.path() / "out.ksc").wstring().c_str());
    PostMessageW(d, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(eventually([&] { return read(folder.path() / "out.ksc") == read(folder.data() / "drive.ksc"); }));
    r.command(kExecutable);
    d = r.dialog(L"出力先の選択");
    ASSERT_TRUE(d);
    SetDlgItemTextW(d, 1148, (folder.path() / "drive.exe").wstring().c_str());
    PostMessageW(d, WM_COMMAND, IDOK, 0);
    // zvs_app copies itself first and adds the script a moment later.
    fs::path exe = folder.path() / "drive.exe";
    uintmax_t plain = fs::file_size(program_path("zvs_app"));
    ASSERT_TRUE(eventually([&] {
        std::error_code ec;
        return fs::exists(exe) && fs::file_size(exe, ec) > plain;
    }, 30000));
    EXPECT_EQ(run_program(exe.string(), {}).exit_code, 0);
    EXPECT_THAT(read(marks), testing::EndsWith("key\ndone\n"));
    EXPECT_TRUE(eventually([&] { return t.logged("clicked button count=2"); }));

    r.command(kExit);
    EXPECT_EQ(r.wait(), "0");
}

TEST_F(RecorderTest, ChangesTheStoreThroughMenusKeysAndDrags) {
    UserFolder folder("zarvo-bot-store");
    folder.put("a.ksc", "a\r\n");
    folder.put("b.ksc", "b\r\n");
    folder.put("G/c.ksc", "c\r\n");
    Recorder r(folder);
    ASSERT_TRUE(r.started());
    fs::path data = folder.data();
    front(r);

    // F2 renames; the name dialog refuses what the store refuses and stays.
    select(r, L"a");
    tap(VK_F2);
    HWND d = r.dialog(L"名前の変更");
    ASSERT_TRUE(d);
    answer_name(d, L"b");
    EXPECT_EQ(answer_box(r, IDOK, L"名前の変更"), L"名前の変更|すでに同じ名前が存在します。");
    answer_name(d, L"x:y");
    EXPECT_THAT(narrow(answer_box(r, IDOK, L"名前の変更")), HasSubstr("名前に次の文字は使えません。"));
    answer_name(d, L"Alpha");
    EXPECT_TRUE(eventually([&] { return fs::exists(data / "Alpha.ksc"); }));
    EXPECT_FALSE(fs::exists(data / "a.ksc"));
    EXPECT_EQ(r.row_name(r.selected_row()), L"Alpha");

    // New group and script from the menu, beside the selected entry.
    r.command(kNewGroup);
    answer_name(r.dialog(L"新しいグループの作成"), L"Reports");
    EXPECT_TRUE(eventually([&] { return fs::is_directory(data / "Reports"); }));
    EXPECT_EQ(r.row_of(L"Reports"), r.row_of(L"Alpha") + 1);
    r.command(kNewScript);
    answer_name(r.dialog(L"新しいスクリプトの作成"), L"Notes");
    EXPECT_TRUE(eventually([&] { return read(data / "Notes.ksc") == "#import(\"DESKOPS\")\r\n\r\n"; }));

    // Ctrl+D copies beside the source; Alt+Down moves.
    select(r, L"Alpha");
    front(r);
    key(VK_CONTROL, true);
    tap('D');
    key(VK_CONTROL, false);
    EXPECT_TRUE(eventually([&] { return fs::exists(data / fs::u8path("Alpha - コピー.ksc")); }));
    EXPECT_EQ(r.row_of(L"Alpha - コピー"), r.row_of(L"Alpha") + 1);
    select(r, L"Alpha");
    int before = r.row_of(L"Alpha");
    key(VK_MENU, true);
    tap(VK_DOWN);
    key(VK_MENU, false);
    EXPECT_TRUE(eventually([&] { return r.row_of(L"Alpha") == before + 1; }));

    // Drags: b into the open group G (dropped on G's lower half), a copy of
    // c to the very top (Ctrl, upper half of the first row), Notes grouped
    // with Alpha through the right button's menu.
    // b selected first: a press on the selected row still drags it.
    select(r, L"b");
    drag(r, r.row_of(L"b"), r.row_of(L"G"), 50);
    EXPECT_TRUE(eventually([&] { return fs::exists(data / "G" / "b.ksc"); }));
    EXPECT_FALSE(fs::exists(data / "b.ksc"));
    EXPECT_EQ(r.row_of(L"b"), r.row_of(L"G") + 1);
    drag_with_keys(r, r.row_of(L"c"), 0, 10, MK_CONTROL);
    EXPECT_TRUE(eventually([&] { return fs::exists(data / "c.ksc"); }));
    EXPECT_TRUE(fs::exists(data / "G" / "c.ksc"));
    EXPECT_EQ(r.row_name(0), L"c");
    // The right button: a menu of copy, move and group.
    drag(r, r.row_of(L"Notes"), r.row_of(L"Alpha"), 40, true);
    HWND menu = nullptr;
    ASSERT_TRUE(eventually([&] { return (menu = FindWindowW(L"#32768", nullptr)) && IsWindowVisible(menu); }));
    PostMessageW(menu, WM_CHAR, 'g', 0);
    answer_name(r.dialog(L"新しいグループの作成"), L"Pair");
    EXPECT_TRUE(eventually([&] { return fs::exists(data / "Pair" / "Notes.ksc"); }));
    EXPECT_TRUE(eventually([&] { return fs::exists(data / "Pair" / "Alpha.ksc"); }));
    EXPECT_EQ(r.row_of(L"Alpha"), r.row_of(L"Pair") + 1);  // the target first,
    EXPECT_EQ(r.row_of(L"Notes"), r.row_of(L"Pair") + 2);  // then the dragged entry

    // Delete asks first; Shift+Delete deletes outright.
    select(r, L"Alpha - コピー");
    front(r);
    tap(VK_DELETE);
    EXPECT_EQ(answer_box(r, IDNO, L"削除"),
              L"削除|「Alpha - コピー」を削除しますか？\n\nシナリオの構成ファイルはごみ箱に移動されます。");
    EXPECT_TRUE(fs::exists(data / fs::u8path("Alpha - コピー.ksc")));
    tap(VK_DELETE);
    answer_box(r, IDYES, L"削除");
    EXPECT_TRUE(eventually([&] { return !fs::exists(data / fs::u8path("Alpha - コピー.ksc")); }));
    select(r, L"c");
    front(r);
    key(VK_SHIFT, true);
    tap(VK_DELETE);
    key(VK_SHIFT, false);
    EXPECT_EQ(answer_box(r, IDYES, L"削除"), L"削除|「c」を完全に削除しますか？");
    EXPECT_TRUE(eventually([&] { return !fs::exists(data / "c.ksc"); }));

    // Keys move the selection; a file put there by hand appears on F5.
    front(r);
    tap(VK_END);
    EXPECT_TRUE(eventually([&] { return r.selected_row() == r.rows() - 1; }));
    tap(VK_HOME);
    tap(VK_DOWN);
    EXPECT_TRUE(eventually([&] { return r.selected_row() == 1; }));
    tap(VK_ESCAPE);
    EXPECT_TRUE(eventually([&] { return r.selected_row() == -1; }));
    folder.put("x.ksc", "");
    tap(VK_F5);
    EXPECT_TRUE(eventually([&] { return r.row_of(L"x") >= 0; }));

    // The call key dialog stores the key (Ctrl+Alt+K) and the list shows it.
    select(r, L"x");
    r.command(kCallKey);
    d = r.dialog(L"呼び出しキーの設定");
    ASSERT_TRUE(d);
    SendMessageW(GetDlgItem(d, 1012), WM_USER + 1 /* HKM_SETHOTKEY */, MAKEWORD('K', 2 | 4), 0);
    press(d, IDOK);
    EXPECT_EQ(folder.entry_setting("x.ksc.ini", "HOTKEY", "modifiers"), "3");
    EXPECT_EQ(folder.entry_setting("x.ksc.ini", "HOTKEY", "virtkey"), "75");

    r.command(kExit);
    EXPECT_EQ(r.wait(), "0");
    // The list files keep the order: the new group came right after its target.
    std::string top = read(folder.path() / "data.lst");
    EXPECT_LT(top.find("P\0a\0i\0r"), top.find("R\0e\0p\0o\0r\0t\0s"));
}

// What opens web pages, for the life of the object: a command registered
// for .html in the prefix's classes (Wine's shell reads the machine's
// classes only); what was registered before is put back.
class HtmlOpener {
public:
    explicit HtmlOpener(const std::wstring& command) {
        wchar_t old[512] = L"";
        DWORD size = sizeof old - sizeof(wchar_t);
        had_ = RegGetValueW(HKEY_LOCAL_MACHINE, kExtension, nullptr, RRF_RT_REG_SZ, nullptr, old, &size) == 0;
        old_ = old;
        RegSetKeyValueW(HKEY_LOCAL_MACHINE, kExtension, nullptr, REG_SZ, L"zv_test.html", sizeof L"zv_test.html");
        RegSetKeyValueW(HKEY_LOCAL_MACHINE, L"Software\\Classes\\zv_test.html\\shell\\open\\command", nullptr, REG_SZ,
                        command.c_str(), DWORD((command.size() + 1) * sizeof(wchar_t)));
    }
    ~HtmlOpener() {
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"Software\\Classes\\zv_test.html");
        if (had_)
            RegSetKeyValueW(HKEY_LOCAL_MACHINE, kExtension, nullptr, REG_SZ, old_.c_str(),
                            DWORD((old_.size() + 1) * sizeof(wchar_t)));
        else
            RegDeleteTreeW(HKEY_LOCAL_MACHINE, kExtension);
    }
    HtmlOpener(const HtmlOpener&) = delete;
    HtmlOpener& operator=(const HtmlOpener&) = delete;

private:
    static constexpr const wchar_t* kExtension = L"Software\\Classes\\.html";
    bool had_;
    std::wstring old_;
};

// The statistics page is written again after every play, with the counters
// the play left, and by the menu command, which opens it with the shell.
TEST_F(RecorderTest, StatisticsPageAfterEveryPlayAndFromTheMenu) {
    UserFolder folder("zarvo-bot-statistics");
    fs::path marks = folder.path() / "marks.txt", opened = folder.path() / "opened.txt";
    fs::path page = folder.path() / "statistics.html";
    folder.put("played.ksc", notifying_script(marks));
    folder.put("never.ksc", "");
    // The stand-in notes the file it is asked to open.
    folder.put("opener.ksc", "file_write_text(\"" + ksc_path(opened) + "\", argv[0] + \"\\n\", 1)\r\n");
    Recorder r(folder);
    ASSERT_TRUE(r.started());
    r.select_row(r.row_of(L"played"));
    r.command(kPlay);
    EXPECT_TRUE(eventually([&] { return read(page).find("<tr><td>played</td>") != std::string::npos; }));
    std::string written = read(page);
    EXPECT_THAT(written, HasSubstr("<tr><td class=\"script\">never</td><td></td><td></td><td></td><td></td></tr>"));
    EXPECT_THAT(written, HasSubstr("<td>0.0%</td><td>100.0%</td></tr>"));  // played once, to the end
    EXPECT_EQ(folder.entry_setting("played.ksc.ini", "PLAY", "end"), "1");

    {
        HtmlOpener opener(L"\"" + widen(program_path("zvs_app")) + L"\" \"" + (folder.data() / "opener.ksc").wstring() +
                          L"\" \"%1\"");
        fs::remove(page);
        r.command(kStatistics);
        EXPECT_TRUE(eventually([&] { return read(opened) == narrow(page.wstring()) + "\n"; })) << read(opened);
        EXPECT_TRUE(fs::exists(page));
    }
    {
        HtmlOpener missing(L"\"" + (folder.path() / "none.exe").wstring() + L"\" \"%1\"");
        r.command(kStatistics);
        EXPECT_EQ(answer_box(r), L"エラー|統計情報の表示に失敗しました。");
    }
    // A folder in the page's place: nothing can be written.
    fs::remove(page);
    fs::create_directory(page);
    r.command(kStatistics);
    EXPECT_EQ(answer_box(r), L"エラー|統計情報の出力に失敗しました。");
    r.command(kExit);
    EXPECT_EQ(r.wait(), "0");
}

}  // namespace
