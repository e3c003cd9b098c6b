// Driving the real zvs.exe from another process: start it on a script with
// a settings folder of its own, find its windows, read what they show
// (through messages the system carries between processes), send commands
// and keys. Shared by the tests, the shots and the benchmarks of zvs.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <filesystem>
#include <string>

namespace zvs_test {

// Text as UTF-16 / UTF-8.
std::wstring wide(const std::string& utf8);
std::string narrow(const std::wstring& text);

class Zvs {
public:
    // Starts zvs.exe with the script path (none: an empty argument list)
    // and ZVS_SETTINGS_DIR set to settings_dir.
    Zvs(const std::filesystem::path& script, const std::filesystem::path& settings_dir);
    // Ends the process by its handle if it is still running.
    ~Zvs();
    Zvs(const Zvs&) = delete;
    Zvs& operator=(const Zvs&) = delete;

    bool started() const { return main && editor && console && vars; }
    DWORD pid() const { return process_.dwProcessId; }
    // Waits for the process to end; false when it did not within ms.
    bool ended(int ms = 20000) const;

    std::wstring editor_text() const;
    std::wstring console_text() const;
    std::wstring variables() const;
    std::wstring title() const;
    long run_line() const;    // the run marker's line, -1 none
    long error_line() const;
    bool running() const;     // the editor is read-only while a script runs
    void selection(DWORD* begin, DWORD* end) const;

    // A menu or accelerator command, posted.
    void command(WORD id) const;
    // Brings the main window to the front and the keyboard focus to window.
    void focus(HWND window) const;
    // Types text into the focused window with synthesized key presses
    // ("\n" is Enter, "\b" Backspace, anything else a character key),
    // each awaited until it changed window's text or selection.
    void type(HWND window, const std::wstring& text) const;
    // Presses a key with modifiers held (VK_CONTROL, VK_SHIFT) and waits
    // (a moment at most) until the editor shows a change.
    void press(WORD key, WORD modifier = 0, WORD modifier2 = 0) const;
    // Lets the program handle everything sent so far.
    void settle() const;

    // The process's next visible dialog or message box (null: none in ms).
    HWND dialog(int ms = 20000) const;

    HWND main = nullptr, editor = nullptr, console = nullptr, vars = nullptr, toolbar = nullptr;

private:
    PROCESS_INFORMATION process_ = {};
};

// A window's text through WM_GETTEXT (any length).
std::wstring window_text(HWND window);

}  // namespace zvs_test
