// Scripts that import DESKOPS, run by the built zvs_cmd: the library is
// found by #import, its results reach the script, and its failures become
// the engine's error lines. Runs in an English and a Japanese environment.
//
// The Windows zvs_cmd writes in the ANSI code page; under code page 1252 it
// cannot show Japanese. The library's Japanese messages are checked exactly
// by the library tests; here they are compared as far as the console can
// carry them.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

#include "zv_test_support.h"

#ifdef _WIN32
#include <windows.h>
#endif

using zv::test::tr;

namespace {

#ifdef _WIN32
bool console_shows_japanese() { return GetACP() == 932; }

std::string system_text(DWORD code) {
    char buf[512];
    wchar_t w[256];
    DWORD n = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, w, 256,
                             nullptr);
    while (n && wcschr(L"\r\n \t", w[n - 1])) --n;
    return std::string(buf, size_t(WideCharToMultiByte(CP_UTF8, 0, w, int(n), buf, sizeof buf, nullptr, nullptr)));
}
#else
bool console_shows_japanese() { return true; }
std::string system_text(int code) { return strerror(code); }
#endif

// What the console shows of a text: all of it, or a '?' for each character
// its code page cannot show.
std::string shown(const std::string& text) {
    if (console_shows_japanese()) return text;
    std::string out;
    for (char c : text)
        if ((c & 0xC0) != 0x80) out += (c & 0x80) ? '?' : c;  // one '?' per lead byte
    return out;
}

// Runs source as main.ksc, importing DESKOPS, in a fresh directory; returns
// the output as UTF-8.
std::string run(const std::string& source) {
    zv::test::RunResult r = zv::test::run_script("#import(\"DESKOPS\")\n" + source);
    EXPECT_FALSE(r.timed_out);
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(r.err, "");  // sanitizer reports land here
    return zv::test::from_console(r.out);
}

}  // namespace

// Strings, integers, arrays of both, keyed and nested arrays reach the
// script; keys are looked up ignoring case.
TEST(DeskopsScript, ImportedFunctionsAnswerCalls) {
    EXPECT_EQ(run(R"ksc(print("[" + trim("  a b\r\n") + "|" + to_upper("abc") + "|" + substring("abcdef", -2) + "]\n")
print(str_match("*.TXT", "readme.txt") + " " + in_string("abcabc", "c", 3) + "\n")
error(split("a,,b,", ","))
error(string_to_bytes("A", "utf-16"))
error(json_to_array("{\"Name\": \"x\", \"n\": [1, 2.5, true, null]}"))
print(json_to_array("{\"Name\": \"x\"}")["NAME"] + " " + array_to_json({1, "k": {2, "s"}}) + "\n")
)ksc"),
              "[a b|ABC|ef]\n"
              "1 5\n"
              "{\"a\",\"\",\"b\"}\n"
              "{65,0}\n"
              "{\"Name\":\"x\",\"n\":{1,2.5000000000000000,1,0}}\n"
              "x [1, \"k\": [2, \"s\"]]\n");  // a keyed element keeps its name, even in an array
}

TEST(DeskopsScript, FailuresBecomeErrorLines) {
    const std::string function_error = tr("Function error", "関数実行中にエラーが発生しました");
#ifdef _WIN32
    const std::string no_path = system_text(ERROR_PATH_NOT_FOUND);
#else
    const std::string no_path = system_text(ENOENT);
#endif
    const struct {
        std::string call;
        std::string message;  // in front of the engine's own text; empty: missing arguments
    } cases[] = {
        {"substring(\"abc\", 1.5)", "引数は数値のみです。"},
        {"trim(12)", "引数は文字列のみです。"},
        {"regex_replace(\"a\", \"a\", 3)", "引数は文字列のみです。"},
        {"array_to_json(\"x\")", "引数はリストのみです。"},
        {"put_log({1}, \"x\")", "引数に配列は指定できません。"},
        {"base64_encode(1)", "引数は配列か文字列のみです。"},
        {"put_log(\"missing/x.log\", 1)", no_path},  // relative to the script's fresh directory
        {"trim()", ""},
        {"regex_match(\"a\")", ""},
    };
    for (const auto& c : cases) {
        std::string line = "Error: [main.ksc]: " +
                           (c.message.empty() ? tr("Too few arguments", "引数が少なすぎます") : c.message + function_error) +
                           "(3): " + c.call + "\n";
        EXPECT_EQ(run("print(\"<\")\n" + c.call + "\nprint(\">\")\n"), shown("<" + line)) << c.call;
    }
}
