// End-to-end tests of zvs_cmd: the built program runs on scripts written into
// a fresh temporary directory; its whole output and exit code are compared,
// in English and in Japanese (LOCALES).  Natively zvs_cmd writes UTF-8; the
// Windows build writes in the ANSI code page with CR LF, which the helpers
// turn back into UTF-8 with line feeds (and standard input the other way).
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <sstream>
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
using zv::test::to_console;
using zv::test::japanese;
using zv::test::tr;

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
size_t utf16_length(const std::string& utf8) {
  return size_t(std::count_if(utf8.begin(), utf8.end(), [](char c) { return (c & 0xC0) != 0x80; }));
}

// zvs_cmd ends with -1 when it cannot load its script.
#ifdef _WIN32
constexpr int kLoadFailedExit = -1;  // 0xFFFFFFFF
#else
constexpr int kLoadFailedExit = 255;
#endif

// A fresh directory for one test's scripts, removed with everything in it.
struct ScriptDir {
  fs::path root;
  ScriptDir() {
    static std::atomic<int> counter{0};
#ifdef _WIN32
    unsigned long pid = GetCurrentProcessId();
#else
    unsigned long pid = (unsigned long)getpid();
#endif
    root = fs::temp_directory_path() / ("zvs_cmd_test-" + std::to_string(pid) + "-" + std::to_string(++counter));
    fs::remove_all(root);  // left over by an earlier process with the same id
    fs::create_directories(root);
  }
  ~ScriptDir() {
    std::error_code ignored;
    fs::remove_all(root, ignored);
  }
  std::string path(const std::string& name = "") const { return (root / fs::u8path(name)).u8string(); }
  // Writes a script with the given bytes (UTF-8, used as is).
  void write(const std::string& name, const std::string& bytes) const {
    fs::path file = root / fs::u8path(name);
    fs::create_directories(file.parent_path());
    std::ofstream out(file, std::ios::binary);
    out << bytes;
    ASSERT_TRUE(out.good()) << "cannot write " << name;
  }
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
  EXPECT_EQ(r.err, "") << command;  // sanitizer reports and crashes show up here
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
  return "ksccmd [/psxv] [file.ksc] [arg1[ arg2...]]\n\n  p\t\tKSC Mode\n" +
         tr("  s\t\tStrict\n  x\t\tHex result\n  v\t\tVersion\n\n  file.ksc\tExecution script file\n\n"
            "  arg1\t\tCommand line\n\n",
            "  s\t\t変数宣言を強制 (通常実行時)\n  x\t\t結果を16進数で表示\n  v\t\tバージョン表示\n\n"
            "  file.ksc\t実行するスクリプトファイル\n         \tファイル名の指定が無い場合はライン実行を行う\n\n"
            "  arg1\t\tスクリプトに渡す引数\n         \targvで引数の配列、argcで引数の数\n\n");
}

std::string division_by_zero() { return tr("Division by zero", "0 で除算をしました"); }

}  // namespace

// ---- command line ---------------------------------------------------------

TEST(ZvsCmdOptions, UsageWhereverTheQuestionMarkIsAndVersionWithoutNewline) {
  const std::string version = "zvs_cmd Ver " + std::to_string(ZV_VERSION_MAJOR) + "." +
                              std::to_string(ZV_VERSION_MINOR) + "." + std::to_string(ZV_VERSION_BUILD);
  ScriptDir dir;
  dir.write("main.ksc", "print(\"ran\")");
  // '?' is tested before 'v', and both before the script would run.
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{"/?"}, usage_text()}, {{"-x?"}, usage_text()}, {{"/v?", "main.ksc"}, usage_text()},
      {{"/V"}, version},      {{"-xv", "main.ksc"}, version}};
  for (const auto& c : cases) {
    Result r = zvs(dir, c.first);
    EXPECT_EQ(r.exit_code, 0) << c.first[0];
    EXPECT_EQ(r.out, c.second) << c.first[0];
  }
}

