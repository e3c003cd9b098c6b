// User functions, the portable built-ins and the nesting guard.
#include <gtest/gtest.h>

#include <chrono>

#include "ksc_harness.h"

using namespace ksc;
using namespace ksc_test;

TEST(Functions, DefaultsAndTooFewArguments) {
    const std::string f = "function f(a, b = 2) { return a + b }\n";
    EXPECT_EQ(value(f + "exit {f(1), f(1, 5), f(1, 5, 9)}"), "{3,6,6}");
    EXPECT_EQ(first_error(f + "x = f()"), error_line(kErrTooFewArguments, 2, "x = f()"));
    EXPECT_EQ(value("function f(a, b = a * 2, c = b + 1) { return {a, b, c} }\nexit f(3)"),
              "{\"a\":3,\"b\":6,\"c\":7}");
    EXPECT_EQ(error_code("function f(a, a) { }\nf(1, 2)"), kErrDuplicateVariable);
}

TEST(Functions, PlainParametersCopyAndReferenceParametersShare) {
    EXPECT_EQ(value("function inc(&n) { n++ }\nfunction copy(n) { n++ }\nx = 1; y = 1; inc(x); copy(y); exit {x, y}"),
              "{\"x\":2,\"y\":1}");
    EXPECT_EQ(value("function set(&a) { a[1] = 9 }\nfunction copy(a) { a[1] = 9; return a }\n"
                    "u = {1, 2}; set(u); v = {1, 2}; w = copy(v); exit {u, v, w}"),
              "{\"u\":{1,9},\"v\":{1,2},\"w\":{1,9}}");
    EXPECT_EQ(value("function inc(&n) { n += 10 }\na = {1, 2}; inc(a[1]); exit a"), "{1,12}");
    EXPECT_EQ(value("function sw(&a, &b) { var t = a; a = b; b = t }\nx = 1; y = \"s\"; sw(x, y); exit {x, y}"),
              "{\"x\":\"s\",\"y\":1}");
    EXPECT_EQ(value("function f(&n) { n = 5; return n }\nexit f(1)"), "5");  // a temporary is fine
}

TEST(Functions, BodiesRunInTheCallersScope) {
    EXPECT_EQ(value("total = 1\nfunction add(n) { total = total + n }\nadd(5); add(1)\nexit total"), "7");
    EXPECT_EQ(value("total = 1\nfunction f() { var total = 9; return total }\nexit f() * 10 + total"), "91");
    EXPECT_EQ(value("function f() { fresh = 5 }\nf()\nexit fresh"), "0");
    // The parent is the calling scope, so callees see their callers' locals.
    EXPECT_EQ(value("function show() { return v }\nv = 1\nfunction g() { var v = 2; return show() }\n"
                    "exit {g(), show()}"),
              "{2,1}");
    EXPECT_EQ(value("function f() { return b }\n{ var b = 4; r = f(); exit r }"), "4");
}

TEST(Functions, NamesAndResolution) {
    EXPECT_EQ(value("function Foo(a) { return a * 2 }\nexit FOO(4) + foo(1)"), "10");
    EXPECT_EQ(value("function length(x) { return 99 }\nexit length(\"abc\")"), "99");  // before built-ins
    EXPECT_EQ(first_error("x = 1\ny = nothing(1)"), error_line(kErrFunctionNotFound, 2, "y = nothing(1)"));
    RunOptions basic;
    basic.ksc5 = false;
    EXPECT_EQ(run_ksc("x = length(1)", basic).errors.size(), 1u);  // no calls in the basic dialect
}

TEST(Functions, Recursion) {
    EXPECT_EQ(value("function fib(n) {\n  if (n < 2) { return n }\n  return fib(n - 1) + fib(n - 2)\n}\n"
                    "function fact(n) { if (n <= 1) { return 1 }; var r = n * fact(n - 1); return r }\n"
                    "exit {fib(15), fact(10)}"),
              "{610,3628800}");
    EXPECT_EQ(value("function walk(a, d) { if (istype(a) != 3) { return d }\nreturn walk(a[0], d + 1) }\n"
                    "exit walk({{{{1}}}}, 0)"),
              "4");
}

TEST(Functions, ExitReturnAndStrayLoopJumps) {
    RunOutput r = run_ksc("function f() { exit 7 }\nfunction g() { f(); return 1 }\nprint(g())\nexit 99");
    EXPECT_EQ(r.rc, -2);
    EXPECT_EQ(r.result, "7");
    EXPECT_EQ(r.printed, "");
    EXPECT_EQ(value("function f() { return }\nfunction g() { }\nexit {f(), g()}"), "{0,0}");
    EXPECT_EQ(value("function f() { for (i = 0; ; i++) { if (i == 3) { return i * 10 } } }\nexit f()"), "30");
    EXPECT_EQ(value("function f() { while (1) { exit \"out\" } }\nfor (;;) { f() }"), "out");
    EXPECT_EQ(first_error("function f() { break }\nwhile (1) { f() }"), error_line(kErrSyntax, 2, "while (1) { f() }"));
    EXPECT_EQ(error_code("function f() { continue }\nf()"), kErrSyntax);
}

