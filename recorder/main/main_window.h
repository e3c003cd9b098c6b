// zarvo-bot's main window (class "zarvo-bot_main"): the header bar, the
// scenario list, the menu and the notification-area icon; it owns the
// scenario tree and the play machinery for the program's whole run.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "folders.h"
#include "play_log.h"
#include "player.h"
#include "global_settings.h"
#include "store.h"

namespace zvb {

struct ScenarioEntry;
struct RecordingSession;

struct MainWindow : PlayerHost {
    HINSTANCE module = nullptr;
    HWND window = nullptr, list = nullptr, tooltip = nullptr, line = nullptr;
    HWND buttons[3] = {};  // record, pause, stop
    HMENU menu = nullptr;
    HACCEL accelerators = nullptr;
    HICON icon = nullptr, small_icon = nullptr;
    GlobalSettings settings;
    Folders folders;
    PlayLog log;
    Store store;
    ScenarioEntry* root = nullptr;  // store.root
    std::unique_ptr<Player> player;
    std::wstring title;         // "zarvo-bot Ver ..."
    std::wstring command_line;  // of this start, handled once the window is up
    // Command lines handed over by second starts and zvb_cmd, not yet
    // handled, each with the window to tell how its play went (or null).
    struct HandedOver {
        std::wstring text;
        HWND reply;
    };
    std::vector<HandedOver> handed_over;
    HWND play_reply = nullptr;  // told when the current play is over
    bool tray = false;
    bool recording_on = false, paused = false;  // kept by the recording (recording_window.h)
    RecordingSession* recording_session = nullptr;
    bool call_key_failure_shown = false;
    // A timeline converted to a script and open in the script editor.
    HANDLE convert_process = nullptr;
    int converting_id = -1;
    std::wstring convert_file;
    FILETIME convert_written = {};

    // PlayerHost
    bool recording() const override { return recording_on; }
    void playing_changed(bool playing) override;
    void report(int number) override;
    void play_finished() override;

    // Helpers for the commands.
    ScenarioEntry* selected() const;
    void rebuild_list(ScenarioEntry* select = nullptr);
    void refresh_menu();
    void save_settings();
    void save_list();
    // A numbered message of the recorder's table, with its own caption.
    int show(const Message& m, UINT type = MB_OK | MB_ICONERROR, HWND owner = nullptr) const;
    int show(int number, UINT type = MB_OK | MB_ICONERROR) const { return show(make_message(number), type); }
    void register_keys();
    void apply_log_setting();
};

// The one main window of the process (null before it exists).
MainWindow* main_window();

bool register_main_classes(HINSTANCE module);
// Creates the window and everything in it; false with the system's error.
bool create_main_window(MainWindow* w, int show);
// Runs the message loop until the window is gone.
int run_message_loop(MainWindow* w);

// Commands (main_commands.cpp, store_commands.cpp, launch_commands.cpp).
void on_command(MainWindow* w, int id);
void play_selected(MainWindow* w, bool ask_count);
// Plays what a command line names; `reply` (may be null) hears the outcome.
void play_command_line(MainWindow* w, const std::wstring& text, HWND reply = nullptr);
void handle_dropped_files(MainWindow* w, const std::vector<std::wstring>& paths);
void on_list_drop(MainWindow* w, UINT msg, int position, ScenarioEntry* e);
void on_convert_timer(MainWindow* w);
void on_call_key(MainWindow* w, int id);
void shut_down(MainWindow* w);
// The scenario store behind the commands (store_commands.cpp).
ScenarioEntry* load_scenarios(MainWindow* w);
void free_scenarios(MainWindow* w);

constexpr UINT_PTR kConvertTimer = 1002;

}  // namespace zvb
