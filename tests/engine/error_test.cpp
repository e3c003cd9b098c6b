// Error messages and the composed error line handed to the host's error().
// The binary runs once in an English and once in a Japanese environment, so
// expected lines take their message in the language the engine must pick.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "engine.h"
#include "eval.h"
#include "ksc_harness.h"
#include "platform.h"
#include "unit.h"

using namespace ksc_test;
namespace fs = std::filesystem;

namespace {

RunOptions named(const char* file) {
    RunOptions o;
    o.file_name = file;
    return o;
}

}  // namespace

TEST(ErrorMessages, TableInBothLanguages) {
    const char* table[16][2] = {
        {"Syntax error", "構文エラー"}, {"Operators are required", "演算子が必要です"},
        {" :Undefined variable", " :変数が定義されていません"},
        {" :Duplicate variable declaration", " :変数の宣言が重複しています"},
        {"Array index is negative value", "配列のインデックスが負の値になっています"},
        {"Unbalanced parentheses", "対応する括弧がありません"},
        {"Block'{...}' expected", "ブロック「{\xEF\xBD\x9E}」がありません"},  // U+FF5E
        {"Division by zero", "0 で除算をしました"}, {"Illegal operator", "不正な演算子です"},
        {"Illegal operator to array", "配列に使えない演算子です"}, {"Alloc failed", "メモリの確保に失敗しました"},
        {"Too few arguments", "引数が少なすぎます"}, {"File open error", "ファイルオープンに失敗しました"},
        {"Read error in script or library", "スクリプトまたはライブラリの読み込みに失敗しました"},
        {"Function not Found", "関数が見つかりません"},
        {"Function error", "関数実行中にエラーが発生しました"},
    };
    for (int code = 0; code < 16; ++code) {
        EXPECT_EQ(u8(ksc::error_message(code, false)), table[code][0]) << code;
        EXPECT_EQ(u8(ksc::error_message(code, true)), table[code][1]) << code;
        EXPECT_EQ(u8(ksc::error_message(code)), table[code][zv::ui_japanese() ? 1 : 0]) << code;
    }
}

TEST(ErrorMessages, LanguageFollowsTheEnvironment) {
    const char* env = std::getenv("LC_ALL");
    if (!env || !*env) env = std::getenv("LANG");
    if (!env || !*env) GTEST_SKIP() << "neither LC_ALL nor LANG is set";
    EXPECT_EQ(zv::ui_japanese(), std::strncmp(env, "ja", 2) == 0) << env;

    EXPECT_EQ(first_error("a = 1\nb = 2\nx = 1 / 0\n", named("a.ksc")),
              std::string("Error: [a.ksc]: ") + (zv::ui_japanese() ? "0 で除算をしました" : "Division by zero") +
                  "(3): x = 1 / 0");
}

TEST(ErrorLine, ComposedFromFileExtraTextLineAndSource) {
    EXPECT_EQ(first_error("var a, b, a\n"), error_line(3, 1, "var a, b, a", "a"));
    // Leading blanks are skipped; a carriage return or line feed ends the text.
    EXPECT_EQ(first_error("if (1) {\r\n\t  \t x = 1 / 0\r\n}\r\n"), error_line(7, 2, "x = 1 / 0"));
    // The line of the failing node, not of the statement's start.
    EXPECT_EQ(first_error("x = 1 +\n   1 / 0\n"), error_line(7, 2, "1 / 0"));
    // The last line without a line feed.
    EXPECT_EQ(first_error("\n\n\nx = {1} * 2"), error_line(9, 4, "x = {1} * 2"));
    // Without a file name there is no file part.
    EXPECT_EQ(first_error("1/0", named(nullptr)), "Error: " + message(7) + "(1): 1/0");

    // The main script's errors carry their line as an argument.
    RunOutput r = run_ksc("function f(x) {\n  return x / 0\n}\n\nf(1)\n");
    ASSERT_EQ(r.errors.size(), 1u);
    EXPECT_EQ(r.errors[0], error_line(7, 2, "return x / 0"));
    EXPECT_EQ(r.error_lines, std::vector<int>{2});

    // An error is reported once, even when it passes through calls.
    r = run_ksc("function g() {\n return {} - 1\n}\nfunction h() {\n return g() + 1\n}\nh()\n");
    EXPECT_EQ(r.errors.size(), 1u);
    EXPECT_EQ(r.error_lines, std::vector<int>{2});
}

TEST(ErrorLine, ImportedFileGivesItsNameAndNoLineArgument) {
    // Unique per run: the English and the Japanese run may go in parallel.
    auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    fs::path dir = fs::temp_directory_path() /
                   ("ksc_error_test_" + std::to_string(stamp) + (zv::ui_japanese() ? "j" : "e"));
    fs::create_directories(dir);
    std::ofstream(dir / "lib.ksc", std::ios::binary) << "// helper\nfunction g(n) {\n\n\treturn n % 0\n}\n";
    fs::path old = fs::current_path();
    fs::current_path(dir);
    RunOutput r = run_ksc("#import(\"lib.ksc\")\nx = 1\ng(4)\n", named("main.ksc"));
    fs::current_path(old);
    fs::remove_all(dir);

    ASSERT_EQ(r.errors.size(), 1u);
    EXPECT_EQ(r.errors[0], "Error: [lib.ksc]: " + message(7) + "(4): return n % 0");
    EXPECT_EQ(r.error_lines, std::vector<int>{-1});
}

TEST(ErrorLine, PositionOutsideTheText) {
    using namespace ksc;
    ScriptUnit* unit = unit_new_root(u"", u"m.ksc", false, true);
    unit->text = str_dup(u"a = 1\n  b = 2\n");
    unit->text_len = 14;
    Scope* scope = scope_new(unit, nullptr);
    Scope* inner = scope_new(unit, scope);  // the outermost scope supplies the unit
    uint32_t line = 99;
    bool main_unit = false;
    // A path (error 12) is shown whole; the line is 0 unless the scope's own
    // position lies in the text.
    const char16_t* path = u"C:\\scripts\\missing.ksc";
    EXPECT_EQ(u8(compose_error(inner, kErrFileOpen, path, nullptr, &line, &main_unit)),
              "Error: [m.ksc]: " + message(12) + "(0): C:\\scripts\\missing.ksc");
    EXPECT_TRUE(line == 0 && main_unit);
    inner->pos = unit->text + 9;
    EXPECT_EQ(u8(compose_error(inner, kErrFileOpen, path, nullptr, &line, &main_unit)),
              "Error: [m.ksc]: " + message(12) + "(2): C:\\scripts\\missing.ksc");
    EXPECT_EQ(u8(compose_error(inner, kErrAlloc, nullptr, nullptr, &line, &main_unit)),
              "Error: [m.ksc]: " + message(10) + "(2): ");
    scope_free(inner);
    scope_free(scope);
    unit_free(unit);
}
