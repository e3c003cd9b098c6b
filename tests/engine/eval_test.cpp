// Evaluator behaviour: scopes, indexing, operators by operand kinds, control
// flow and line mode.
#include <gtest/gtest.h>

#include "eval.h"
#include "ksc_harness.h"

using namespace ksc;
using namespace ksc_test;

TEST(EvalScopes, BlocksKeepTheirNewVariablesAndStrictModeWantsDeclarations) {
    EXPECT_EQ(value("x = 1\n{\n  var x = 2\n  y = x\n}\nexit {x, y}"), "{\"x\":1,\"y\":0}");
    EXPECT_EQ(value("x = 1\n{\n  x = 2\n  z = 3\n}\nexit {x, z}"), "{\"x\":2,\"z\":0}");
    EXPECT_EQ(value("n = 0\nif (1) { n = 5; var m = 1 }\nexit n + m"), "5");
    EXPECT_EQ(error_code("var a; var a"), kErrDuplicateVariable);
    RunOptions strict;
    strict.strict = true;
    // The name in the message is written as in the source; Total finds total.
    EXPECT_EQ(first_error("var total = 1\nexit Total + Cnt", strict),
              error_line(kErrUndefinedVariable, 2, "exit Total + Cnt", "Cnt"));
    EXPECT_EQ(value("var a = 1\n{ var b = a + 1; a = b }\nexit a", strict), "2");
    EXPECT_EQ(value("function f(p) { var q = p; return q + w }\nvar w = 2\nexit f(1)", strict), "3");
    EXPECT_EQ(error_code("{ var b = 1 }\nexit b", strict), kErrUndefinedVariable);
}

TEST(EvalIndexing, PositionsExtendArrays) {
    EXPECT_EQ(value("a[3] = 1; b = {}; b[2] = 1; c = 5; c[1] = 2; d = \"str\"; d[0] = 2; exit {a, b, c, d}"),
              "{\"a\":{0,0,0,1},\"b\":{0,0,1},\"c\":{0,2},\"d\":{2}}");
    EXPECT_EQ(value("a = {1}; x = a[2]; exit {length(a), x}"), "{3,\"x\":0}");  // reading extends too
    EXPECT_EQ(value("a = {1, {2}}; a[1][3] = 7; exit a"), "{1,{2,0,0,7}}");
    EXPECT_EQ(value("a = {1, 2}; exit {a[1.9], a[-0.5]}"), "{2,1}");  // reals are truncated
    EXPECT_EQ(eval("{1}[4]"), "0");  // a temporary grows without trouble
    EXPECT_EQ(first_error("a = {1}\nx = a[-1]"), error_line(kErrNegativeIndex, 2, "x = a[-1]"));
    EXPECT_EQ(error_code("a = {1}; x = a[-1.5]"), kErrNegativeIndex);
    EXPECT_EQ(error_code("a = {1}; x = a[{0}]"), kErrIllegalArrayOperator);
}

TEST(EvalIndexing, KeysAreCaseFoldedInIndexesLiteralsAndArguments) {
    EXPECT_EQ(eval("{\"Key\": 1}[\"key\"]"), "1");
    EXPECT_EQ(value("a[\"Key\"] = 1; a[\"KEY\"] = 2; exit a"), "{\"key\":2}");
    EXPECT_EQ(value("a = {1, 2}; a[\"x\"] = 3; exit {a[2], length(a), a[\"X\"]}"), "{3,3,3}");
    EXPECT_EQ(value("a = {\"k\": 7, 8}; exit a[0] * 10 + a[1]"), "78");
    EXPECT_EQ(value("s = \"str\"; s[\"K\"] = 1; exit s"), "{\"k\":1}");
    EXPECT_EQ(value("a = {\"x\": {\"y\": 1}}; a[\"X\"][\"Y\"] = 2; exit a"), "{\"x\":{\"y\":2}}");
    EXPECT_EQ(value("a[\"\xC3\x84\"] = 1; a[\"\xC3\xA4\"] = 2; exit length(a)"), "2");  // only ASCII folds
    EXPECT_EQ(eval("{\"Key\": 1, \"K2\": {\"In\": 2}}"), "{\"key\":1,\"k2\":{\"in\":2}}");
    EXPECT_EQ(value("k = \"abc\"; exit {k: 1}"), "{\"abc\":1}");
    EXPECT_EQ(eval("{0: 1, \"\": 2}"), "{1,2}");  // only non-empty strings become keys
    EXPECT_EQ(value("a = 1; exit {a, a + 1, c = 5}"), "{\"a\":1,2,\"c\":5}");
    EXPECT_EQ(value("function f(x) { return x * 2 }\nexit f(\"Name\": 3)"), "6");
    EXPECT_EQ(eval("{}"), "{}");
}

