// Conversion between UTF-16 and Windows code pages, for the library's
// byte/string functions.
//
// Windows converts with MultiByteToWideChar / WideCharToMultiByte (flags 0,
// default replacement rules), so every code page the system knows works.
// The POSIX side knows only UTF-8: code pages 65001 and 0 (the "ANSI" code
// page, which is UTF-8 there); any other code page fails with EINVAL.
#pragma once

#include <cstdint>
#include <string>

namespace zv {

// The code page the system uses for "ANSI" text (CP_ACP).
constexpr uint32_t kAnsiCodePage = 0;

// Converts the NUL-terminated bytes in code page cp to UTF-16 (without the
// terminator). False when the system cannot convert them (unknown code page,
// ...); the reason is then the thread's last error (GetLastError / errno).
bool codepage_to_utf16(uint32_t cp, const char* bytes, std::u16string* out);

// Converts the NUL-terminated text to code page cp (without the terminator).
// Failure as above.
bool utf16_to_codepage(uint32_t cp, const char16_t* text, std::string* out);

}  // namespace zv
