#include "regex_test_util.h"

#include "platform.h"
#include "utf.h"

using namespace deskops::regex;

namespace rxtest {

std::u16string u16(const std::string& utf8) {
    size_t n = 0;
    char16_t* p = zv::utf8_to_utf16(utf8.data(), utf8.size(), &n);
    std::u16string s(p, n);
    zv::heap_free(p);
    return s;
}

std::string u8(const std::u16string& s) { return zv::utf16_to_utf8(s.data(), s.size()); }

namespace {

std::string error_text(int code) { return "<error " + std::to_string(code) + ">"; }

// A compiled pattern with its matcher on text (m null when either failed),
// and for collect(): all matches, or a negative error code.
struct Session {
    Program* prog;
    Matcher* m = nullptr;
    Buf<Capture> all;
    Session(const std::u16string& text, const std::u16string& pattern, const Options& o)
        : prog(compile(pattern.c_str())) {
        if (prog) m = matcher_new(prog, text.c_str(), o);
    }
    ~Session() {
        if (m) matcher_free(m);
        if (prog) program_free(prog);
    }
    int collect() { return m ? deskops::regex::collect(m, &all) : kNoMemory; }
};

}  // namespace

Found match16(const std::u16string& text, const std::u16string& pattern, int32_t start, const Options& o) {
    Found f;
    Session s(text, pattern, o);
    if (!s.m) {
        f.code = kNoMemory;
        return f;
    }
    std::vector<Capture> slots(size_t(group_count(s.prog)));
    f.code = find(s.m, start, slots.data());
    if (f.code != 1) return f;
    for (const Capture& c : slots) {
        int32_t b, n;
        f.groups.push_back(slot_span(c, &b, &n) ? u8(text.substr(size_t(b), size_t(n))) : "");
    }
    f.index = slots[0].begin;
    return f;
}

std::vector<std::string> match_all(const std::string& text, const std::string& pattern, const Options& o) {
    std::u16string t = u16(text);
    Session s(t, u16(pattern), o);
    if (int n = s.collect(); n < 0) return {error_text(n)};
    std::vector<std::string> out;
    for (size_t i = 0; i < s.all.size; i += size_t(group_count(s.prog)))
        out.push_back(u8(t.substr(size_t(s.all[i].begin), size_t(s.all[i].end - s.all[i].begin))));
    return out;
}

std::string replace(const std::string& text, const std::string& pattern, const std::string& replacement,
                    const Options& o) {
    std::u16string t = u16(text), r = u16(replacement);
    Session s(t, u16(pattern), o);
    if (int n = s.collect(); n < 0) return error_text(n);
    Buf<char16_t> out;
    if (!substitute(t.c_str(), group_count(s.prog), s.all, r.c_str(), &out)) return error_text(kNoMemory);
    return u8(std::u16string(out.data ? out.data : u"", out.size));
}

}  // namespace rxtest
