// Regular expression benchmark: the DESKOPS engine next to std::regex
// (ECMAScript) and PCRE2 (16-bit, interpreter without JIT) on the same 1 MB
// log-like text, collecting every match as regex_match_all does, and the
// nested-quantifier patterns on growing subjects.
//
//   regex_bench [-r REPS] [-s MEGABYTES]
//
// std::regex works on the UTF-8 form of the text (the patterns are ASCII, so
// the matches are the same); PCRE2 and the engine on UTF-16.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <regex>
#include <string>
#include <vector>

#define PCRE2_CODE_UNIT_WIDTH 16
#include <pcre2.h>

#include "regex_engine.h"

namespace rx = deskops::regex;

namespace {

int g_reps = 3;

// Best wall time of g_reps runs in milliseconds; *count from the last run.
double best_ms(const std::function<long()>& run, long* count) {
    double best = -1;
    for (int i = 0; i < g_reps; ++i) {
        auto t0 = std::chrono::steady_clock::now();
        *count = run();
        double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
        if (best < 0 || ms < best) best = ms;
    }
    return best;
}

struct Rng {
    uint64_t s = 0x9E3779B97F4A7C15ull;
    uint32_t next() {
        s ^= s << 13;
        s ^= s >> 7;
        s ^= s << 17;
        return uint32_t(s >> 11);
    }
    const char* pick(const std::vector<const char*>& v) { return v[next() % v.size()]; }
};

// Lines like an automation log: time stamps, levels, key=value pairs,
// numbers, addresses, quoted messages, some Japanese words.
std::string make_text(size_t bytes) {
    Rng r;
    const std::vector<const char*> levels = {"INFO", "INFO", "INFO", "DEBUG", "WARN", "ERROR"};
    const std::vector<const char*> users = {"alice", "bob", "carol", "dave", "eve_m", "frank"};
    const std::vector<const char*> words = {"started", "finished", "waiting", "window", "clicked", "保存",
                                            "完了",    "retry",    "scenario", "step",  "timeout", "ok"};
    std::string t;
    char buf[512];
    while (t.size() < bytes) {
        int n = std::snprintf(buf, sizeof buf,
                              "2024-%02u-%02u %02u:%02u:%02u %s user=%s id=%u value=%u.%02u mail=%s.%s@example%u.com "
                              "msg=\"%s %s %u\" took %ums\n",
                              1 + r.next() % 12, 1 + r.next() % 28, r.next() % 24, r.next() % 60, r.next() % 60,
                              r.pick(levels), r.pick(users), r.next() % 100000, r.next() % 1000, r.next() % 100,
                              r.pick(users), r.pick(users), r.next() % 10, r.pick(words), r.pick(words),
                              r.next() % 1000, r.next() % 5000);
        t.append(buf, size_t(n));
    }
    return t;
}

std::u16string utf16(const std::string& s) {
    std::u16string out;
    for (size_t i = 0; i < s.size();) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        uint32_t cp;
        int n;
        if (c < 0x80) cp = c, n = 1;
        else if (c < 0xE0) cp = c & 0x1F, n = 2;
        else if (c < 0xF0) cp = c & 0x0F, n = 3;
        else cp = c & 0x07, n = 4;
        for (int k = 1; k < n; ++k) cp = cp << 6 | (static_cast<unsigned char>(s[i + size_t(k)]) & 0x3F);
        i += size_t(n);
        if (cp >= 0x10000) {
            out += char16_t(0xD800 + ((cp - 0x10000) >> 10));
            out += char16_t(0xDC00 + ((cp - 0x10000) & 0x3FF));
        } else {
            out += char16_t(cp);
        }
    }
    return out;
}

long engine_count(const std::u16string& pattern, const std::u16string& text) {
    rx::Program* p = rx::compile(pattern.c_str());
    if (!p) return -1;
    rx::Matcher* m = rx::matcher_new(p, text.c_str(), rx::MatchOptions{});
    rx::Buf<rx::Capture> all;
    long n = m ? rx::collect(m, &all) : -1;
    rx::matcher_free(m);
    rx::program_free(p);
    return n;
}

// Every match from left to right; an empty one moves on by one unit.
// Returns -2 when PCRE2 gives up (match limit).
long pcre2_count(const std::string& pattern, const std::u16string& text, bool multiline) {
    int err;
    PCRE2_SIZE erroff;
    pcre2_code* re = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(utf16(pattern).c_str()), PCRE2_ZERO_TERMINATED,
                                   multiline ? PCRE2_MULTILINE : 0, &err, &erroff, nullptr);
    if (!re) return -1;
    pcre2_match_data* md = pcre2_match_data_create_from_pattern(re, nullptr);
    const PCRE2_SPTR s = reinterpret_cast<PCRE2_SPTR>(text.data());
    long count = 0;
    for (PCRE2_SIZE off = 0; off < text.size();) {
        int rc = pcre2_match(re, s, text.size(), off, 0, md, nullptr);
        if (rc == PCRE2_ERROR_NOMATCH) break;
        if (rc < 0) {
            count = -2;
            break;
        }
        PCRE2_SIZE* ov = pcre2_get_ovector_pointer(md);
        if (ov[1] > ov[0]) ++count;
        off = ov[1] > off ? ov[1] : off + 1;
    }
    pcre2_match_data_free(md);
    pcre2_code_free(re);
    return count;
}

