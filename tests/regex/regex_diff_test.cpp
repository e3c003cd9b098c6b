// Differential test: the guarded matcher against the plain one on generated
// patterns and subjects. Wherever the plain matcher finishes (within a step
// limit), every result must be identical: match codes, all capture slots,
// collected matches and replacements. The guarded matcher runs twice: with
// the failure memo on from the first step and one matcher reused for all
// operations on a subject (remembered failures carry over between searches),
// and with its default settings.
#include <gtest/gtest.h>

#include <memory>

#include "regex_test_util.h"

using namespace deskops::regex;

namespace {

struct Rng {
    uint64_t state;
    size_t below(size_t n) {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        return uint32_t(state >> 16) % n;
    }
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
    for (size_t i = 0, items = 1 + r.below(4); i < items; ++i) {
        if (i && r.below(5) == 0) p += u'|';
        p += depth < 3 && r.below(4) == 0 ? u"(" + pattern(r, depth + 1) + u")" : r.pick(kAtoms);
        p += r.pick(kQuantifiers);
    }
    if (r.below(12) == 0) p.insert(r.below(p.size() + 1), r.pick(kStray));
    return p;
}

struct Free {
    void operator()(Matcher* m) const { matcher_free(m); }
    void operator()(Program* p) const { program_free(p); }
};
using MatcherPtr = std::unique_ptr<Matcher, Free>;

// One operation's outcome: its code followed by all slot positions, and for
// collect() the replacement's units.
std::vector<int32_t> run(Matcher* m, int32_t op, const std::u16string& text, int32_t groups) {
    if (op <= int32_t(text.size())) {  // regex_match from op
        std::vector<Capture> slots(size_t(groups), Capture{-7, -7});
        std::vector<int32_t> o{find(m, op, slots.data())};
        if (o[0] == 1)
            for (const Capture& c : slots) o.insert(o.end(), {c.begin, c.end});
        return o;
    }
    Buf<Capture> all;
    std::vector<int32_t> o{collect(m, &all)};
    if (o[0] < 0) return o;
    for (size_t i = 0; i < all.size; ++i) o.insert(o.end(), {all[i].begin, all[i].end});
    Buf<char16_t> out;
    if (!substitute(text.c_str(), groups, all, u"<$0|$1|$2$$$>", &out)) return {kNoMemory};
    o.insert(o.end(), out.data, out.data + out.size);
    return o;
}

struct Stats {
    size_t compared = 0, skipped = 0, matched = 0;
};

void check(const std::u16string& pat, const std::u16string& text, bool icase, Stats* stats) {
    SCOPED_TRACE("pattern " + rxtest::u8(pat) + " subject " + rxtest::u8(text) + (icase ? " ignoring case" : ""));
    std::unique_ptr<Program, Free> prog(compile(pat.c_str()));
    ASSERT_NE(prog, nullptr);
    MatchOptions plain_opt, memo_opt, auto_opt;
    plain_opt.plain = true;
    plain_opt.step_limit = 20000;
    memo_opt.memo_after = 0;
    plain_opt.ignore_case = memo_opt.ignore_case = auto_opt.ignore_case = icase;
    MatcherPtr shared(matcher_new(prog.get(), text.c_str(), memo_opt));
    ASSERT_NE(shared, nullptr);
    // Operations -1 .. length: regex_match from there; length + 1: all matches.
    for (int32_t op = -1; op <= int32_t(text.size()) + 1; ++op) {
        MatcherPtr plain(matcher_new(prog.get(), text.c_str(), plain_opt));
        MatcherPtr fresh(matcher_new(prog.get(), text.c_str(), auto_opt));
        ASSERT_TRUE(plain && fresh);
        const int32_t groups = group_count(prog.get());
        auto want = run(plain.get(), op, text, groups), got = run(shared.get(), op, text, groups),
             got2 = run(fresh.get(), op, text, groups);
        ASSERT_GE(got[0], 0);
        ASSERT_GE(got2[0], 0);
        if (want[0] == kStepLimit) {
            ++stats->skipped;
            continue;
        }
        ++stats->compared;
        stats->matched += want[0] > 0;
        ASSERT_EQ(got, want) << "operation " << op;
        ASSERT_EQ(got2, want) << "operation " << op;
    }
}

TEST(RegexDifferential, GuardedEqualsPlainOnGeneratedCases) {
    Rng r{0x2545F4914F6CDD1Dull};
    Stats stats;
    for (int i = 0; i < 4000; ++i) {
        std::u16string pat = pattern(r, 0);
        for (int k = 0; k < 3; ++k) {
            std::u16string text;
            for (size_t n = r.below(9); n > 0; --n) text += r.pick(kSubjectUnits);
            check(pat, text, r.below(4) == 0, &stats);
            if (HasFatalFailure()) return;
        }
    }
    // Not hollow: most cases finish in the plain matcher, and many match.
    EXPECT_GT(stats.compared, 10 * stats.skipped);
    EXPECT_GT(stats.matched, stats.compared / 5);
    std::printf("compared %zu operations (%zu matched), %zu left to the guard\n", stats.compared, stats.matched,
                stats.skipped);
}

// Shapes where the memo does the most work, on subjects that force
// backtracking: a remembered failure must replay the slot writes of the
// failing exploration, or the groups of a later success would differ.
TEST(RegexDifferential, NestedRepetitions) {
    const char16_t* const patterns[] = {
        u"(a|a)*c",          u"(a*)*b|a",          u"((a)|a)*c|a+b",    u"(a|(a))*(c)|(a)(a)b", u"(\\w+\\s?)*$",
        u"((a)*|b)*c|(a+)b", u"((a)+|b)*c|(a+)b",  u"(a(b)?)*x|(\\w)+", u"(a?){5}a{5}",         u"((a)|(b))*?c|(.)",
        u"(a|ab)(c|bcd)(d*)", u"^(a+|b)*c",        u"(x*)*y|(x)",       u"((ab)*|a)*b",         u"(a{1,2}){2,3}?b|(a)",
    };
    const char16_t* const subjects[] = {u"aab",  u"aaab", u"aaaab",   u"aaaa", u"abab",
                                        u"aabx", u"abcd", u"aa aa a", u"xxxx", u"ab\nab\naab"};
    Stats stats;
    for (const char16_t* p : patterns)
        for (const char16_t* s : subjects) {
            check(p, s, false, &stats);
            if (HasFatalFailure()) return;
        }
    EXPECT_GT(stats.compared, 0u);
    rxtest::Options memo;
    memo.memo_after = 0;
    EXPECT_EQ(rxtest::match("aab", "((a)|a)*c|a+b", 0, memo).groups, (std::vector<std::string>{"aab", "", ""}));
}

// The search's first-character shortcut reads class items as the class
// test does: a range that ends with the backslash of an escaped "\\" is
// followed by an escape of the remaining backslash and the next letter, so
// "[~-\\W]" holds \W and accepts any unit of 256 or more.
TEST(RegexDifferential, ClassItemsReadAlikeByTestAndShortcut) {
    const char16_t* const patterns[] = {u"[~-\\\\W]", u"[!-\\\\S]x?", u"[a-\\\\D]+", u"[\\\\W]", u"[z-\\\\]"};
    const char16_t* const subjects[] = {u"\u3042", u"x\uFFFDy", u"\U0001F600", u"ab\\W", u"\u00E4"};
    Stats stats;
    for (const char16_t* p : patterns)
        for (const char16_t* s : subjects)
            for (bool icase : {false, true}) {
                check(p, s, icase, &stats);
                if (HasFatalFailure()) return;
            }
    EXPECT_EQ(stats.skipped, 0u);
    EXPECT_EQ(rxtest::match("\u3042", "[~-\\\\W]").groups, std::vector<std::string>{"\u3042"});
    EXPECT_EQ(rxtest::match("a\\W", "[\\\\W]+").groups, std::vector<std::string>{"\\W"});
}

}  // namespace
