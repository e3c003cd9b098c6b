// Text on the clipboard.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <string>

namespace zv::ui {

// Puts text on the clipboard as CF_UNICODETEXT; false when it could not.
bool set_clipboard_text(HWND owner, const std::wstring& text);
// The clipboard's text; false when it holds none. The clipboard is closed
// again before this returns.
bool get_clipboard_text(HWND owner, std::wstring* text);

}  // namespace zv::ui
