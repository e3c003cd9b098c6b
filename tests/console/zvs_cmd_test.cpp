// End-to-end tests of zvs_cmd: the built program runs on scripts written into
// a fresh temporary directory; its whole standard output and its exit code
// are compared.  Registered with LOCALES: usage and error texts are checked
// in English and in Japanese.
//
// Console encoding: natively zvs_cmd writes UTF-8.  The Windows build writes
// through the C runtime in the ANSI code page (932 under a Japanese Wine,
// 1252 under an English one) and in text mode (CR LF); the helpers below
// turn that back into UTF-8 with plain line feeds, and encode standard input
// the same way.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "zv_test_support.h"

#ifdef _WIN32
#  ifndef WIN32_LEAN_AND_MEAN
#    define WIN32_LEAN_AND_MEAN
#  endif
#  include <windows.h>
#else
#  include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace {

using zv::test::from_console;
using zv::test::japanese;
using zv::test::tr;

#ifdef _WIN32
std::string convert(const std::string& s, UINT from, UINT to) {
  if (s.empty()) return s;
  int n = MultiByteToWideChar(from, 0, s.data(), int(s.size()), nullptr, 0);
  std::wstring w(size_t(n), L'\0');
  MultiByteToWideChar(from, 0, s.data(), int(s.size()), w.data(), n);
  int m = WideCharToMultiByte(to, 0, w.data(), n, nullptr, 0, nullptr, nullptr);
  std::string out(size_t(m), '\0');
  WideCharToMultiByte(to, 0, w.data(), n, out.data(), m, nullptr, nullptr);
  return out;
}
#endif

std::string to_console(const std::string& utf8) {
#ifdef _WIN32
  return convert(utf8, CP_UTF8, GetACP());
#else
  return utf8;
#endif
}

// Non-ASCII text the console output can carry in this environment.
std::string sample_text() {
#ifdef _WIN32
  return japanese() ? "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E\xE3\x83\x86\xE3\x82\xAD\xE3\x82\xB9\xE3\x83\x88"  // 日本語テキスト
                    : "Gr\xC3\xBC\xC3\x9F" "e caf\xC3\xA9";  // Grüße café
#else
  return "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E Gr\xC3\xBC\xC3\x9F" "e";  // 日本語 Grüße
#endif
}

// UTF-16 length of BMP-only UTF-8 text: one unit per lead byte.
std::string utf16_length(const std::string& utf8) {
  size_t n = 0;
  for (unsigned char c : utf8)
    if ((c & 0xC0) != 0x80) ++n;
  return std::to_string(n);
}

// zvs_cmd ends with -1 when it cannot load its script.
constexpr int kLoadFailedExit =
#ifdef _WIN32
    -1;  // 0xFFFFFFFF
#else
    255;
#endif

// A fresh directory for one test's scripts, removed with everything in it.
class ScriptDir {
 public:
  ScriptDir() {
    static std::atomic<int> counter{0};
#ifdef _WIN32
    unsigned long pid = GetCurrentProcessId();
#else
    unsigned long pid = (unsigned long)getpid();
#endif
    path_ = fs::temp_directory_path() /
            ("zvs_cmd_test-" + std::to_string(pid) + "-" + std::to_string(++counter));
    fs::remove_all(path_);
    fs::create_directories(path_);
  }
  ~ScriptDir() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
  ScriptDir(const ScriptDir&) = delete;
  ScriptDir& operator=(const ScriptDir&) = delete;

  std::string path() const { return path_.u8string(); }
  std::string file(const std::string& name) const { return (path_ / fs::u8path(name)).u8string(); }

  // Writes a script with the given bytes (UTF-8, used as is).
  void write(const std::string& name, const std::string& bytes) const {
    fs::path file = path_ / fs::u8path(name);
    fs::create_directories(file.parent_path());
    std::ofstream out(file, std::ios::binary);
    out << bytes;
    ASSERT_TRUE(out.good()) << "cannot write " << name;
  }

 private:
  fs::path path_;
};

struct Result {
  int exit_code = 0;
  std::string out;  // UTF-8, line feeds only
};

// Runs zvs_cmd in dir with args, feeding input (UTF-8) to its standard input.
Result zvs(const ScriptDir& dir, const std::vector<std::string>& args, const std::string& input = "") {
  zv::test::RunOptions options;
  options.working_dir = dir.path();
  options.stdin_data = to_console(input);
  options.timeout_ms = 30000;
  zv::test::RunResult r = zv::test::run_program(zv::test::program_path("zvs_cmd"), args, options);
  std::string command = "zvs_cmd";
  for (const auto& a : args) command += " " + a;
  EXPECT_FALSE(r.timed_out) << command;
  // Sanitizer reports and crashes show up here.
  EXPECT_EQ(r.err, "") << command;
  return {r.exit_code, from_console(r.out)};
}

