// Scenarios of the script-generation tests, built by hand: operation
// records from a few builder calls, timelines, scripts and groups written
// as the store keeps them (files and settings files under a data folder),
// and the golden scripts they must generate.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "operation_record.h"
#include "recorder_test_util.h"
#include "scenario.h"
#include "script_gen.h"
#include "script_parse.h"

namespace zvb::test {

// One operation record; data version 1 unless v0().
struct Op {
    OperationRecord r = {};

    Op(int32_t code, int32_t category = -1);  // category from the code table by default
    Op& win(const char* title, const char* cls, Rect32 rect, int32_t state = 1);
    Op& at(int32_t x, int32_t y);      // relative to the window (mouse_pos follows)
    Op& screen(int32_t x, int32_t y);  // a desktop operation at screen coordinates
    Op& control(const char* cls);
    Op& text(const std::string& t1, const std::string& t2 = "");
    Op& key(uint32_t vk, uint32_t modifiers = 0) { return r.key_code = vk, r.modifiers = modifiers, *this; }
    Op& data(int32_t d1, int32_t d2 = 0) { return r.event_data1 = d1, r.event_data2 = d2, *this; }
    Op& wait(uint32_t ms) { return r.interval = ms, *this; }
    Op& check(uint32_t window_check) { return r.window_check = window_check, *this; }
    Op& mask() { return r.masked = 1, *this; }
    Op& off() { return r.disabled = 1, *this; }
    Op& skip() { return r.skip_if_no_window = 1, *this; }
    Op& v0() { return r.data_version = 0, *this; }
};

// The OPTION values of a settings file (defaults as a new scenario has).
struct Options {
    int32_t play_start_confirm = 1, play_end_confirm = 1, check_window_title = 1, check_window_class = 1,
            always_check_window = 1, check_desktop_control_class = 1, check_busy = 1, recovery_window_pos = 0,
            recovery_window_size = 1, loop_count = 1;
};

struct Scenario {
    std::string name;
    int32_t type = kTypeTimeline;
    Options options;
    std::vector<Op> ops;              // timeline
    std::string script;               // script: the file's bytes
    std::vector<Scenario> members;    // group
};

// Writes a scenario's files into `folder` (a group's members into its
// sub-folder) and returns its entry with the options set, play identifiers
// counted from *next_id; groups get member lists. Free with entry_free.
ScenarioEntry* materialize(const Scenario& s, const fs::path& folder, int32_t* next_id);

// zarvo-bot.ini with section PLAY.
void write_play_settings(const fs::path& ini, const PlaySettings& play);

// A golden case: a scenario, how it is generated, and the expected file
// under tests/recorder/golden/.
struct GoldenCase {
    Scenario scenario;
    bool notify;
    int32_t start_index;
    const char* golden;
};
std::vector<GoldenCase> golden_cases();
// The PLAY values the golden cases use (not all defaults, so reading them counts).
PlaySettings golden_play_settings();

// A golden file's bytes (ZV_SOURCE_DIR/tests/recorder/golden/<name>).
std::string golden_bytes(const std::string& name);

// "" when two scripts are equal, else the first line where they differ.
std::string first_difference(const std::string& expected, const std::string& actual);

}  // namespace zvb::test