TEST(EvalOperators, ArrayAndStringOperands) {
    // Arrays compare element by element (keys are not compared); + appends.
    EXPECT_EQ(eval("{{1, {2}} == {1, {2}}, {1, 2} == {1, 2, 3}, {\"a\": 1} == {\"b\": 1}, {\"1\"} == {1}, "
                   "{1} == 1, {1} != \"x\"}"),
              "{1,0,1,1,0,1}");
    EXPECT_EQ(eval("{{1, 2} + {3}, {} + {3}, {1} + 5, \"x\" + {1}}"), "{{1,2,3},{3},{1},{1}}");
    EXPECT_EQ(value("a = {1}; b = a + a; b[0] = 9; exit {a, b}"), "{\"a\":{1},\"b\":{9,1}}");
    for (const char* op : {"-", "*", "/", "%", "<", ">=", "&", "|", "^", "<<", ">>>"})
        EXPECT_EQ(error_code(std::string("x = {1} ") + op + " 1"), kErrIllegalArrayOperator) << op;

    EXPECT_EQ(eval("{\"1\" == 1, \"0.5000000000000000\" == 0.5, \"abc\" == \"ABC\", \"\" != \"\"}"), "{1,1,0,0}");
    EXPECT_EQ(eval("{\"a\" + 1 + 2, 1 + 2 + \"a\"}"), "{\"a12\",\"3a\"}");
    EXPECT_EQ(first_error("x = \"a\" < \"b\""), error_line(kErrIllegalOperator, 1, "x = \"a\" < \"b\""));
    for (const char* op : {"-", "*", "/", "%", ">", "<=", "&", "|", "^", "<<", ">>"})
        EXPECT_EQ(error_code(std::string("x = \"4\" ") + op + " 2"), kErrIllegalOperator) << op;
}

TEST(EvalOperators, NumberOperands) {
    EXPECT_EQ(eval("{1.0 == 1, 1.5 + 1.5, istype(1.5 + 1.5), 0.1 + 0.2, .5 * 3}"),
              "{1,3,0,0.3000000000000000,1.5000000000000000}");
    EXPECT_EQ(eval("{2.5 < 3, 2.5 >= 2.5, 2.5 != 2.5, 7.5 % 2, -7.9 % 3}"), "{1,1,0,1,-1}");
    EXPECT_EQ(eval("{6.9 & 3, 1.5 | 4, 3.2 ^ 1, 1.5 << 2, -1.5 >> 1}"), "{2,5,2,4,-1}");
    EXPECT_EQ(eval("{-1.0 >>> 28, -1.0 <<< 31}"), "{15,-2147483648}");
    EXPECT_EQ(eval("{7 / 2, -7 / 2, 6 / 2, istype(6 / 2)}"), "{3.5000000000000000,-3.5000000000000000,3,0}");
    RunOptions basic;
    basic.ksc5 = false;
    EXPECT_EQ(run_ksc("exit -7 / 2\n", basic).result, "-3");
    EXPECT_EQ(eval("{-7 % 2, 7 % -2, 2147483647 + 1, -2147483647 - 2, 65536 * 65536}"),
              "{-1,1,-2147483648,2147483647,0}");
    EXPECT_EQ(value("m = -2147483647 - 1; exit {m / -1, m % -1}"), "{-2147483648,0}");
    EXPECT_EQ(eval("{1 << 33, -16 >> 2, -16 >>> 28, -1 <<< 4, 1 <<< 33, 8 >> -31}"), "{2,-4,15,-16,2,4}");
    EXPECT_EQ(eval("{6 & 3, 6 | 3, 6 ^ 3, 3 <= 3, 3 > 3}"), "{2,7,5,1,0}");
    EXPECT_EQ(first_error("x = 5 % 0"), error_line(kErrDivisionByZero, 1, "x = 5 % 0"));
    for (const char* s : {"x = 5 / 0", "x = 5; x /= 0", "x = 1.0 / 0", "x = 7.9 % 0.5"})
        EXPECT_EQ(error_code(s), kErrDivisionByZero) << s;
}