// Writes main.ksc with source and runs it.
Result run_script(const std::string& source, const std::vector<std::string>& options = {},
                  const std::string& input = "") {
  ScriptDir dir;
  dir.write("main.ksc", source);
  std::vector<std::string> args = options;
  args.push_back("main.ksc");
  return zvs(dir, args, input);
}

std::string usage_text() {
  if (!japanese())
    return "ksccmd [/psxv] [file.ksc] [arg1[ arg2...]]\n"
           "\n"
           "  p\t\tKSC Mode\n"
           "  s\t\tStrict\n"
           "  x\t\tHex result\n"
           "  v\t\tVersion\n"
           "\n"
           "  file.ksc\tExecution script file\n"
           "\n"
           "  arg1\t\tCommand line\n"
           "\n";
  return "ksccmd [/psxv] [file.ksc] [arg1[ arg2...]]\n"
         "\n"
         "  p\t\tKSC Mode\n"
         "  s\t\t変数宣言を強制 (通常実行時)\n"
         "  x\t\t結果を16進数で表示\n"
         "  v\t\tバージョン表示\n"
         "\n"
         "  file.ksc\t実行するスクリプトファイル\n"
         "         \tファイル名の指定が無い場合はライン実行を行う\n"
         "\n"
         "  arg1\t\tスクリプトに渡す引数\n"
         "         \targvで引数の配列、argcで引数の数\n"
         "\n";
}

std::string division_by_zero() { return tr("Division by zero", "0 で除算をしました"); }

}  // namespace

// ---- command line ---------------------------------------------------------

TEST(ZvsCmdOptions, UsageWhereverTheQuestionMarkIs) {
  ScriptDir dir;
  dir.write("main.ksc", "print(\"ran\")");
  // '?' is tested before 'v' and before the script would run.
  for (std::vector<std::string> args : {std::vector<std::string>{"/?"}, {"-x?"}, {"/v?", "main.ksc"}}) {
    Result r = zvs(dir, args);
    EXPECT_EQ(r.exit_code, 0) << args[0];
    EXPECT_EQ(r.out, usage_text()) << args[0];
  }
}

TEST(ZvsCmdOptions, VersionLineWithoutNewline) {
  const std::string expected = "zvs_cmd Ver " + std::to_string(ZV_VERSION_MAJOR) + "." +
                               std::to_string(ZV_VERSION_MINOR) + "." + std::to_string(ZV_VERSION_BUILD);
  ScriptDir dir;
  dir.write("main.ksc", "print(\"ran\")");
  for (std::vector<std::string> args : {std::vector<std::string>{"/V"}, {"-xv", "main.ksc"}}) {
    Result r = zvs(dir, args);
    EXPECT_EQ(r.exit_code, 0) << args[0];
    EXPECT_EQ(r.out, expected) << args[0];
  }
}

TEST(ZvsCmdArguments, ArgvAndArgcFollowTheScript) {
  ScriptDir dir;
  dir.write("main.ksc", "print(argc)\nprint(\"|\")\nerror(argv)\nif (argc > 1) {\n  print(argv[1])\n}\n");
  Result r = zvs(dir, {"main.ksc", "a", "b c", sample_text()});
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.out, "3|{\"a\",\"b c\",\"" + sample_text() + "\"}\nb c");

  // Options come before the script and are not passed on.
  r = zvs(dir, {"/x", "main.ksc", "only"});
  EXPECT_EQ(r.out, "1|{\"only\"}\n");

  // Without arguments neither variable exists.
  r = zvs(dir, {"/s", "main.ksc"});
  EXPECT_EQ(r.out, "Error: [main.ksc]: argc" + tr(" :Undefined variable", " :変数が定義されていません") +
                       "(1): print(argc)\n");
}

// ---- results and exit codes ------------------------------------------------

