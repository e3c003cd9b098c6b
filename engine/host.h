// What every host program does around a script run: the argument variables
// and the run of a loaded root unit.
#pragma once

#include <string>
#include <vector>

#include "engine.h"

namespace ksc {

// A root unit for the script file at path: its directory (the current one
// when the path names none) and file name. Null when memory runs out.
ScriptUnit* host_new_root(const char16_t* path, bool strict, bool ksc5);

// Creates argv (the arguments from index first on, as strings) and argc in
// the top scope; neither exists when no argument is left. False when memory
// runs out.
bool host_add_arguments(Scope* top, const std::vector<std::u16string>& args, size_t first);

// Runs the root unit's top level in top (which becomes the unit's top
// scope). result receives the value left by the script, if any; the caller
// clears it. break or continue outside a loop is reported as a syntax error.
// The walk result.
int host_run(Scope* top, Value* result);

}  // namespace ksc
