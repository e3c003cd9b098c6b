#include "profile_lines.h"

#include <cctype>
#include <cstring>

#include "codepage.h"
#include "platform.h"
#include "profile.h"
#include "utf.h"

namespace zv {

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

int32_t to_int(const std::string& value) {
    const char* p = value.c_str();
    bool negative = *p == '-';
    if (*p == '-' || *p == '+') ++p;
    uint32_t n = 0;
    if (p[0] == '0' && (p[1] == 'x' || p[1] == 'X')) {
        for (p += 2; isxdigit(static_cast<unsigned char>(*p)); ++p)
            n = n * 16 + uint32_t(*p <= '9' ? *p - '0' : (*p | 0x20) - 'a' + 10);
    } else {
        for (; *p >= '0' && *p <= '9'; ++p) n = n * 10 + uint32_t(*p - '0');
    }
    return int32_t(negative ? 0u - n : n);
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
