// Editing rules and keyword colouring of the script editor, table-driven.
// A "|" in a text marks the caret.
#include <gtest/gtest.h>

#include <string>

#include "edit_rules.h"
#include "syntax_colour.h"

using namespace zvs;

namespace {

// A document from text with "|" as the caret; the caret is returned.
size_t load(TextModel& doc, std::u16string text) {
    size_t caret = text.find(u'|');
    if (caret != std::u16string::npos) text.erase(caret, 1);
    EXPECT_TRUE(doc.init() && doc.set_text(text.data(), text.size()));
    return caret == std::u16string::npos ? 0 : caret;
}

TEST(EditRules, CaretStepsKeepPairsAndLineEndsTogether) {
    TextModel doc;
    load(doc, u"a\U0001F600b\r\nc\n\rd");  // a, pair, b, CR LF, c, LF, CR, d
    const size_t forward[] = {1, 3, 4, 6, 7, 8, 9, 10, 10};
    size_t pos = 0;
    for (size_t want : forward) EXPECT_EQ(pos = next_char(doc, pos), want);
    const size_t back[] = {9, 8, 7, 6, 4, 3, 1, 0, 0};
    for (size_t want : back) EXPECT_EQ(pos = prev_char(doc, pos), want);
    EXPECT_EQ(char_units(doc, 1), 2u);
    EXPECT_EQ(char_units(doc, 10), 0u);
}

TEST(EditRules, WordAroundPoint) {
    struct Case {
        const char16_t* text;
        const char16_t* word;
    } cases[] = {
        {u"var ab|c_1 = 2", u"abc_1"}, {u"x  |  y", u"    "}, {u"f(|(a", u"(("}, {u"日本|語 x", u"日本語"},
        {u"end|\r\nnext", u""},        {u"|", u""},
    };
    for (const Case& c : cases) {
        TextModel doc;
        size_t caret = load(doc, c.text), b, e;
        word_at(doc, caret, &b, &e);
        std::u16string got(e - b, u'\0');
        doc.copy(b, e - b, &got[0]);
        EXPECT_EQ(got, c.word) << std::u16string(c.text).size();
    }
}

TEST(EditRules, EnterIndentsLikeTheLineAbove) {
    struct Case {
        const char16_t* text;
        const char16_t* inserted;
    } cases[] = {
        {u"\tif (a) {|", u"\r\n\t\t"}, {u"  x = 1|", u"\r\n  "},   {u"|\tabc", u"\r\n"},
        {u"\tcase 1:  |", u"\r\n\t\t"}, {u"\t\t|\tx", u"\r\n\t\t"}, {u"a\r\n \t{ // no|", u"\r\n \t"},
    };
    for (const Case& c : cases) {
        TextModel doc;
        EXPECT_EQ(enter_text(doc, load(doc, c.text)), c.inserted);
    }
}

TEST(EditRules, CaseLabelsAlignWithTheirSwitch) {
    struct Case {
        const char16_t* text;
        bool changes;
        const char16_t* result;
    } cases[] = {
        {u"\tSWITCH (x) {\r\n\t\t\t  default:|", true, u"\tSWITCH (x) {\r\n\tdefault:"},
        {u"switch (x) {\r\n\tcase 1:\r\n\t\tprint(1)\r\n    case 2:|", true,
         u"switch (x) {\r\n\tcase 1:\r\n\t\tprint(1)\r\ncase 2:"},
        {u"\tswitch (x) {\r\n\tcase 1:|", false, nullptr},
        {u"x = 1\r\n\tcase 1:|", false, nullptr},
        {u"\tswitch (x) {\r\n\t\ta = b ? c :|", false, nullptr},
    };
    for (const Case& c : cases) {
        TextModel doc;
        size_t caret = load(doc, c.text);
        TextEdit edit;
        ASSERT_EQ(align_case_label(doc, caret, &edit), c.changes) << std::u16string(c.text).size();
        if (!c.changes) continue;
        ASSERT_TRUE(doc.erase(edit.pos, edit.removed) && doc.insert(edit.pos, edit.text.data(), edit.text.size()));
        EXPECT_EQ(std::u16string(doc.text()), c.result);
    }
}

TEST(EditRules, SelectedLinesAndSearch) {
    TextModel doc;
    load(doc, u"one\r\ntwo\r\nthree");
    size_t first, last;
    selected_lines(doc, 1, 5, &first, &last);  // ends at the start of line 1
    EXPECT_EQ(first * 10 + last, 0u);
    selected_lines(doc, 1, 6, &first, &last);
    EXPECT_EQ(first * 10 + last, 1u);
    EXPECT_TRUE(spans_lines(doc, 2, 6));
    EXPECT_FALSE(spans_lines(doc, 5, 8));

    struct Case {
        const char16_t* needle;
        size_t from;
        bool match_case;
        long found;  // -1: none
    } cases[] = {
        {u"ab", 0, true, 0}, {u"ab", 1, true, 4}, {u"ab", 5, true, 0} /* wraps to the start */,
        {u"AB", 1, false, 4}, {u"AB", 1, true, -1}, {u"Ä", 0, false, -1} /* only ASCII folds */,
        {u"abxab", 0, true, -1}, {u"xab", 3, true, 3}, {u"", 0, true, -1},
    };
    const std::u16string hay = u"ab xab ä";
    for (const Case& c : cases) {
        size_t at = 99;
        bool hit = find_text(hay.data(), hay.size(), c.needle, std::u16string(c.needle).size(), c.from, c.match_case,
                             &at);
        EXPECT_EQ(hit ? long(at) : -1L, c.found) << c.from;
    }
}

// Classes as letters: p plain, K keyword, C comment, D and S quoted text.
std::string classes(const std::u16string& line, bool extended) {
    std::vector<SyntaxClass> cls(line.size());
    colour_line(line.data(), line.size(), extended, cls.data());
    std::string out;
    for (SyntaxClass c : cls) out += "pKCDS"[c];
    return out;
}

TEST(SyntaxColour, KeywordsCommentsAndQuotes) {
    struct Case {
        const char16_t* line;
        bool extended;
        const char* want;
    } cases[] = {
        {u"var x // c", false, "KKKpppCCCC"},
        {u"For(i) Var_x ifx", false, "pppppppppppppppp"},
        {u"For(i) Var_x ifx", true, "KKKppppppppppppp"},
        {u"#import(\"a\")", true, "KKKKKKKpDDDp"},
        {u"s = \"a\\\"//\" // c", true, "ppppDDDDDDDpCCCC"},
        {u"s = \"a\\\"//\" // c", false, "ppppppppCCCCCCCC"},
        {u"x='it''s' + \"open", true, "ppSSSSSSSpppDDDDD"},
        {u"elseif else2 else", false, "pppppppppppppKKKK"},
        {u"a.while(1)", false, "ppKKKKKppp"},
    };
    for (const Case& c : cases) EXPECT_EQ(classes(c.line, c.extended), c.want) << c.want;
}

}  // namespace
