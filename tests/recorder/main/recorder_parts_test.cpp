// Parts of zarvo-bot in the test's own process: the command line, the
// global settings file and the play log's lines.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "command_line.h"
#include "dpi.h"
#include "global_settings.h"
#include "play_log.h"
#include "target_driver.h"

namespace fs = std::filesystem;

namespace {

std::string contents(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

TEST(RecorderCommandLine, OptionQuotesAndName) {
    const struct {
        const wchar_t* text;
        bool no_interrupt;
        const wchar_t* name;
    } rows[] = {
        {L"", false, L""},
        {L"   Daily/Reports/Export  ", false, L"Daily/Reports/Export"},
        {L"/n \"名前 with spaces\" ignored", true, L"名前 with spaces"},
        {L"/nname", true, L"name"},
        {L"/N name", false, L"N name"},  // only a lower-case n is the option
        {L"/x  two words", false, L"x  two words"},
        {L"\"unterminated quote", false, L"unterminated quote"},
        {L"/n", true, L""},
    };
    for (const auto& r : rows) {
        zvb::PlayRequest p = zvb::parse_command_line(r.text);
        EXPECT_EQ(p.no_interrupt, r.no_interrupt) << r.text;
        EXPECT_EQ(p.name, r.name) << r.text;
    }
    EXPECT_EQ(zvb::arguments_of(L"\"C:\\a b\\zarvo-bot.exe\"  /n x"), L"/n x");
    EXPECT_EQ(zvb::arguments_of(L"zarvo-bot.exe"), L"");
}

TEST(RecorderSettings, EveryKeyWrittenBackWholeAndPositionsAtOneHundredPercent) {
    fs::path dir = zv::test::fresh_dir("zarvo-bot-settings");
    std::wstring file = (dir / "zarvo-bot.ini").wstring();
    zv::ui::set_scale_percent(150);
    zvb::GlobalSettings s;
    zvb::read_settings(file, &s);  // no file: the defaults (positions scaled)
    EXPECT_EQ(s.main_right, 900);
    EXPECT_EQ(s.edit_left, zvb::kUnsetPosition);
    EXPECT_EQ(s.double_click_interval, int(GetDoubleClickTime() / 2));
    s.log_path = std::wstring(600, L'x');
    ASSERT_TRUE(zvb::write_settings(file, s));
    std::string text = contents(dir / "zarvo-bot.ini");
    for (const char* line : {"main_right=600", "main_bottom=420", "trayicon=1", "edit_left=-2147483648",
                             "edit_window_scale=75", "rec_marge=1", "rec_first_click_window_class=",
                             "click_interval=250", "check_count=50", "wait_busy_interval=5000", "enable_log=1"})
        EXPECT_NE(text.find(line), std::string::npos) << line;
    zvb::GlobalSettings back;
    zvb::read_settings(file, &back);
    EXPECT_EQ(back.main_right, 900);
    EXPECT_EQ(back.log_path, std::wstring(511, L'x'));  // at most 511 characters
    zv::ui::set_scale_percent(100);
    fs::remove_all(dir);
}

TEST(RecorderPlayLog, OneUtf8LineAMessageInTodaysFile) {
    fs::path dir = zv::test::fresh_dir("zarvo-bot-log");
    zvb::PlayLog log;
    log.configure(false, dir.wstring());
    log.write(L"off", L"never written");
    log.configure(true, dir.wstring());
    log.write(L"毎日/レポート/", L"Start");
    log.write(L"*initialize*", L"zarvo-bot Ver 0.10");
    SYSTEMTIME t;
    GetLocalTime(&t);
    char name[32];
    wsprintfA(name, "%04d%02d%02d.log", t.wYear, t.wMonth, t.wDay);
    std::string text = contents(dir / name);
    ASSERT_GT(text.size(), 19u);
    EXPECT_EQ(text[4], '/');
    EXPECT_EQ(text.substr(19, 4), " - [");
    EXPECT_NE(text.find(" - [毎日/レポート/] Start\r\n"), std::string::npos);
    EXPECT_NE(text.find("[*initialize*] zarvo-bot Ver 0.10\r\n"), std::string::npos);
    EXPECT_EQ(text.find("never"), std::string::npos);
    fs::remove_all(dir);
}

}  // namespace
