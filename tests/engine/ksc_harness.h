// In-process helper for engine tests: parses and runs a snippet of ksc with
// capturing versions of print, error and input, and reports what happened.
#pragma once

#include <deque>
#include <string>
#include <vector>

namespace ksc_test {

struct RunOptions {
    bool ksc5 = true;
    bool strict = false;
    bool hex = false;        // integers in results and error() arrays as 0x..
    bool line_mode = false;  // keep values at line-feed statement ends
    const char* file_name = "test.ksc";  // null: no file part in error lines
    std::deque<std::string> input;  // lines input() returns, in order
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

// Convenience: the text print() wrote, or the error lines when there were any.
std::string out(const std::string& source);
// Value of an expression, in display form ("3", "0.5000000000000000", "{1,2}").
std::string eval(const std::string& expression);
// The first error line of a snippet, or "" when it ran cleanly.
std::string first_error(const std::string& source, const RunOptions& options = RunOptions());

std::u16string u16(const std::string& utf8);
std::string u8(const std::u16string& text);

}  // namespace ksc_test