long std_count(const std::string& pattern, const std::string& text, bool multiline) {
    auto flags = std::regex_constants::ECMAScript;
    if (multiline) flags |= std::regex_constants::multiline;
    std::regex re(pattern, flags);
    long count = 0;
    for (auto it = std::sregex_iterator(text.begin(), text.end(), re); it != std::sregex_iterator(); ++it)
        if (it->length() > 0) ++count;
    return count;
}

struct Typical {
    const char* name;
    const char* pattern;  // the same text in all three dialects
    bool multiline;       // PCRE2 and std::regex need it for ^ and $ at lines
};

const Typical kTypical[] = {
    {"date", "\\d{4}-\\d{2}-\\d{2}", false},
    {"time groups", "(\\d\\d):(\\d\\d):(\\d\\d)", false},
    {"number", "-?\\d+(\\.\\d+)?", false},
    {"e-mail", "[\\w.]+@\\w+(\\.\\w+)+", false},
    {"key=value", "(\\w+)=(\\w+)", false},
    {"line anchored", "^\\d+-\\d+-\\d+ [\\d:]+ ERROR .*$", true},
    {"line end", "\\d+ms$", true},
    {"word alternation", "timeout|retry|waiting|window", false},
    {"lazy quoted", "\"[^\"]*?\"", false},
    {"lazy dot", "msg=\".*?\"", false},
    {"literal", "example7.com", false},
};

void row(const char* name, const char* size, long n, double ours, double pcre, double stdre) {
    char pc[32] = "-", st[32] = "-", r1[32] = "-", r2[32] = "-";
    if (pcre >= 0) std::snprintf(pc, sizeof pc, "%.2f", pcre);
    if (stdre >= 0) std::snprintf(st, sizeof st, "%.2f", stdre);
    if (pcre > 0) std::snprintf(r1, sizeof r1, "%.2f", ours / pcre);
    if (stdre > 0) std::snprintf(r2, sizeof r2, "%.1f", stdre / ours);
    std::printf("%-18s %-8s %9ld %10.2f %10s %12s %9s %9s\n", name, size, n, ours, pc, st, r1, r2);
}

}  // namespace

int main(int argc, char** argv) {
    double megabytes = 1;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!std::strcmp(argv[i], "-r")) g_reps = std::atoi(argv[i + 1]);
        if (!std::strcmp(argv[i], "-s")) megabytes = std::atof(argv[i + 1]);
    }
    if (g_reps < 1) g_reps = 1;
    const std::string text8 = make_text(size_t(megabytes * 1024 * 1024));
    const std::u16string text16 = utf16(text8);

    std::printf("%-18s %-8s %9s %10s %10s %12s %9s %9s\n", "pattern", "subject", "matches", "engine ms", "PCRE2 ms",
                "std::regex ms", "eng/PCRE2", "std/eng");
    std::printf("%s\n", std::string(92, '-').c_str());
    bool mismatch = false;
    for (const Typical& c : kTypical) {
        long n_ours, n_pcre, n_std;
        double ours = best_ms([&] { return engine_count(utf16(c.pattern), text16); }, &n_ours);
        double pcre = best_ms([&] { return pcre2_count(c.pattern, text16, c.multiline); }, &n_pcre);
        double stdre = best_ms([&] { return std_count(c.pattern, text8, c.multiline); }, &n_std);
        if (n_ours != n_pcre || n_ours != n_std) {
            std::printf("  match counts differ: engine %ld, PCRE2 %ld, std::regex %ld\n", n_ours, n_pcre, n_std);
            mismatch = true;
        }
        char size[16];
        std::snprintf(size, sizeof size, "%.0f MB", megabytes);
        row(c.name, size, n_ours, ours, pcre, stdre);
    }

    // Nested quantifiers on subjects without a match. PCRE2 runs with its
    // default match limit ("-2" matches: it gave up); std::regex recurses
    // per character and takes exponential time here, so it is left out.
    struct Patho {
        const char* pattern;
        const char* tail;
    };
    const Patho patho[] = {{"(a*)*b", ""}, {"(a|a)*c", ""}, {"(\\w+\\s?)*$", "!"}};
    std::printf("%s\n", std::string(92, '-').c_str());
    for (const Patho& c : patho) {
        for (int n : {30, 1000, 100000}) {
            std::string s8 = std::string(size_t(n), 'a') + c.tail;
            std::u16string s16 = utf16(s8);
            long n_ours, n_pcre;
            double ours = best_ms([&] { return engine_count(utf16(c.pattern), s16); }, &n_ours);
            double pcre = best_ms([&] { return pcre2_count(c.pattern, s16, false); }, &n_pcre);
            char size[16];
            std::snprintf(size, sizeof size, "%d", n);
            if (n_pcre < 0) std::printf("  PCRE2 gave up (match limit)\n");
            row(c.pattern, size, n_ours, ours, pcre, -1);
        }
    }
    std::printf("(best of %d runs; engine compiles its pattern in every run)\n", g_reps);
    return mismatch ? 1 : 0;
}
