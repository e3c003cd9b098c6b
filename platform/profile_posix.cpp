// POSIX side of the profile seam: a small reader and writer of profile
// files that gives the results the Windows profile functions give.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform.h"
#include "profile.h"
#include "profile_lines.h"
#include "utf.h"

namespace zv {

namespace {

using namespace profile_lines;

bool load(const char16_t* file, std::string* text) {
    char* data = nullptr;
    size_t size = 0;
    if (!read_file(file, &data, &size)) return false;
    text->assign(data, size);
    heap_free(data);
    if (text->compare(0, 3, "\xEF\xBB\xBF") == 0) text->erase(0, 3);
    return true;
}

// Visits the key lines of a section: f(line index, key, value) returns false to stop.
template <class F>
void each_key(const std::vector<std::string>& lines, const std::string& section, F f) {
    bool inside = false;
    for (size_t i = 0; i < lines.size(); ++i) {
        std::string name, key, value;
        if (section_line(lines[i], &name)) {
            inside = same_name(name, section);
        } else if (inside && key_line(lines[i], &key, &value)) {
            if (!f(i, key, value)) return;
        }
    }
}

bool lookup(const char16_t* file, const char16_t* section, const char16_t* key, std::string* value) {
    std::string text;
    if (!load(file, &text)) return false;
    std::string want = utf16_to_utf8(key);
    bool found = false;
    each_key(split_lines(text), utf16_to_utf8(section), [&](size_t, const std::string& k, const std::string& v) {
        if (!same_name(k, want)) return true;
        *value = v;
        found = true;
        return false;
    });
    return found;
}

size_t put_text(const std::string& utf8, char16_t* buf, size_t cap) {
    if (cap == 0) return 0;
    size_t len = 0;
    char16_t* w = utf8_to_utf16(utf8.data(), utf8.size(), &len);
    if (!w) len = 0;
    if (len >= cap) len = cap - 1;
    if (len) memcpy(buf, w, len * sizeof(char16_t));
    buf[len] = 0;
    heap_free(w);
    return len;
}

}  // namespace

int32_t profile_int(const char16_t* file, const char16_t* section, const char16_t* key, int32_t def) {
    std::string v;
    if (!lookup(file, section, key, &v)) return def;
    char16_t* text = utf8_to_utf16(v.data(), v.size());
    int32_t n = text ? profile_parse_int(text, def) : def;
    heap_free(text);
    return n;
}

size_t profile_text(const char16_t* file, const char16_t* section, const char16_t* key, const char16_t* def,
                    char16_t* buf, size_t cap) {
    std::string v;
    if (!lookup(file, section, key, &v)) v = def ? utf16_to_utf8(def) : std::string();
    return put_text(v, buf, cap);
}

bool profile_write(const char16_t* file, const char16_t* section, const char16_t* key, const char16_t* value) {
    std::string text;
    load(file, &text);
    std::vector<std::string> lines = split_lines(text);
    std::string sec = utf16_to_utf8(section), k = utf16_to_utf8(key), line = k + "=" + utf16_to_utf8(value);
    bool done = false, has_section = false;
    size_t last = 0;  // where a new key of the section goes
    for (size_t i = 0; i < lines.size() && !done; ++i) {
        std::string name;
        if (section_line(lines[i], &name) && same_name(name, sec)) {
            has_section = true;
            last = i + 1;
        }
    }
    each_key(lines, sec, [&](size_t i, const std::string& found, const std::string&) {
        last = i + 1;
        if (!same_name(found, k)) return true;
        lines[i] = line;
        done = true;
        return false;
    });
    if (!done) {
        if (has_section) {
            lines.insert(lines.begin() + long(last), line);
        } else {
            lines.push_back("[" + sec + "]");
            lines.push_back(line);
        }
    }
    std::string out;
    for (const std::string& l : lines) out += l + "\r\n";
    FILE* f = fopen(utf16_to_utf8(file).c_str(), "wb");
    if (!f) return false;
    bool ok = fwrite(out.data(), 1, out.size(), f) == out.size();
    return fclose(f) == 0 && ok;
}

bool profile_section(const char16_t* file, const char16_t* section, ProfileVisitor visit, void* ctx) {
    std::string text;
    if (!load(file, &text)) return false;
    each_key(split_lines(text), utf16_to_utf8(section), [&](size_t, const std::string& k, const std::string& v) {
        char16_t* wk = utf8_to_utf16(k.data(), k.size());
        char16_t* wv = utf8_to_utf16(v.data(), v.size());
        bool go_on = wk && wv && visit(wk, wv, ctx);
        heap_free(wk);
        heap_free(wv);
        return go_on;
    });
    return true;
}

}  // namespace zv
