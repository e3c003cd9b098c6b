// Parser behaviour: precedence, statement forms, line feeds, directives and
// the positions of syntax errors.
#include <gtest/gtest.h>

#include "ksc_harness.h"

using namespace ksc;
using namespace ksc_test;

TEST(ParserPrecedence, LevelsAndAssociativity) {
    // Each element separates one level from the next: index, unary, * / %,
    // + -, shifts, comparisons, == !=, &, ^, |, &&, ||.
    EXPECT_EQ(eval("{-{5}[0], !0 * 5, 2 + 3 * 4 - 6 / 3 % 4, 1 << 2 + 1, 1 << 2 < 3, 1 < 2 == 1, 6 & 2 == 2, "
                   "5 ^ 1 & 3, 1 | 6 ^ 3, 1 | 0 && 0, 1 || 0 && 0}"),
              "{-5,5,12,8,0,1,0,4,5,0,1}");
    EXPECT_EQ(eval("{\"k\": 0 || 2, \"k\" + \"2\": 3}"), "{\"k\":1,\"k2\":3}");  // || before :
    // Binary operators group left to right, prefixes right to left.
    EXPECT_EQ(eval("{10 - 3 - 2, 64 / 4 / 2, 1 << 2 << 3, 3 > 2 > 1, 2 == 2 == 2, -~0, ~-1, !!5, - -3}"),
              "{5,8,32,0,0,1,0,1,3}");
    // Postfix before prefix, op= before =, = right to left and before ",".
    EXPECT_EQ(value("x = 1; y = -x++; b = 1; a = b += 2; c = d = 3; e = 1, 2; exit {x, y, a, b, c, d, e}"),
              "{\"x\":2,\"y\":-1,\"a\":3,\"b\":3,\"c\":3,\"d\":3,\"e\":1}");
    // Argument lists and array literals allow assignments.
    EXPECT_EQ(eval("{a = 2, a + 1}"), "{\"a\":2,3}");
    EXPECT_EQ(out("function f(v) { return v }\nprint(f(a = 4) + a)"), "8");
}

TEST(ParserErrors, RejectedForms) {
    const int S = kErrSyntax, B = kErrBlockExpected;
    const std::pair<const char*, int> cases[] = {
        // no assignment in parentheses, conditions or indexes
        {"x = (a = b)", S}, {"if (a = 1) { }", S}, {"while (a = 1) { }", S}, {"switch (a = 1) { }", S},
        {"x = a[b = 1]", S},
        // bodies must be blocks
        {"if (a == 1) x = 1", B}, {"if (1) { } else x = 1", B}, {"while (1) x++", B}, {"for (;;) x++", B},
        {"do x++ while (1)", B}, {"switch (1) x", B}, {"function f() x", B},
        {"do { } while (0) x = 1", kErrOperatorRequired}, {"x = 1 2", kErrOperatorRequired},
        {"while () { }", S}, {"if () { }", S}, {"for (;;;) { }", S}, {"var 1", S}, {"var &a", S},
        {"case 1: x = 1", S}, {"default: x = 1", S}, {"else { }", S}, {"x = 1 )", S}, {"break x", S}, {"}", S},
        {"function (a) { }", S}, {"function f(&&a) { }", S}, {"function f(1) { }", S},
        // after an operand a line feed ends the statement, inside brackets too
        {"x = (1\n+ 2)", S}, {"x = (1 + 2\n)", S}, {"x = {1,\n2\n}", S},
        {"#option \"x\"", S}, {"#option(\"strict\"", kErrUnbalanced}, {"#frobnicate(\"x\")", S},
    };
    for (const auto& c : cases) EXPECT_EQ(parse_error(c.first), c.second) << c.first;
    // A file that does not parse does not run, not even its first line.
    RunOutput r = run_ksc("print(1)\nfunction f() {\n");
    EXPECT_FALSE(r.parsed);
    EXPECT_EQ(r.printed, "");
}

