// What zvs_app supplies to the engine: its versions of error, print and
// input, and the Ctrl+Q abort check.
#pragma once

#include "engine.h"

namespace zvs_app {

// error shows a message box, print discards its text, input answers "".
void install_builtins();

// Polls Ctrl+Q while the unit's scripts run; both keys down stop the run.
void install_abort_check(ksc::ScriptUnit* root);

}  // namespace zvs_app
