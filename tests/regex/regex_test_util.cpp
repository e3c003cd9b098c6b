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

struct Session {
    Program* prog = nullptr;
    Matcher* m = nullptr;
    explicit Session(const std::u16string& text, const std::u16string& pattern, const Options& o) {
        prog = compile(pattern.c_str());
        if (!prog) return;
        MatchOptions mo;
        mo.ignore_case = o.ignore_case;
        mo.plain = o.plain;
        mo.step_limit = o.step_limit;
        mo.memo_after = o.memo_after;
        m = matcher_new(prog, text.c_str(), mo);
    }
    ~Session() {
        if (m) matcher_free(m);
        if (prog) program_free(prog);
    }
};

std::string error_text(int code) { return "<error " + std::to_string(code) + ">"; }

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

Found match(const std::string& text, const std::string& pattern, int32_t start, const Options& o) {
    return match16(u16(text), u16(pattern), start, o);
}

std::vector<std::string> match_all(const std::string& text, const std::string& pattern, const Options& o) {
    std::u16string t = u16(text);
    Session s(t, u16(pattern), o);
    if (!s.m) return {error_text(kNoMemory)};
    Buf<Capture> all;
    int n = collect(s.m, &all);
    if (n < 0) return {error_text(n)};
    std::vector<std::string> out;
    const size_t g = size_t(group_count(s.prog));
    for (size_t i = 0; i < all.size; i += g)
        out.push_back(u8(t.substr(size_t(all[i].begin), size_t(all[i].end - all[i].begin))));
    return out;
}

std::string replace(const std::string& text, const std::string& pattern, const std::string& replacement,
                    const Options& o) {
    std::u16string t = u16(text), r = u16(replacement);
    Session s(t, u16(pattern), o);
    if (!s.m) return error_text(kNoMemory);
    Buf<Capture> all;
    int n = collect(s.m, &all);
    if (n < 0) return error_text(n);
    Buf<char16_t> out;
    if (!substitute(t.c_str(), group_count(s.prog), all, r.c_str(), &out)) return error_text(kNoMemory);
    return u8(std::u16string(out.data ? out.data : u"", out.size));
}

int32_t groups_of(const std::string& pattern) {
    Program* p = compile(u16(pattern).c_str());
    if (!p) return -1;
    int32_t g = group_count(p);
    program_free(p);
    return g;
}

}  // namespace rxtest
