// Message boxes with texts and captions from the string table.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <string>

namespace zv::ui {

// The pressed button's id (IDOK, IDYES, ...).
int message_box(HWND owner, const std::wstring& text, const std::wstring& caption, UINT type);
// Text and caption by string number.
int message_box(HWND owner, UINT text_id, UINT caption_id, UINT type);
// Text by number, caption given.
int message_box(HWND owner, UINT text_id, const std::wstring& caption, UINT type);

}  // namespace zv::ui