TEST(Builtins, IstypeAndLength) {
    EXPECT_EQ(eval("{istype(1), istype(1.5), istype(\"s\"), istype({}), istype(3.0 * 1), istype(number(\"3.0\"))}"),
              "{0,1,2,3,0,1}");
    EXPECT_EQ(value("x = 2.0; exit {istype(2.0), istype(x)}"), "{1,0}");
    EXPECT_EQ(eval("{length(0.5), length({1, {2, 3}}), length(\"abc\"), length(-12), length(\"\"), length({})}"),
              "{18,2,3,3,0,0}");
    EXPECT_EQ(eval("length(\"\xE3\x81\x82\xF0\x9F\x98\x80\")"), "3");  // UTF-16 code units
}

TEST(Builtins, ArrayStringNumberInt) {
    EXPECT_EQ(eval("{array(\"ab\"), array(\"\"), array(12)}"), "{{\"a\",\"b\"},{},{\"1\",\"2\"}}");
    EXPECT_EQ(value("a = {1, {2}}; b = array(a); b[1][0] = 9; exit {a, b}"), "{\"a\":{1,{2}},\"b\":{1,{9}}}");
    EXPECT_EQ(eval("string({\"a\", 1, {2}, 0.5})"), "a10.5000000000000000");
    EXPECT_EQ(eval("{string(12), string(1.5), string({})}"), "{\"12\",\"1.5000000000000000\",\"\"}");
    EXPECT_EQ(out("print(number(\"12.0\"))"), "12.0000000000000000");
    EXPECT_EQ(eval("{number(\"12\"), number(\"1.5e3\"), number(\" -7x\"), number({\"1\", \".\", \"5\"}), number(\"abc\")}"),
              "{12,1500,-7,1.5000000000000000,0}");
    EXPECT_EQ(eval("{istype(number(\"12\")), istype(number(\"1.5e3\")), istype(number(2.5))}"), "{0,1,1}");
    EXPECT_EQ(eval("{int(\"12abc\"), int(2.9), int(-2.9), int(\"abc\"), int({\"4\", \"2\"}), int(\"2.9\"), int(\" +8\")}"),
              "{12,2,-2,0,42,2,8}");
}

TEST(Builtins, CodeAndChar) {
    EXPECT_EQ(eval("{code(\"AB\", 1), code(\"AB\", 5), code(\"AB\"), code(\"AB\", -3), code({\"X\", \"Y\"}, 1), "
                   "code(65), code(\"AB\", \"1\")}"),
              "{66,0,65,65,89,54,66}");
    EXPECT_EQ(eval("{char(12354), char(65), char(65 + 65536), char(\"66\")}"), "{\"\xE3\x81\x82\",\"A\",\"A\",\"B\"}");
}

TEST(Builtins, GetkeyAndSetkey) {
    EXPECT_EQ(value("a = {1, 2}; r = setkey(a, 0, \"Name\")\n"
                    "exit {a[\"name\"], getkey(a, 0), getkey(a, 1), getkey(a, 9), getkey(5, 0), r}"),
              "{1,\"name\",\"\",\"\",\"\",\"r\":0}");
    EXPECT_EQ(value("a = {\"k\": 1, 2}; setkey(a, 0, \"\"); setkey(a, -1, \"Z\"); exit a"), "{\"z\":1,2}");
    EXPECT_EQ(value("a = {\"k\": 1}; setkey(a, 0, 5); setkey(a, 3, \"x\"); setkey(7, 0, \"x\"); exit a"), "{1}");
    EXPECT_EQ(value("a = {\"k\": 1}; exit getkey(a, \"-4\")"), "k");
}

TEST(Builtins, MissingArguments) {
    for (const char* call : {"istype()", "length()", "array()", "string()", "number()", "int()", "code()", "char()",
                             "getkey({1})", "setkey({1}, 0)"})
        EXPECT_EQ(error_code(std::string("x = ") + call), kErrTooFewArguments) << call;
}

// Scripts nested deeper than the native stack allows end with an error
// instead of a crash, and quickly.
TEST(NestingGuard, EndlessRecursion) {
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(first_error("function f(n) { return f(n + 1) }\nf(0)"),
              error_line(kErrTooDeep, 1, "function f(n) { return f(n + 1) }"));
    EXPECT_EQ(error_code("function f(a = f()) { }\nf()"), kErrTooDeep);
    EXPECT_EQ(error_code("function a(n) { return b(n) }\nfunction b(n) { return {a(n)} }\na(1)"), kErrTooDeep);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
}

TEST(NestingGuard, DeeplyNestedSource) {
    auto nest = [](const std::string& open, const std::string& inner, const std::string& close, int n) {
        std::string s;
        for (int i = 0; i < n; ++i) s += open;
        s += inner;
        for (int i = 0; i < n; ++i) s += close;
        return s;
    };
    auto start = std::chrono::steady_clock::now();
    for (const std::string& s : {"x = " + nest("(", "1", ")", 100000), nest("{", "x = 1", "}", 100000),
                                 "x = " + nest("{", "1", "}", 100000)})
        EXPECT_EQ(parse_error(s), kErrTooDeep);
    // Depths in between may parse; running them then either works or stops
    // with the same error.
    const std::pair<const char*, int> forms[] = {
        {"{", 12000}, {"{", 20000}, {"while (1) {", 12000}, {"switch (1) { case 1: ", 16000}};
    for (const auto& form : forms) {
        RunOutput r = run_ksc(nest(form.first, "exit 4", "}", form.second));
        if (r.errors.empty())
            EXPECT_EQ(r.result, "4") << form.first << form.second;
        else
            EXPECT_EQ(error_code(r), kErrTooDeep) << form.first << form.second;
    }
    EXPECT_EQ(value(nest("{", "exit 4", "}", 1000)), "4");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(60));
}
