// Build mode: a copy of this program that carries a script and runs it when
// started.
#pragma once

namespace zvs_app {

// Reads the script, copies the running executable to output and adds the
// scrambled script as a resource. Failures are shown in message boxes (the
// failing stage's caption with the system's text, then the build message);
// a half-built output is deleted. True when the output is complete.
bool build_executable(const wchar_t* script_path, const wchar_t* output_path);

}  // namespace zvs_app
