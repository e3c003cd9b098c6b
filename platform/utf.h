// UTF-8 <-> UTF-16 conversion shared by both platform sides and the engine.
#pragma once

#include <cstddef>
#include <string>

namespace zv {

// Decodes UTF-8 into a NUL-terminated UTF-16 text from heap_alloc. Invalid
// sequences become U+FFFD, one per offending byte. Null only when memory runs
// out. *out_len (optional) receives the number of units without the NUL.
char16_t* utf8_to_utf16(const char* s, size_t n, size_t* out_len = nullptr);

// Encodes UTF-16 as UTF-8; a lone surrogate becomes U+FFFD.
std::string utf16_to_utf8(const char16_t* s, size_t n);
std::string utf16_to_utf8(const char16_t* s);

size_t u16len(const char16_t* s);

}  // namespace zv