TEST(ZvsCmdResults, ExitAndReturnValuesArePrinted) {
  struct Case {
    std::string source;
    std::vector<std::string> options;
    std::string out;
  };
  const Case cases[] = {
      {"exit 255", {}, "255\n"},
      {"exit 255", {"/x"}, "0xFF\n"},
      {"exit -1", {"-X"}, "0xFFFFFFFF\n"},
      {"exit 2.5", {"/x"}, "2.5000000000000000\n"},
      {"exit \"text\"", {}, "text\n"},
      {"exit {1, \"a\", {2}}", {}, "{1,\"a\",{2}}\n"},
      {"exit {1, \"a\", {2}}", {"/x"}, "{0x1,\"a\",{0x2}}\n"},
      {"x = 3\nreturn x * 2\nprint(\"after\")", {}, "6\n"},
      {"print(\"a\")\nexit\nprint(\"b\")", {}, "a"},
      // exit inside a function ends the whole run.
      {"function f() {\n  exit 3\n}\nf()\nprint(\"no\")", {}, "3\n"},
      // Integer division only in the basic dialect.
      {"exit 7 / 2", {}, "3.5000000000000000\n"},
      {"exit 7 / 2", {"/p"}, "3\n"},
  };
  for (const Case& c : cases) {
    Result r = run_script(c.source, c.options);
    EXPECT_EQ(r.exit_code, 0) << c.source;
    EXPECT_EQ(r.out, c.out) << c.source << (c.options.empty() ? "" : " with " + c.options[0]);
  }
}

TEST(ZvsCmdErrors, RunTimeErrorStopsTheScriptButExitsWithZero) {
  Result r = run_script("print(\"a\")\nx = 1 / 0\nprint(\"b\")");
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.out, "aError: [main.ksc]: " + division_by_zero() + "(2): x = 1 / 0\n");

  // A syntax error: nothing runs, and the script counts as not loaded.
  r = run_script("print(\"a\")\nx = (1 + 2\nprint(\"b\")\n");
  EXPECT_EQ(r.exit_code, kLoadFailedExit);
  EXPECT_EQ(r.out, "Error: [main.ksc]: " + tr("Unbalanced parentheses", "対応する括弧がありません") +
                       "(2): x = (1 + 2\n");

  // An empty script is not a failure: it runs and does nothing.
  // Nor is one that holds only its byte-order mark.
  for (const char* empty : {"", "\xEF\xBB\xBF"}) {
    r = run_script(empty);
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(r.out, "");
  }
}

TEST(ZvsCmdErrors, MissingScriptFile) {
  ScriptDir dir;
  std::string path = dir.file("missing.ksc");
  Result r = zvs(dir, {path, "arg"});
  EXPECT_EQ(r.exit_code, kLoadFailedExit);
  EXPECT_EQ(r.out, "Error: [missing.ksc]: " + tr("File open error", "ファイルオープンに失敗しました") + "(0): " +
                       path + "\n");
}

// ---- imports -----------------------------------------------------------------

TEST(ZvsCmdImport, ErrorsInImportedFilesShowTheirOwnNameAndLine) {
  ScriptDir dir;
  dir.write("funcs.ksc", "// helpers\nfunction half(x) {\n  return x / 0\n}\n");
  // Fails at its top level: reported, and the importing script goes on.
  dir.write("broken.ksc", "a = 1\n\nb = a / 0\n");
  dir.write("main.ksc",
            "#import(\"funcs.ksc\")\n"
            "#import(\"broken.ksc\")\n"
            "print(\"main \")\n"
            "half(4)\n"
            "print(\"not reached\")\n");
  Result r = zvs(dir, {"main.ksc"});
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.out, "Error: [broken.ksc]: " + division_by_zero() + "(3): b = a / 0\n" +
                       "main Error: [funcs.ksc]: " + division_by_zero() + "(3): return x / 0\n");
}

TEST(ZvsCmdImport, WildcardLoadsEveryOtherFileOnceButNotTheImporter) {
  ScriptDir dir;
  dir.write("a.ksc", "#import(\"b.ksc\")\nprint(\"a\\n\")\nfunction fa() {\n  return 1\n}\n");
  dir.write("b.ksc", "print(\"b\\n\")\nfunction fb() {\n  return 20\n}\n");
  dir.write("c.ksc", "print(\"c\\n\")\nfunction fc() {\n  return 300\n}\n");
  dir.write("notes.txt", "print(\"txt\\n\")\n");
  dir.write("main.ksc",
            "#import(\"*.ksc\")\n"
            "#import(\"*.ksc\")\n"
            "print(\"main \" + (fa() + fb() + fc()) + \"\\n\")\n");
  Result r = zvs(dir, {"main.ksc"});
  EXPECT_EQ(r.exit_code, 0);
  // The directory order is the file system's: compare the lines as a set,
  // except that b (imported by a) runs before a.
  std::vector<std::string> lines;
  std::string line;
  for (char c : r.out) {
    if (c != '\n') {
      line += c;
      continue;
    }
    lines.push_back(line);
    line.clear();
  }
  ASSERT_EQ(lines.size(), 4u) << r.out;
  EXPECT_EQ(lines.back(), "main 321");
  std::vector<std::string> imported(lines.begin(), lines.end() - 1);
  std::sort(imported.begin(), imported.end());
  EXPECT_EQ(imported, (std::vector<std::string>{"a", "b", "c"})) << r.out;
  EXPECT_LT(std::find(lines.begin(), lines.end(), "b"), std::find(lines.begin(), lines.end(), "a")) << r.out;
}

