// The lexer, driven directly on UTF-16 text and through whole snippets.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>

#include "builtins.h"
#include "eval.h"
#include "ksc_harness.h"
#include "lexer.h"
#include "unit.h"

using namespace ksc;
using namespace ksc_test;

namespace {

std::vector<std::string> g_errors;

int32_t KSC_STDCALL keep_error(Scope*, Node* args, Node*, char16_t*) {
    if (args) g_errors.push_back(u8(value_text(args->value)));
    return 0;
}

// Lexes text in place, the way the parser does, with its own unit and scope.
struct Lexer {
    ScriptUnit* unit;
    Scope* scope;
    LexState ls;

    explicit Lexer(const std::u16string& text, bool ksc5 = true) {
        builtins_init(keep_error, nullptr, nullptr);
        g_errors.clear();
        unit = unit_new_root(u"", u"lex.ksc", false, ksc5);
        scope = scope_new(unit, nullptr);
        unit->text = str_dup(text.data(), text.size());  // exact size: overreads show
        unit->text_len = text.size();
        lex_init(&ls, scope, unit->text, text.size(), ksc5);
    }
    ~Lexer() {
        scope_free(scope);
        unit_free(unit);
    }
};

const char* const kTokenNames[] = {
    "EOF", "LF", ";", ",", "#", ":", "(", ")", "{", "}", "[", "]", "INT", "REAL", "STR", "NAME", "CALL", "KW",
    "!", "u+", "u-", "~", "++x", "--x", "x++", "x--", "*", "/", "%", "+", "-", "<<", ">>", "<<<", ">>>",
    "<", "<=", ">", ">=", "==", "!=", "&", "^", "|", "&&", "||", "=", "op=",
};
static_assert(sizeof kTokenNames / sizeof *kTokenNames == T_COMPOUND + 1, "one name per token kind");
const char* const kKeywordNames[] = {"var",    "exit", "if",      "else",    "while",  "for",    "do",
                                     "break",  "continue", "switch", "case", "default", "return", "function"};

// The tokens of text, space-separated: numbers by value (reals with an R),
// keywords by their word, compound assignments by their operator; an error
// ends the list as "!<code>".
std::string lex(const std::u16string& text, bool ksc5 = true) {
    Lexer lx(text, ksc5);
    std::string tokens;
    for (size_t guard = 0; guard <= text.size() + 1; ++guard) {
        int32_t t = lex_next(&lx.ls);
        if (t == T_EOF) return tokens;
        if (!tokens.empty()) tokens += ' ';
        if (t == T_ERROR) {
            EXPECT_EQ(g_errors.size(), 1u) << u8(text);
            return tokens + "!" + std::to_string(g_errors.empty() ? -1 : line_error_code(g_errors[0]));
        }
        char real[40];
        snprintf(real, sizeof real, "R%g", lx.ls.rval);
        tokens += t == T_INT       ? std::to_string(lx.ls.ival)
                  : t == T_REAL    ? std::string(real)
                  : t == T_KEYWORD ? std::string(kKeywordNames[lx.ls.keyword])
                  : t == T_COMPOUND ? std::string(kTokenNames[lx.ls.compound_op]) + "="
                                    : std::string(kTokenNames[t]);
        EXPECT_LE(lx.ls.pos, lx.ls.end);
    }
    ADD_FAILURE() << "no progress: " << u8(text);
    return tokens;
}

struct Case {
    std::u16string text;
    const char* tokens;
};

void expect_tokens(std::initializer_list<Case> cases, bool ksc5 = true) {
    for (const Case& c : cases) EXPECT_EQ(lex(c.text, ksc5), c.tokens) << u8(c.text);
}

}  // namespace

TEST(Lexer, OperandExpectedDecidesTheReading) {
    expect_tokens({
        {u"-1 - -1", "u- 1 - u- 1"}, {u"!a != +b", "! NAME != u+ NAME"}, {u"a++ + ++b--", "NAME x++ + ++x NAME x--"},
        {u"(a)[0]", "( NAME ) [ 0 ]"}, {u"~x & y | z ^ w", "~ NAME & NAME | NAME ^ NAME"},
        {u"a<=b>=c<d>e==f", "NAME <= NAME >= NAME < NAME > NAME == NAME"},
        {u"a<<b>>c<<<d>>>e*f/g%h", "NAME << NAME >> NAME <<< NAME >>> NAME * NAME / NAME % NAME"},
        {u"a && b || c", "NAME && NAME || NAME"}, {u"{k : v};#,", "{ NAME : NAME } ; # ,"}, {u"&x", "NAME"},
        // operators where an operand belongs, operands after an operand
        {u"* 1", "!0"}, {u"a ~ b", "NAME !0"}, {u"a = = 1", "NAME = !0"}, {u"a !b", "NAME !0"}, {u"[1]", "!0"},
        {u"$", "!0"}, {u"a 1", "NAME !1"}, {u"a b", "NAME !1"}, {u"1 (2)", "1 !1"}, {u"a {1}", "NAME !1"},
        {u"a 'x'", "NAME !1"}, {u"a $", "NAME !1"},
    });
    // The basic dialect has no bit operators, ++/--, ':' or compound assignments.
    expect_tokens({{u"a & b", "NAME !0"}, {u"a | b", "NAME !0"}, {u"a ^ b", "NAME !0"}, {u"~a", "!0"},
                   {u"x = --1", "NAME = !0"}, {u"a : b", "NAME !0"}, {u"a << b", "NAME < !0"},
                   {u"a += 1", "NAME + !0"}, {u"a + -b && !c", "NAME + u- NAME && ! NAME"}},
                  false);
}

