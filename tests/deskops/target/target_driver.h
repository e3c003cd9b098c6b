// Starting zv_target from a test and driving it: its windows, its log, and
// zvs_cmd scripts that import DESKOPS with the target's handles defined.
// Shared by the tests of the functions that drive the desktop.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <filesystem>
#include <functional>
#include <string>

namespace zv::test {

// False without a display to create windows on (tests then skip).
bool have_desktop();

// Polls until the condition holds or ms have passed (the system applies some
// changes asynchronously); the condition's last answer.
bool eventually(const std::function<bool()>& condition, int ms = 10000);

// A new empty directory under the temporary folder.
std::filesystem::path fresh_dir(const char* what);

// The window's text as the window itself answers WM_GETTEXT (GetWindowText
// gives the caption the system keeps, which an edit control of another
// process does not update).
std::wstring text_of(HWND window);

int handle(HWND window);
std::string number(HWND window);

// One running zv_target with a title of its own ("ZV Target <id>"), so
// tests running in parallel never find each other's windows. The destructor
// ends the process by its handle. The target closes itself after
// `lifetime_ms` in any case (a crashed test leaves nothing behind); long
// runs ask for more than the default two minutes.
class Target {
public:
    explicit Target(unsigned lifetime_ms = 120000);
    ~Target();
    Target(const Target&) = delete;
    Target& operator=(const Target&) = delete;

    // False when the process did not start or never reported its windows.
    bool started() const { return main && edit && button && check && pad; }
    DWORD pid() const { return process_.dwProcessId; }
    const std::string& title() const { return title_; }
    const std::string& id() const { return id_; }

    std::string log() const;
    // True when the log holds this whole line.
    bool logged(const std::string& line) const;

    // Runs a script through zvs_cmd after #import("DESKOPS") and the
    // variables main, edit, button, check and pad; returns what it printed
    // (line feeds without carriage returns), with "[exit N]" or
    // "[timed out]" appended when zvs_cmd did not end normally.
    std::string script(const std::string& body) const;

    HWND main = nullptr, edit = nullptr, button = nullptr, check = nullptr, pad = nullptr;

private:
    std::filesystem::path dir_;
    std::string id_, title_;
    PROCESS_INFORMATION process_ = {};
};

}  // namespace zv::test
