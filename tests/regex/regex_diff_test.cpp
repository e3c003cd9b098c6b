// Differential test: the guarded matcher against the plain one on generated
// patterns and subjects. Wherever the plain matcher finishes (within a step
// limit), every result of the three functions' rules must be identical:
// match codes, all capture slots, collected matches and replacements. The
// guarded matcher runs twice: with the failure memo on from the first step
// and one matcher reused for all operations on a subject (so remembered
// failures carry over between searches), and with its default settings.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "regex_engine.h"
#include "regex_test_util.h"

using namespace deskops::regex;

namespace {

struct Rng {
    uint64_t state;
    uint32_t next() {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        return uint32_t(state >> 16);
    }
    size_t below(size_t n) { return next() % n; }
    template <class T, size_t N>
    const T& pick(const T (&items)[N]) {
        return items[below(N)];
    }
};

const char16_t* const kAtoms[] = {
    u"a", u"b", u"c", u"a", u"b", u".", u"[ab]", u"[^a]", u"[a-c]", u"\\d", u"\\w", u"\\s", u"\\S", u"\\W",
    u"^", u"$", u"\\n", u"\U0001F600", u"[\U0001F600-\U0001F602]", u"\\x\\x61", u"]", u"[\\d\\s]", u"1", u"x",
};
const char16_t* const kQuantifiers[] = {
    u"", u"", u"", u"*", u"+", u"?", u"*?", u"+?", u"??", u"{2}", u"{0,2}", u"{1,}", u"{0}", u"{1,2}?", u"{,1}",
    u"}", u"{2,}?",
};
const char16_t* const kStray[] = {u")", u"(", u"[", u"{", u"|", u"\\", u"*", u"}?"};
const char16_t kLoneHigh[] = {0xD83D, 0};
const char16_t* const kSubjectUnits[] = {u"a", u"b", u"a", u"c", u"1", u" ", u"\n", u"\r", u"\U0001F600", u"x", kLoneHigh};

std::u16string pattern(Rng& r, int depth) {
    std::u16string p;
    size_t items = 1 + r.below(4);
    for (size_t i = 0; i < items; ++i) {
        if (i && r.below(5) == 0) p += u'|';
        if (depth < 3 && r.below(4) == 0)
            p += u"(" + pattern(r, depth + 1) + u")";
        else
            p += r.pick(kAtoms);
        p += r.pick(kQuantifiers);
    }
    if (r.below(12) == 0) p.insert(r.below(p.size() + 1), r.pick(kStray));
    return p;
}

std::u16string subject(Rng& r) {
    std::u16string s;
    size_t n = r.below(9);
    for (size_t i = 0; i < n; ++i) s += r.pick(kSubjectUnits);
    return s;
}

// One operation's outcome: its code followed by slot positions or units.
using Outcome = std::vector<int32_t>;

Outcome do_find(Matcher* m, int32_t start, int32_t groups) {
    std::vector<Capture> slots(size_t(groups), Capture{-7, -7});
    int r = find(m, start, slots.data());
    Outcome o{r};
    if (r == 1)
        for (const Capture& c : slots) o.insert(o.end(), {c.begin, c.end});
    return o;
}

Outcome do_collect(Matcher* m, const char16_t* text, int32_t groups) {
    Buf<Capture> all;
    int r = collect(m, &all);
    Outcome o{r};
    if (r < 0) return o;
    for (size_t i = 0; i < all.size; ++i) o.insert(o.end(), {all[i].begin, all[i].end});
    Buf<char16_t> out;
    if (!substitute(text, groups, all, u"<$0|$1|$2$$$>", &out)) return Outcome{kNoMemory};
    for (size_t i = 0; i < out.size; ++i) o.push_back(out[i]);
    return o;
}

struct Stats {
    size_t compared = 0;
    size_t skipped = 0;
    size_t matched = 0;
};

struct Free {
    void operator()(Matcher* m) const { matcher_free(m); }
    void operator()(Program* p) const { program_free(p); }
};
using MatcherPtr = std::unique_ptr<Matcher, Free>;

void check(const std::u16string& pat, const std::u16string& text, bool icase, Stats* stats) {
    std::unique_ptr<Program, Free> prog(compile(pat.c_str()));
    ASSERT_NE(prog, nullptr);
    const int32_t groups = group_count(prog.get());
    const int32_t len = int32_t(text.size());

    MatchOptions plain_opt, memo_opt, auto_opt;
    plain_opt.plain = true;
    plain_opt.step_limit = 20000;
    memo_opt.memo_after = 0;
    plain_opt.ignore_case = memo_opt.ignore_case = auto_opt.ignore_case = icase;
    MatcherPtr shared(matcher_new(prog.get(), text.c_str(), memo_opt));
    ASSERT_NE(shared, nullptr);

    for (int32_t op = -1; op <= len + 1; ++op) {
        // op -1 .. len: regex_match from that start; len + 1: all matches.
        MatcherPtr plain(matcher_new(prog.get(), text.c_str(), plain_opt));
        MatcherPtr fresh(matcher_new(prog.get(), text.c_str(), auto_opt));
        ASSERT_TRUE(plain && fresh);
        auto run = [&](Matcher* m) {
            return op == len + 1 ? do_collect(m, text.c_str(), groups) : do_find(m, op, groups);
        };
        Outcome want = run(plain.get()), got = run(shared.get()), got2 = run(fresh.get());
        ASSERT_GE(got[0], 0);
        ASSERT_GE(got2[0], 0);
        if (want[0] == kStepLimit) {
            ++stats->skipped;
            continue;
        }
        ++stats->compared;
        if (want[0] > 0) ++stats->matched;
        ASSERT_EQ(got, want) << "operation " << op << (icase ? " ignoring case" : "");
        ASSERT_EQ(got2, want) << "operation " << op << (icase ? " ignoring case" : "");
    }
}

TEST(RegexDifferential, GuardedEqualsPlainOnGeneratedCases) {
    Rng r{0x2545F4914F6CDD1Dull};
    Stats stats;
    for (int i = 0; i < 4000; ++i) {
        std::u16string pat = pattern(r, 0);
        for (int k = 0; k < 3; ++k) {
            std::u16string text = subject(r);
            bool icase = r.below(4) == 0;
            SCOPED_TRACE("pattern " + rxtest::u8(pat) + " subject " + rxtest::u8(text));
            check(pat, text, icase, &stats);
            if (HasFatalFailure()) return;
        }
    }
    // The comparison must not be hollow: most cases finish in the plain
    // matcher, and many of them match.
    EXPECT_GT(stats.compared, 10 * stats.skipped);
    EXPECT_GT(stats.matched, stats.compared / 5);
    std::printf("compared %zu operations (%zu matched), %zu left to the guard\n", stats.compared, stats.matched,
                stats.skipped);
}

TEST(RegexDifferential, NestedRepetitions) {
    // Shapes where the memo does the most work, on subjects that force
    // backtracking; short enough for the plain matcher to finish.
    const char16_t* const patterns[] = {
        u"(a|a)*c",        u"(a*)*b|a",         u"((a)|a)*c|a+b",     u"(a|(a))*(c)|(a)(a)b", u"(\\w+\\s?)*$",
        u"((a)*|b)*c|(a+)b", u"(a(b)?)*x|(\\w)+", u"(a?){5}a{5}",     u"((a)|(b))*?c|(.)",    u"(a|ab)(c|bcd)(d*)",
        u"^(a+|b)*c",      u"(x*)*y|(x)",       u"((ab)*|a)*b",      u"(a{1,2}){2,3}?b|(a)",
    };
    const char16_t* const subjects[] = {u"aaaa", u"aaab", u"abab", u"abcd", u"aa aa a", u"xxxx", u"ab\nab\naab"};
    Stats stats;
    for (const char16_t* p : patterns)
        for (const char16_t* s : subjects) {
            SCOPED_TRACE("pattern " + rxtest::u8(p) + " subject " + rxtest::u8(s));
            check(p, s, false, &stats);
            if (HasFatalFailure()) return;
        }
    EXPECT_GT(stats.compared, 0u);
}

}  // namespace
