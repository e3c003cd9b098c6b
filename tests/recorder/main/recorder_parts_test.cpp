// Parts of zarvo-bot in the test's own process: the command line, the
// global settings file, the play log's lines and the player's watch.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "command_line.h"
#include "dpi.h"
#include "folders.h"
#include "global_settings.h"
#include "play_log.h"
#include "player.h"
#include "store.h"
#include "target_driver.h"

#include <tlhelp32.h>  // after windows.h (player.h)

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

    // A file edited by hand reads as the system's profile functions read it:
    // names in any case, the first of repeated keys, only a section's first
    // occurrence, one pair of quotes off, leading digits, empty = default.
    std::ofstream(dir / "zarvo-bot.ini", std::ios::binary)
        << "[window]\r\n MAIN_RIGHT = 500\r\nmain_right=700\r\ntrayicon=0x0\r\nedit_top=40\r\n"
           "[LOG]\r\nlog_path=\"C:\\logs here\"\r\nenable_log=2x\r\n"
           "[WINDOW]\r\nhide_window=1\r\n[PLAY]\r\ncheck_count=\r\nloop_interval=-3\r\n";
    zvb::GlobalSettings edited;
    zvb::read_settings(file, &edited);
    EXPECT_EQ(edited.main_right, 750);
    EXPECT_EQ(edited.main_bottom, 630);
    EXPECT_EQ(edited.trayicon, 0);
    EXPECT_EQ(edited.edit_top, 60);
    EXPECT_EQ(edited.edit_left, zvb::kUnsetPosition);
    EXPECT_EQ(edited.log_path, L"C:\\logs here");
    EXPECT_EQ(edited.enable_log, 2);
    EXPECT_EQ(edited.hide_window, 0);
    EXPECT_EQ(edited.check_count, 50);
    EXPECT_EQ(edited.loop_interval, -3);
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

// The player's window, as zarvo-bot's and zvb_cmd's route its messages.
zvb::Player* g_player;

LRESULT CALLBACK player_window(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
    if (g_player) {
        if (msg == 1134) return g_player->on_play_start(wp), 0;
        if (msg == 1135) return g_player->on_play_end(wp), 0;
        if (msg == 1425) return g_player->on_step(lp), 0;
        if (msg == WM_TIMER && wp == zvb::kWatchTimer) return g_player->on_timer(), 0;
    }
    return DefWindowProcW(w, msg, wp, lp);
}

struct Host : zvb::PlayerHost {
    bool finished = false;
    void playing_changed(bool) override {}
    void report(int) override {}
    void play_finished() override { finished = true; }
};

// The runner this process started (the player keeps its handle to itself).
HANDLE child_runner() {
    HANDLE found = nullptr;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32W p = {};
    p.dwSize = sizeof p;
    for (BOOL more = Process32FirstW(snapshot, &p); more && !found; more = Process32NextW(snapshot, &p))
        if (p.th32ParentProcessID == GetCurrentProcessId() && lstrcmpiW(p.szExeFile, L"zvs_app.exe") == 0)
            found = OpenProcess(SYNCHRONIZE, FALSE, p.th32ProcessID);
    CloseHandle(snapshot);
    return found;
}

// The script posts its play end and ends while the watch timer's tick is
// already out of the queue: the play still ends normally, counted and
// logged as such, not as an error at its last step.
TEST(RecorderPlayer, NotificationsPostedJustBeforeTheRunnerEndsAreNotLost) {
    fs::path user = zv::test::fresh_dir("zarvo-bot-player");
    fs::create_directories(user / "data");
    std::ofstream(user / "data" / "race.ksc", std::ios::binary)
        << "#import(\"DESKOPS\")\r\n__play_start()\r\n__select_step(0)\r\n__play_end()\r\n";
    zvb::Store store;
    zvb::Message error;
    ASSERT_TRUE(zvb::store_open(&store, user.u16string(), &error));
    zvb::store_load(&store);
    bool by_path = false;
    zvb::ScenarioEntry* e = zvb::tree_find_name(store.root, u"race", &by_path);
    ASSERT_NE(e, nullptr);
    zvb::Folders folders;
    zvb::setup_folders(&folders, user.wstring());
    zvb::GlobalSettings settings;
    zvb::PlayLog log;
    log.configure(true, (user / "log").wstring());
    fs::create_directories(user / "log");

    WNDCLASSW wc = {};
    wc.lpfnWndProc = player_window;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"zarvo-bot_main";
    RegisterClassW(&wc);
    HWND window = CreateWindowExW(0, wc.lpszClassName, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, wc.hInstance,
                                  nullptr);
    Host host;
    zvb::Player player(window, store.root, settings, folders, log, host);
    g_player = &player;
    ASSERT_TRUE(player.launch(e));
    HANDLE runner = nullptr;
    for (int i = 0; i < 500 && !(runner = child_runner()); ++i) Sleep(20);
    ASSERT_NE(runner, nullptr);
    // No message is handled here until the runner has posted everything
    // and ended; then the tick that was taken too early.
    ASSERT_EQ(WaitForSingleObject(runner, 60000), WAIT_OBJECT_0);
    CloseHandle(runner);
    player.on_timer();
    MSG msg;
    for (DWORD t0 = GetTickCount(); !host.finished && GetTickCount() - t0 < 10000;) {
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
        if (!host.finished) MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
    }
    EXPECT_TRUE(host.finished);
    EXPECT_TRUE(player.outcome().ended);
    EXPECT_EQ(player.outcome().error_step, 0);
    EXPECT_FALSE(player.running());
    // A tick left over finds nothing to clean up a second time.
    host.finished = false;
    player.on_timer();
    EXPECT_FALSE(host.finished);
    const std::wstring ini = (user / "data" / "race.ksc.ini").wstring();
    EXPECT_EQ(GetPrivateProfileIntW(L"PLAY", L"start", 0, ini.c_str()), 1u);
    EXPECT_EQ(GetPrivateProfileIntW(L"PLAY", L"end", 0, ini.c_str()), 1u);
    std::string lines;
    for (const auto& f : fs::directory_iterator(user / "log")) lines += contents(f.path());
    EXPECT_NE(lines.find("[race] End\r\n"), std::string::npos) << lines;
    EXPECT_EQ(lines.find("Error"), std::string::npos) << lines;

    g_player = nullptr;
    DestroyWindow(window);
    zvb::store_close(&store);
    fs::remove_all(user);
}

}  // namespace
