// Parser behaviour: precedence, statement forms, line feeds, directives and
// the positions of syntax errors.
#include <gtest/gtest.h>

#include "ksc_expect.h"

using namespace ksc_test;
using ksc::kErrBlockExpected;
using ksc::kErrOperatorRequired;
using ksc::kErrSyntax;
using ksc::kErrUnbalanced;

TEST(ParserPrecedence, EachLevelBindsTighterThanTheNext) {
    EXPECT_EQ(eval("-{5}[0]"), "-5");       // index before unary
    EXPECT_EQ(eval("!0 * 5"), "5");         // unary before * / %
    EXPECT_EQ(eval("2 + 3 * 4 - 6 / 3 % 4"), "12");
    EXPECT_EQ(eval("1 << 2 + 1"), "8");     // + - before shifts
    EXPECT_EQ(eval("1 << 2 < 3"), "0");     // shifts before < <= > >=
    EXPECT_EQ(eval("1 < 2 == 1"), "1");     // comparisons before == !=
    EXPECT_EQ(eval("6 & 2 == 2"), "0");     // == before &
    EXPECT_EQ(eval("5 ^ 1 & 3"), "4");      // & before ^
    EXPECT_EQ(eval("1 | 6 ^ 3"), "5");      // ^ before |
    EXPECT_EQ(eval("1 | 0 && 0"), "0");     // | before &&
    EXPECT_EQ(eval("1 || 0 && 0"), "1");    // && before ||
    EXPECT_EQ(eval("{\"k\": 0 || 2, \"k\" + \"2\": 3}"), "{\"k\":1,\"k2\":3}");  // || before :
    EXPECT_EQ(value("x = 1; y = -x++; exit {x, y}"), "{\"x\":2,\"y\":-1}");  // postfix before prefix
    EXPECT_EQ(value("b = 1; a = b += 2; exit {a, b}"), "{\"a\":3,\"b\":3}");  // op= before =
    EXPECT_EQ(value("a = 1, 2; exit a"), "1");  // = before ,
}

TEST(ParserPrecedence, Associativity) {
    EXPECT_EQ(eval("10 - 3 - 2"), "5");
    EXPECT_EQ(eval("64 / 4 / 2"), "8");
    EXPECT_EQ(eval("1 << 2 << 3"), "32");
    EXPECT_EQ(eval("3 > 2 > 1"), "0");
    EXPECT_EQ(eval("2 == 2 == 2"), "0");
    EXPECT_EQ(eval("{-~0, ~-1, !!5, - -3}"), "{1,0,1,3}");  // prefixes apply right to left
    EXPECT_EQ(value("a = b = 3; exit {a, b}"), "{\"a\":3,\"b\":3}");
}

TEST(ParserPrecedence, NoAssignmentInParenthesesAndConditions) {
    EXPECT_EQ(parse_error("x = (a = b)"), kErrSyntax);
    EXPECT_EQ(parse_error("if (a = 1) { }"), kErrSyntax);
    EXPECT_EQ(parse_error("while (a = 1) { }"), kErrSyntax);
    EXPECT_EQ(parse_error("switch (a = 1) { }"), kErrSyntax);
    EXPECT_EQ(parse_error("x = a[b = 1]"), kErrSyntax);
    // Argument lists and array literals allow assignments.
    EXPECT_EQ(eval("{a = 2, a + 1}"), "{\"a\":2,3}");
    EXPECT_EQ(out("function f(v) { return v }\nprint(f(a = 4) + a)"), "8");
}

TEST(ParserStatements, IfElseChainsWithBracesOnLaterLines) {
    const std::string chain =
        "r = 0\n"
        "if (x == 1) {\n  r = \"one\"\n}\n"
        "else if (x == 2) { r = \"two\" }\n"
        "else if (x == 3)\n{\n  r = \"three\"\n}\n"
        "else\n{\n  r = \"other\"\n}\n"
        "exit r\n";
    EXPECT_EQ(value("x = 1\n" + chain), "one");
    EXPECT_EQ(value("x = 2\n" + chain), "two");
    EXPECT_EQ(value("x = 3\n" + chain), "three");
    EXPECT_EQ(value("x = 4\n" + chain), "other");
}

