// The console's text: formatting codes into style runs, line ends across
// appends, the line maximum and input-mode Backspace.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "console_text.h"
#include "utf.h"

using namespace zvs;

namespace {

// Lines joined with "|"; a style change shows as <fg,bg,flags>.
std::string render(const ConsoleText& c) {
    std::string out;
    for (size_t l = 0; l < c.line_count(); ++l) {
        if (l) out += "|";
        const ConsoleLine& line = c.line(l);
        ConsoleStyle last;
        for (size_t i = 0; i < line.text.size(); ++i) {
            ConsoleStyle s = line.style_at(i);
            if (s != last)
                out += "<" + std::to_string(s.fg) + "," + std::to_string(s.bg) + "," + std::to_string(s.flags) + ">";
            last = s;
            out += zv::utf16_to_utf8(line.text.data() + i, 1);
        }
    }
    return out;
}

TEST(ConsoleText, CodesLinesAndLimits) {
    struct Case {
        std::vector<std::u16string> appends;
        const char* want;
    } cases[] = {
        {{u"\x03" u"1412:34 \x03" u"12Start"}, "<14,-1,0>12:34 <12,-1,0>Start"},
        {{u"a\x03" u"4,15b\x03" u"c\x02" u"d\x16" u"e\x1F" u"f\x14" u"g"},
         "a<4,15,0>b<-1,-1,0>c<-1,-1,1>d<-1,-1,3>e<-1,-1,7>f<-1,-1,0>g"},
        {{u"\x03" u"123", u"4"}, "<12,-1,0>3<-1,-1,0>4"},  // two digits at most; a new append is normal again
        {{u"\x03" u"99x\x03" u"7,y"}, "<3,-1,0>x<7,-1,0>,y"},
        {{u"a\r", u"\nb\n\rc\r\n"}, "a|b||c|"},
        {{u"\x03" u"4red\nmore"}, "<4,-1,0>red|<4,-1,0>more"},
    };
    for (const Case& c : cases) {
        ConsoleText t;
        for (const std::u16string& a : c.appends) t.append(a.data(), a.size());
        EXPECT_EQ(render(t), c.want);
    }

    ConsoleText t;
    std::u16string s = u"1\r\n2\r\n3\r\nx\U0001F600";
    t.append(s.data(), s.size());
    EXPECT_EQ(t.text(), s);
    EXPECT_EQ(t.length(), s.size());
    size_t line, column;
    t.position_of(t.offset_of(3, 1), &line, &column);
    EXPECT_EQ(line * 10 + column, 31u);
    EXPECT_TRUE(t.remove_last_char());
    EXPECT_EQ(t.text(), u"1\r\n2\r\n3\r\nx") << "a pair goes as one";
    EXPECT_EQ(t.set_max_lines(2), 2u);
    EXPECT_EQ(render(t), "3|x");
    EXPECT_EQ(t.append(u"\ny", 2), 1u);
    EXPECT_TRUE(t.remove_last_char());
    EXPECT_FALSE(t.remove_last_char());
    t.clear();
    EXPECT_TRUE(t.empty());
}

}  // namespace