TEST(Lexer, LineFeedsAndComments) {
    expect_tokens({
        {u"a = 1 +\n2", "NAME = 1 + 2"}, {u"\n\na\nb\n", "NAME LF NAME LF"}, {u"a;\nb", "NAME ; NAME"},
        {u"f(1,\n2)", "CALL ( 1 , 2 )"}, {u"(\n1\n)", "( 1 LF )"}, {u"x = {\n1,\n2\n}", "NAME = { 1 , 2 LF }"},
        {u"if\nx", "if NAME"},
        // exit, break, continue and return end the statement at a line feed
        {u"exit\n1", "exit LF 1"}, {u"break\nx", "break LF NAME"}, {u"continue\n", "continue LF"},
        {u"return\n-1", "return LF u- 1"},
        // comments end before the line feed; brackets inside them do not count
        {u"a // c\r\nb", "NAME LF NAME"}, {u"a // c", "NAME"}, {u"//", ""}, {u"a = // c\n 1", "NAME = 1"},
        {u"/", "!0"}, {u"x = \"//\"", "NAME = STR"}, {u"x = (1 // )\n)", "NAME = ( 1 LF )"},
    });
    expect_tokens({{u"exit\n1", "exit LF 1"}}, false);
    Lexer lx(u"a = 1 +\n\n2");
    while (lex_next(&lx.ls) > T_EOF) {
    }
    EXPECT_EQ(lx.ls.line, 2);  // skipped line feeds count too
}

TEST(Lexer, Strings) {
    expect_tokens({{u"'a\\'b' + \"x'y\" + \"\"", "STR + STR + STR"}, {u"x = (\")\"", "NAME = !5"},
                   {u"f(\")\", ')', \"\\\"(\")", "CALL ( STR , STR , STR )"}, {u"\"abc", "!0"}, {u"'abc\\", "!0"},
                   {u"\"abc\\\"", "!0"}, {u"x = 'abc\" + 1", "NAME = !0"}});
    expect_tokens({{u"x = \"a\"", "NAME = !0"}}, false);
    Lexer lx(u"'a\\'b'");
    EXPECT_EQ(lex_next(&lx.ls), T_STRING);
    EXPECT_EQ(std::u16string(lx.ls.text_start, lx.ls.text_end), u"a\\'b");  // escapes wait for evaluation

    EXPECT_EQ(out("print(\"q\\\"q\\x41\\101\\'\\\\|\\q\\x4a4b\" + 'tab\\tend\\n')"),
              "q\"qAA'\\|\\q\xE4\xA9\x8Btab\tend\n");
}

TEST(Lexer, Numbers) {
    expect_tokens({
        {u"0x1F", "31"}, {u"0XfF", "255"}, {u"0xFFFFFFFF", "-1"}, {u"0x100000001", "1"}, {u"017", "15"}, {u"09", "0"},
        {u"0778", "63"}, {u"00", "0"}, {u"2147483648", "-2147483648"}, {u"4294967297", "1"},
        {u"1.5", "R1.5"}, {u".5", "R0.5"}, {u"08.5", "R8.5"}, {u"1.", "R1"},
        {u"1.2.3", "!0"}, {u"x = 1..2", "NAME = !0"}, {u"0x", "!0"}, {u"0xg", "!0"}, {u"1e3", "1 !1"},
    });
    // The basic dialect reads digits and dots as an integer.
    expect_tokens({{u"7.9", "7"}, {u"1.2.3", "1"}, {u"017", "17"}, {u".5", "0"}, {u"0x1F", "0 !1"}}, false);
    EXPECT_EQ(eval("017 + 0x10 + 09 + .5"), "31.5000000000000000");
}

TEST(Lexer, KeywordsAndCallNames) {
    expect_tokens({
        {u"WHILE While while wHiLe", "while while while while"}, {u"VAR x", "var NAME"}, {u"FOR", "for"},
        {u"Function", "function"},
        {u"whiles", "NAME"}, {u"_if", "NAME"}, {u"if2", "NAME"},
        // a name followed by blanks and "(" is a call name
        {u"f(1)", "CALL ( 1 )"}, {u"f \t\u3000 (1)", "CALL ( 1 )"}, {u"f\n(1)", "NAME LF ( 1 )"},
        {u"f\r(1)", "NAME !1"}, {u"if (1)", "if ( 1 )"},
    });
    expect_tokens({{u"Var x", "var NAME"}, {u"for", "NAME"}, {u"f(1)", "NAME !1"}}, false);
    EXPECT_EQ(out("i = 0\nWHILE (i < 3) { i = i + 1 }\nWhile (i < 5) { i++ }\nIF (i == 5) { print   (i) }"), "5");
    RunOptions basic;
    basic.ksc5 = false;
    EXPECT_EQ(run_ksc("VAR i\nWhile (i < 4) { i = i + 1 }\nEXIT i", basic).result, "4");
}