TEST(ParserStatements, BlocksAreRequired) {
    EXPECT_EQ(parse_error("if (a == 1) x = 1"), kErrBlockExpected);
    EXPECT_EQ(parse_error("if (1) { } else x = 1"), kErrBlockExpected);
    EXPECT_EQ(parse_error("while (1) x++"), kErrBlockExpected);
    EXPECT_EQ(parse_error("for (;;) x++"), kErrBlockExpected);
    EXPECT_EQ(parse_error("do x++ while (1)"), kErrBlockExpected);
    EXPECT_EQ(parse_error("switch (1) x"), kErrBlockExpected);
    EXPECT_EQ(parse_error("function f() x"), kErrBlockExpected);
}

TEST(ParserStatements, Loops) {
    EXPECT_EQ(value("i = 0\nwhile (i < 3)\n{\n  i++\n}\nexit i"), "3");
    EXPECT_EQ(value("i = 0\ndo { i++ }\nwhile (i < 3)\nexit i"), "3");
    EXPECT_EQ(value("i = 5\ndo { i++ } while (i < 3); exit i"), "6");  // body runs once
    EXPECT_EQ(parse_error("do { } while (0) x = 1"), kErrOperatorRequired);
    EXPECT_EQ(value("i = 0\nfor (;;) { i++; if (i == 5) { break } }\nexit i"), "5");
    EXPECT_EQ(value("s = \"\"\nfor (var i = 0, j = 3; i < j; i++, j--) { s = s + i + j }\nexit s"), "0312");
    EXPECT_EQ(value("i = 0\nfor (; i < 4;) { i += 2 }\nexit i"), "4");
    EXPECT_EQ(parse_error("while () { }"), kErrSyntax);
    EXPECT_EQ(parse_error("if () { }"), kErrSyntax);
    EXPECT_EQ(parse_error("for (;;;) { }"), kErrSyntax);
}

TEST(ParserStatements, VarListsSwitchLabelsAndStatementEnds) {
    EXPECT_EQ(value("var a = 1, b, c = a + 2; exit {a, b, c}"), "{\"a\":1,\"b\":0,\"c\":3}");
    EXPECT_EQ(parse_error("var 1"), kErrSyntax);
    EXPECT_EQ(parse_error("var &a"), kErrSyntax);
    EXPECT_EQ(value("switch (2) {\ncase 1:\n  exit \"a\"\ncase 2:\ndefault:\n  exit \"b\"\n}"), "b");
    EXPECT_EQ(parse_error("case 1: x = 1"), kErrSyntax);
    EXPECT_EQ(parse_error("default: x = 1"), kErrSyntax);
    EXPECT_EQ(parse_error("else { }"), kErrSyntax);
    EXPECT_EQ(parse_error("x = 1 )"), kErrSyntax);
    EXPECT_EQ(parse_error("break x"), kErrSyntax);
    EXPECT_EQ(parse_error("x = 1 2"), kErrOperatorRequired);
    EXPECT_EQ(parse_error("}"), kErrSyntax);
}

TEST(ParserStatements, FunctionsAreKnownBeforeTheirDefinition) {
    EXPECT_EQ(out("print(g(2))\nfunction g(n) { return n * 10 }"), "20");
    EXPECT_EQ(out("function f(a,\n b = 2)\n{\n  return a + b\n}\nprint(f(1))"), "3");
    EXPECT_EQ(parse_error("function (a) { }"), kErrSyntax);
    EXPECT_EQ(parse_error("function f(&&a) { }"), kErrSyntax);
    EXPECT_EQ(parse_error("function f(1) { }"), kErrSyntax);
    // A file that does not parse does not run, not even its first line.
    RunOutput r = run_ksc("print(1)\nfunction f() {\n");
    EXPECT_FALSE(r.parsed);
    EXPECT_EQ(r.printed, "");
}

