// Scripts that import DESKOPS, run by the built zvs_cmd: the library is
// found by #import, its results reach the script, and its failures become
// the engine's error lines. Runs in an English and a Japanese environment.
//
// The Windows zvs_cmd writes in the ANSI code page; under code page 1252 it
// cannot show Japanese, and its output ends at the first such character. The
// library's Japanese messages are checked exactly by the library tests; here
// they are compared as far as the console can carry them.
#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "zv_test_support.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace {

using zv::test::from_console;
using zv::test::japanese;
using zv::test::tr;

#ifdef _WIN32
bool console_shows_japanese() { return GetACP() == 932; }

std::string system_text(DWORD code) {
    char buf[512];
    wchar_t w[256];
    DWORD n = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, w, 256,
                             nullptr);
    while (n && wcschr(L"\r\n \t", w[n - 1])) --n;
    int m = WideCharToMultiByte(CP_UTF8, 0, w, int(n), buf, sizeof buf, nullptr, nullptr);
    return std::string(buf, size_t(m));
}
#else
bool console_shows_japanese() { return true; }
std::string system_text(int code) { return strerror(code); }
#endif

// What the console shows of a line: all of it, or a '?' for each character
// its code page cannot show.
std::string shown(const std::string& text) {
    if (console_shows_japanese()) return text;
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            out += char(c);
        } else if ((c & 0xC0) != 0x80) {
            out += '?';  // the lead byte of a character the console lacks
        }
    }
    return out;
}

class ScriptDir {
public:
    ScriptDir() {
        static std::atomic<int> counter{0};
#ifdef _WIN32
        unsigned long pid = GetCurrentProcessId();
#else
        unsigned long pid = (unsigned long)getpid();
#endif
        path_ = fs::temp_directory_path() / ("deskops_script-" + std::to_string(pid) + "-" + std::to_string(++counter));
        fs::remove_all(path_);
        fs::create_directories(path_);
    }
    ~ScriptDir() {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    std::string file(const std::string& name) const { return (path_ / fs::u8path(name)).u8string(); }

    // Runs main.ksc with the given source; returns the output as UTF-8.
    std::string run(const std::string& source) const {
        std::ofstream(path_ / "main.ksc", std::ios::binary) << source;
        zv::test::RunOptions options;
        options.working_dir = path_.u8string();
        zv::test::RunResult r = zv::test::run_program(zv::test::program_path("zvs_cmd"), {"main.ksc"}, options);
        EXPECT_FALSE(r.timed_out);
        EXPECT_EQ(r.exit_code, 0);
        EXPECT_EQ(r.err, "");  // sanitizer reports land here
        return from_console(r.out);
    }

private:
    fs::path path_;
};

// A path as a ksc string literal's body.
std::string literal(const std::string& path) {
    std::string out;
    for (char c : path) out += c == '\\' ? std::string("\\\\") : std::string(1, c);
    return out;
}

std::string function_error() { return tr("Function error", "関数実行中にエラーが発生しました"); }

}  // namespace

TEST(DeskopsScript, ImportedFunctionsAnswerCalls) {
    ScriptDir dir;
    std::string log = dir.file("run.log");
    std::string out = dir.run(
        "#import(\"DESKOPS\")\n"
        "print(\"[\" + trim(\"  a b\\r\\n\") + \"|\" + to_upper(\"abc\") + \"|\" + substring(\"abcdef\", -2) + \"]\\n\")\n"
        "print(str_match(\"*.TXT\", \"readme.txt\") + \" \" + in_string(\"abcabc\", \"c\", 3) + \"\\n\")\n"
        "error(split(\"a,,b,\", \",\"))\n"
        "error(string_to_bytes(\"A\", \"utf-16\"))\n"
        "error(json_to_array(\"{\\\"Name\\\": \\\"x\\\", \\\"n\\\": [1, 2.5, true, null]}\"))\n"
        "j = json_to_array(\"{\\\"Name\\\": \\\"x\\\"}\")\n"
        "print(j[\"NAME\"] + \" \" + array_to_json({1, \"k\": {2, \"s\"}}) + \"\\n\")\n"
        "print(base64_encode({77, 97, 110}) + \" \" + url_encode(\"a b&c\") + \" \" + url_decode(\"a+b%20c\") + \"\\n\")\n"
        "error(base64_decode(\"TWFu\"))\n"
        "h = header_to_array(\"HTTP/1.1 200 OK\\r\\nContent-Type: text/html\\r\\n\\r\\n\")\n"
        "print(h[\"content-type\"] + \"\\n\")\n"
        "print(put_log(\"" + literal(log) + "\", \"done\"))\n");
    EXPECT_EQ(out,
              "[a b|ABC|ef]\n"
              "1 5\n"
              "{\"a\",\"\",\"b\"}\n"
              "{65,0}\n"
              "{\"Name\":\"x\",\"n\":{1,2.5000000000000000,1,0}}\n"
              "x [1, \"k\": [2, \"s\"]]\n"  // a keyed element keeps its name, even in an array
              "TWFu a%20b%26c a+b c\n"
              "{77,97,110}\n"
              "text/html\n"
              "0");
    std::string logged = zv::test::read_file(log);
    EXPECT_EQ(logged.substr(logged.size() > 6 ? logged.size() - 6 : 0), "done\r\n");
}