TEST(Lexer, CompoundAssignments) {
    expect_tokens({{u"a += 1 -= *= /= %=", "NAME += 1 -= !0"},
                   {u"a &= b |= c ^= d <<= e >>= f <<<= g >>>= h",
                    "NAME &= NAME |= NAME ^= NAME <<= NAME >>= NAME <<<= NAME >>>= NAME"}});
    const std::pair<const char*, const char*> cases[] = {
        {"x = 12; x += 3", "15"}, {"x = 12; x -= 1 + 2", "9"}, {"x = 12; x *= 3", "36"}, {"x = 12; x %= 5", "2"},
        {"x = 12; x /= 8", "1.5000000000000000"}, {"x = 12; x &= 10", "8"}, {"x = 12; x |= 3", "15"},
        {"x = 12; x ^= 10", "6"}, {"x = 3; x <<= 4", "48"}, {"x = -16; x >>= 2", "-4"}, {"x = 1; x <<<= 31", "-2147483648"},
        {"x = -16; x >>>= 28", "15"}, {"x = \"a\"; x += 1; x += \"b\"", "a1b"}, {"x = {1}; x[0] += 5", "{6}"},
    };
    for (const auto& c : cases) EXPECT_EQ(run_ksc(std::string(c.first) + "\nexit x").result, c.second) << c.first;
}

// Hostile input: nothing may crash, hang or read past the text (the
// sanitizers watch), and an error comes once.
TEST(Lexer, NulSurrogatesAndUnterminatedInput) {
    expect_tokens({
        {std::u16string(u"a = 1\0 + (2", 11), "NAME = 1"}, {std::u16string(u"x = (1\0)", 8), "NAME = !5"},
        {u"\xD800", "!0"}, {u"a \xDC00", "NAME !1"}, {u"a\xDBFF", "NAME !1"}, {u"'\xD800' + \"\xDFFF\"", "STR + STR"},
        {u"// \xDFFF\na", "NAME"}, {u"\"\xD800", "!0"},
    });
    EXPECT_EQ(out(std::string("x = 4\0x = 5 +", 13) + "\nprint(x)"), "");  // nothing after the NUL is seen

    for (const char* s :
         {"x = \"abc", "x = 'a\\", "x = 1 +", "x = {", "x = a[", "x = f(", "x = 1 /", "#option(", "#"}) {
        RunOutput r = run_ksc(s);
        EXPECT_FALSE(r.parsed) << s;
        EXPECT_EQ(r.errors.size(), 1u) << s;
    }
    EXPECT_TRUE(run_ksc("x = 1 //").errors.empty());
}

TEST(Lexer, HugeLines) {
    std::string big(1 << 20, 'a');
    EXPECT_EQ(out("x = \"" + big + "\"\nprint(length(x))"), "1048576");
    EXPECT_EQ(out("x = 2 //" + big + "\nprint(x)"), "2");
    EXPECT_EQ(out("print" + std::string(1 << 20, ' ') + "(3)"), "3");
    std::string sum = "x = 0";
    for (int i = 0; i < 100000; ++i) sum += "+1";
    EXPECT_EQ(out(sum + "\nprint(x)"), "100000");
}

// 100,000 nested brackets: a bracket match that rescans the rest of the text
// for every bracket would take ~10^10 steps here.
TEST(Lexer, DeepNestingFailsQuickly) {
    const int n = 100000;
    auto started = std::chrono::steady_clock::now();
    // The lexer alone sees every bracket (the parser gives up on the nesting
    // long before).
    std::u16string index = u"a";
    for (int i = 0; i < n; ++i) index += u"[a";
    index += std::u16string(n, u']');
    for (const std::u16string& text : {std::u16string(n, u'(') + u"1" + std::u16string(n, u')'),
                                       std::u16string(n, u'{') + std::u16string(n, u'}'), index}) {
        Lexer lx(text);
        size_t tokens = 0;
        while (lex_next(&lx.ls) > T_EOF) ++tokens;
        EXPECT_EQ(lx.ls.token, T_EOF);
        EXPECT_EQ(tokens, text.size());
    }
    // The parse of unclosed brackets ends with one error (index: any error).
    const std::string open = "x = " + std::string(n, '(');
    for (const std::string& text : {open, open + "1" + std::string(n - 1, ')'), "x = " + u8(index)}) {
        RunOutput r = run_ksc(text);
        EXPECT_FALSE(r.parsed);
        ASSERT_EQ(r.errors.size(), 1u);
        EXPECT_TRUE(text.back() == ']' || error_code(r) == kErrUnbalanced) << r.errors[0];
    }
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count(), 10.0);
}
