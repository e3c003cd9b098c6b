// The main window's dialogs: a scenario's name, a group's options, repeat
// play, the call key, and the short tutorial.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <functional>
#include <string>

namespace zvb {

struct ScenarioEntry;
struct GlobalSettings;

// Asks for a name (dialog 122, titled by string `title_id`). `accept` runs
// on OK with the dialog, the name and the title (as caption for its
// messages) and returns true to close the dialog. False when cancelled.
using NameCheck = std::function<bool(HWND dialog, const std::wstring& name, const std::wstring& title)>;
bool ask_name(HWND owner, UINT title_id, const std::wstring& initial, const NameCheck& accept);

// A group's start and end confirmations and repeat count (dialog 151),
// stored in the entry and its settings file on OK.
bool edit_group(HWND owner, ScenarioEntry* group);

// The play count for one play (dialog "繰り返し再生"); 0 when cancelled. With
// its check box ticked the count also becomes the entry's loop_count.
int ask_repeat_count(HWND owner, ScenarioEntry* e);

// The entry's call key (dialog 130), stored on OK with its display text.
bool edit_call_key(HWND owner, ScenarioEntry* e);

// The short tutorial; its check box sets hide_tutorial.
void show_tutorial(HWND owner, GlobalSettings* settings);

}  // namespace zvb
