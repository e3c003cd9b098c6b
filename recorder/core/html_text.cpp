#include "html_text.h"

#include <cstdarg>
#include <cstdio>

#include "utf.h"

namespace zvb {

namespace {

void append_escaped_utf8(std::string& out, const std::string& utf8) {
    for (char c : utf8) {
        switch (c) {
        case '"': out += "&quot;"; break;
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        default: out += c; break;
        }
    }
}

}  // namespace

void html_append(std::string& out, const char16_t* text, size_t n) {
    append_escaped_utf8(out, zv::utf16_to_utf8(text, n));
}

void html_append(std::string& out, const std::u16string& text) { html_append(out, text.data(), text.size()); }

std::string html_escape(const std::u16string& text) {
    std::string out;
    html_append(out, text);
    return out;
}

void html_append_url_segment(std::string& out, const std::u16string& name) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string encoded;
    for (unsigned char c : zv::utf16_to_utf8(name.data(), name.size())) {
        bool plain = c >= 0x80 || (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                     std::string("-._~!$&'()*+,;=@").find(char(c)) != std::string::npos;
        if (plain) {
            encoded += char(c);
        } else {
            encoded += '%';
            encoded += kHex[c >> 4];
            encoded += kHex[c & 15];
        }
    }
    append_escaped_utf8(out, encoded);
}

void html_appendf(std::string& out, const char* format, ...) {
    char buf[256];
    va_list args, again;
    va_start(args, format);
    va_copy(again, args);
    int n = vsnprintf(buf, sizeof buf, format, args);
    if (n >= int(sizeof buf)) {
        // A long text (an image path with a long name): format it in place.
        size_t at = out.size();
        out.resize(at + size_t(n) + 1);
        vsnprintf(&out[at], size_t(n) + 1, format, again);
        out.resize(at + size_t(n));
    } else if (n > 0) {
        out.append(buf, size_t(n));
    }
    va_end(again);
    va_end(args);
}

}  // namespace zvb
