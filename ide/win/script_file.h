// Reading and writing script files: UTF-8, read with or without a
// byte-order mark, written without one.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <string>

namespace zvs {

// The file's text as UTF-16; on failure the system's error code.
bool read_script_file(const std::wstring& path, std::u16string* text, DWORD* error);
// Creates or truncates the file and writes text as UTF-8.
bool write_script_file(const std::wstring& path, const std::u16string& text, DWORD* error);

}  // namespace zvs