TEST(ZvsCmdArguments, ArgvAndArgcFollowTheScript) {
  ScriptDir dir;
  dir.write("main.ksc", "print(argc)\nprint(\"|\")\nerror(argv)\nif (argc > 1) {\n  print(argv[1])\n}\n");
  Result r = zvs(dir, {"main.ksc", "a", "b c", sample_text()});
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.out, "3|{\"a\",\"b c\",\"" + sample_text() + "\"}\nb c");
  // Options come before the script and are not passed on.
  EXPECT_EQ(zvs(dir, {"/x", "main.ksc", "only"}).out, "1|{\"only\"}\n");
  // Without arguments neither variable exists.
  EXPECT_EQ(zvs(dir, {"/s", "main.ksc"}).out, "Error: [main.ksc]: argc" +
                                                  tr(" :Undefined variable", " :変数が定義されていません") +
                                                  "(1): print(argc)\n");
}

// ---- results, exit codes and errors ------------------------------------------

TEST(ZvsCmdResults, ExitAndReturnValuesArePrinted) {
  struct Case {
    std::string source;
    std::vector<std::string> options;
    std::string out;
  };
  const Case cases[] = {
      {"exit 255", {}, "255\n"}, {"exit 255", {"/x"}, "0xFF\n"}, {"exit -1", {"-X"}, "0xFFFFFFFF\n"},
      {"exit 2.5", {"/x"}, "2.5000000000000000\n"}, {"exit \"text\"", {}, "text\n"},
      {"exit {1, \"a\", {2}}", {}, "{1,\"a\",{2}}\n"}, {"exit {1, \"a\", {2}}", {"/x"}, "{0x1,\"a\",{0x2}}\n"},
      {"x = 3\nreturn x * 2\nprint(\"after\")", {}, "6\n"}, {"print(\"a\")\nexit\nprint(\"b\")", {}, "a"},
      {"function f() {\n  exit 3\n}\nf()\nprint(\"no\")", {}, "3\n"},  // exit in a function ends the run
      {"exit 7 / 2", {}, "3.5000000000000000\n"},
      {"exit 7 / 2", {"/p"}, "3\n"},  // integer division only in the basic dialect
      {"", {}, ""}, {"\xEF\xBB\xBF", {}, ""},  // an empty script, or only a byte-order mark: runs, does nothing
  };
  for (const Case& c : cases) {
    Result r = run_script(c.source, c.options);
    EXPECT_EQ(r.exit_code, 0) << c.source;
    EXPECT_EQ(r.out, c.out) << c.source << (c.options.empty() ? "" : " with " + c.options[0]);
  }
}

TEST(ZvsCmdErrors, RunTimeErrorsExitWithZeroLoadFailuresWithMinusOne) {
  Result r = run_script("print(\"a\")\nx = 1 / 0\nprint(\"b\")");
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.out, "aError: [main.ksc]: " + division_by_zero() + "(2): x = 1 / 0\n");
  // A syntax error: nothing runs, and the script counts as not loaded.
  r = run_script("print(\"a\")\nx = (1 + 2\nprint(\"b\")\n");
  EXPECT_EQ(r.exit_code, kLoadFailedExit);
  EXPECT_EQ(r.out, "Error: [main.ksc]: " + tr("Unbalanced parentheses", "対応する括弧がありません") +
                       "(2): x = (1 + 2\n");
  ScriptDir dir;
  std::string path = dir.path("missing.ksc");
  r = zvs(dir, {path, "arg"});
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
  dir.write("main.ksc", "#import(\"funcs.ksc\")\n#import(\"broken.ksc\")\nprint(\"main \")\nhalf(4)\n"
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
  dir.write("main.ksc", "#import(\"*.ksc\")\n#import(\"*.ksc\")\nprint(\"main \" + (fa() + fb() + fc()) + \"\\n\")\n");
  Result r = zvs(dir, {"main.ksc"});
  EXPECT_EQ(r.exit_code, 0);
  // The directory order is the file system's: compare the lines as a set,
  // except that b (imported by a) runs before a.
  std::vector<std::string> lines;
  std::istringstream in(r.out);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  ASSERT_EQ(lines.size(), 4u) << r.out;
  EXPECT_EQ(lines.back(), "main 321");
  EXPECT_LT(std::find(lines.begin(), lines.end(), "b"), std::find(lines.begin(), lines.end(), "a")) << r.out;
  std::sort(lines.begin(), lines.end() - 1);
  EXPECT_EQ(lines, (std::vector<std::string>{"a", "b", "c", "main 321"})) << r.out;
}

