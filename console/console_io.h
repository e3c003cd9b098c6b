// Console input and output of zvs_cmd, one implementation per platform.
#pragma once

#include <string>
#include <vector>

namespace zvs {

// Sets the character-type locale to the user's default (console text is
// converted through it) and prepares the standard streams.
void con_init();
void con_write(const std::u16string& text);
// The same on standard error (unbuffered).
void con_write_error(const std::u16string& text);
void con_flush();
// One line from standard input (at most max units, the line feed included
// when it fits). False at end of input.
bool con_read_line(std::u16string& line, size_t max);
// The input() built-in: one line typed at the console in line-input mode (or
// read from redirected input), cut at the first CR or LF.
bool con_input(std::u16string& line);
// Command-line arguments after the program name, as UTF-16.
void con_arguments(int argc, char** argv, std::vector<std::u16string>& out);
// "zvs_cmd" followed by " Ver major.minor.build" when the program carries a
// version.
std::u16string con_version_line();
bool con_japanese();

}  // namespace zvs
