// Script generation: every timeline and group becomes the ksc script that
// plays it (also for exports, conversions and built executables). The text
// depends only on the records, the entries' options and the request, so
// two generations of the same data are byte-identical. Output is UTF-8
// without a byte-order mark, lines end with CR LF.
#pragma once

#include <cstdint>
#include <string>

#include "operation_record.h"
#include "scenario.h"

namespace zvb {

// The six values of section PLAY of zarvo-bot.ini that scripts use.
struct PlaySettings {
    int32_t double_click_interval;      // between the two clicks of a double click, ms
    int32_t window_operation_interval;  // after window operations, ms
    int32_t check_interval;             // between window checks, ms
    int32_t check_count;                // window checks before asking the user
    int32_t wait_busy_interval;         // limit passed to wait_busy, ms
    int32_t loop_interval;              // between loop passes, ms
};

// The defaults: half the system's double-click time, 100, 100, 50, 5000, 0.
PlaySettings play_settings_defaults();
// Section PLAY of a settings file; missing keys keep their defaults.
PlaySettings play_settings_read(const char16_t* ini);

struct ScriptRequest {
    bool notify = false;      // play notifications: on for plays, off for export, conversion, executables
    int32_t start_index = 0;  // a timeline's operations before it are left out (not a group's members)
    PlaySettings play = play_settings_defaults();
};

// Writes the script of an entry to `out`: a timeline's script from its .zv
// file, a group's script with its members nested, or a byte copy of a
// script entry's file. The entry's repeat_override applies (callers of
// export, conversion and executables set it to 0 first). The file is
// replaced only when the whole script was written; otherwise it stays as
// it was and *error holds a system error code or one of errors.h (a group
// without members gives kErrorNothingToPlay).
bool script_write(const ScenarioEntry* e, const ScriptRequest& req, const char16_t* out, uint32_t* error);

// The same for a timeline whose operations are in memory (head), such as the
// scenario editor's.
bool script_write_records(const ScenarioEntry* e, const OperationRecord* head, const ScriptRequest& req,
                          const char16_t* out, uint32_t* error);

// The text script_write_records would write.
std::string script_text_of_records(const ScenarioEntry* e, const OperationRecord* head, const ScriptRequest& req);

}  // namespace zvb
