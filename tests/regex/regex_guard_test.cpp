// The guard of the matcher: repetitions of empty bodies end, nested
// quantifiers take linear time, long subjects and large patterns need no
// native stack and no fixed buffers.
#include <gtest/gtest.h>

#include "regex_test_util.h"

using namespace deskops::regex;
using rxtest::match;
using rxtest::match_all;
using Strings = std::vector<std::string>;

namespace {

// Collects all matches with the guarded matcher: the code and the steps taken.
std::pair<int, uint64_t> collect_steps(const std::u16string& text, const std::u16string& pattern) {
    Program* p = compile(pattern.c_str());
    Matcher* m = matcher_new(p, text.c_str(), MatchOptions{});
    Buf<Capture> all;
    std::pair<int, uint64_t> r{collect(m, &all), matcher_steps(m)};
    matcher_free(m);
    program_free(p);
    return r;
}

TEST(RegexGuard, EmptyBodyRepetitionsEnd) {
    EXPECT_EQ(match("aab", "(a*)*").groups, (Strings{"aa", ""}));
    EXPECT_EQ(match("aa", "(|a)*").groups, (Strings{"aa", ""}));
    EXPECT_EQ(match("ab", "(^)*").index, 1);
    for (const char* pattern : {"(a*)*b", "(|a)*b", "(a?)*b", "(a*?)*b", "(a*)*?b", "((a*)*)*b", "(a*)+b", "(a{0})*b",
                                "(a|b*)*b", "((|a)|(a|))*b", "(a*|)*?b"}) {
        SCOPED_TRACE(pattern);
        EXPECT_EQ(match("xaab", pattern).groups.at(0), "aab");
        EXPECT_EQ(match_all("aab-b", pattern), (Strings{"aab", "b"}));
        EXPECT_EQ(rxtest::replace("aab-b", pattern, "#"), "#-#");
    }
    EXPECT_EQ(match_all("a\nb", "(x*)*$"), Strings{""});
    EXPECT_EQ(match(" x y", "(\\s*|x)*y").groups.at(0), " x y");
}

TEST(RegexGuard, NestedQuantifiersTakeLinearTime) {
    const struct {
        const char16_t* pattern;
        char16_t unit;         // the subject is this unit repeated
        const char16_t* tail;  // ... followed by this
    } cases[] = {
        {u"(a*)*b", u'a', u""},        {u"(a|a)*c", u'a', u""},       {u"(\\w+\\s?)*$", u'a', u"!"},
        {u"(a|aa)*c", u'a', u""},      {u"((a*)*)*b", u'a', u""},     {u"(.*)*x", u'a', u""},
        {u"(a+)+b", u'a', u""},        {u"(\\w+\\s?)*$", u' ', u"!"}, {u"(a?){30}a{30}b", u'a', u""},
        {u"a*b", u'a', u""},           {u"(a|b|ab)*c", u'a', u"b"},   {u"(x+x+)+y", u'x', u""},
        // Lazy runs begun before the memo starts.
        {u"(\\w+?)*a", u'u', u"!"},   {u"(u|\\w+?)*a", u'u', u""},  {u"b|(\\w+?)*$a", u'u', u"!"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(rxtest::u8(c.pattern));
        auto mid = collect_steps(std::u16string(1000, c.unit) + c.tail, c.pattern);
        auto big = collect_steps(std::u16string(100000, c.unit) + c.tail, c.pattern);
        EXPECT_EQ(mid.first, 0);
        EXPECT_EQ(big.first, 0);
        // Linear: a hundred times the subject, about a hundred times the work.
        EXPECT_LE(big.second, 200 * mid.second);
        EXPECT_LT(big.second, uint64_t(400) * 100000);
    }
    std::u16string words;  // words and spaces that do not reach the end
    while (words.size() < 100000) words += u"word ";
    auto r = collect_steps(words + u"!", u"(\\w+\\s?)*$");
    EXPECT_EQ(r.first, 0);
    EXPECT_LT(r.second, uint64_t(400) * words.size());
}

TEST(RegexGuard, LongSubjectsNeedNoNativeStack) {
    const std::string a(1000000, 'a');
    std::string ab;
    while (ab.size() < 1000000) ab += "ab";
    EXPECT_EQ(match(a, ".*").groups.at(0).size(), a.size());
    EXPECT_EQ(match(a + "b", "(a|c)*b").groups.at(0).size(), a.size() + 1);
    EXPECT_EQ(match(ab, "(ab)*$").groups.at(0).size(), ab.size());
    EXPECT_EQ(match(ab, "(a|b)*c").code, 0);
    EXPECT_EQ(match(ab, "(a*?b)*?c").code, 0);
    EXPECT_EQ(match_all(ab, "(a|b)+").size(), 1u);
}

TEST(RegexGuard, PatternsOfAnySize) {
    const int depth = 100000;
    rxtest::Found f = match("xa", std::string(depth, '(') + "a" + std::string(depth, ')'));
    ASSERT_EQ(f.code, 1);
    EXPECT_EQ(f.groups.size(), size_t(depth) + 1);
    EXPECT_EQ(f.groups.back(), "a");
    EXPECT_EQ(match("a", std::string(depth, '(') + "a").code, 1);  // never closed

    std::string literal;
    for (int i = 0; literal.size() < 200000; ++i) literal += char('a' + i % 26);
    EXPECT_EQ(match("x" + literal, literal).index, 1);
    EXPECT_EQ(match(std::string(100000, 'a'), "a{100000}").code, 1);
    EXPECT_EQ(match(std::string(99999, 'a'), "a{100000}").code, 0);

    // Beyond what memory allows: reported like exhausted memory.
    EXPECT_EQ(match("a", "a{2000000000}").code, kNoMemory);
    EXPECT_EQ(match("a", "((a{1000}){1000}){1000}").code, kNoMemory);
    EXPECT_EQ(match("a", "((^{1000}){1000}){1000}").code, kNoMemory);
}

}  // namespace
