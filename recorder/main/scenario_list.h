// The scenario list (class "zarvo-bot_event_list", control id 1001): the
// scenario tree as rows with expandable groups, per-row play and edit
// buttons, hover, selection, keyboard, and dragging to move, copy or group.
// It changes nothing itself: every action goes to the parent as a message
// (WM_ZV_* in ids.h), and the parent sends LM_* messages to it, LM_REBUILD
// after every change of the tree.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

namespace zvb {

struct ScenarioEntry;

bool register_scenario_list_class(HINSTANCE module);
// root: the head entry of the top level, owned by the caller.
HWND create_scenario_list(HWND parent, ScenarioEntry* root, HWND tooltip);

// Row geometry at 100 % scale (also used by the tests to aim the mouse).
constexpr int kRowHeight = 65;
constexpr int kRowButtonSize = 48;
constexpr int kPlayButton = 5000, kEditButton = 5002;

}  // namespace zvb