TEST(ParserErrors, ReportLineAndSourceOfTheOffendingToken) {
    RunOutput r = run_ksc("a = 1\nb = 2\n  c = * 3\n");
    ASSERT_EQ(r.errors.size(), 1u);
    EXPECT_EQ(r.errors[0], error_line(kErrSyntax, 3, "c = * 3"));
    EXPECT_EQ(r.error_lines[0], 3);
    EXPECT_EQ(first_error("if (1) {\n  x = 1\n  y = )\n}\n"), error_line(kErrSyntax, 3, "y = )"));
    EXPECT_EQ(first_error("x = 1\nb = (2 +\n3\n"), error_line(kErrUnbalanced, 2, "b = (2 +"));
    EXPECT_EQ(first_error("x = 1\n\nif (x) y = 2\n"), error_line(kErrBlockExpected, 3, "if (x) y = 2"));
    EXPECT_EQ(first_error("x = 1\ny = 2\n#option(\"fast\")\n"), error_line(kErrSyntax, 3, "#option(\"fast\")"));
}

TEST(ParserStatements, IfElseChainsWithBracesOnLaterLines) {
    const std::string chain =
        "r = 0\nif (x == 1) {\n  r = \"one\"\n}\nelse if (x == 2) { r = \"two\" }\n"
        "else if (x == 3)\n{\n  r = \"three\"\n}\nelse\n{\n  r = \"other\"\n}\nexit r\n";
    const char* expected[] = {"one", "two", "three", "other"};
    for (int x = 1; x <= 4; ++x) EXPECT_EQ(value("x = " + std::to_string(x) + "\n" + chain), expected[x - 1]);
}

TEST(ParserStatements, LoopsVarListsAndSwitchLabels) {
    EXPECT_EQ(value("i = 0\nwhile (i < 3)\n{\n  i++\n}\nexit i"), "3");
    EXPECT_EQ(value("i = 0\ndo { i++ }\nwhile (i < 3)\nexit i"), "3");
    EXPECT_EQ(value("i = 5\ndo { i++ } while (i < 3); exit i"), "6");  // body runs once
    EXPECT_EQ(value("i = 0\nfor (;;) { i++; if (i == 5) { break } }\nexit i"), "5");
    EXPECT_EQ(value("s = \"\"\nfor (var i = 0, j = 3; i < j; i++, j--) { s = s + i + j }\nexit s"), "0312");
    EXPECT_EQ(value("i = 0\nfor (; i < 4;) { i += 2 }\nexit i"), "4");
    EXPECT_EQ(value("var a = 1, b, c = a + 2; exit {a, b, c}"), "{\"a\":1,\"b\":0,\"c\":3}");
    EXPECT_EQ(value("switch (2) {\ncase 1:\n  exit \"a\"\ncase 2:\ndefault:\n  exit \"b\"\n}"), "b");
}

TEST(ParserStatements, FunctionsAndEmptyListElements) {
    // Functions are known before their definition.
    EXPECT_EQ(out("print(g(2))\nfunction g(n) { return n * 10 }"), "20");
    EXPECT_EQ(out("function f(a,\n b = 2)\n{\n  return a + b\n}\nprint(f(1))"), "3");
    // Empty elements stand for zero.
    EXPECT_EQ(out("function f(a, b, c, d) { print(string({a, b, c, d})) }\nf(1,,,4)"), "1004");
    EXPECT_EQ(out("function f(a, b, c) { print(string({a, b, c})) }\na = 1; b = 3; f(a,,b)"), "103");
    EXPECT_EQ(eval("{1,,2}"), "{1,0,2}");
}

TEST(ParserLineFeeds, ContinueAfterOperatorsCommasAndOpenBrackets) {
    EXPECT_EQ(eval("{1 +\n2,\n3}"), "{3,3}");
    EXPECT_EQ(value("x = (\n1); a[\n0] = 2; exit {x, a}"), "{\"x\":1,\"a\":{2}}");
    EXPECT_EQ(eval("1 // a comment keeps the line feed\n+ 2"), "1");
    // After exit / return / break / continue a line feed always ends it.
    RunOutput r = run_ksc("exit\n5");
    EXPECT_EQ(r.rc, -2);
    EXPECT_FALSE(r.has_result);
}

TEST(ParserDirectives, OptionWords) {
    EXPECT_EQ(value("#option(\"STRICT\")\nvar a = 1\nexit a"), "1");
    EXPECT_EQ(error_code("#option(\"STRICT\")\na = 1"), kErrUndefinedVariable);
    EXPECT_EQ(error_code("#Option(strict)\na = 1"), kErrUndefinedVariable);
    RunOptions basic;
    basic.ksc5 = false;
    EXPECT_EQ(run_ksc("#option(\"ksc.5\")\nexit 7 / 2\n", basic).result, "3.5000000000000000");
    EXPECT_EQ(run_ksc("exit 7 / 2\n", basic).result, "3");
}