TEST(ParserLineFeeds, ContinueAfterOperatorsCommasAndOpenBrackets) {
    EXPECT_EQ(eval("1 +\n2"), "3");
    EXPECT_EQ(eval("{1,\n2}"), "{1,2}");
    EXPECT_EQ(value("x = (\n1); a[\n0] = 2; exit {x, a}"), "{\"x\":1,\"a\":{2}}");
    EXPECT_EQ(eval("1 // a comment keeps the line feed\n+ 2"), "1");
    // After an operand the line feed ends the statement, inside brackets too.
    EXPECT_EQ(parse_error("x = (1\n+ 2)"), kErrSyntax);
    EXPECT_EQ(parse_error("x = (1 + 2\n)"), kErrSyntax);
    EXPECT_EQ(parse_error("x = {1,\n2\n}"), kErrSyntax);
    // After exit / return / break / continue a line feed always ends it.
    RunOutput r = run_ksc("exit\n5");
    EXPECT_EQ(r.rc, -2);
    EXPECT_FALSE(r.has_result);
}

TEST(ParserLists, EmptyElementsStandForZero) {
    EXPECT_EQ(out("function f(a, b, c, d) { print(string({a, b, c, d})) }\nf(1,,,4)"), "1004");
    EXPECT_EQ(out("function f(a, b, c) { print(string({a, b, c})) }\na = 1; b = 3; f(a,,b)"), "103");
    EXPECT_EQ(eval("{1,,2}"), "{1,0,2}");
}

TEST(ParserDirectives, OptionWords) {
    EXPECT_EQ(first_error("x = 1\ny = 2\n#option(\"fast\")\n"), error_line(kErrSyntax, 3, "#option(\"fast\")"));
    EXPECT_EQ(value("#option(\"STRICT\")\nvar a = 1\nexit a"), "1");
    EXPECT_EQ(error_code("#option(\"STRICT\")\na = 1"), ksc::kErrUndefinedVariable);
    EXPECT_EQ(error_code("#Option(strict)\na = 1"), ksc::kErrUndefinedVariable);
    RunOptions opts;
    opts.ksc5 = false;
    EXPECT_EQ(run_ksc("#option(\"ksc.5\")\nexit 7 / 2\n", opts).result, "3.5000000000000000");
    EXPECT_EQ(run_ksc("exit 7 / 2\n", opts).result, "3");
    EXPECT_EQ(parse_error("#option \"x\""), kErrSyntax);
    EXPECT_EQ(parse_error("#option(\"strict\""), kErrUnbalanced);
    EXPECT_EQ(parse_error("#frobnicate(\"x\")"), kErrSyntax);
}

TEST(ParserErrors, ReportLineAndSourceOfTheOffendingToken) {
    RunOutput r = run_ksc("a = 1\nb = 2\n  c = * 3\n");
    ASSERT_EQ(r.errors.size(), 1u);
    EXPECT_EQ(r.errors[0], error_line(kErrSyntax, 3, "c = * 3"));
    EXPECT_EQ(r.error_lines[0], 3);
    EXPECT_EQ(first_error("if (1) {\n  x = 1\n  y = )\n}\n"), error_line(kErrSyntax, 3, "y = )"));
    EXPECT_EQ(first_error("x = 1\nb = (2 +\n3\n"), error_line(kErrUnbalanced, 2, "b = (2 +"));
    EXPECT_EQ(first_error("x = 1\n\nif (x) y = 2\n"), error_line(kErrBlockExpected, 3, "if (x) y = 2"));
    RunOptions no_file;
    no_file.file_name = nullptr;
    EXPECT_EQ(first_error("1 +* 2", no_file), "Error: " + message(kErrSyntax) + "(1): 1 +* 2");
}
