// The matching rules of the regular expression engine, grouped by rule:
// code-unit escapes, tokens, grammar, quantifiers, classes, anchors and
// flags, captures, search advance, the three functions' handling of empty
// matches, and replacement texts.
#include <gtest/gtest.h>

#include "regex_test_util.h"

using rxtest::Found;
using rxtest::match;
using rxtest::match16;
using rxtest::match_all;
using rxtest::Options;
using rxtest::replace;
using Strings = std::vector<std::string>;

namespace {

// The whole match and the groups of regex_match, or "-" for no match.
Strings m(const std::string& text, const std::string& pattern, int32_t start = 0, const Options& o = {}) {
    Found f = match(text, pattern, start, o);
    return f.code == 1 ? f.groups : Strings{"-"};
}

int32_t at(const std::string& text, const std::string& pattern, int32_t start = 0) {
    return match(text, pattern, start).index;
}

Options icase() {
    Options o;
    o.ignore_case = true;
    return o;
}

TEST(RegexEscapes, CodeUnitEscapesBecomeUnitsBeforeTokens) {
    EXPECT_EQ(m("xあ", "\\u3042"), Strings{"あ"});
    EXPECT_EQ(m("zA", "\\U41"), Strings{"A"});  // fewer than 4 digits
    EXPECT_EQ(m("ab", "a\\uzb"), Strings{"a"});  // no digits: unit 0 ends the pattern
    EXPECT_EQ(m("ab", "a\\u0000b"), Strings{"a"});
    // Two byte escapes form one unit: high byte first.
    EXPECT_EQ(m("xあ", "\\x30\\x42"), Strings{"あ"});
    EXPECT_EQ(m("A", "\\x\\x41"), Strings{"A"});
    EXPECT_EQ(m("A", "\\x41"), Strings{"-"});  // a single byte escape is U+4100
    EXPECT_EQ(match16(u"\u4100", u"\\X41").code, 1);
    // A following \x without digits is not joined; it is unit 0 and ends the pattern.
    EXPECT_EQ(match16(u"\u3000b", u"\\x30\\xzb").groups, Strings{"\u3000"});
    EXPECT_EQ(m("xあ", "[\\x30\\x42]"), Strings{"あ"});
    // Escapes become units before the tokens are read: the unit made here is
    // then escaped by the backslash before it.
    EXPECT_EQ(m("A", "\\\\u0041"), Strings{"A"});
}

TEST(RegexTokens, Braces) {
    EXPECT_EQ(m(std::string(13, 'a'), "a{1x2}"), Strings{std::string(12, 'a')});  // other characters ignored
    EXPECT_EQ(m("baaa", "ba{,2}"), Strings{"baa"});
    EXPECT_EQ(m("aaaa", "a{1,2,3}"), Strings{"aaaa"});  // the second comma is ignored: {1,23}
    EXPECT_EQ(m("aa", "a{2"), Strings{"a"});            // unclosed: the pattern ends
    // A "}" outside braces repeats the latest bounds (0 and 0 before any).
    EXPECT_EQ(m("abbb", "ab}"), Strings{"abbb"});
    EXPECT_EQ(m("abbb", "ab}?"), Strings{"a"});
    EXPECT_EQ(m("aaccc", "a{2}c}"), Strings{"aacc"});
}

TEST(RegexTokens, Brackets) {
    EXPECT_EQ(m("]", "[]a]"), Strings{"]"});
    EXPECT_EQ(m("]ab", "[^]a]"), Strings{"b"});
    EXPECT_EQ(m("x\n", "[\\n]"), Strings{"\n"});
    EXPECT_EQ(m("x\r\t", "[\\R][\\T]"), Strings{"\r\t"});
    EXPECT_EQ(m("a]", "[\\]]"), Strings{"]"});
    EXPECT_EQ(m("a\\", "[\\\\]"), Strings{"\\"});
    EXPECT_EQ(m("ab", "a[b"), Strings{"a"});  // unclosed: the pattern ends
    // "]" outside a class is the latest class again; before any it matches nothing.
    EXPECT_EQ(m("a]", "]"), Strings{"-"});
    EXPECT_EQ(m("xaxb", "[ab]x]"), Strings{"axb"});
}

TEST(RegexTokens, EscapesOutsideClasses) {
    EXPECT_EQ(m("ab12", "\\d\\d"), Strings{"12"});
    EXPECT_EQ(m("12ab", "\\D"), Strings{"a"});
    EXPECT_EQ(m("a \tb", "\\s\\s"), Strings{" \t"});
    EXPECT_EQ(m(" \t_b", "\\S"), Strings{"_"});
    EXPECT_EQ(m("-_x", "\\w+"), Strings{"_x"});
    EXPECT_EQ(m("ab-", "\\W"), Strings{"-"});
    EXPECT_EQ(m("a\n\r\t", "\\n\\r\\t"), Strings{"\n\r\t"});
    EXPECT_EQ(m("a\n\r\t", "\\N\\R\\T"), Strings{"\n\r\t"});
    EXPECT_EQ(m("a.*($\\", "\\.\\*\\(\\$\\\\"), (Strings{".*($\\", ""}));
    EXPECT_EQ(m("ab", "a\\"), Strings{"a"});  // a backslash at the end contributes nothing
    EXPECT_EQ(m("x\U0001F600", "\\\U0001F600"), Strings{"\U0001F600"});
}

TEST(RegexGrammar, Alternation) {
    EXPECT_EQ(m("ab", "a|ab"), Strings{"a"});
    EXPECT_EQ(m("ab", "ab|a"), Strings{"ab"});
    EXPECT_EQ(m("abc", "x|y|bc|b"), Strings{"bc"});
    // An empty alternative is a sequence of its own.
    EXPECT_EQ(m("b", "b|"), Strings{"b"});
    EXPECT_EQ(m("b", "|b"), Strings{"-"});  // the empty one first, at the last unit
    EXPECT_EQ(m("ab", "(|a)b"), (Strings{"ab", "a"}));
}

TEST(RegexGrammar, StrayTokens) {
    EXPECT_EQ(m("ab", "a)b"), Strings{"a"});    // the rest after an unmatched ")" is ignored
    EXPECT_EQ(m("ab", "(ab"), (Strings{"ab", "ab"}));  // an unclosed group ends with the pattern
    EXPECT_EQ(m("a", "*a"), Strings{"a"});      // a quantifier without an atom contributes nothing
    EXPECT_EQ(m("aab", "a**b"), Strings{"aab"});
    EXPECT_EQ(m("aab", "a+*b"), Strings{"aab"});
    EXPECT_EQ(m("b", "*"), Strings{"-"});       // nothing but an empty match at the last unit
}

TEST(RegexGrammar, GroupsAndCount) {
    EXPECT_EQ(m("ab", "((a)(b))"), (Strings{"ab", "ab", "a", "b"}));
    EXPECT_EQ(m("2024-01-31", "(\\d+)-(\\d+)-(\\d+)"), (Strings{"2024-01-31", "2024", "01", "31"}));
    // Every "(" of the pattern counts, also inside a class or escaped.
    EXPECT_EQ(rxtest::groups_of("[(]\\(()"), 4);
    EXPECT_EQ(m("(", "[(]"), (Strings{"(", ""}));
}

TEST(RegexQuantifiers, StarPlusQuestion) {
    EXPECT_EQ(m("baaa", "ba*"), Strings{"baaa"});
    EXPECT_EQ(m("baaa", "ba*?"), Strings{"b"});
    EXPECT_EQ(m("baaa", "ba+"), Strings{"baaa"});
    EXPECT_EQ(m("baaa", "ba+?"), Strings{"ba"});
    EXPECT_EQ(m("aaab", "a*?b"), Strings{"aaab"});
    EXPECT_EQ(m("ab", "a??b"), Strings{"ab"});  // empty first, then the atom
    EXPECT_EQ(m("xab", "xa??"), Strings{"x"});
    EXPECT_EQ(m("xab", "xa?"), Strings{"xa"});
    EXPECT_EQ(m("abab", "(ab)+"), (Strings{"abab", ""}));
}

TEST(RegexQuantifiers, Counted) {
    EXPECT_EQ(m("aaaa", "a{2}"), Strings{"aa"});
    EXPECT_EQ(m("aaaa", "a{2,3}"), Strings{"aaa"});
    EXPECT_EQ(m("aaaa", "a{2,}"), Strings{"aaaa"});
    EXPECT_EQ(m("aaab", "a{0}b"), Strings{"aaab"});  // {0} means at least 0
    EXPECT_EQ(m("baaa", "ba{0,0}"), Strings{"baaa"});
    EXPECT_EQ(m("aaaa", "a{3,1}"), Strings{"aaa"});  // a maximum below the minimum: exactly m
    EXPECT_EQ(m("a", "a{2}"), Strings{"-"});
    EXPECT_EQ(m("aaab", "a{1,3}ab"), Strings{"aaab"});
    EXPECT_EQ(m("xyxyxy", "(xy){2}"), (Strings{"xyxy", "xy"}));
}

TEST(RegexQuantifiers, CountedLazy) {
    EXPECT_EQ(m("aaaa", "a{2,3}?"), Strings{"aa"});
    EXPECT_EQ(m("aaaa", "a{2,}?"), Strings{"aa"});
    EXPECT_EQ(m("baaa", "ba{0}?"), Strings{"b"});
    EXPECT_EQ(m("baaa", "ba{0,2}?"), Strings{"b"});
    EXPECT_EQ(m("aaab", "a{0,5}?b"), Strings{"aaab"});
}

TEST(RegexClasses, RangesNegationAndEscapes) {
    EXPECT_EQ(m("xabcd", "[a-c]+"), Strings{"abc"});
    EXPECT_EQ(m("abxyc", "[^a-c]+"), Strings{"xy"});
    EXPECT_EQ(m("a-", "[a-]+"), Strings{"a-"});
    EXPECT_EQ(match_all("a1_b2", "[\\d_]"), (Strings{"1", "_", "2"}));
    EXPECT_EQ(match_all("a \t\r\nb", "[^\\s]"), (Strings{"a", "b"}));
    EXPECT_EQ(match_all("a1 -", "[\\W\\d]"), (Strings{"1", " ", "-"}));
    EXPECT_EQ(match_all("a1 ", "[\\D]"), (Strings{"a", " "}));
}

TEST(RegexClasses, LongClassTexts) {
    // Far beyond 255 units; the member that matters is the last one.
    std::string cls = "[" + std::string(300, 'a') + "Z]";
    EXPECT_EQ(m("xZ", cls), Strings{"Z"});
    std::string big = "[^" + std::string(20000, 'q') + "b-y]+";
    EXPECT_EQ(m("bqaz", big), Strings{"az"});
    EXPECT_EQ(m("ab", std::string(5000, '[') + "b]"), Strings{"b"});  // "[" inside a class is a member
}

TEST(RegexClasses, SurrogatePairs) {
    EXPECT_EQ(m("x\U0001F600", "[\U0001F600]"), Strings{"\U0001F600"});
    EXPECT_EQ(m("x\U0001F601", "[\U0001F600-\U0001F602]"), Strings{"\U0001F601"});
    EXPECT_EQ(m("\U0001F603", "[\U0001F600-\U0001F602]"), Strings{"-"});
    EXPECT_EQ(m("\U0001F600", "[^a]"), Strings{"\U0001F600"});  // one character
    EXPECT_EQ(m("\U0001F600", "[\\W]"), Strings{"\U0001F600"});
    EXPECT_EQ(m("\U0001F600", "[\\w]"), Strings{"-"});
}

TEST(RegexClasses, IgnoreCaseFoldsAsciiLiteralsOnly) {
    EXPECT_EQ(m("abc", "ABC", 0, icase()), Strings{"abc"});
    EXPECT_EQ(m("ABC", "abc", 0, icase()), Strings{"ABC"});
    EXPECT_EQ(m("abc", "ABC"), Strings{"-"});
    EXPECT_EQ(m("a", "[A-Z]", 0, icase()), Strings{"-"});
    EXPECT_EQ(m("ä", "Ä", 0, icase()), Strings{"-"});
    EXPECT_EQ(m("x@", "`", 0, icase()), Strings{"-"});
}

TEST(RegexAnchors, LineStart) {
    EXPECT_EQ(m("a\nb", "^b"), Strings{"b"});
    EXPECT_EQ(at("a\nb", "^b"), 2);
    EXPECT_EQ(m("a\nb", "(^b)"), Strings{"-"});  // not at the start state: never matches
    EXPECT_EQ(m("a^b", "a^b"), Strings{"-"});
    EXPECT_EQ(m("x\nca", "^b|a"), Strings{"-"});  // the flag makes the search visit line starts only
    EXPECT_EQ(match_all("ab\r\n\r\ncd\n", "^\\w"), (Strings{"a", "c"}));
    EXPECT_EQ(match_all("\nab", "^a"), Strings{"a"});
    // The anchor itself checks nothing: a start inside a line is tried.
    EXPECT_EQ(at("xab", "^a", 1), 1);
}

TEST(RegexAnchors, LineEnd) {
    EXPECT_EQ(m("abc", "c$"), Strings{"c"});
    EXPECT_EQ(m("abc\nd", "c$"), Strings{"c"});
    EXPECT_EQ(m("abcd", "c$"), Strings{"-"});
    EXPECT_EQ(m("abc", "$"), Strings{"-"});  // the end of the subject is never tried
    EXPECT_EQ(m("c", "(c$)"), Strings{"-"});
    // Dot and everything else consume CR and LF only without the flag.
    EXPECT_EQ(m("a\nb", "a.b"), Strings{"a\nb"});
    EXPECT_EQ(m("a\nb", "a.b$"), Strings{"-"});
    EXPECT_EQ(m("ab\ncd", "a.*$"), Strings{"ab"});
    EXPECT_EQ(m("a\nb", "a\\nb|x$"), Strings{"-"});
    EXPECT_EQ(at("ab\ncd", "x*$"), 2);
    EXPECT_EQ(m("a\r\n", "a\\s*$"), Strings{"a"});
}

TEST(RegexCaptures, SlotsAreNotRestored) {
    EXPECT_EQ(m("ab", "(a)x|ab"), (Strings{"ab", "a"}));  // written by the failed path
    EXPECT_EQ(m("b", "(a)|b"), (Strings{"b", ""}));        // begin only: unset
    EXPECT_EQ(m("ab", "(a|b)*"), (Strings{"ab", ""}));     // the last, failed, iteration began at 2
    EXPECT_EQ(m("123", "(\\d)+"), (Strings{"123", ""}));
    EXPECT_EQ(m("ab1", "(\\d)?b"), (Strings{"b", ""}));
    EXPECT_EQ(m("xay", "x(a)?y"), (Strings{"xay", "a"}));
}

TEST(RegexSearch, Advance) {
    EXPECT_EQ(m("abc123", "[0-9]+"), Strings{"123"});
    EXPECT_EQ(at("abc123", "[0-9]+"), 3);
    EXPECT_EQ(m("abc123", "[0-9]+", 4), Strings{"23"});
    EXPECT_EQ(at("abc123", "[0-9]+", 4), 4);  // counted from the start of the text
    EXPECT_EQ(m("abc", "a", -1), Strings{"-"});
    EXPECT_EQ(m("abc", "c", 3), Strings{"-"});
    EXPECT_EQ(m("", "x*"), Strings{"-"});
    // A pair is one step of the search: its low unit is never a start.
    EXPECT_EQ(match16(u"\U0001F600", u"[\\uDC00-\\uDFFF]").code, 0);
    EXPECT_EQ(match16(std::u16string{u'x', char16_t(0xDE00)}, u"[\\uDC00-\\uDFFF]").index, 1);
    EXPECT_EQ(match16(std::u16string(1, char16_t(0xD83D)), u".").groups, Strings{"\xEF\xBF\xBD"});  // a lone high unit at the end
    EXPECT_EQ(m("\U0001F600b", ".b"), Strings{"\U0001F600b"});
    EXPECT_EQ(m("\U0001F600", "\U0001F600"), Strings{"\U0001F600"});
}

TEST(RegexFunctions, MatchEmptyAtStart) {
    EXPECT_EQ(m("abc", "x*"), Strings{""});
    EXPECT_EQ(at("abc", "x*"), 1);  // searched once more from the next unit
    EXPECT_EQ(m("a", "x*"), Strings{"-"});
    EXPECT_EQ(at("aa", "a*?"), 1);
    EXPECT_EQ(at("a\nb", "^x*"), 2);  // with the line-start flag: the next line
    EXPECT_EQ(m("a\n", "^x*"), Strings{"-"});
    EXPECT_EQ(at("ab", "x*b"), 1);
}

TEST(RegexFunctions, MatchAllEmptyMatches) {
    EXPECT_EQ(match_all("a1b22c333", "\\d+"), (Strings{"1", "22", "333"}));
    EXPECT_EQ(match_all("abc", "x"), Strings{});
    EXPECT_EQ(match_all("abc", "x*"), Strings{});  // empty at the search position: passed over
    EXPECT_EQ(match_all("abc", "b*"), Strings{"b"});
    EXPECT_EQ(match_all("a12b3", "\\d*"), (Strings{"12", "3"}));
    EXPECT_EQ(match_all("a\nb", "x*$"), Strings{""});  // empty further on: kept
    EXPECT_EQ(match_all("a1\nb2\n\n3", "^\\w\\d"), (Strings{"a1", "b2"}));
}

TEST(RegexFunctions, ReplaceEmptyMatches) {
    EXPECT_EQ(replace("abc", "x*", "-"), "abc");
    EXPECT_EQ(replace("abc", "b*", "-"), "a-c");
    EXPECT_EQ(replace("a\nb", "x*$", "-"), "a-\nb");
    EXPECT_EQ(replace("abc", "x", "-"), "abc");
    EXPECT_EQ(replace("", "x*", "-"), "");
}

TEST(RegexFunctions, ReplacementText) {
    const std::string date = "(\\d+)-(\\d+)-(\\d+)";
    EXPECT_EQ(replace("2024-01-31", date, "$3/$2/$1"), "31/01/2024");
    EXPECT_EQ(replace("on 2024-01-31.", date, "[$0]"), "on [2024-01-31].");
    EXPECT_EQ(replace("a1b2", "\\d", "$$"), "a$b$");
    EXPECT_EQ(replace("a1", "\\d", "$x"), "a$x");
    EXPECT_EQ(replace("a1", "\\d", "<$>"), "a<$>");
    EXPECT_EQ(replace("a1", "\\d", "$"), "a$");
    EXPECT_EQ(replace("a1", "(\\d)", "$2$9|$1"), "a|1");  // beyond the groups: nothing
    EXPECT_EQ(replace("b", "(a)|b", "[$1]"), "[]");     // unset: nothing
    EXPECT_EQ(replace("x1y22z", "\\d+", "#"), "x#y#z");
}

}  // namespace