TEST(ZvsCmdImport, SameFileOnceAndScriptDirectoryBeforeCurrentDirectory) {
  ScriptDir dir;  // the current directory of zvs_cmd
  dir.write("common.ksc", "print(\"common \")\nfunction twice(x) {\n  return x * 2\n}\n");
  dir.write("other.ksc", "#import(\"common.ksc\")\nfunction quad(x) {\n  return twice(twice(x))\n}\n");
  dir.write("main.ksc", "#import(\"common.ksc\")\n#import(\"other.ksc\")\n#import(\"common.ksc\")\nprint(quad(3))\n");
  Result r = zvs(dir, {"main.ksc"});
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.out, "common 12");

  dir.write("both.ksc", "function where() {\n  return \"cwd\"\n}\n");
  dir.write("cwd_only.ksc", "function only() {\n  return \"cwd only\"\n}\n");
  dir.write("scripts/both.ksc", "function where() {\n  return \"script dir\"\n}\n");
  dir.write("scripts/main.ksc", "#import(\"both.ksc\")\n#import(\"cwd_only.ksc\")\nprint(where() + \"|\" + only())\n");
  r = zvs(dir, {"scripts/main.ksc"});
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.out, "script dir|cwd only");
}

// ---- encoding, line mode and input() -------------------------------------------

TEST(ZvsCmdEncoding, CharactersTheConsoleCannotShowDoNotCutTheLine) {
  // U+3042 and U+0416: an English Windows console shows neither, a Japanese
  // one both; either way the rest of the line must still come out.
  Result r = run_script("print(\"a\" + char(12354) + \"b\" + char(1046) + \"c\")\nprint(\"|end\")");
  EXPECT_EQ(r.exit_code, 0);
#ifdef _WIN32
  if (!japanese()) {
    EXPECT_EQ(r.out, "a?b?c|end");
    return;
  }
#endif
  EXPECT_EQ(r.out, "a\xE3\x81\x82" "b\xD0\x96" "c|end");
}

TEST(ZvsCmdEncoding, Utf8ScriptsWithAndWithoutByteOrderMark) {
  const std::string text = sample_text();
  const std::string body = "s = \"" + text + "\"\nprint(s + \"|\" + length(s) + \"|\")\nx = 1 / 0\n";
  for (const std::string& bom : {std::string(), std::string("\xEF\xBB\xBF")}) {
    Result r = run_script(bom + body);
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(r.out, text + "|" + std::to_string(utf16_length(text)) + "|Error: [main.ksc]: " + division_by_zero() +
                         "(3): x = 1 / 0\n")
        << (bom.empty() ? "without" : "with") << " byte-order mark";
  }
}

TEST(ZvsCmdLineMode, StatementsFromStandardInput) {
  ScriptDir dir;
  Result r = zvs(dir, {}, "1+2\n1+2;\na = 5\na * 2\n1/0\nfunction sq(x) { return x * x }\nb = 1; c = 2\n\n"
                          "sq(a) + b + c, \"t\" + a\n");
  EXPECT_EQ(r.exit_code, 0);
  // Every value left by a line, bottom first.
  EXPECT_EQ(r.out, "3\n5\n10\nError: " + division_by_zero() + "(1): 1/0\n2\n28\nt5\n");
  // Hex results; exit ends line mode.
  r = zvs(dir, {"/x"}, "255\n2.5\nexit 16\n1\n");
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.out, "0xFF\n2.5000000000000000\n0x10\n");
  EXPECT_EQ(zvs(dir, {"/s"}, "n\nn = 4\n").out, "0\n4\n");  // /s does not make line mode strict
  EXPECT_EQ(zvs(dir, {}, "6 * 7").out, "42\n");  // input ending without a line feed still runs
}

