#include "codec.h"

namespace deskops {

namespace {

const char kBase64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int base64_value(unsigned char c) {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+') return 62;
    if (c == '/') return 63;
    return 0;  // outside the alphabet
}

int hex_value(unsigned char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool is_blank_or_tab(char16_t c) { return c == u' ' || c == u'\t'; }
bool is_line_end(char16_t c) { return c == u'\r' || c == u'\n'; }

}  // namespace

std::u16string base64_encode(const unsigned char* data, size_t n) {
    std::u16string out;
    out.reserve((n + 2) / 3 * 4);
    for (size_t i = 0; i < n; i += 3) {
        unsigned v = unsigned(data[i]) << 16;
        if (i + 1 < n) v |= unsigned(data[i + 1]) << 8;
        if (i + 2 < n) v |= data[i + 2];
        out += char16_t(kBase64[v >> 18]);
        out += char16_t(kBase64[(v >> 12) & 63]);
        out += i + 1 < n ? char16_t(kBase64[(v >> 6) & 63]) : u'=';
        out += i + 2 < n ? char16_t(kBase64[v & 63]) : u'=';
    }
    return out;
}

std::string base64_decode(const char* text) {
    std::string out;
    unsigned group = 0;
    int count = 0;
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p && *p != '='; ++p) {
        if (*p == '\t' || *p == '\n' || *p == '\r' || *p == ' ') continue;
        group = group << 6 | unsigned(base64_value(*p));
        if (++count == 4) {
            out += char(group >> 16);
            out += char(group >> 8);
            out += char(group);
            group = 0;
            count = 0;
        }
    }
    if (count == 2) {
        out += char(group >> 4);
    } else if (count == 3) {
        out += char(group >> 10);
        out += char(group >> 2);
    }
    return out;
}

std::u16string url_encode(const std::string& bytes) {
    static const char kHex[] = "0123456789ABCDEF";
    std::u16string out;
    for (unsigned char c : bytes) {
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
            c == '_' || c == '~') {
            out += char16_t(c);
        } else {
            out += u'%';
            out += char16_t(kHex[c >> 4]);
            out += char16_t(kHex[c & 15]);
        }
    }
    return out;
}

std::string url_decode(const std::string& bytes) {
    std::string out;
    for (size_t i = 0; i < bytes.size();) {
        unsigned char c = static_cast<unsigned char>(bytes[i++]);
        if (c != '%') {
            out += char(c);
            continue;
        }
        int v = 0;
        for (int digits = 0; digits < 2 && i < bytes.size() && hex_value(static_cast<unsigned char>(bytes[i])) >= 0;
             ++digits)
            v = v * 16 + hex_value(static_cast<unsigned char>(bytes[i++]));
        if (v) out += char(v);
    }
    return out;
}

long header_fields(const char16_t* p, HeaderVisitor visit, void* ctx) {
    while (is_blank_or_tab(*p)) ++p;
    static const char16_t kHttp[] = u"http/";
    bool status_line = true;
    for (int i = 0; i < 5; ++i) {
        char16_t c = p[i] >= u'A' && p[i] <= u'Z' ? char16_t(p[i] + 32) : p[i];
        if (c != kHttp[i]) status_line = false;
        if (!p[i]) break;
    }
    if (status_line) {
        while (*p && !is_line_end(*p)) ++p;
        if (!*p) return 0;
    }
    long count = 0;
    for (;;) {
        while (is_line_end(*p)) ++p;
        if (!*p) return count;
        while (is_blank_or_tab(*p)) ++p;
        if (!*p) return count;
        if (is_line_end(*p)) continue;  // a line of blanks holds no field
        HeaderField f = {p, 0, u"", 0};
        while (*p && *p != u':' && !is_line_end(*p)) ++p;
        f.name_len = size_t(p - f.name);
        if (*p == u':') {
            ++p;
            while (is_blank_or_tab(*p)) ++p;
            f.value = p;
            while (*p && !is_line_end(*p)) ++p;
            f.value_len = size_t(p - f.value);
        }
        if (!visit(f, ctx)) return -1;
        ++count;
    }
}

}  // namespace deskops
