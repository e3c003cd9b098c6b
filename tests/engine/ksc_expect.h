// Small helpers shared by the engine's behaviour tests: error messages in the
// language of the environment and the number of the error a snippet reports.
#pragma once

#include <string>

#include "error.h"
#include "ksc_harness.h"

namespace ksc_test {

// Message text of an error number in the current language (UTF-8).
inline std::string message(int code) { return u8(ksc::error_message(code)); }

// The full error line of an error in the harness's main file "test.ksc".
inline std::string error_line(int code, int line, const std::string& source, const std::string& extra = "") {
    return "Error: [test.ksc]: " + extra + message(code) + "(" + std::to_string(line) + "): " + source;
}

// The value a snippet of statements hands to `exit`/`return`, or its first
// error line.
inline std::string value(const std::string& source, const RunOptions& options = RunOptions()) {
    RunOutput r = run_ksc(source, options);
    return r.errors.empty() ? r.result : r.errors[0];
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
