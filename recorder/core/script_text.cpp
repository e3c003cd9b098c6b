#include "script_text.h"

#include <cstring>

namespace zvb {

namespace {

// The buffer goes to the file once it holds this much.
constexpr size_t kChunk = 256 * 1024;

}  // namespace

void ScriptText::grown() {
    if (file_ && buf_.size() >= kChunk) {
        if (!failed_ && !file_->write(buf_.data(), buf_.size())) failed_ = true;
        buf_.clear();
    }
}

void ScriptText::put(const char* utf8) { put(utf8, strlen(utf8)); }

void ScriptText::put(const char* data, size_t n) {
    buf_.append(data, n);
    grown();
}

void ScriptText::code_point(char32_t c) {
    if (c < 0x80) {
        buf_ += char(c);
    } else if (c < 0x800) {
        buf_ += char(0xC0 | (c >> 6));
        buf_ += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        buf_ += char(0xE0 | (c >> 12));
        buf_ += char(0x80 | ((c >> 6) & 0x3F));
        buf_ += char(0x80 | (c & 0x3F));
    } else {
        buf_ += char(0xF0 | (c >> 18));
        buf_ += char(0x80 | ((c >> 12) & 0x3F));
        buf_ += char(0x80 | ((c >> 6) & 0x3F));
        buf_ += char(0x80 | (c & 0x3F));
    }
}

void ScriptText::text(const char16_t* s, size_t cap) {
    for (size_t i = 0; i < cap && s[i]; ++i) {
        char32_t c = s[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < cap && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (s[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;
        }
        code_point(c);
    }
    grown();
}

void ScriptText::escaped(const char16_t* s, size_t cap) {
    size_t from = 0, i = 0;
    for (; i < cap && s[i]; ++i) {
        const char* escape = nullptr;
        switch (s[i]) {
        case u'\n': escape = "\\n"; break;
        case u'\r': escape = "\\r"; break;
        case u'"': escape = "\\\""; break;
        case u'\\': escape = "\\\\"; break;
        default: continue;
        }
        text(s + from, i - from);
        buf_.append(escape, 2);
        from = i + 1;
    }
    text(s + from, i - from);
}

void ScriptText::number(int32_t v) {
    char digits[12];
    int n = 0;
    uint32_t u = v < 0 ? 0u - uint32_t(v) : uint32_t(v);
    do {
        digits[n++] = char('0' + u % 10);
        u /= 10;
    } while (u);
    if (v < 0) buf_ += '-';
    while (n) buf_ += digits[--n];
}

void ScriptText::hex(uint32_t v) {
    char digits[8];
    int n = 0;
    do {
        digits[n++] = "0123456789abcdef"[v & 15];
        v >>= 4;
    } while (v);
    while (n) buf_ += digits[--n];
}

void ScriptText::tabs(int n) { buf_.append(size_t(n > 0 ? n : 0), '\t'); }

bool ScriptText::finish() {
    if (file_ && !buf_.empty()) {
        if (!failed_ && !file_->write(buf_.data(), buf_.size())) failed_ = true;
        buf_.clear();
    }
    return !failed_;
}

}  // namespace zvb
