// regex_match, regex_match_all and regex_replace as scripts see them: the
// built zvs_cmd runs a script that imports DESKOPS (natively and under Wine),
// and its whole output is compared. Argument errors: library and script tests.
#include <gtest/gtest.h>


#include "zv_test_support.h"


// Result shapes (array with "match" and "index", 0 for none), and the
// ignore-case argument: only an integer 1 folds; in regex_match only after
// an integer start.
TEST(RegexScript, ResultShapesAndIgnoreCase) {
    zv::test::RunResult r = zv::test::run_script(R"ksc(#import("DESKOPS")
error(regex_match("abc123", "[0-9]+"))
error(regex_match("abc123", "[0-9]+", 4))
m = regex_match("2024-01-31", "(\d+)-(\d+)-(\d+)")
error(m)
print(m["MATCH"][3] + " " + m["Index"] + " " + regex_match("x" + "\x3042", "\\x30\\x42")["index"] + "\n")
error(regex_match("abc", "x"))
error(regex_match_all("a1b22c333", "\d+"))
error(regex_match_all("abc", "x*"))
print(regex_replace("2024-01-31", "(\d+)-(\d+)-(\d+)", "$3/$2/$1") + "\n")
error(regex_match("xabc", "ABC", 0, 1))
error(regex_match("abc", "ABC", 0, 2))
error(regex_match("abc", "ABC", 0, 1.0))
error(regex_match("abc", "ABC", 0.0, 1))
error(regex_match_all("aBcb", "B", 1))
error(regex_match_all("aBcb", "B", "1"))
print(regex_replace("aBcb", "b", "-", 1) + "|" + regex_replace("aBcb", "b", "-") + "\n")
)ksc");
    EXPECT_FALSE(r.timed_out);
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(zv::test::from_console(r.out),
              "{\"match\":{\"123\"},\"index\":3}\n"
              "{\"match\":{\"23\"},\"index\":4}\n"
              "{\"match\":{\"2024-01-31\",\"2024\",\"01\",\"31\"},\"index\":0}\n"
              "31 0 1\n"
              "0\n"
              "{\"1\",\"22\",\"333\"}\n"
              "0\n"
              "31/01/2024\n"
              "{\"match\":{\"abc\"},\"index\":1}\n"
              "0\n"
              "0\n"
              "0\n"
              "{\"B\",\"b\"}\n"
              "{\"B\"}\n"
              "a-c-|aBc-\n");
}
