// ksc.ini, the settings of zvs: window, panes, font and run options. Pixel
// values are stored at 100 % display scale.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <string>

namespace zvs {

constexpr int kUnknown = int(0x80000000);  // CW_USEDEFAULT: position and size not known

struct Settings {
    int left = kUnknown, top = kUnknown, width = kUnknown, height = kUnknown;
    int right_pane = 400;   // sep_size_vertical
    int console_h = 120;    // sep_size_horizon
    int name_column = 100;  // sep_size_variable
    int window_state = 10;  // 3 maximized
    int confirm_tutorial = 0;
    int line_numbers = 1;
    LOGFONTW font = {};
    int exec_speed = 250;
    int strict = 0;
    int ksc5 = 1;
    int hex = 0;
};

// The settings file: ZVS_SETTINGS_DIR when set (tests, portable use), else
// "ksc" under the user's local application-data folder; the folder is
// created. Empty when there is none.
std::wstring settings_file();

// Reads the file (missing keys keep their defaults) with pixel values
// scaled to the display and the window rectangle kept on the screen.
void read_settings(const std::wstring& file, Settings* s);
void write_settings(const std::wstring& file, const Settings& s);

}  // namespace zvs