TEST(ZvsCmdImport, SameFileImportedTwiceRunsOnce) {
  ScriptDir dir;
  dir.write("common.ksc", "print(\"common \")\nfunction twice(x) {\n  return x * 2\n}\n");
  dir.write("other.ksc", "#import(\"common.ksc\")\nfunction quad(x) {\n  return twice(twice(x))\n}\n");
  dir.write("main.ksc",
            "#import(\"common.ksc\")\n"
            "#import(\"other.ksc\")\n"
            "#import(\"common.ksc\")\n"
            "print(quad(3))\n");
  Result r = zvs(dir, {"main.ksc"});
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.out, "common 12");
}

TEST(ZvsCmdImport, ScriptDirectoryFirstThenCurrentDirectory) {
  ScriptDir dir;  // the current directory of zvs_cmd
  dir.write("both.ksc", "function where() {\n  return \"cwd\"\n}\n");
  dir.write("cwd_only.ksc", "function only() {\n  return \"cwd only\"\n}\n");
  dir.write("scripts/both.ksc", "function where() {\n  return \"script dir\"\n}\n");
  dir.write("scripts/main.ksc",
            "#import(\"both.ksc\")\n#import(\"cwd_only.ksc\")\nprint(where() + \"|\" + only())\n");
  Result r = zvs(dir, {"scripts/main.ksc"});
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.out, "script dir|cwd only");
}

// ---- encoding ------------------------------------------------------------------

TEST(ZvsCmdEncoding, CharactersTheConsoleCannotShowDoNotCutTheLine) {
  // U+3042 and U+0416: an English Windows console shows neither, a Japanese
  // one both; either way the rest of the line must still come out.
  Result r = run_script("print(\"a\" + char(12354) + \"b\" + char(1046) + \"c\")\nprint(\"|end\")");
  EXPECT_EQ(r.exit_code, 0);
#ifdef _WIN32
  EXPECT_EQ(r.out, japanese() ? "a\xE3\x81\x82" "b\xD0\x96" "c|end" : "a?b?c|end");
#else
  EXPECT_EQ(r.out, "a\xE3\x81\x82" "b\xD0\x96" "c|end");
#endif
}

TEST(ZvsCmdEncoding, Utf8ScriptsWithAndWithoutByteOrderMark) {
  const std::string text = sample_text();
  const std::string body = "s = \"" + text + "\"\nprint(s + \"|\" + length(s) + \"|\")\nx = 1 / 0\n";
  const std::string expected = text + "|" + utf16_length(text) + "|Error: [main.ksc]: " + division_by_zero() +
                               "(3): x = 1 / 0\n";
  for (const std::string& bom : {std::string(), std::string("\xEF\xBB\xBF")}) {
    Result r = run_script(bom + body);
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(r.out, expected) << (bom.empty() ? "without" : "with") << " byte-order mark";
  }
}

// ---- line mode ---------------------------------------------------------------------

TEST(ZvsCmdLineMode, StatementsFromStandardInput) {
  ScriptDir dir;
  Result r = zvs(dir, {},
                 "1+2\n"
                 "1+2;\n"
                 "a = 5\n"
                 "a * 2\n"
                 "1/0\n"
                 "function sq(x) { return x * x }\n"
                 "b = 1; c = 2\n"
                 "\n"
                 "sq(a) + b + c, \"t\" + a\n");
  EXPECT_EQ(r.exit_code, 0);
  // Every value left by a line, bottom first.
  EXPECT_EQ(r.out, "3\n5\n10\nError: " + division_by_zero() + "(1): 1/0\n2\n28\nt5\n");
}

TEST(ZvsCmdLineMode, OptionsAndEnd) {
  ScriptDir dir;
  // Hex results; exit ends line mode.
  Result r = zvs(dir, {"/x"}, "255\n2.5\nexit 16\n1\n");
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.out, "0xFF\n2.5000000000000000\n0x10\n");

  // /s does not make line mode strict.
  r = zvs(dir, {"/s"}, "n\nn = 4\n");
  EXPECT_EQ(r.out, "0\n4\n");

  // Input ending without a line feed still runs.
  r = zvs(dir, {}, "6 * 7");
  EXPECT_EQ(r.out, "42\n");
}

