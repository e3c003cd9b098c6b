// zvb_cmd play NAME [/n]: a running zarvo-bot on the same user folder plays
// it as for a command line and reports back; otherwise the tool plays it
// itself with the recorder's play machinery, from a hidden window of the
// recorder's class that receives the script's notifications.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <cstring>
#include <string>

#include "folders.h"
#include "global_settings.h"
#include "hand_over.h"
#include "names.h"
#include "play_log.h"
#include "player.h"
#include "scenario.h"
#include "zvb_cmd.h"

namespace zvb_cmd {

namespace {

using zvb::Player;

std::wstring wide(const std::u16string& s) { return std::wstring(s.begin(), s.end()); }

// Prints what the main window would show in a message box.
struct ConsoleHost : zvb::PlayerHost {
    const Tool* tool = nullptr;
    bool finished = false;
    void playing_changed(bool) override {}
    void report(int number) override {
        static const struct {
            int number;
            const char16_t* english;
            const char16_t* japanese;
        } kTexts[] = {
            {zvb::kMessageNothingToPlay, u"there is nothing to play in this group", u"再生可能なシナリオがありません。"},
            {zvb::kMessagePlayFailed, u"the scenario could not be played", u"シナリオの再生に失敗しました。"},
        };
        for (const auto& t : kTexts)
            if (t.number == number) fail(*tool, t.english, t.japanese);
    }
    void play_finished() override {
        finished = true;
        PostQuitMessage(0);
    }
};

Player* g_player;

LRESULT CALLBACK play_window(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
    if (g_player) {
        switch (msg) {
        case 1134: g_player->on_play_start(wp); return 0;
        case 1135: g_player->on_play_end(wp); return 0;
        case 1425: g_player->on_step(lp); return 0;
        case WM_TIMER:
            if (wp == zvb::kWatchTimer) g_player->on_timer();
            return 0;
        case WM_HOTKEY:
            if (zvb::is_stop_hot_key(int(wp))) g_player->stop();
            return 0;
        default: break;
        }
    }
    return DefWindowProcW(w, msg, wp, lp);
}

int outcome(const Tool& tool, const std::u16string& name, bool normal, int step) {
    if (normal) return 0;
    std::string digits = std::to_string(step);
    std::u16string number(digits.begin(), digits.end());
    if (step)
        return fail(tool, u"the play of \"" + name + u"\" did not end normally at step " + number,
                    u"「" + name + u"」の再生はステップ " + number + u" で正常に終了しませんでした");
    return fail(tool, u"the play of \"" + name + u"\" did not end normally",
                u"「" + name + u"」の再生は正常に終了しませんでした");
}

// Hands the play to the running instance and waits for its report.
int play_in_instance(const Tool& tool, HWND instance, const std::u16string& name, bool no_interrupt) {
    HWND reply = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    std::u16string line = std::u16string(no_interrupt ? u"/n " : u"") + u"\"" + name + u"\"";
    std::string bytes(4 + (line.size() + 1) * 2, '\0');
    uint32_t handle = uint32_t(reinterpret_cast<uintptr_t>(reply));
    memcpy(&bytes[0], &handle, 4);
    memcpy(&bytes[4], line.c_str(), (line.size() + 1) * 2);
    if (!zvb::send_copy_data(instance, zvb::kCopyPlayAndReply, bytes.data(), bytes.size())) {
        DestroyWindow(reply);
        return fail(tool, u"the running zarvo-bot does not take plays now (recording or busy)",
                    u"起動中の zarvo-bot は現在再生を受け付けません (記録中または操作中)");
    }
    MSG msg;
    for (;;) {
        if (PeekMessageW(&msg, reply, zvb::kPlayResult, zvb::kPlayResult, PM_REMOVE)) break;
        if (!IsWindow(instance)) {
            DestroyWindow(reply);
            return fail(tool, u"zarvo-bot ended during the play", u"再生中に zarvo-bot が終了しました");
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 500, QS_ALLPOSTMESSAGE);
    }
    DestroyWindow(reply);
    return outcome(tool, name, msg.wParam == 0, int(msg.lParam));
}

int play_here(Tool& tool, const std::u16string& name) {
    bool by_path = false;
    zvb::ScenarioEntry* e = zvb::tree_find_name(tool.store.root, name, &by_path);
    if (!e) return fail(tool, zvb::make_message(zvb::kMessageNotFound, {name}));

    zvb::Folders folders;
    zvb::setup_folders(&folders, wide(tool.store.user_folder));
    zvb::GlobalSettings settings;
    zvb::read_settings(folders.settings_file, &settings);
    zvb::PlayLog log;
    std::wstring log_folder = zvb::log_folder(folders, settings.log_path);
    if (settings.enable_log) zvb::make_folders(log_folder);
    log.configure(settings.enable_log != 0, log_folder);

    WNDCLASSW wc = {};
    wc.lpfnWndProc = play_window;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"zarvo-bot_main";
    RegisterClassW(&wc);
    // Not a message-only window: the script finds it by class, the first
    // in the windows' order, so it stays above a zarvo-bot that may run on
    // another user folder.
    HWND window = CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, L"zarvo-bot_main", L"zvb_cmd",
                                  WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, wc.hInstance, nullptr);
    if (!window) return fail(tool, u"cannot create the play's window", u"再生用のウィンドウを作成できません");

    ConsoleHost host;
    host.tool = &tool;
    Player player(window, tool.store.root, settings, folders, log, host);
    g_player = &player;
    log.write(wide(zvb::tree_group_path(tool.store.root, e)), by_path ? L"name_to_play_group" : L"name_to_play");
    e->repeat_override = 0;
    int rc = 1;
    if (player.launch(e)) {
        MSG msg;
        while (!host.finished && GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
        const zvb::PlayOutcome& o = player.outcome();
        rc = outcome(tool, name, !o.stopped && !o.error_step && o.exit_code == 0, o.error_step);
    }
    g_player = nullptr;
    DestroyWindow(window);
    zvb::store_save(&tool.store);  // the entry may have a new loop count or options read
    return rc;
}

}  // namespace

int run_play(Tool& tool, const Args& args) {
    bool no_interrupt = args.size() == 2;
    if (no_interrupt && !zvb::name_equal(args[1].c_str(), u"/n"))
        return fail(tool, u"usage: zvb_cmd [/dir USERDIR] play NAME [/n]",
                    u"使い方: zvb_cmd [/dir USERDIR] play NAME [/n]");
    HWND instance = zvb::find_instance(wide(tool.store.user_folder));
    if (instance) return play_in_instance(tool, instance, args[0], no_interrupt);
    return play_here(tool, args[0]);
}

}  // namespace zvb_cmd