TEST(EvalOperators, UnaryOperators) {
    EXPECT_EQ(eval("{!\"\", !\"a\", !0, !5, !0.0, !0.5}"), "{1,0,1,0,1,0}");
    EXPECT_EQ(eval("{-2.5, +2.5, ~2.7, ~-1, -(-2147483647 - 1)}"),
              "{-2.5000000000000000,2.5000000000000000,-3,0,-2147483648}");
    EXPECT_EQ(value("x = 1.5; y = ++x; z = --x; exit {x, y, z}"),
              "{\"x\":1.5000000000000000,\"y\":2.5000000000000000,\"z\":1.5000000000000000}");
    for (const char* e : {"!{1}", "-\"a\"", "+\"1\"", "~\"a\"", "-{1}", "~{}", "++s", "s++"})
        EXPECT_EQ(error_code(std::string("s = \"a\"; x = ") + e), kErrIllegalOperator) << e;
}

TEST(EvalControl, TruthinessAndShortCircuit) {
    const std::pair<const char*, const char*> cases[] = {{"0.1", "1"}, {"0.0", "0"}, {"\"0\"", "1"}, {"\"\"", "0"},
                                                         {"{0}", "1"}, {"{}", "0"},   {"-1", "1"}};
    for (const auto& c : cases)
        EXPECT_EQ(value(std::string("v = ") + c.first + "; r = 0; if (v) { r = 1 }; exit r"), c.second) << c.first;
    EXPECT_EQ(eval("{2 && \"x\", 0 || {}, 0.5 && 3, \"\" || 0}"), "{1,0,1,0}");
    // The right side is skipped when the left decides.
    const std::string side = "n = 0\nfunction side() { n++; return 1 }\n";
    EXPECT_EQ(value(side + "a = 0 && side(); b = 1 || side(); exit {n, a, b}"), "{\"n\":0,\"a\":0,\"b\":1}");
    EXPECT_EQ(value(side + "a = 1 && side(); b = 0 || side(); exit {n, a, b}"), "{\"n\":2,\"a\":1,\"b\":1}");
    EXPECT_EQ(value("x = 0 && 1 / 0; y = 1 || z[-1]; exit {x, y}"), "{\"x\":0,\"y\":1}");
}

TEST(EvalControl, PostIncrementsWaitForTheStatementEnd) {
    EXPECT_EQ(value("i = 0; j = i++ + i++; exit {i, j}"), "{\"i\":2,\"j\":0}");
    EXPECT_EQ(value("i = 0; j = i++ + i++\nexit {i, j}"), "{\"i\":2,\"j\":0}");
    EXPECT_EQ(value("i = 5; j = i-- - i; exit {i, j}"), "{\"i\":4,\"j\":0}");
    EXPECT_EQ(value("function f(v) { return v }\ni = 5; r = f(i++); exit {r, i}"), "{\"r\":5,\"i\":6}");
    EXPECT_EQ(value("a = {1, 2}; i = 0; a[i++] = i; exit {a, i}"), "{\"a\":{0,2},\"i\":1}");
    EXPECT_EQ(value("x = 2.5; x++; exit x"), "3.5000000000000000");
    // In conditions they happen when the condition is taken: otherwise the
    // loop would never see its counter move.
    EXPECT_EQ(value("i = 0; n = 0\nwhile (i++ < 3) { n = n + 1 }\nexit {i, n}"), "{\"i\":4,\"n\":3}");
    EXPECT_EQ(value("i = 3; x = 0; if (i++ < 3) { x = 1 } else { x = i }\nexit x"), "4");
    EXPECT_EQ(value("i = 0; n = 0\ndo { n = i } while (i++ < 2)\nexit {i, n}"), "{\"i\":3,\"n\":2}");
    EXPECT_EQ(value("i = 1; x = 0\nswitch (i++) {\ncase 1: x = i\n}\nexit x"), "2");
    EXPECT_EQ(value("for (i = 0, k = 0; k++ < 3; i++) { }\nexit {i, k}"), "{\"i\":3,\"k\":4}");
}

