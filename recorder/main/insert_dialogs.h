// The insert dialogs of the recording menu: launch an application, set a
// text to the clipboard, input a text and set it, set the current date and
// time. On OK each does its work at once, as the play will do it later,
// and gives the operation to record.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <string>

#include "operation_record.h"

namespace zvb {

enum class Insert { kLaunch, kText, kInput, kDateTime };

// Shows the dialog; null on cancel (or when memory runs out). The record has
// its code and texts; the recorder fills in the rest.
OperationRecord* run_insert_dialog(HINSTANCE module, HWND owner, Insert kind);

// The title of the input box the play shows for "input and set to the
// clipboard" (string 1211).
extern const char16_t kInputTitle[];
// The date format a new date-time operation starts with (string 1210).
extern const wchar_t kDefaultDateFormat[];

// The local time in a strftime format: the conversions every runtime
// defines (aAbBcdHIjmMpSUwWxXyYzZ%, with or without #) are filled in,
// anything else stays as written.
std::wstring format_local_time(const std::wstring& format, const SYSTEMTIME& now);

// Puts text on the clipboard; false when the clipboard stays closed to us.
bool set_clipboard_text(HWND owner, const std::wstring& text);

}  // namespace zvb
