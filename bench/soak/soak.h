// The soak benchmark's shared parts: what is measured of a process, the
// stand-in for the recorder's main window, waiting for a process while
// handling window messages, and the report.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace soak {

// What the system tells about a process at one moment. A count the system
// does not answer (Wine has no GDI or USER object accounting) is -1.
struct Sample {
    std::string label;
    double seconds;      // since the run started
    int64_t private_kb;  // private bytes (commit charge)
    int64_t working_kb;
    int64_t handles;
    int64_t gdi_objects;
    int64_t user_objects;
};

// zv_target closes itself after two minutes unless told otherwise; a soak
// outlasts that.
constexpr unsigned kTargetLifetimeMs = 24u * 3600 * 1000;

// Five readings 100 ms apart, each count the lowest of them: a handle the
// process holds for a moment (a file it writes between plays) is no leak,
// while a leaked one shows in every reading.
Sample sample(HANDLE process, const std::string& label, DWORD start_tick);

// Prints the samples as a table and whether anything grew: private memory
// from the last but one sample to the last by more than a quarter megabyte
// and 2 %, or any handle, GDI or USER object from the first to the last.
// True when nothing grew.
bool report(const char* what, const std::vector<Sample>& samples);

// A hidden top-level window of class "zarvo-bot_main", as the library's
// play notifications look for it: 1134 play start (wParam id), 1135 play
// end (wParam id), 1425 step (lParam step). The callback sees each.
class RecorderWindow {
public:
    using Handler = std::function<void(UINT message, WPARAM wparam, LPARAM lparam)>;
    explicit RecorderWindow(Handler handler);
    ~RecorderWindow();
    RecorderWindow(const RecorderWindow&) = delete;
    RecorderWindow& operator=(const RecorderWindow&) = delete;
    HWND window() const { return window_; }

private:
    static LRESULT CALLBACK proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
    HWND window_ = nullptr;
    Handler handler_;
};

// Starts a program (command line in full) without a window of its own;
// null when it could not start.
HANDLE start(const std::wstring& command_line);

// Handles this thread's window messages until the process ends or `ms`
// pass (INFINITE: no limit); true when it ended. `tick` runs about once a
// second.
bool wait_for(HANDLE process, DWORD ms, const std::function<void()>& tick = {});

// This program's folder, with a trailing backslash.
std::wstring own_folder();
// Points the test driver's program lookup (ZV_BIN_DIR) at that folder.
void use_own_programs();
std::wstring widen(const std::string& utf8);
std::string narrow(const std::wstring& wide);

int run_plays(int operations, int plays);
int run_families(int seconds, const std::wstring& families);
int run_recorder(int plays);

}  // namespace soak