TEST(EvalControl, SwitchFallsThroughAndPassesLoopJumpsOn) {
    EXPECT_EQ(value("s = \"\"\nfor (i = 0; i < 4; i++) {\n  switch (i) {\n    case 0:\n      s = s + \"a\"\n"
                    "    case 1:\n      s = s + \"b\"\n      break\n    case 2:\n      s = s + \"c\"\n      continue\n"
                    "    default:\n      s = s + \"d\"\n  }\n  s = s + \".\"\n}\nexit s\n"),
              "ab.b.cd.");
    EXPECT_EQ(value("s = \"\"; i = 0\nwhile (i < 5) {\n  i++\n  switch (i) { case 2: continue\n case 4: break }\n"
                    "  s = s + i\n}\nexit s"),
              "1345");
    EXPECT_EQ(value("switch (\"1\") { case 1: exit \"one\"\ndefault: exit \"other\" }"), "one");
    EXPECT_EQ(value("x = \"\"\nswitch (3) { default: x = x + \"d\"\ncase 1: x = x + \"1\" }\nexit x"), "d1");
    EXPECT_EQ(value("x = 0\nswitch (3) { case 1: x = 1 }\nexit x"), "0");
    EXPECT_EQ(value("n = 0\nfunction c(v) { n++; return v }\nswitch (2) { case c(1): case c(2): case c(3): }\nexit n"),
              "2");  // case expressions are evaluated until the match
}

TEST(EvalControl, WalkResults) {
    EXPECT_EQ(run_ksc("x = 1\nbreak\nx = 2").rc, 1);
    EXPECT_EQ(run_ksc("continue").rc, 2);
    RunOutput r = run_ksc("return 5");
    EXPECT_EQ(r.rc, -3);
    EXPECT_EQ(r.result, "5");
    r = run_ksc("print(1)\nx = 1 / 0\nprint(2)");
    EXPECT_EQ(r.rc, -1);
    EXPECT_EQ(r.printed, "1");
    EXPECT_EQ(value("i = 0\nwhile (1) { while (1) { break }\ni++\nif (i == 3) { break } }\nexit i"), "3");
    EXPECT_EQ(value("s = 0\nfor (i = 0; i < 5; i++) { if (i % 2) { continue }\ns += i }\nexit s"), "6");
    EXPECT_EQ(value("for (i = 0; i < 5; i++) { { { exit i * 10 } } }"), "0");
}

TEST(EvalLineMode, LineFeedsKeepValuesAndSemicolonsDropThem) {
    RunOptions lines;
    lines.line_mode = true;
    using V = std::vector<std::string>;
    EXPECT_EQ(run_ksc("1 + 2\n\"a\", 4\n", lines).stack, (V{"3", "a", "4"}));
    EXPECT_EQ(run_ksc("x = 5; 6\n", lines).stack, V{"6"});
    EXPECT_EQ(run_ksc("1\n2;\n", lines).stack, V{});
    EXPECT_EQ(run_ksc("1\nx++;\n", lines).stack, V{});
    EXPECT_EQ(run_ksc("x = 5\nx++\nx\n", lines).stack, (V{"5", "5", "6"}));
    // Kept values do not follow the variable.
    EXPECT_EQ(run_ksc("s = \"a\" + \"b\"\ns = \"c\" + \"d\"\n", lines).stack, (V{"ab", "cd"}));
    EXPECT_EQ(run_ksc("1 + 2\n\"a\", 4\n").stack, V{});
}

// What a debugger paused on a line sees: every visible variable with its
// scope depth, innermost first, in creation order within a scope.
TEST(EvalDebugger, StepCallbackSeesVisibleVariablesByScope) {
    struct Seen {
        std::vector<std::string> lines;
    } seen;
    RunOptions options;
    options.step_ctx = &seen;
    options.step = [](ksc::Scope* s, const ksc::SyntaxNode* n, void* ctx) {
        auto* out = static_cast<Seen*>(ctx);
        if (!n || n->line != 2 || !out->lines.empty()) return 0;
        ksc::scope_visit_variables(
            s,
            [](int depth, const char16_t* name, const ksc::Value* v, void* c) {
                static_cast<Seen*>(c)->lines.push_back(std::to_string(depth) + " " + u8(name) + "=" +
                                                       u8(ksc::value_display(v, false)));
            },
            ctx);
        return 0;
    };
    RunOutput r = run_ksc("a = {1, \"x\"}\nfunction f(x) { b = x * 2\nreturn b }\nexit f(5)", options);
    EXPECT_EQ(r.result, "10");
    EXPECT_EQ(seen.lines, (std::vector<std::string>{"0 x=5", "0 b=10", "1 a={1,\"x\"}"}));
}
