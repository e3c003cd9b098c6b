// Driving zarvo-bot.exe from a test or a shots program: a user folder of
// its own, the process, its windows by class, its dialogs and message
// boxes, and the files it writes.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <filesystem>
#include <string>
#include <vector>

namespace zv::test {

std::wstring widen(const std::string& s);
std::string narrow(const std::wstring& s);

// A user folder under the temporary folder: data\, and zarvo-bot.ini with
// the tutorial off and the notification-area icon as asked.
class UserFolder {
public:
    // `window`: more lines for section WINDOW of zarvo-bot.ini.
    explicit UserFolder(const char* what, bool trayicon = false, const std::string& window = "main_left=40\r\nmain_bottom=700\r\n");
    ~UserFolder();
    const std::filesystem::path& path() const { return dir_; }
    std::filesystem::path data() const { return dir_ / "data"; }
    // Writes a file below data\ (folders made as needed).
    void put(const std::string& relative, const std::string& bytes) const;
    // A key of the global settings file or of an entry's settings file
    // (relative to data\, e.g. "a.ksc.ini"); "" when missing.
    std::string setting(const char* section, const char* key) const;
    std::string entry_setting(const std::string& ini, const char* section, const char* key) const;
    // Today's play log.
    std::string log() const;

private:
    std::filesystem::path dir_;
};

// One zarvo-bot process on a user folder; ended by its handle if a test
// leaves it running.
class Recorder {
public:
    // Waits for the main window unless `second` (a start that hands over
    // to a running instance and ends).
    Recorder(const UserFolder& folder, const std::wstring& arguments = L"", bool second = false);
    ~Recorder();
    Recorder(const Recorder&) = delete;
    Recorder& operator=(const Recorder&) = delete;

    bool started() const { return main != nullptr; }
    DWORD pid() const { return process_.dwProcessId; }
    // Exit code as text, "[running]" when it did not end in time.
    std::string wait(int ms = 20000) const;

    // Menu command and list messages (answered synchronously).
    void command(int id) const;
    LRESULT send(UINT msg, WPARAM wp = 0, LPARAM lp = 0) const;
    int rows() const;
    int selected_row() const;
    void select_row(int row) const;
    // The name of the entry at a row, read from the process (the list hands
    // out its entries' addresses); "" for no row.
    std::wstring row_name(int row) const;
    // The row showing an entry of this name, -1 when none.
    int row_of(const std::wstring& name) const;
    // All rows' names joined by "|".
    std::wstring row_names() const;

    // The process's next visible dialog or message box with this caption
    // (any caption when null); null after the timeout.
    HWND dialog(const wchar_t* caption = nullptr, int ms = 20000) const;
    // The same for message boxes only (they hold their text in item 0xFFFF).
    HWND message_box(const wchar_t* caption = nullptr, int ms = 20000) const;
    // A top-level window of the process by class.
    HWND window(const wchar_t* cls) const;

    HWND main = nullptr, list = nullptr;

private:
    PROCESS_INFORMATION process_ = {};
};

// A message box's text; a dialog item's text.
std::wstring box_text(HWND box);
std::wstring item_text(HWND dialog, int id);
// Presses a dialog's button (IDOK, IDYES, ...) and waits until it is gone.
void press(HWND dialog, int button);
// The window's title.
std::wstring title_of(HWND w);

}  // namespace zv::test
