// What both sides of the profile seam share: the integers of values, the
// line rules of profile files, and the one-read reader of a whole file.
#include "profile.h"

#include <cstring>

#include "codepage.h"
#include "platform.h"
#include "profile_lines.h"
#include "utf.h"

namespace zv {

int32_t profile_parse_int(const char16_t* p, int32_t def) {
    if (!*p) return def;
    while (*p == u' ' || *p == u'\t') ++p;
    bool negative = *p == u'-';
    if (*p == u'-' || *p == u'+') ++p;
    uint32_t n = 0;
    if (p[0] == u'0' && (p[1] == u'x' || p[1] == u'X')) {
        for (p += 2;; ++p) {
            char16_t c = *p;
            uint32_t d = c >= u'0' && c <= u'9' ? uint32_t(c - u'0')
                         : (c | 0x20) >= u'a' && (c | 0x20) <= u'f' ? uint32_t((c | 0x20) - u'a' + 10)
                                                                      : 16;
            if (d == 16) break;
            n = n * 16 + d;
        }
    } else {
        for (; *p >= u'0' && *p <= u'9'; ++p) n = n * 10 + uint32_t(*p - u'0');
    }
    return int32_t(negative ? 0u - n : n);
}

namespace profile_lines {

std::string trim(const std::string& s) {
    size_t b = s.find_first_not_of(" \t\r"), e = s.find_last_not_of(" \t\r");
    return b == std::string::npos ? std::string() : s.substr(b, e - b + 1);
}

bool same_name(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = char(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = char(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

std::vector<std::string> split_lines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

bool section_line(const std::string& line, std::string* name) {
    std::string t = trim(line);
    if (t.empty() || t[0] != '[') return false;
    size_t close = t.find(']');
    *name = trim(t.substr(1, close == std::string::npos ? std::string::npos : close - 1));
    return true;
}

bool key_line(const std::string& line, std::string* key, std::string* value) {
    std::string t = trim(line);
    if (t.empty() || t[0] == ';') return false;
    size_t eq = t.find('=');
    if (eq == std::string::npos) return false;
    *key = trim(t.substr(0, eq));
    std::string v = trim(t.substr(eq + 1));
    if (v.size() >= 2 && (v[0] == '"' || v[0] == '\'') && v.back() == v[0]) v = v.substr(1, v.size() - 2);
    *value = v;
    return true;
}

}  // namespace profile_lines

bool profile_read_all(const char16_t* file, ProfileEntryVisitor visit, void* ctx) {
    using namespace profile_lines;
    char* data = nullptr;
    size_t size = 0;
    if (!read_file(file, &data, &size)) return false;
    // The encodings the system's profile functions read: UTF-16 with its
    // byte-order mark, UTF-8 with its mark, else the ANSI code page.
    std::string text;
    if (size >= 2 && uint8_t(data[0]) == 0xFF && uint8_t(data[1]) == 0xFE) {
        text = utf16_to_utf8(reinterpret_cast<const char16_t*>(data + 2), (size - 2) / 2);
    } else if (size >= 3 && memcmp(data, "\xEF\xBB\xBF", 3) == 0) {
        text.assign(data + 3, size - 3);
    } else {
        std::u16string wide;
        if (codepage_to_utf16(kAnsiCodePage, data, &wide))
            text = utf16_to_utf8(wide.data(), wide.size());
        else
            text.assign(data, size);
    }
    heap_free(data);
    std::u16string section;
    for (const std::string& line : split_lines(text)) {
        std::string name, key, value;
        if (section_line(line, &name)) {
            char16_t* wide = utf8_to_utf16(name.data(), name.size());
            section = wide ? wide : u"";
            heap_free(wide);
        } else if (key_line(line, &key, &value)) {
            char16_t* k = utf8_to_utf16(key.data(), key.size());
            char16_t* v = utf8_to_utf16(value.data(), value.size());
            bool go_on = k && v && visit(section.c_str(), k, v, ctx);
            heap_free(k);
            heap_free(v);
            if (!go_on) break;
        }
    }
    return true;
}

}  // namespace zv
