// In-process helper for engine tests: parses and runs a snippet of ksc with
// capturing versions of print, error and input, and reports what happened.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "engine.h"
#include "error.h"

namespace ksc_test {

struct RunOptions {
    bool ksc5 = true;
    bool strict = false;
    bool hex = false;        // integers in results and error() arrays as 0x..
    bool line_mode = false;  // keep values at line-feed statement ends
    const char* file_name = "test.ksc";  // null: no file part in error lines
    std::deque<std::string> input;  // lines input() returns, in order
    bool editor = false;     // the script editor's engine (editor mode)
    ksc::StepCallback step = nullptr;  // installed on the root unit
    void* step_ctx = nullptr;
    // Free running (with a step callback): set at the start, cleared when
    // print() has been called this many times (-1: never).
    bool free_run = false;
    int steps_after_prints = -1;
};

struct RunOutput {
    bool parsed = false;           // the text parsed into a sequence
    int rc = 0;                    // walk result (0, 1, 2, -1, -2, -3)
    std::string printed;           // everything print() wrote (UTF-8)
    std::vector<std::string> errors;  // lines handed to error() (UTF-8)
    std::vector<int> error_lines;     // their line argument, -1 when absent
    bool has_result = false;       // exit/return supplied a value
    std::string result;            // that value in its display form
    std::vector<std::string> stack;  // values left on the stack, bottom first
};

RunOutput run_ksc(const std::string& source, const RunOptions& options = RunOptions());

std::u16string u16(const std::string& utf8);
std::string u8(const std::u16string& text);

// The text print() wrote, or the error lines when there were any.
inline std::string out(const std::string& source) {
    RunOutput r = run_ksc(source);
    std::string errors;
    for (const std::string& e : r.errors) errors += e + "\n";
    return r.errors.empty() ? r.printed : errors;
}

// The first error line of a snippet, or "" when it ran cleanly.
inline std::string first_error(const std::string& source, const RunOptions& options = RunOptions()) {
    RunOutput r = run_ksc(source, options);
    return r.errors.empty() ? std::string() : r.errors[0];
}

// The value a snippet hands to `exit`/`return` in display form ("3",
// "0.5000000000000000", "{1,2}"), or its first error line.
inline std::string value(const std::string& source, const RunOptions& options = RunOptions()) {
    RunOutput r = run_ksc(source, options);
    return r.errors.empty() ? r.result : r.errors[0];
}
inline std::string eval(const std::string& expression) { return value("exit " + expression + "\n"); }

// Message text of an error number in the current language (UTF-8).
inline std::string message(int code) { return u8(ksc::error_message(code)); }

// The full error line of an error in the main file "test.ksc".
inline std::string error_line(int code, int line, const std::string& source, const std::string& extra = "") {
    return "Error: [test.ksc]: " + extra + message(code) + "(" + std::to_string(line) + "): " + source;
}

// Number of the message in an error line; -2 when it holds no known message.
inline int line_error_code(const std::string& line) {
    for (int code = 0; code < ksc::kErrorCount; ++code)
        if (line.find(message(code) + "(") != std::string::npos) return code;
    return -2;
}

// Number of the first error a run reported, -1 when it reported none.
inline int error_code(const RunOutput& r) { return r.errors.empty() ? -1 : line_error_code(r.errors[0]); }
inline int error_code(const std::string& source, const RunOptions& options = RunOptions()) {
    return error_code(run_ksc(source, options));
}

// Number of the error that stopped the parse, -1 when the text parsed.
inline int parse_error(const std::string& source, const RunOptions& options = RunOptions()) {
    RunOutput r = run_ksc(source, options);
    return r.parsed ? -1 : error_code(r);
}

}  // namespace ksc_test
