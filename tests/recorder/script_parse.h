// Loads a generated script with the engine's parser, as the runner does
// before a play starts: the tests and the generator's fuzz target check
// that what the generator writes is a script.
#pragma once

#include <string>

namespace zvb::test {

// The error lines the parser reports for a script (UTF-8), "" when it
// parses. Nothing runs and nothing it imports is loaded.
std::string ksc_parse_errors(const std::string& script);

}  // namespace zvb::test
