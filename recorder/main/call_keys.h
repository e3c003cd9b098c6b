// Call keys: every entry with a key is a system hot key of the main window,
// identifier 769 + n where n counts all entries of the tree depth-first
// from 0 (entries without a key use up a number too).
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

namespace zvb {

struct ScenarioEntry;

constexpr int kFirstCallKeyId = 769;

// Registers every call key; false when any registration failed.
bool register_call_keys(HWND window, ScenarioEntry* root);
void unregister_call_keys(HWND window, ScenarioEntry* root);
// The entry whose call key has this hot-key identifier.
ScenarioEntry* call_key_entry(ScenarioEntry* root, int id);

// Waits (checking every 100 ms, at most 100 times) until Shift, Ctrl and
// Alt are all released, so that the play does not start with them held.
void wait_for_modifiers_released();

}  // namespace zvb
