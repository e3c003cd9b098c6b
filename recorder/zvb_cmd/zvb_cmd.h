// zvb_cmd: the recorder's data without its window. Each command is one row
// of kCommands (commands.cpp); main.cpp parses the options, finds the row,
// opens the store when the command needs it and prints the usage.
#pragma once

#include <string>
#include <vector>

#include "messages.h"
#include "store.h"

namespace zvb_cmd {

using Args = std::vector<std::u16string>;

// What a command works with.
struct Tool {
    bool japanese = false;
    zvb::Store store;  // opened and loaded for commands that use it
};

struct Command {
    const char16_t* name;
    size_t min_args;
    size_t max_args;  // SIZE_MAX: any number
    bool uses_store;
    int (*run)(Tool& tool, const Args& args);  // the exit code
    const char16_t* synopsis;                  // after "zvb_cmd "
    const char16_t* help_english;              // usage lines, "\t" before each
    const char16_t* help_japanese;
};

extern const Command kCommands[];
extern const size_t kCommandCount;

// Output: text as it is on standard output; one line on standard error
// ("zvb_cmd: " and the text), which comes with exit code 1.
void out(const std::u16string& text);
int fail(const Tool& tool, const std::u16string& english, const std::u16string& japanese);
int fail(const Tool& tool, const zvb::Message& m);

// The commands.
int run_list(Tool& tool, const Args& args);
int run_export(Tool& tool, const Args& args);
int run_import(Tool& tool, const Args& args);
int run_dump(Tool& tool, const Args& args);
int run_play(Tool& tool, const Args& args);
int run_stats(Tool& tool, const Args& args);
int run_manual(Tool& tool, const Args& args);
int run_script(Tool& tool, const Args& args);

// Writes the play script of e to `out` with the PLAY values of the user
// folder's settings; a failure is told with message `failure` (1024 or
// 1030) and the reason.
int write_script(Tool& tool, zvb::ScenarioEntry* e, const std::u16string& out, bool notify, int32_t start,
                 int32_t failure);

}  // namespace zvb_cmd
