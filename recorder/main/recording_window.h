// Recording as the main window offers it: the record, pause and stop
// commands, the insert dialogs, the hook messages, the compact always-on-top
// bar the window becomes while recording, and saving the new timeline.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

namespace zvb {

struct MainWindow;

// Private messages and the timer of recording.
constexpr UINT WM_ZV_RECORDING_FAILED = WM_APP + 30;  // wParam: system error (recording thread)
constexpr UINT_PTR kHookCheckTimer = 1010;

// Set up once the window exists; ended by recording_shutdown().
void recording_setup(MainWindow* w);
// Commands of the recording menu and the header buttons; true when `id`
// is one of them.
bool recording_command(MainWindow* w, int id);
// The hook messages, the thread's failure and the hook check; true when
// handled, with the result in *result.
bool recording_message(MainWindow* w, UINT msg, WPARAM wp, LPARAM lp, LRESULT* result);
// The recording items of both menus and the three buttons.
void refresh_recording_menu(MainWindow* w);
// Stops a recording and offers it for saving (closing to the notification
// area does this).
void stop_recording(MainWindow* w);
// Program exit: a recording ends without saving, its files are deleted.
void recording_shutdown(MainWindow* w);

}  // namespace zvb
