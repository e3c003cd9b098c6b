// The recorder's command line: "[/n] <scenario name or group path>", the
// name in double quotes or the rest of the line.
#pragma once

#include <string>

namespace zvb {

struct PlayRequest {
    bool no_interrupt = false;  // "/n": leave a running play alone
    std::wstring name;          // empty: nothing to play
};

PlayRequest parse_command_line(const std::wstring& text);

// The text after the program name in a whole command line.
std::wstring arguments_of(const wchar_t* command_line);

}  // namespace zvb
