// Helpers for tests: where the built programs and fixtures are, and running
// a program to capture its exit code and output (end-to-end tests).
#pragma once

#include <string>
#include <vector>

namespace zv::test {

// Directory holding the built programs (ZV_BIN_DIR, set by ctest).  Under
// Wine the Unix path is turned into a Windows one on drive Z:.
// Throws std::runtime_error when the variable is missing.
std::string bin_dir();

// A built program by base name: bin_dir()/name, with ".exe" on Windows.
std::string program_path(const std::string& name);

// A file in the repository (ZV_SOURCE_DIR), e.g. source_path("examples/x.ksc").
std::string source_path(const std::string& relative);

// Reads a whole file in binary mode; throws std::runtime_error on failure.
std::string read_file(const std::string& path);

struct RunOptions {
  std::string stdin_data;   // fed to the child's standard input
  std::string working_dir;  // empty: inherit
  int timeout_ms = 60000;   // the child is killed after this
  // Variables set (or replaced) in the child's environment only, as
  // NAME=value.
  std::vector<std::string> env;
};

struct RunResult {
  // The process exit code.  On POSIX a child killed by signal N gives
  // 128 + N (as a shell reports it).  -1 if it could not be started.
  int exit_code = -1;
  bool timed_out = false;
  std::string out;  // everything the child wrote to stdout
  std::string err;  // ... and to stderr
};

// Starts `program` with `args` (argv[1..]; each element arrives as one
// argument, spaces and quotes included), waits for it and collects its
// output.  Strings are UTF-8.  Throws std::runtime_error if it cannot start.
RunResult run_program(const std::string& program,
                      const std::vector<std::string>& args,
                      const RunOptions& options = {});

// Runs source as main.ksc with the built zvs_cmd, in a fresh directory
// under the temporary folder that is removed afterwards.
RunResult run_script(const std::string& source);

// True when the environment asks for Japanese texts (thread locale 0x11 on
// Windows; LC_ALL, LC_MESSAGES or LANG natively), as the programs decide.
bool japanese();
// The text of the current language.
std::string tr(const char* english, const char* japanese_text);
// Console output as UTF-8 with LF lines: on Windows the programs write in
// the ANSI code page with CR LF; natively it is already UTF-8.
std::string from_console(const std::string& bytes);
// The other way: UTF-8 text as the programs read it from a console (the
// ANSI code page on Windows).
std::string to_console(const std::string& utf8);

}  // namespace zv::test
