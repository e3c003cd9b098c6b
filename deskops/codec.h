// Base64, percent-encoding and HTTP header blocks: pure algorithms on
// buffers, used by the data-format functions.
#pragma once

#include <cstddef>
#include <string>

namespace deskops {

// Standard Base64 (RFC 4648 alphabet), "=" padding, no line breaks.
std::u16string base64_encode(const unsigned char* data, size_t n);

// Decodes NUL-terminated text: TAB, LF, CR and blanks are skipped anywhere,
// decoding stops at the first "=", characters outside the alphabet count as
// 0; a final group of two or three characters gives one or two bytes.
std::string base64_decode(const char* text);

// Percent-encoding of bytes: A-Z a-z 0-9 - . _ ~ stay, every other byte
// becomes "%" and two upper-case hexadecimal digits.
std::u16string url_encode(const std::string& bytes);

// "%" with up to two hexadecimal digits gives that byte, or nothing when the
// value is 0 (also for a "%" without digits); "+" and every other byte are
// copied.
std::string url_decode(const std::string& bytes);

struct HeaderField {
    const char16_t* name;
    size_t name_len;
    const char16_t* value;
    size_t value_len;
};

// Splits an HTTP header block into fields, skipping a leading status line
// ("HTTP/..."); visit is called for each field in order. Returns the number
// of fields, or -1 when visit returned false (it stops the walk).
typedef bool (*HeaderVisitor)(const HeaderField& field, void* ctx);
long header_fields(const char16_t* text, HeaderVisitor visit, void* ctx);

}  // namespace deskops