// ---- input() --------------------------------------------------------------------------

TEST(ZvsCmdInput, ReadsLinesFromRedirectedStandardInput) {
  const std::string text = sample_text();
  Result r = run_script("a = input()\nb = input()\nc = input()\nprint(a + \"|\" + b + \"|\" + c + \"|\" + length(b))",
                        {}, "first line\r\n" + text + "\n");
  EXPECT_EQ(r.exit_code, 0);
  // At the end of input, input() gives the empty string.
  EXPECT_EQ(r.out, "first line|" + text + "||" + utf16_length(text));
}

// ---- function libraries ---------------------------------------------------------------

TEST(ZvsCmdLibrary, ArgumentsAndResultsCrossTheInterface) {
  Result r = run_script(
      "#import(\"ksc_testlib\")\n"
      "v = 7\n"
      "error(describe())\n"
      "error(describe(1, 2.5, \"x\", {1, 2, 3}, \"Key\": \"val\", v))\n"
      "s = greet(\"" + sample_text() + "\")\n"
      "error(s + \"|\" + length(s))\n"
      "error(pairs(\"Name\", \"zarvo\", \"\", 7, \"SIZE\", 2.5, \"list\", {1, {2}}))\n"
      // Assignment copies names, not labels.
      "p = pairs(\"Name\", \"zarvo\", \"\", 7, \"SIZE\", 2.5)\n"
      "error(p)\n"
      "error(p[\"name\"] + \"|\" + p[\"NAME\"] + \"|\" + p[\"size\"] + \"|\" + getkey(p, 0) + \"|\" + getkey(p, 1))\n"
      "e = echo({1, \"k\": \"v\", {2, \"z\"}})\n"
      "error(e)\n"
      "e = echo(e)\n"
      "error(e[\"k\"])\n");
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.out,
            "none\n"
            "int:1,real,string:x,array:3,key=string:val,&int:7\n"
            "Hello, " + sample_text() + "!|" + std::to_string(std::stoi(utf16_length(sample_text())) + 8) + "\n"
            "{\"Name\":\"zarvo\",7,\"SIZE\":2.5000000000000000,\"list\":{1,{2}}}\n"
            "{\"name\":\"zarvo\",7,\"size\":2.5000000000000000}\n"
            "zarvo|zarvo|2.5000000000000000|name|\n"
            "{1,\"k\":\"v\",{2,\"z\"}}\n"
            "v\n");
}

TEST(ZvsCmdLibrary, ReturnCodes) {
  const std::string too_few = tr("Too few arguments", "引数が少なすぎます");
  struct Case {
    std::string call;
    std::string out;  // a failure ends the script before "after"
  };
  const Case cases[] = {
      {"error(need2(40, 2))", "42\nafter\n"},
      // errbuf goes in front of the message, without a separator.
      {"fail(\"x is bad\")", "Error: [main.ksc]: x is bad" +
                                  tr("Function error", "関数実行中にエラーが発生しました") +
                                  "(3): fail(\"x is bad\")\n"},
      {"need2(1)", "Error: [main.ksc]: " + too_few + "(3): need2(1)\n"},
      {"need2()", "Error: [main.ksc]: " + too_few + "(3): need2()\n"},
      {"halt()", ""},  // any other negative code: silent stop
  };
  for (const Case& c : cases) {
    Result r = run_script("#library(\"ksc_testlib\")\nerror(\"before\")\n" + c.call + "\nerror(\"after\")\n");
    EXPECT_EQ(r.exit_code, 0) << c.call;
    EXPECT_EQ(r.out, "before\n" + c.out) << c.call;
  }
}

TEST(ZvsCmdLibrary, LibraryPrintReplacesTheBuiltIn) {
  const std::string script = "print(\"hi \")\nprint(12)\n";
  EXPECT_EQ(run_script(script).out, "hi 12");
  EXPECT_EQ(run_script("#import(\"ksc_testlib\")\n" + script).out, "[testlib] hi [testlib] 12");
  EXPECT_EQ(run_script("#library(\"ksc_testlib\")\n" + script).out, "[testlib] hi [testlib] 12");
}

TEST(ZvsCmdLibrary, MissingLibraryIsIgnoredUntilCalled) {
  Result r = run_script("#library(\"ksc_no_such_library\")\nprint(\"loaded \")\ngreet(\"x\")\n");
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.out, "loaded Error: [main.ksc]: " + tr("Function not Found", "関数が見つかりません") + "(3): greet(\"x\")\n");
}