TEST(DeskopsScript, FailuresBecomeErrorLines) {
    ScriptDir dir;
    struct Case {
        std::string call;
        std::string message;  // in front of the engine's own text
        bool missing;         // -2: the engine's "too few arguments" instead
    } cases[] = {
        {"substring(\"abc\", 1.5)", "引数は数値のみです。", false},
        {"trim(12)", "引数は文字列のみです。", false},
        {"array_to_json(\"x\")", "引数はリストのみです。", false},
        {"put_log({1}, \"x\")", "引数に配列は指定できません。", false},
        {"base64_encode(1)", "引数は配列か文字列のみです。", false},
#ifdef _WIN32
        {"put_log(\"" + literal(dir.file("missing\\x.log")) + "\", 1)", system_text(ERROR_PATH_NOT_FOUND), false},
#else
        {"put_log(\"" + dir.file("missing/x.log") + "\", 1)", system_text(ENOENT), false},
#endif
        {"trim()", "", true},
        {"split(\"a\")", "", true},
    };
    for (const Case& c : cases) {
        std::string line = "Error: [main.ksc]: " +
                           (c.missing ? tr("Too few arguments", "引数が少なすぎます") : c.message + function_error()) +
                           "(3): " + c.call + "\n";
        EXPECT_EQ(dir.run("#import(\"DESKOPS\")\nprint(\"<\")\n" + c.call + "\nprint(\">\")\n"), shown("<" + line))
            << c.call;
    }
}

#ifdef _WIN32
TEST(DeskopsScript, JapaneseCodePages) {
    // ISO-2022-JP converts where the system has it; Wine 8 lacks it and the
    // call fails with the system's text.
    SetLastError(0);
    bool have_jis = MultiByteToWideChar(50221, 0, "A", -1, nullptr, 0) > 0;
    std::string jis_failure = system_text(GetLastError());
    ScriptDir dir;
    std::string out = dir.run(
        "#import(\"DESKOPS\")\n"
        "s = \"A\xE3\x81\x82\"\n"
        "error(string_to_bytes(s, \"sjis\"))\n"
        "error(string_to_bytes(s, \"euc-jp\"))\n"
        "error(string_to_bytes(s, \"UTF-7\"))\n"
        "error(string_to_bytes(s, -1))\n"
        "print(\"\" + (bytes_to_string({65, 130, 160}, 932) == s) + (bytes_to_string({65, 164, 162}, \"euc\") == s))\n"
        "print(\"\" + (bytes_to_string({65, 43, 77, 69, 73, 45}, 65000) == s) + \"\\n\")\n"
        "error(string_to_bytes(s, \"jis\"))\n");
    std::string expected =
        "{65,130,160}\n"
        "{65,164,162}\n"
        "{65,43,77,69,73,45}\n"
        "{65,0,66,48}\n"
        "111\n";
    expected += have_jis ? "{65,27,36,66,36,34,27,40,66}\n"
                         : shown("Error: [main.ksc]: " + jis_failure + function_error() +
                                 "(9): error(string_to_bytes(s, \"jis\"))\n");
    EXPECT_EQ(out, expected);
}
#endif
