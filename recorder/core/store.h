// The scenario store: every scenario is a set of plain files under the data
// folder <user>\data, and the tree is a cached, ordered view of it kept in
// list files. Operations change files first and the tree only when the
// files changed; a failure leaves the tree as it was and returns the
// message to show. After every change the list files are saved.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "messages.h"
#include "scenario.h"

namespace zvb {

struct Store {
    std::u16string user_folder;    // <LocalAppData>\zarvo-bot
    std::u16string data_folder;    // <user>\data
    std::u16string settings_file;  // <user>\zarvo-bot.ini (section LIST)
    ScenarioEntry* root = nullptr; // head of the top level
};

// The recorder's user folder: the local application-data folder with
// "\zarvo-bot"; "" when the system has no such folder.
std::u16string default_user_folder();

// Points the store at a user folder and creates it and its data folder when
// missing. The tree is empty until store_load().
bool store_open(Store* s, const std::u16string& user_folder, Message* error);
// Frees the tree.
void store_close(Store* s);

// Start-up: the top-level list file, or when there is none the scenario
// names of section LIST of the settings file (value 1 a script, anything
// else a timeline); then re-synchronisation with the folder.
void store_load(Store* s);
// Brings the tree in line with the data folder: entries whose files are
// gone leave it, scenarios found in the folders join their list at the end
// (in name order); every entry's place and settings are read again.
// Links to folders are never followed.
void store_resync(Store* s);
// Writes the list files (each only when its bytes change). False when some
// list could not be written.
bool store_save(Store* s);

// The folder a new entry goes to and the list it joins: beside `selected`,
// or the data folder at the top when nothing is selected.
std::u16string store_folder_of(const Store* s, const ScenarioEntry* selected);

// Checks a new name for the folder: 0, 1202 (empty), 1203 (characters) or
// 1204 (taken). Renaming `self` to its own name in another letter case is
// allowed.
int32_t store_check_name(const std::u16string& folder, const std::u16string& name,
                         const ScenarioEntry* self = nullptr);

// Yes/no questions and reports to the user. The recorder shows message
// boxes; the console tool answers yes and prints the reports.
struct UserPrompt {
    bool (*ask)(void* ctx, const Message& question);
    void (*tell)(void* ctx, const Message& report);
    void* ctx;
};

// New group folder or script file, inserted right after `selected` in its
// folder (appended to the top level without a selection). Null on failure.
ScenarioEntry* store_create_group(Store* s, ScenarioEntry* selected, const std::u16string& name, Message* error);
ScenarioEntry* store_create_script(Store* s, ScenarioEntry* selected, const std::u16string& name, Message* error);
// A new timeline from the recording files <recording>, <recording>.img and
// <recording>.ini, moved into the folder of `selected` under `name`, with
// the options of a new recording.
ScenarioEntry* store_add_recording(Store* s, ScenarioEntry* selected, const std::u16string& recording,
                                   const std::u16string& name, Message* error);

bool store_rename(Store* s, ScenarioEntry* e, const std::u16string& name, Message* error);

// A copy of `source` placed like a drop on `target` (null: first at the top
// level). Null on failure.
ScenarioEntry* store_copy(Store* s, ScenarioEntry* source, ScenarioEntry* target, Message* error);

// Moves: onto `target` (an expanded group: its first member; otherwise
// right after it; null: first at the top level), one place up, one place
// down. Moving into another folder moves the files first.
bool store_move_to(Store* s, ScenarioEntry* e, ScenarioEntry* target, Message* error);
bool store_move_up(Store* s, ScenarioEntry* e, Message* error);
bool store_move_down(Store* s, ScenarioEntry* e, Message* error);
// A new group right after `target` holding target and then `dragged`.
ScenarioEntry* store_group_with(Store* s, ScenarioEntry* dragged, ScenarioEntry* target, const std::u16string& name,
                                Message* error);

// Asks (1026, or 1025 when outright) and deletes the entry's files, to the
// recycle bin unless outright. False when declined (error->number 0 and no
// detail) or failed. The caller unregisters the call key first.
bool store_delete(Store* s, ScenarioEntry* e, bool outright, const UserPrompt& prompt, Message* error);

// Imports folders, .ksc/.zv/.img/.ini files and archives into the data
// folder as dropping them on the main window does; each failure is told.
// Then re-synchronises and saves. Returns the entry named like the last
// imported file (null when there is none); *failures counts the failures.
ScenarioEntry* store_import(Store* s, const std::vector<std::u16string>& paths, const UserPrompt& prompt,
                            int* failures);

// Export: a script is copied, a group written as a group archive, a
// timeline as a timeline archive. The lists are saved first.
bool store_export(Store* s, ScenarioEntry* e, const std::u16string& out, Message* error);

}  // namespace zvb