TEST(ZvsCmdInput, ReadsLinesFromRedirectedStandardInput) {
  const std::string text = sample_text();
  Result r = run_script("a = input()\nb = input()\nc = input()\nprint(a + \"|\" + b + \"|\" + c + \"|\" + length(b))",
                        {}, "first line\r\n" + text + "\n");
  EXPECT_EQ(r.exit_code, 0);
  // At the end of input, input() gives the empty string.
  EXPECT_EQ(r.out, "first line|" + text + "||" + std::to_string(utf16_length(text)));
}

// ---- function libraries ---------------------------------------------------------------

TEST(ZvsCmdLibrary, ArgumentsAndResultsCrossTheInterface) {
  Result r = run_script(
      "#import(\"ksc_testlib\")\nv = 7\nerror(describe())\nerror(describe(1, 2.5, \"x\", {1, 2, 3}, \"Key\": \"val\", v))\n"
      "s = greet(\"" + sample_text() + "\")\nerror(s + \"|\" + length(s))\n"
      "error(pairs(\"Name\", \"zarvo\", \"\", 7, \"SIZE\", 2.5, \"list\", {1, {2}}))\n"
      // Assignment copies names, not labels.
      "p = pairs(\"Name\", \"zarvo\", \"\", 7, \"SIZE\", 2.5)\nerror(p)\n"
      "error(p[\"name\"] + \"|\" + p[\"NAME\"] + \"|\" + p[\"size\"] + \"|\" + getkey(p, 0) + \"|\" + getkey(p, 1))\n"
      "e = echo({1, \"k\": \"v\", {2, \"z\"}})\nerror(e)\ne = echo(e)\nerror(e[\"k\"])\n");
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.out,
            "none\nint:1,real,string:x,array:3,key=string:val,&int:7\n"
            "Hello, " + sample_text() + "!|" + std::to_string(utf16_length(sample_text()) + 8) + "\n"
            "{\"Name\":\"zarvo\",7,\"SIZE\":2.5000000000000000,\"list\":{1,{2}}}\n"
            "{\"name\":\"zarvo\",7,\"size\":2.5000000000000000}\n"
            "zarvo|zarvo|2.5000000000000000|name|\n{1,\"k\":\"v\",{2,\"z\"}}\nv\n");
}

TEST(ZvsCmdLibrary, ReturnCodes) {
  const std::string too_few = tr("Too few arguments", "引数が少なすぎます");
  // A failure ends the script before "after".
  const std::pair<std::string, std::string> cases[] = {
      {"error(need2(40, 2))", "42\nafter\n"},
      // errbuf goes in front of the message, without a separator.
      {"fail(\"x is bad\")", "Error: [main.ksc]: x is bad" + tr("Function error", "関数実行中にエラーが発生しました") +
                                  "(3): fail(\"x is bad\")\n"},
      {"need2(1)", "Error: [main.ksc]: " + too_few + "(3): need2(1)\n"},
      {"need2()", "Error: [main.ksc]: " + too_few + "(3): need2()\n"},
      {"halt()", ""},  // any other negative code: silent stop
  };
  for (const auto& c : cases) {
    Result r = run_script("#library(\"ksc_testlib\")\nerror(\"before\")\n" + c.first + "\nerror(\"after\")\n");
    EXPECT_EQ(r.exit_code, 0) << c.first;
    EXPECT_EQ(r.out, "before\n" + c.second) << c.first;
  }
}

TEST(ZvsCmdLibrary, LibraryPrintReplacesTheBuiltInAndAMissingLibraryIsIgnoredUntilCalled) {
  const std::string script = "print(\"hi \")\nprint(12)\n";
  EXPECT_EQ(run_script(script).out, "hi 12");
  EXPECT_EQ(run_script("#import(\"ksc_testlib\")\n" + script).out, "[testlib] hi [testlib] 12");
  EXPECT_EQ(run_script("#library(\"ksc_testlib\")\n" + script).out, "[testlib] hi [testlib] 12");
  Result r = run_script("#library(\"ksc_no_such_library\")\nprint(\"loaded \")\ngreet(\"x\")\n");
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.out, "loaded Error: [main.ksc]: " + tr("Function not Found", "関数が見つかりません") + "(3): greet(\"x\")\n");
}
