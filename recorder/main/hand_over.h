// How other processes talk to a running zarvo-bot: a second start hands
// over its command line; zvb_cmd asks whether the instance works on its
// user folder and has it play a scenario and report how the play went.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <string>

namespace zvb {

// WM_COPYDATA identifiers of the main window.
constexpr ULONG_PTR kCopyCommandLine = 0;   // UTF-16 command line with its terminator
constexpr ULONG_PTR kCopyIsUserFolder = 1;  // UTF-16 folder; answers 1 when it is the instance's
constexpr ULONG_PTR kCopyPlayAndReply = 2;  // a 32-bit window handle, then a command line
// Posted to that window when the play the command line asked for is over:
// wParam 0 when it ended normally, 1 when it failed, was stopped or was
// refused; lParam the step pending when it failed or stopped (1-based, 0 none).
constexpr UINT kPlayResult = WM_APP + 22;

// The property that tells the instance's main window from the hidden
// windows of the same class zvb_cmd makes for its own plays.
constexpr wchar_t kInstanceProperty[] = L"zarvo-bot_instance";

// The running instance's main window; with a user folder, only one that
// works on it. Waits up to `wait_ms` for one that is still starting.
HWND find_instance(const std::wstring& user_folder = L"", int wait_ms = 0);

// Sends a WM_COPYDATA of the identifier with the bytes; the answer, 0 when
// the window did not answer within the time.
LRESULT send_copy_data(HWND window, ULONG_PTR id, const void* data, size_t bytes);

}  // namespace zvb
