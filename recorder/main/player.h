// Playing scenarios: one play at a time through zvs_app, followed by the
// notifications the running script posts (1134 start, 1135 end, 1425
// step), watched by a timer, stopped with Ctrl+Q, and accounted in the
// entries' settings files (PLAY and TIME counters) and the play log.
// zarvo-bot's main window and `zvb_cmd play` both drive one of these.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <string>

namespace zvb {

struct ScenarioEntry;
struct GlobalSettings;
struct Folders;
class PlayLog;

// What a play needs from the window that owns it.
class PlayerHost {
public:
    virtual ~PlayerHost() = default;
    virtual bool recording() const { return false; }
    // A play started or ended: title, menu and list follow.
    virtual void playing_changed(bool playing) = 0;
    // A failure the user must hear about (a numbered message of the
    // recorder's table).
    virtual void report(int number) = 0;
    // The runner is gone and everything is cleaned up.
    virtual void play_finished() {}
};

// How the last play went (for zvb_cmd's exit code).
struct PlayOutcome {
    bool started = false;  // a runner process was started
    bool ended = false;    // a play-end notification arrived
    bool stopped = false;  // the user stopped it
    int error_step = 0;    // 1-based step pending when the runner ended without a play end; 0 none
    DWORD exit_code = 0;   // the runner's exit code
};

constexpr int kStopHotKey = 512;  // Ctrl+Q; 513-515 the same with Shift and Alt held
bool is_stop_hot_key(int id);
// Messages of the recorder's table that a play reports.
constexpr int kMessageCallKeyFailed = 1010, kMessageNothingToPlay = 1011, kMessagePlayFailed = 1012,
              kMessageNotFound = 1014, kMessageExportFailed = 1030;
constexpr UINT_PTR kWatchTimer = 1001;

class Player {
public:
    Player(HWND window, ScenarioEntry* root, const GlobalSettings& settings, const Folders& folders,
           const PlayLog& log, PlayerHost& host)
        : window_(window), root_(root), settings_(settings), folders_(folders), log_(log), host_(host) {}

    bool running() const { return process_ != nullptr || entry_ != nullptr; }
    ScenarioEntry* entry() const { return entry_; }
    const PlayOutcome& outcome() const { return outcome_; }

    // Launches a play of e (refused while recording or playing). `reason`
    // is logged first when not empty ("play_hotkey_scenario", ...).
    bool launch(ScenarioEntry* e, const wchar_t* reason = nullptr);
    // Ends a running play at once (runner ended with exit code 1).
    void stop();
    // The main window's handlers: notifications, the watch timer.
    void on_play_start(WPARAM id);
    void on_play_end(WPARAM id);
    void on_step(LPARAM step);
    void on_timer();

    // Presses left over by a stopped script: a button-up for every mouse
    // button down, a key-up for Ctrl, Alt and Shift.
    static void release_held_input();

private:
    ScenarioEntry* notified_entry(int id) const;
    void register_stop_keys();
    void log(ScenarioEntry* e, const std::wstring& message) const;
    bool start_runner(const std::wstring& script, const std::wstring& folder);
    void clean_up();

    HWND window_;
    ScenarioEntry* root_;
    const GlobalSettings& settings_;
    const Folders& folders_;
    const PlayLog& log_;
    PlayerHost& host_;

    HANDLE process_ = nullptr;
    ScenarioEntry* entry_ = nullptr;  // the entry being played
    ScenarioEntry* played_ = nullptr; // kept for clean-up after a stop reset entry_
    int id_ = -1;                     // identifier of the last play-start notification
    DWORD start_tick_ = 0;
    int step_ = -1;
    bool runner_ended_ = false;  // the watch saw the runner gone once
    PlayOutcome outcome_;
};

// Starts a companion program from the program folder (full path); the
// process handle when `keep` (null on failure or when not kept). *error receives the system's error code on failure.
HANDLE start_program(const std::wstring& program, const std::wstring& parameters, const std::wstring& folder,
                     int show, bool keep, DWORD* error);

}  // namespace zvb
