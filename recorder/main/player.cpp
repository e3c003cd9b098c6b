#include "player.h"

#include "folders.h"
#include "ids.h"
#include "play_log.h"
#include "play_script.h"
#include "scenario.h"
#include "global_settings.h"
#include "settings.h"

namespace zvb {

namespace {

void bump_counter(const ScenarioEntry* e, const char16_t* key) { settings_increment(e, u"PLAY", key); }

const wchar_t* wide(const char16_t* s) { return reinterpret_cast<const wchar_t*>(s); }

bool has_playable_member(ScenarioEntry* group) {
    for (ScenarioEntry* e = group->child ? group->child->next : nullptr; e; e = e->next)
        if (e->type != kTypeGroup || has_playable_member(e)) return true;
    return false;
}

const wchar_t* type_name(int type) {
    return type == kTypeScript ? L"SCENARIO_TYPE_SCRIPT"
           : type == kTypeGroup ? L"SCENARIO_TYPE_GROUP"
                                : L"SCENARIO_TYPE_TIMELINE";
}

}  // namespace

bool is_stop_hot_key(int id) { return id >= kStopHotKey && id < kStopHotKey + 4; }

HANDLE start_program(const std::wstring& program, const std::wstring& parameters, const std::wstring& folder,
                     int show, bool keep, DWORD* error) {
    // The programs are ours, by full path: CreateProcess starts them without
    // the shell's look-ups, which a play's first statement would wait for.
    std::wstring command = L"\"" + program + L"\"";
    if (!parameters.empty()) command += L" " + parameters;
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESHOWWINDOW;
    si.wShowWindow = WORD(show);
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessW(program.c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr,
                        folder.empty() ? nullptr : folder.c_str(), &si, &pi)) {
        if (error) *error = GetLastError();
        return nullptr;
    }
    CloseHandle(pi.hThread);
    if (keep) return pi.hProcess;
    CloseHandle(pi.hProcess);
    return nullptr;
}

void Player::log(ScenarioEntry* e, const std::wstring& message) const {
    if (!log_.enabled() || !e) return;
    std::u16string path = tree_group_path(root_, e);
    log_.write(std::wstring(path.begin(), path.end()), message);
}

bool Player::start_runner(const std::wstring& script, const std::wstring& folder) {
    process_ = start_program(folders_.program + L"zvs_app.exe", L"\"" + script + L"\"", folder, SW_HIDE, true,
                             nullptr);
    return process_ != nullptr;
}

bool Player::launch(ScenarioEntry* e, const wchar_t* reason) {
    if (!e || host_.recording() || running()) return false;
    if (reason) log(e, reason);
    entry_ = played_ = e;
    id_ = -1;
    start_tick_ = 0;
    step_ = -1;
    outcome_ = PlayOutcome();
    runner_ended_ = false;
    e->playing = 1;
    register_stop_keys();

    log(e, type_name(e->type));
    if (e->type == kTypeScript) {
        start_runner(wide(e->path), wide(e->folder));
    } else if (e->type == kTypeGroup && !has_playable_member(e)) {
        host_.playing_changed(true);
        host_.report(kMessageNothingToPlay);
        clean_up();
        return false;
    } else if (write_entry_script(e, settings_, true, 0, folders_.play_script)) {
        start_runner(folders_.play_script, wide(e->type == kTypeGroup ? e->path : e->folder));
    }
    // The window shows the play while the runner starts up, not before.
    host_.playing_changed(true);
    if (!process_) {
        bump_counter(e, u"start");
        bump_counter(e, u"error");
        host_.report(kMessagePlayFailed);
        clean_up();
        return false;
    }
    outcome_.started = true;
    SetTimer(window_, kWatchTimer, 1, nullptr);
    return true;
}

// Ctrl+Q, and Ctrl+Q with Shift, Alt or both: a script that stopped while
// holding a modifier down must not make the stop key useless.
void Player::register_stop_keys() {
    const UINT extra[] = {0, MOD_SHIFT, MOD_ALT, MOD_SHIFT | MOD_ALT};
    for (int i = 0; i < 4; ++i) RegisterHotKey(window_, kStopHotKey + i, MOD_CONTROL | extra[i], 'Q');
}

ScenarioEntry* Player::notified_entry(int id) const {
    if (id != -1) return tree_find_id(root_, id);
    return entry_ && entry_->type != kTypeGroup ? entry_ : nullptr;
}

