#include "utf.h"

#include "platform.h"

namespace zv {

size_t u16len(const char16_t* s) {
    const char16_t* p = s;
    while (*p) ++p;
    return size_t(p - s);
}

// Length of the valid sequence starting at s[i], with its code point; 0 when
// the bytes there do not form one (overlong forms and surrogates included).
static size_t utf8_sequence(const unsigned char* s, size_t n, size_t i, char32_t* cp) {
    unsigned c = s[i];
    size_t len;
    char32_t v, min;
    if (c < 0x80) { *cp = c; return 1; }
    if (c >= 0xC2 && c <= 0xDF) { len = 2; v = c & 0x1F; min = 0x80; }
    else if (c >= 0xE0 && c <= 0xEF) { len = 3; v = c & 0x0F; min = 0x800; }
    else if (c >= 0xF0 && c <= 0xF4) { len = 4; v = c & 0x07; min = 0x10000; }
    else return 0;
    if (i + len > n) return 0;
    for (size_t k = 1; k < len; ++k) {
        unsigned d = s[i + k];
        if ((d & 0xC0) != 0x80) return 0;
        v = (v << 6) | (d & 0x3F);
    }
    if (v < min || v > 0x10FFFF || (v >= 0xD800 && v <= 0xDFFF)) return 0;
    *cp = v;
    return len;
}

char16_t* utf8_to_utf16(const char* src, size_t n, size_t* out_len) {
    const unsigned char* s = reinterpret_cast<const unsigned char*>(src);
    // Every byte yields at most one unit except 4-byte sequences (two units
    // from four bytes), so n + 1 units always suffice.
    char16_t* out = static_cast<char16_t*>(heap_alloc((n + 1) * sizeof(char16_t)));
    if (!out) return nullptr;
    size_t o = 0;
    for (size_t i = 0; i < n;) {
        char32_t cp;
        size_t len = utf8_sequence(s, n, i, &cp);
        if (len == 0) { out[o++] = 0xFFFD; ++i; continue; }
        i += len;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out[o++] = char16_t(0xD800 + (cp >> 10));
            out[o++] = char16_t(0xDC00 + (cp & 0x3FF));
        } else {
            out[o++] = char16_t(cp);
        }
    }
    out[o] = 0;
    if (out_len) *out_len = o;
    return out;
}

std::string utf16_to_utf8(const char16_t* s, size_t n) {
    std::string out;
    out.reserve(n);
    for (size_t i = 0; i < n; ++i) {
        char32_t c = s[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < n && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (s[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;
        }
        if (c < 0x80) {
            out += char(c);
        } else if (c < 0x800) {
            out += char(0xC0 | (c >> 6));
            out += char(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += char(0xE0 | (c >> 12));
            out += char(0x80 | ((c >> 6) & 0x3F));
            out += char(0x80 | (c & 0x3F));
        } else {
            out += char(0xF0 | (c >> 18));
            out += char(0x80 | ((c >> 12) & 0x3F));
            out += char(0x80 | ((c >> 6) & 0x3F));
            out += char(0x80 | (c & 0x3F));
        }
    }
    return out;
}

std::string utf16_to_utf8(const char16_t* s) { return utf16_to_utf8(s, u16len(s)); }

}  // namespace zv
