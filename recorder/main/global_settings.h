// The global settings file zarvo-bot.ini: every key with its default, read
// at start-up and written back whole.
#pragma once

#include <string>

namespace zvb {

constexpr int kUnsetPosition = -2147483647 - 1;  // edit_* until the editor was placed

struct GlobalSettings {
    // WINDOW
    int main_left = 0, main_top = 0, main_right = 600, main_bottom = 420;  // right/bottom: width/height
    int trayicon = 1, hide_window = 0, hide_tutorial = 0;
    int edit_left = kUnsetPosition, edit_top = kUnsetPosition;
    int edit_right = kUnsetPosition, edit_bottom = kUnsetPosition;
    int edit_window_scale = 75;
    // RECORD
    int rec_mouse_move = 0, rec_mouse_move_all = 0, rec_always_copy_desctop = 0;
    int rec_marge = 1, rec_delete_first_click = 1;
    std::wstring rec_first_click_window_class;
    int click_point = 10, click_interval = 250;
    // PLAY
    int double_click_interval = 0;  // set from the system's double-click time
    int window_operation_interval = 100, loop_interval = 0;
    int check_interval = 100, check_count = 50, wait_busy_interval = 5000;
    // LOG
    int enable_log = 1;
    std::wstring log_path;  // empty: <user folder>\log
};

// Reads every key (missing keys keep their defaults). Window positions are
// stored at 100 % display scale and come back at the current scale.
void read_settings(const std::wstring& file, GlobalSettings* s);
// Writes every key; false when the file could not be written.
bool write_settings(const std::wstring& file, const GlobalSettings& s);

}  // namespace zvb
