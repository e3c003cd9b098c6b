// The matching rules of the three script functions, one table row per rule:
// code-unit escapes, tokens, grammar, quantifiers, classes, anchors,
// captures, search advance, empty matches and replacement texts.
#include <gtest/gtest.h>

#include "regex_test_util.h"

using rxtest::match_all;
using rxtest::replace;
using Strings = std::vector<std::string>;

namespace {

struct MatchCase {
    std::string text, pattern;
    std::string want;  // regex_match's groups joined by "|", then "@index"; "-": no match
    int32_t start = 0;
    bool icase = false;
};

std::string outcome(const rxtest::Found& f) {
    if (f.code != 1) return f.code == 0 ? "-" : "<error " + std::to_string(f.code) + ">";
    std::string s;
    for (size_t i = 0; i < f.groups.size(); ++i) s += (i ? "|" : "") + f.groups[i];
    return s + "@" + std::to_string(f.index);
}

TEST(RegexRules, Match) {
    const std::string a300(300, 'a'), q20k(20000, 'q');
    const MatchCase cases[] = {
        // Code-unit escapes become units before the tokens are read.
        {"xあ", "\\u3042", "あ@1"}, {"zA", "\\U41", "A@1"},  // fewer than 4 digits
        {"ab", "a\\uzb", "a@0"},  // no digits: unit 0, which ends the pattern
        {"xあ", "\\x30\\x42", "あ@1"}, {"A", "\\x\\x41", "A@0"},  // two byte escapes: high byte first
        {"\u4100", "\\X41", "\u4100@0"},                      // a single byte escape is U+4100
        {"\u3000b", "\\x30\\xzb", "\u3000@0"},  // a following \x without digits is unit 0, not joined
        {"xあ", "[\\x30\\x42]", "あ@1"}, {"A", "\\\\u0041", "A@0"},  // the unit is then escaped by "\"
        // Braces: other characters ignored, a second comma ignored ({1,23}),
        // unclosed ends the pattern; a "}" outside repeats the latest bounds.
        {std::string(13, 'a'), "a{1x2}", std::string(12, 'a') + "@0"}, {"baaa", "ba{,2}", "baa@0"},
        {"aaaa", "a{1,2,3}", "aaaa@0"}, {"aa", "a{2", "a@0"}, {"abbb", "ab}", "abbb@0"}, {"abbb", "ab}?", "a@0"},
        {"aaccc", "a{2}c}", "aacc@0"},
        // Brackets: a leading "]" is a member, unclosed ends the pattern, and
        // "]" outside a class repeats the latest class (none: matches nothing).
        {"]", "[]a]", "]@0"}, {"]ab", "[^]a]", "b@2"}, {"x\n\r\t", "[\\n][\\R][\\T]", "\n\r\t@1"},
        {"a]\\", "[\\]][\\\\]", "]\\@1"}, {"ab", "a[b", "a@0"}, {"a]", "]", "-"}, {"xaxb", "[ab]x]", "axb@1"},
        // Escapes outside classes; a backslash at the end contributes nothing.
        {"ab12", "\\d\\d", "12@2"}, {"12ab", "\\D", "a@2"}, {"a \tb", "\\s\\s", " \t@1"}, {" \t_b", "\\S", "_@2"},
        {"-_x", "\\w+", "_x@1"}, {"ab-", "\\W", "-@2"}, {"a\n\r\t", "\\n\\R\\t", "\n\r\t@1"},
        {"a.*($\\", "\\.\\*\\(\\$\\\\", ".*($\\|@1"}, {"ab", "a\\", "a@0"},
        {"x\U0001F600", "\\\U0001F600", "\U0001F600@1"},
        // Alternation: the first alternative that matches; an empty one is a
        // sequence of its own (here first, at the last unit: no match).
        {"ab", "a|ab", "a@0"}, {"b", "b|", "b@0"}, {"b", "|b", "-"}, {"ab", "(|a)b", "ab|a@0"},
        // Stray tokens: the rest after ")" is ignored, an unclosed group ends
        // with the pattern, a quantifier without an atom contributes nothing.
        {"ab", "a)b", "a@0"}, {"ab", "(ab", "ab|ab@0"}, {"a", "*a", "a@0"}, {"aab", "a**b", "aab@0"}, {"b", "*", "-"},
        // Every "(" counts as a group, also inside a class or escaped.
        {"ab", "((a)(b))", "ab|ab|a|b@0"}, {"((", "[(]\\(()", "((|||@0"},
        // Quantifiers, greedy and lazy.
        {"baaa", "ba*", "baaa@0"}, {"baaa", "ba*?", "b@0"}, {"baaa", "ba+", "baaa@0"}, {"baaa", "ba+?", "ba@0"},
        {"aaab", "a*?b", "aaab@0"}, {"ab", "a??b", "ab@0"}, {"xab", "xa??", "x@0"}, {"abab", "(ab)+", "abab|@0"},
        {"aaaa", "a{2}", "aa@0"}, {"aaaa", "a{2,3}", "aaa@0"}, {"aaaa", "a{2,}", "aaaa@0"}, {"a", "a{2}", "-"},
        {"aaab", "a{0}b", "aaab@0"}, {"baaa", "ba{0,0}", "baaa@0"},  // a maximum 0 means at least 0
        {"aaaa", "a{3,1}", "aaa@0"},  // a maximum below the minimum: exactly the minimum
        {"aaab", "a{1,3}ab", "aaab@0"}, {"xyxyxy", "(xy){2}", "xyxy|xy@0"}, {"aaaa", "a{2,3}?", "aa@0"},
        {"aaaa", "a{2,}?", "aa@0"}, {"baaa", "ba{0,2}?", "b@0"}, {"aaab", "a{0,5}?b", "aaab@0"},
        // Classes: ranges, negation, texts far beyond 255 units ("[" inside is a member).
        {"xabcd", "[a-c]+", "abc@1"}, {"abxyc", "[^a-c]+", "xy@2"}, {"a-", "[a-]+", "a-@0"},
        {"xZ", "[" + a300 + "Z]", "Z@1"}, {"bqaz", "[^" + q20k + "b-y]+", "az@2"},
        {"ab", std::string(5000, '[') + "b]", "b@1"},
        // A surrogate pair is one character, also in classes.
        {"x\U0001F600", "[\U0001F600]", "\U0001F600@1"}, {"x\U0001F601", "[\U0001F600-\U0001F602]", "\U0001F601@1"},
        {"\U0001F603", "[\U0001F600-\U0001F602]", "-"}, {"\U0001F600", "[^a]", "\U0001F600@0"},
        {"\U0001F600", "[\\W]", "\U0001F600@0"}, {"\U0001F600", "[\\w]", "-"}, {"\U0001F600b", ".b", "\U0001F600b@0"},
        {"\U0001F600", "[\\uDC00-\\uDFFF]", "-"},  // its low unit is never a start
        // Ignoring case folds ASCII literals only.
        {"abc", "ABC", "abc@0", 0, true}, {"ABC", "abc", "ABC@0", 0, true}, {"a", "[A-Z]", "-", 0, true},
        {"ä", "Ä", "-", 0, true}, {"x@", "`", "-", 0, true},
        // "^" sets the line-start flag (only at the start state: else never
        // matches); the search then visits line starts only, but the anchor
        // itself checks nothing.
        {"a\nb", "^b", "b@2"}, {"a\nb", "(^b)", "-"}, {"a^b", "a^b", "-"}, {"x\nca", "^b|a", "-"},
        {"xab", "^a", "a@1", 1},
        // "$": before CR or LF, never at the end of the subject, not inside a
        // group; without it everything consumes CR and LF.
        {"abc", "c$", "c@2"}, {"abc\nd", "c$", "c@2"}, {"abcd", "c$", "-"}, {"abc", "$", "-"}, {"c", "(c$)", "-"},
        {"a\nb", "a.b", "a\nb@0"}, {"a\nb", "a.b$", "-"}, {"ab\ncd", "a.*$", "ab@0"}, {"a\nb", "a\\nb|x$", "-"},
        {"ab\ncd", "x*$", "@2"}, {"a\r\n", "a\\s*$", "a@0"},
        // Capture slots are not restored: written by a failed path, begin only (unset).
        {"ab", "(a)x|ab", "ab|a@0"}, {"b", "(a)|b", "b|@0"}, {"ab", "(a|b)*", "ab|@0"}, {"123", "(\\d)+", "123|@0"},
        {"ab1", "(\\d)?b", "b|@1"}, {"xay", "x(a)?y", "xay|a@0"},
        // The start counts from the start of the text; outside it: no match.
        {"abc123", "[0-9]+", "123@3"}, {"abc123", "[0-9]+", "23@4", 4}, {"abc", "a", "-", -1}, {"abc", "c", "-", 3},
        // An empty match at the start is searched once more from the next
        // unit (with the line-start flag: the next line).
        {"", "x*", "-"}, {"abc", "x*", "@1"}, {"a", "x*", "-"}, {"aa", "a*?", "@1"}, {"a\nb", "^x*", "@2"},
        {"a\n", "^x*", "-"}, {"ab", "x*b", "b@1"},
    };
    for (const MatchCase& c : cases) {
        rxtest::Options o;
        o.ignore_case = c.icase;
        EXPECT_EQ(outcome(rxtest::match(c.text, c.pattern, c.start, o)), c.want) << c.pattern << " on " << c.text;
    }
    // Unpaired surrogates: a low unit alone is a start, a high one at the end one character.
    EXPECT_EQ(rxtest::match16(std::u16string{u'x', char16_t(0xDE00)}, u"[\\uDC00-\\uDFFF]").index, 1);
    EXPECT_EQ(rxtest::match16(std::u16string(1, char16_t(0xD83D)), u".").groups, Strings{"\xEF\xBF\xBD"});
}

TEST(RegexRules, MatchAll) {
    const struct {
        const char* text;
        const char* pattern;
        Strings want;
    } cases[] = {
        {"a1_b2", "[\\d_]", {"1", "_", "2"}}, {"a \t\r\nb", "[^\\s]", {"a", "b"}},
        {"a1 -", "[\\W\\d]", {"1", " ", "-"}}, {"a1 ", "[\\D]", {"a", " "}},
        {"ab\r\n\r\ncd\n", "^\\w", {"a", "c"}}, {"\nab", "^a", {"a"}}, {"a1\nb2\n\n3", "^\\w\\d", {"a1", "b2"}},
        {"a1b22c333", "\\d+", {"1", "22", "333"}}, {"abc", "x", {}},
        // An empty match at the search position is passed over, one further on kept.
        {"abc", "x*", {}}, {"abc", "b*", {"b"}}, {"a12b3", "\\d*", {"12", "3"}}, {"a\nb", "x*$", {""}},
    };
    for (const auto& c : cases) EXPECT_EQ(match_all(c.text, c.pattern), c.want) << c.pattern << " on " << c.text;
}

TEST(RegexRules, Replace) {
    const std::string date = "(\\d+)-(\\d+)-(\\d+)";
    const struct {
        std::string text, pattern, replacement, want;
    } cases[] = {
        {"abc", "x*", "-", "abc"}, {"abc", "b*", "-", "a-c"}, {"a\nb", "x*$", "-", "a-\nb"}, {"abc", "x", "-", "abc"},
        {"", "x*", "-", ""}, {"2024-01-31", date, "$3/$2/$1", "31/01/2024"},
        {"on 2024-01-31.", date, "[$0]", "on [2024-01-31]."},
        {"a1b2", "\\d", "$$", "a$b$"}, {"a1", "\\d", "$x|$", "a$x|$"},
        {"a1", "(\\d)", "$2$9|$1", "a|1"}, {"b", "(a)|b", "[$1]", "[]"},  // beyond the groups, unset: nothing
    };
    for (const auto& c : cases) EXPECT_EQ(replace(c.text, c.pattern, c.replacement), c.want) << c.pattern;
}

}  // namespace
