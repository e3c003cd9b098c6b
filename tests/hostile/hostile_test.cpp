// The hostile inputs the suite must survive, in one table. Each row builds
// its input in a folder of its own, runs what a user would run on it
// (zvs_cmd, zvb_cmd, or the recorder's store in process) and checks the
// answer the user should get. Nothing may crash (natively the sanitizers
// watch the programs too), hang (every program runs under a timeout) or
// leave anything outside the row's folder: the programs get the row's own
// temporary folder, which must be empty afterwards, and the sandbox holds
// nothing but the rows' folders.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "errors.h"
#include "file_util.h"
#include "recorder_test_util.h"
#include "store.h"
#include "zv_test_support.h"

namespace {

using namespace zvb::test;
using zv::test::from_console;
using zv::test::tr;

#ifdef _WIN32
constexpr int kLoadFailed = -1;  // zvs_cmd: the script could not be loaded
// The product's tree reads the full 200 MB in a 32-bit process in seconds.
constexpr size_t kBigScriptMegabytes = 200;
#else
constexpr int kLoadFailed = 255;
// The sanitizer tree converts text about ten times slower; a tenth of the
// size takes the same reading, conversion and line counting through it.
constexpr size_t kBigScriptMegabytes = 20;
#endif

std::string rep(const std::string& s, size_t n) {
    std::string out;
    out.reserve(s.size() * n);
    for (size_t i = 0; i < n; ++i) out += s;
    return out;
}

std::string u8(const fs::path& p) { return p.u8string(); }

// A program's exit code and output as UTF-8 text without trailing line
// ends.
struct Ran {
    int exit_code;
    std::string out;
    std::string err;
};

fs::path g_temp;  // the current row's temporary folder, for the programs it runs

Ran run(const char* program, const std::vector<std::string>& args, const fs::path& dir) {
    zv::test::RunOptions options;
    options.working_dir = u8(dir);
    options.timeout_ms = 120000;
#ifdef _WIN32
    options.env = {"TMP=" + u8(g_temp), "TEMP=" + u8(g_temp)};
#else
    options.env = {"TMPDIR=" + u8(g_temp)};
#endif
    zv::test::RunResult r = zv::test::run_program(zv::test::program_path(program), args, options);
    EXPECT_FALSE(r.timed_out) << program << " did not end";
    EXPECT_EQ(r.err.find("Sanitizer"), std::string::npos) << r.err;
    auto text = [](const std::string& bytes) {
        std::string t = from_console(bytes);
        while (!t.empty() && (t.back() == '\n' || t.back() == '\r')) t.pop_back();
        return t;
    };
    return Ran{r.exit_code, text(r.out), text(r.err)};
}

bool has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

std::string head(const std::string& text) { return text.substr(0, 400); }

// ---- the rows --------------------------------------------------------------

// Source nested 100,000 deep in every way the parser nests, and a function
// that calls itself without end: error 16, not a stack overflow. Whether
// the parser or the evaluator runs out of stack first depends on the
// stack's size; either way the script stops there (exit code 0 after a run
// time error, the load failure code after a parse error).
void nested_scripts(const fs::path& dir) {
    const size_t n = 100000;
    const struct {
        const char* file;
        std::string text;
    } scripts[] = {
        {"parens.ksc", "x = " + rep("(", n) + "1" + rep(")", n) + "\n"},
        {"blocks.ksc", rep("if (1) {\n", n) + "print(\"never\")\n" + rep("}\n", n)},
        {"arrays.ksc", "a = " + rep("{", n) + rep("}", n) + "\n"},
        {"calls.ksc", "function f(v) {\nreturn v\n}\nx = " + rep("f(", n) + "1" + rep(")", n) + "\n"},
        {"recursion.ksc", "function f(n) {\nreturn f(n + 1)\n}\nf(0)\nprint(\"never\")\n"},
    };
    for (const auto& s : scripts) {
        SCOPED_TRACE(s.file);
        put_bytes(dir / s.file, s.text);
        Ran r = run("zvs_cmd", {s.file}, dir);
        EXPECT_TRUE(r.exit_code == 0 || r.exit_code == kLoadFailed) << r.exit_code;
        EXPECT_TRUE(has(r.out, tr("Nesting too deep", "入れ子が深すぎます"))) << head(r.out);
        EXPECT_FALSE(has(r.out, "never"));
    }
}

// A script of hundreds of megabytes: long comment lines (some Japanese) with
// a statement every thousand lines. It runs, and the error on its last line
// carries that line's number.
void big_script(const fs::path& dir) {
    const size_t chunks = kBigScriptMegabytes;  // a megabyte each: 999 comments and one statement
    std::string comment = "// 記録された操作の説明 ";
    comment += std::string(1000 - comment.size() - 2, 'x') + "\r\n";
    const std::string chunk = rep(comment, 999) + "n++\r\n";
    {
        std::ofstream f(dir / "big.ksc", std::ios::binary);
        f << "n = 0\r\n";
        for (size_t i = 0; i < chunks; ++i) f << chunk;
        f << "print(n)\r\nz = 1 / 0\r\n";
        ASSERT_TRUE(f.good());
    }
    Ran r = run("zvs_cmd", {"big.ksc"}, dir);
    EXPECT_EQ(r.exit_code, 0);
    const size_t last_line = 1 + chunks * 1000 + 2;
    EXPECT_EQ(head(r.out), std::to_string(chunks) + "Error: [big.ksc]: " + tr("Division by zero", "0 で除算をしました") +
                               "(" + std::to_string(last_line) + "): z = 1 / 0");
}

// JSON nested a million deep: the reader keeps what it built down to its
// depth limit of 512 (deeper counts as malformed, which is no error), and
// the writer writes that back.
void deep_json(const fs::path& dir) {
    const size_t n = 1000000;
    put_bytes(dir / "json.ksc",
              "#import(\"DESKOPS\")\n"
              "a = json_to_array(\"" + rep("[", n) + "1" + rep("]", n) + "\")\n"
              "d = 0\n"
              "while (istype(a) == 3) {\na = a[0]\nd++\n}\n"
              "print(d)\nprint(\",\")\n"
              "o = json_to_array(\"" + rep("{\\\"k\\\":", 1000) + "1" + rep("}", 1000) + "\")\n"
              "d = 0\n"
              "while (istype(o) == 3) {\no = o[\"k\"]\nd++\n}\n"
              "print(d)\nprint(\",\")\n"
              "print(length(array_to_json(json_to_array(\"" + rep("[", n) + rep("]", n) + "\"))))\n");
    Ran r = run("zvs_cmd", {"json.ksc"}, dir);
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(r.out, "512,512,1025");
}

// A pattern of 100,000 alternatives, only the last of which matches.
void regex_alternatives(const fs::path& dir) {
    std::string pattern;
    for (int i = 0; i < 100000; ++i) pattern += (i ? "|" : "") + std::to_string(100000 + i);
    put_bytes(dir / "regex.ksc",
              "#import(\"DESKOPS\")\n"
              "p = \"" + pattern + "\"\n"
              "m = regex_match(\"id=199999;\", p)\n"
              "print(m[\"index\"])\nprint(\",\")\nprint(m[\"match\"][0])\nprint(\",\")\n"
              "print(regex_replace(\"100005 x 199998\", p, \"<$0>\"))\n");
    Ran r = run("zvs_cmd", {"regex.ksc"}, dir);
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(r.out, "3,199999,<100005> x <199998>");
}

// One record as the recorder writes it, with its size field set to `size`.
std::string record(uint32_t size, const std::string& title) {
    std::string r = le32(size) + le32(0) + std::string(24, '\0') + le32(1) + text_field(title, 256);
    r += std::string(1064 - r.size(), '\0') + le32(1324);
    return r + std::string(2684 - r.size(), '\0');
}

// Operation files whose size fields lie: longer than the layout, shorter
// than a size field, longer than the file. The dump says where reading
// stopped and why; what was whole imports and plays.
void lying_operation_file(const fs::path& dir) {
    put_bytes(dir / "long.zv", record(2684, "a") + record(2692, "b") + std::string(8, '\1') + le32(3) + "junk");
    put_bytes(dir / "cut.zv", record(2684, "a") + le32(0xFFFFFFF0) + std::string(100, '\0'));
    Ran r = run("zvb_cmd", {"dump", "long.zv"}, dir);
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_TRUE(has(r.out, tr("the record at offset 5376 has the impossible size 3; nothing after it can be read",
                              "オフセット 5376 のレコードサイズ 3 は不正です。以降は読めません")))
        << r.out;
    EXPECT_TRUE(has(r.out, tr("records: 2", "レコード数: 2")));
    r = run("zvb_cmd", {"dump", "cut.zv"}, dir);
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_TRUE(has(r.out, tr("the record at offset 2684 is cut short (104 bytes left)",
                              "オフセット 2684 のレコードが途中で終わっています (残り 104 バイト)")))
        << r.out;
    EXPECT_TRUE(has(r.out, tr("records: 1", "レコード数: 1")));

    fs::create_directories(dir / "user");
    const std::string user = u8(dir / "user");
    EXPECT_EQ(run("zvb_cmd", {"/dir", user, "import", "long.zv", "cut.zv"}, dir).exit_code, 0);
    EXPECT_EQ(run("zvb_cmd", {"/dir", user, "list"}, dir).out, "cut\ttimeline\nlong\ttimeline");
    for (const char* name : {"long", "cut"}) {
        r = run("zvb_cmd", {"/dir", user, "script", name, std::string(name) + ".ksc", "/notify"}, dir);
        EXPECT_EQ(r.exit_code, 0) << r.err;
        // One step notification per whole record.
        std::string script = bytes_of(dir / (std::string(name) + ".ksc"));
        size_t steps = 0;
        for (size_t at = 0; (at = script.find("__select_step(", at)) != std::string::npos; ++at) ++steps;
        EXPECT_EQ(steps, std::string(name) == "long" ? 2u : 1u) << name;
    }
}

// Archives whose blobs run past the end of the file: refused before
// anything is written.
void archive_past_end(const fs::path& dir) {
    put_bytes(dir / "one.zva", "ZVA1" + le32(1000) + std::string(10, 'x'));
    std::string group = "ZVA2" + le32(2) + text_field("\\G", 130) + le32(0) + le32(0);
    group += le32(0) + text_field("\\G\\T", 130) + le32(5000) + record(2684, "t").substr(0, 100);
    put_bytes(dir / "group.zva", group);
    fs::create_directories(dir / "user");
    const std::string user = u8(dir / "user");
    EXPECT_EQ(run("zvb_cmd", {"/dir", user, "list"}, dir).exit_code, 0);
    const std::string before = listing(dir / "user");
    for (const char* archive : {"one.zva", "group.zva"}) {
        Ran r = run("zvb_cmd", {"/dir", user, "import", archive}, dir);
        EXPECT_EQ(r.exit_code, 1) << archive;
        EXPECT_TRUE(has(r.err, tr("The import failed.", "インポートに失敗しました。")) &&
                    has(r.err, tr("The file ends before its data is complete.", "ファイルが途中で終わっています。")))
            << r.err;
        EXPECT_EQ(listing(dir / "user"), before) << archive;
    }
}

// Ten megabytes of sections before the ones that count, in a scenario's
// settings file and in the recorder's own.
void big_settings(const fs::path& dir) {
    std::string junk;
    for (int i = 0; i < 1000; ++i)
        junk += "[JUNK" + std::to_string(i) + "]\r\nkey=" + std::string(80, 'v') + "\r\n";
    const std::string ten_megabytes = rep(junk, 10 * 1024 * 1024 / junk.size() + 1);
    const fs::path user = dir / "user";
    fs::create_directories(user / "data");
    put_bytes(user / "data" / "S.ksc", "#import(\"DESKOPS\")\r\n");
    put_bytes(user / "data" / "S.ksc.ini", ten_megabytes + "[HOTKEY]\r\nmodifiers=2\r\nvirtkey=65\r\n");
    put_bytes(user / "data" / "T.zv", record(2684, "t"));
    put_bytes(user / "zarvo-bot.ini", ten_megabytes + "[PLAY]\r\ncheck_interval=4321\r\n");
    Ran r = run("zvb_cmd", {"/dir", u8(user), "list"}, dir);
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(r.out, "S\tscript\tCtrl+A\nT\ttimeline");
    r = run("zvb_cmd", {"/dir", u8(user), "script", "T", "t.ksc"}, dir);
    EXPECT_EQ(r.exit_code, 0) << r.err;
    EXPECT_TRUE(has(bytes_of(dir / "t.ksc"), "sleep(4321)"));
}

// A name of 255 Japanese characters is a valid name, but no scenario file
// of it fits a path field: creating and renaming fail with "The path is
// too long." and write nothing; looking it up finds nothing.
void long_japanese_name(const fs::path& dir) {
    const std::string kana = "あいうえおかきくけこ";  // three bytes each in UTF-8
    std::string name;
    for (size_t i = 0; i < 255; ++i) name += kana.substr(3 * (i % 10), 3);
    const std::u16string name16 = U16(name);
    ASSERT_EQ(name16.size(), 255u);
    const std::u16string too_long = zvb::error_text(zvb::kErrorPathTooLong);
    {
        zvb::Store s;
        zvb::Message error;
        ASSERT_TRUE(zvb::store_open(&s, U(dir / "user"), &error));
        zvb::store_load(&s);
        EXPECT_EQ(zvb::store_check_name(s.data_folder, name16), 0);
        EXPECT_EQ(zvb::store_create_script(&s, nullptr, name16, &error), nullptr);
        EXPECT_EQ(error.number, 1024);
        EXPECT_EQ(error.detail, too_long);
        EXPECT_EQ(zvb::store_create_group(&s, nullptr, name16, &error), nullptr);
        EXPECT_EQ(error.number, 1020);
        EXPECT_EQ(error.detail, too_long);
        zvb::ScenarioEntry* e = zvb::store_create_script(&s, nullptr, u"short", &error);
        ASSERT_NE(e, nullptr);
        EXPECT_FALSE(zvb::store_rename(&s, e, name16, &error));
        EXPECT_EQ(error.number, 1205);
        EXPECT_EQ(error.detail, too_long);
        EXPECT_EQ(tree_text(s.root), "short*");
        zvb::store_close(&s);
    }
    EXPECT_EQ(listing(dir / "user"), "data.lst data/ data/short.ksc");
    Ran r = run("zvb_cmd", {"/dir", u8(dir / "user"), "export", name, "out.zva"}, dir);
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_TRUE(has(r.err, tr("named on the command line was not found", "が見つかりません"))) << r.err;
    EXPECT_FALSE(fs::exists(dir / "out.zva"));
}

// Paths at the 260-unit limit of the path fields. zvs_cmd runs scripts by
// any path length. A scenario whose settings file path has 259 units is
// imported and listed; with 260 the import is refused and writes nothing
// (it used to copy the file and never list it).
void paths_at_the_limit(const fs::path& dir) {
    // The programs see native paths, and on Windows the drive form.
    const std::string base = u8(fs::absolute(dir)) + std::string(1, fs::path::preferred_separator);
    for (size_t length : {259u, 260u}) {
        SCOPED_TRACE(length);
        const std::string script = base + std::string(length - base.size() - 4, 's') + ".ksc";
        ASSERT_EQ(script.size(), length);
        put_bytes(fs::u8path(script), "print(\"ran\")\n");
        Ran r = run("zvs_cmd", {script}, dir);
        EXPECT_EQ(r.exit_code, 0);
        EXPECT_EQ(r.out, "ran");
    }
    // <user>\data\<name>.ksc.ini of 259 and 260 units.
    const fs::path user = dir / "u";
    fs::create_directories(user);
    const std::string data = u8(fs::absolute(user / "data")) + std::string(1, fs::path::preferred_separator);
    put_bytes(dir / "a.ksc", "");
    for (size_t length : {259u, 260u}) {
        const std::string name = std::string(length - data.size() - 8, length == 259 ? 'f' : 'g');
        fs::copy_file(dir / "a.ksc", dir / (name + ".ksc"));
        Ran r = run("zvb_cmd", {"/dir", u8(user), "import", name + ".ksc"}, dir);
        if (length == 259) {
            EXPECT_EQ(r.exit_code, 0) << r.err;
            EXPECT_EQ(run("zvb_cmd", {"/dir", u8(user), "list"}, dir).out, name + "\tscript");
        } else {
            EXPECT_EQ(r.exit_code, 1);
            EXPECT_TRUE(has(r.err, tr("The path is too long.", "パスが長すぎます。"))) << r.err;
            EXPECT_FALSE(fs::exists(user / "data" / (name + ".ksc")));
        }
    }
}

struct Row {
    const char* name;
    void (*run)(const fs::path& dir);
};

const Row kRows[] = {
    {"nested_scripts", nested_scripts},
    {"big_script", big_script},
    {"deep_json", deep_json},
    {"regex_alternatives", regex_alternatives},
    {"lying_operation_file", lying_operation_file},
    {"archive_past_end", archive_past_end},
    {"big_settings", big_settings},
    {"long_japanese_name", long_japanese_name},
    {"paths_at_the_limit", paths_at_the_limit},
};

TEST(HostileInput, EveryRowEndsWithTheErrorAUserExpects) {
    TempFolder sandbox;
    std::set<std::string> rows_so_far;
    for (const Row& row : kRows) {
        SCOPED_TRACE(row.name);
        const fs::path dir = sandbox / row.name;
        g_temp = dir / "temp";
        fs::create_directories(g_temp);
        try {
            row.run(dir);
        } catch (const std::exception& e) {
            ADD_FAILURE() << e.what();
        }
        EXPECT_EQ(listing(g_temp), "") << "left in the temporary folder";
        rows_so_far.insert(row.name);
        std::set<std::string> top;
        for (const auto& entry : fs::directory_iterator(sandbox.root)) top.insert(entry.path().filename().u8string());
        EXPECT_EQ(top, rows_so_far) << "written beside the row's folder";
        fs::remove(dir / "big.ksc");
    }
}

}  // namespace
