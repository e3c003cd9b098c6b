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
    kDelete = 40016, kMoveUp = 40017, kMoveDown = 40018,
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
    HWND box = r.dialog(caption, 15000);
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
    EXPECT_TRUE(eventually([&] { return read(marks) == "inner\n"; }));
    EXPECT_TRUE(eventually([&] { return narrow(title_of(r.main)).find("Ver") != std::string::npos; }));
    EXPECT_EQ(run_second(folder, L"\"inner\""), 0);
    EXPECT_TRUE(eventually([&] { return read(marks) == "inner\ninner\n"; }));
    EXPECT_TRUE(eventually([&] { return narrow(title_of(r.main)).find("Ver") != std::string::npos; }));

    // /n leaves a running play alone; without it the play is stopped first.
    EXPECT_EQ(run_second(folder, L"wait"), 0);
    EXPECT_TRUE(eventually([&] { return folder.log().find("[wait] Start") != std::string::npos; }));
    EXPECT_EQ(run_second(folder, L"/n drive"), 0);
    EXPECT_EQ(run_second(folder, L"/x drive"), 0);  // "/" dropped alone: the name is "x drive"
    EXPECT_EQ(answer_box(r), L"zarvo-bot|コマンドライン引数で指定されたシナリオ「x drive」が見つかりません。");
    EXPECT_EQ(read(marks), "inner\ninner\n");
    EXPECT_EQ(run_second(folder, L"drive"), 0);
    EXPECT_TRUE(eventually([&] { return read(marks) == "inner\ninner\ndrive\n"; }));

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

}  // namespace