void Player::on_play_start(WPARAM wp) {
    if (!running() || !entry_) return;
    int id = int(wp);
    ScenarioEntry* e = notified_entry(id);
    if (!e) return;
    id_ = id;
    start_tick_ = GetTickCount();
    if (start_tick_ == 0) start_tick_ = 1;  // 0 means "not started"
    step_ = 0;
    bump_counter(e, u"start");
    log(e, L"Start");
}

void Player::on_play_end(WPARAM wp) {
    if (!running() || !entry_ || !start_tick_) return;
    ScenarioEntry* e = notified_entry(int(wp));
    if (!e) return;
    uint32_t took = GetTickCount() - start_tick_;
    settings_set_uint(e, u"TIME", u"last_play", took);
    settings_set_uint(e, u"TIME", u"play_total", settings_get(e, u"TIME", u"play_total", 0) + took);
    bump_counter(e, u"end");
    log(e, L"End");
    step_ = -1;
    outcome_.ended = true;
}

void Player::on_step(LPARAM step) {
    if (running() && entry_) step_ = int(step);
}

void Player::on_timer() {
    // A tick left from a play that is already cleaned up (see below).
    if (!process_) return;
    if (WaitForSingleObject(process_, 0) == WAIT_TIMEOUT) return;
    if (!runner_ended_) {
        // The runner posts its last notifications just before it ends, and
        // this tick may have left the queue before they arrived: a play
        // that ended normally would count as an error at its last step.
        // Clean up behind a message of our own, after everything it posted.
        runner_ended_ = true;
        KillTimer(window_, kWatchTimer);
        PostMessageW(window_, WM_TIMER, kWatchTimer, 0);
        return;
    }
    clean_up();
}

void Player::release_held_input() {
    const struct {
        int key;
        DWORD up;
    } buttons[] = {{VK_LBUTTON, MOUSEEVENTF_LEFTUP}, {VK_RBUTTON, MOUSEEVENTF_RIGHTUP},
                   {VK_MBUTTON, MOUSEEVENTF_MIDDLEUP}};
    for (const auto& b : buttons)
        if (GetAsyncKeyState(b.key) < 0) mouse_event(b.up, 0, 0, 0, 0);
    for (BYTE key : {BYTE(VK_CONTROL), BYTE(VK_MENU), BYTE(VK_SHIFT)})
        if (GetAsyncKeyState(key) < 0) keybd_event(key, BYTE(MapVirtualKeyW(key, MAPVK_VK_TO_VSC)), KEYEVENTF_KEYUP, 0);
}

void Player::stop() {
    if (!running()) return;
    if (process_) {
        TerminateProcess(process_, 1);
        // The clean-up below needs the runner gone; it ends promptly once
        // terminated.
        WaitForSingleObject(process_, 5000);
    }
    release_held_input();
    ScenarioEntry* e = id_ != -1 ? tree_find_id(root_, id_) : (entry_ && entry_->type != kTypeGroup ? entry_ : nullptr);
    if (e && start_tick_) bump_counter(e, u"stop");
    if (e) log(e, L"Stop: Step=" + std::to_wstring(step_ + 1));
    outcome_.stopped = true;
    if (played_) played_->playing = 0;
    entry_ = nullptr;
    id_ = -1;
    step_ = -1;
    clean_up();
}

void Player::clean_up() {
    if (process_) {
        GetExitCodeProcess(process_, &outcome_.exit_code);
        CloseHandle(process_);
        process_ = nullptr;
    }
    release_held_input();
    KillTimer(window_, kWatchTimer);
    for (int id = kStopHotKey; id < kStopHotKey + 4; ++id) UnregisterHotKey(window_, id);
    ScenarioEntry* e = id_ != -1 ? tree_find_id(root_, id_) : (entry_ && entry_->type != kTypeGroup ? entry_ : nullptr);
    if (step_ != -1) {
        outcome_.error_step = step_ + 1;
        if (e) log(e, L"Error: Step=" + std::to_wstring(step_ + 1));
    }
    if (played_) played_->playing = 0;
    entry_ = played_ = nullptr;
    id_ = -1;
    start_tick_ = 0;
    step_ = -1;
    runner_ended_ = false;
    host_.playing_changed(false);
    host_.play_finished();
}

}  // namespace zvb
