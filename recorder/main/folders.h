// Where zarvo-bot keeps things: its program folder (the companion programs),
// the user folder with the scenario data, the settings file and the play
// log, and the user's temporary folder (the play script).
#pragma once

#include <string>

namespace zvb {

struct Folders {
    std::wstring program;        // the running executable's folder, with a trailing backslash
    std::wstring user;           // empty when there is no local application-data folder
    std::wstring data;           // <user>\data
    std::wstring settings_file;  // <user>\zarvo-bot.ini
    std::wstring temp;           // with a trailing backslash
    std::wstring play_script;    // <temp>zarvo-bot_tmp.ksc
};

// The user folder is <LocalAppData>\zarvo-bot, or the folder named by the
// environment variable ZARVO_BOT_USER_DIR (tests run on a folder of their
// own that way); `user_dir` non-empty overrides both (zvb_cmd /dir).
// Creates the user and data folders; false when there is no user folder.
bool setup_folders(Folders* f, const std::wstring& user_dir = L"");

// The play log's folder: log_path, or <user>\log when that is empty.
std::wstring log_folder(const Folders& f, const std::wstring& log_path);

// Creates a folder and its missing parents.
bool make_folders(const std::wstring& path);

}  // namespace zvb
