// The scenario tree: one ScenarioEntry per timeline, script or group, kept
// for the program's whole run. Every member list (the top level and each
// group's) starts with a zero-filled head entry whose `next` is the first
// member; a group's `child` is the head of its members.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace zvb {

constexpr size_t kNameUnits = 256;
constexpr size_t kPathUnits = 260;

enum ScenarioType : int32_t { kTypeTimeline = 0, kTypeScript = 1, kTypeGroup = 2 };

struct ScenarioEntry {
    char16_t name[kNameUnits];    // display name, also the files' base name
    char16_t folder[kPathUnits];  // the folder holding the entry's files
    char16_t path[kPathUnits];    // <folder>\<name>.zv, <folder>\<name>.ksc, or the group's folder
    int32_t type;                 // ScenarioType
    // play options, from the settings file
    int32_t play_start_confirm;
    int32_t play_end_confirm;
    int32_t check_window_title;
    int32_t check_window_class;
    int32_t always_check_window;
    int32_t check_desktop_control_class;
    int32_t check_busy;
    int32_t recovery_window_pos;
    int32_t recovery_window_size;
    int32_t loop_count;
    // call key: RegisterHotKey modifiers (1 Alt, 2 Ctrl, 4 Shift, 8 Win), key 0 = none
    int32_t hotkey_modifiers;
    int32_t hotkey_key;
    int32_t hotkey_id;
    char16_t* hotkey_text;  // owned (process heap), null without a call key
    uint32_t playing;
    int32_t repeat_override;  // play count of one play; 0 = loop_count
    uint32_t expanded;        // groups: members shown in the list
    ScenarioEntry* next;
    ScenarioEntry* child;
    // ---- in memory only ----
    int32_t play_id;  // identifier in play notifications; -1 on head entries
    uint32_t seen;    // mark of the last re-synchronisation
};

// A zero-filled entry with a fresh play identifier; null when memory runs out.
ScenarioEntry* entry_new();
// A zero-filled head entry for a member list (play_id -1).
ScenarioEntry* list_new();
// Frees e with its member list and call-key text (not its siblings).
void entry_free(ScenarioEntry* e);
// Frees a head entry and every entry of its list, depth-first.
void list_free(ScenarioEntry* head);

// Text fields: false (field unchanged) when the text does not fit.
bool entry_set_name(ScenarioEntry* e, const std::u16string& name);
// Sets folder and path (by type: .zv, .ksc or the folder itself).
bool entry_set_place(ScenarioEntry* e, const std::u16string& folder);
// Recomputes folder and path of every member below a group, from its path.
bool entry_update_members(ScenarioEntry* group);

// The settings file of an entry: its path with ".ini".
std::u16string entry_settings_path(const ScenarioEntry* e);

// Rebuilds hotkey_text from hotkey_modifiers and hotkey_key: "Ctrl+",
// "Shift+", "Alt+", "Win+" as present, then the keyboard's name of the key;
// null when there is no key or the key has no name.
void entry_update_hotkey_text(ScenarioEntry* e);

// ---- positions in the tree ---------------------------------------------------

// Where an entry sits: the head of its list, the entry before it (the head
// for the first member) and the group owning the list (null at the top).
struct TreePlace {
    ScenarioEntry* head;
    ScenarioEntry* prev;
    ScenarioEntry* group;
};
bool tree_find_place(ScenarioEntry* root, const ScenarioEntry* e, TreePlace* place);
// True when e is `group` itself or lies anywhere below it.
bool tree_contains(const ScenarioEntry* group, const ScenarioEntry* e);

// Depth-first walk of every entry below a head: visit(entry, depth, ctx);
// returns false to stop.
typedef bool (*TreeVisitor)(ScenarioEntry* e, int depth, void* ctx);
void tree_walk(ScenarioEntry* head, TreeVisitor visit, void* ctx);

// The entry with a play identifier anywhere in the tree; null for -1 and
// for identifiers no living entry has.
ScenarioEntry* tree_find_id(ScenarioEntry* root, int32_t id);

// The path of an entry as the play log and the command line write it: the
// enclosing groups' names each followed by "/", then the name, and a
// trailing "/" for a group ("Daily/Reports/Export", "Daily/Reports/").
std::u16string tree_group_path(ScenarioEntry* root, const ScenarioEntry* e);

// Looks a scenario up the way the recorder's command line does: first as a
// group path (case ignored, depth-first), then as a plain name anywhere in
// the tree (depth-first). *by_path tells which lookup found it.
ScenarioEntry* tree_find_name(ScenarioEntry* root, const std::u16string& name, bool* by_path);

}  // namespace zvb
