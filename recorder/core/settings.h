// The settings file of a scenario entry (its path + ".ini", profile format):
// play options, call key, times and play counters.
#pragma once

#include <cstdint>
#include <string>

#include "scenario.h"

namespace zvb {

// Reads OPTION and HOTKEY into the entry (defaults for what is missing)
// and rebuilds its call-key text. `exists` tells whether the settings file
// is there when the caller knows (a folder walk does): -1 asks the system.
void entry_read_settings(ScenarioEntry* e, int exists = -1);

// Numbers in a section of the entry's settings file.
uint32_t settings_get(const ScenarioEntry* e, const char16_t* section, const char16_t* key, uint32_t def);
// Written with "%d" (options) or "%u" (counters and times).
bool settings_set_int(const ScenarioEntry* e, const char16_t* section, const char16_t* key, int32_t value);
bool settings_set_uint(const ScenarioEntry* e, const char16_t* section, const char16_t* key, uint32_t value);
// Adds 1 to a counter (PLAY start, end, stop, error) and returns the new
// value; a script entry also gets STATS script = "1".
uint32_t settings_increment(const ScenarioEntry* e, const char16_t* section, const char16_t* key);
// TIME record_timestamp; when absent it is taken once from the creation
// time of the entry's main file and written back. 0 when neither exists.
uint32_t settings_record_timestamp(const ScenarioEntry* e);

// Sets HOTKEY modifiers and virtkey of a settings file to "0" (copies never
// keep the call key of their source).
void settings_clear_hotkey(const std::u16string& ini);
// The same for a copied file when it is a settings file (".ini"); the
// signature of copy_tree()'s callback.
void settings_clear_copied_hotkey(const std::u16string& path, void* ctx);

}  // namespace zvb
