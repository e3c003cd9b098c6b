// The program's string table and text formatting.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <string>

namespace zv::ui {

// String `id` of the module (null: the program), in the language of the
// thread locale when the table has it, else whatever LoadString finds.
// Empty when there is no such string.
std::wstring load_string(UINT id, HINSTANCE module = nullptr);

// wsprintf-style formatting (%s is wide text, %d, %u, %x, %lu ...): the
// conversions the texts in the string tables are written for. Longer
// results than 1024 units are cut there, as wsprintf does.
std::wstring format(const wchar_t* pattern, ...);
std::wstring format_string(UINT id, ...);

// The system's text for an error code, without the trailing line break.
std::wstring system_error_text(DWORD code);

}  // namespace zv::ui
