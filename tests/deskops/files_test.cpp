// The file and directory functions through zvs_cmd scripts, each test in a
// fresh directory; English (code page 1252) and Japanese (932) environments.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "zv_test_support.h"

namespace fs = std::filesystem;

namespace {

using zv::test::japanese;

std::string convert(UINT from, UINT to, const char* s, int n) {
    std::wstring w(size_t(MultiByteToWideChar(from, 0, s, n, nullptr, 0)), L'\0');
    MultiByteToWideChar(from, 0, s, n, &w[0], int(w.size()));
    std::string out(size_t(WideCharToMultiByte(to, 0, w.data(), int(w.size()), nullptr, 0, nullptr, nullptr)), '\0');
    WideCharToMultiByte(to, 0, w.data(), int(w.size()), &out[0], int(out.size()), nullptr, nullptr);
    return out;
}

std::string system_text(DWORD code) {
    char buf[512];
    DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, buf,
                             sizeof buf, nullptr);
    while (n && strchr("\r\n \t", buf[n - 1])) --n;
    return convert(CP_ACP, CP_UTF8, buf, int(n));
}

// What the console shows of a text: zvs_cmd writes in the ANSI code page,
// with "?" for characters it cannot show (Japanese under code page 1252).
std::string shown(const std::string& text) {
    std::string ansi = convert(CP_UTF8, CP_ACP, text.data(), int(text.size()));
    return convert(CP_ACP, CP_UTF8, ansi.data(), int(ansi.size()));
}

// {"b","a"} -> the names, sorted: listings come in the file system's order.
std::vector<std::string> names(const std::string& rendered) {
    std::vector<std::string> out;
    for (size_t at = rendered.find('"'); at != std::string::npos; at = rendered.find('"', at + 1)) {
        size_t end = rendered.find('"', at + 1);
        out.push_back(rendered.substr(at + 1, end - at - 1));
        at = end;
    }
    std::sort(out.begin(), out.end());
    return out;
}

class Files : public ::testing::Test {
protected:
    void SetUp() override {
        static std::atomic<int> counter{0};
        dir_ = fs::temp_directory_path() /
               ("deskops_files-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++counter));
        fs::remove_all(dir_);
        fs::create_directories(dir_ / "d");
    }
    void TearDown() override {
        // The directory was zvs_cmd's current directory; Wine lets it go a
        // moment after the process has ended.
        std::error_code error;
        for (int tries = 0; tries < 100 && fs::exists(dir_); ++tries, Sleep(20)) fs::remove_all(dir_, error);
        EXPECT_FALSE(fs::exists(dir_));
    }

    std::wstring path(const char* name) const { return (dir_ / name).wstring(); }
    void write(const char* name, const std::string& bytes) const {
        std::ofstream(dir_ / name, std::ios::binary) << bytes;
    }
    std::string read(const char* name) const {
        std::ifstream in(dir_ / name, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    // Runs the statements after #import("DESKOPS"); the output in UTF-8.
    std::string run(const std::string& body) const {
        std::ofstream(dir_ / "main.ksc", std::ios::binary) << "#import(\"DESKOPS\")\n" << body;
        zv::test::RunOptions options;
        options.working_dir = dir_.u8string();
        zv::test::RunResult r = zv::test::run_program(zv::test::program_path("zvs_cmd"), {"main.ksc"}, options);
        EXPECT_EQ(r.err, "");
        return zv::test::from_console(r.out);
    }

    // The call fails with the message in front of the engine's text (or,
    // without message, with too few arguments) and stops the script.
    void expect_failure(const std::string& call, const std::string& message) const {
        std::string text = message.empty() ? zv::test::tr("Too few arguments", "引数が少なすぎます")
                                           : message + zv::test::tr("Function error", "関数実行中にエラーが発生しました");
        EXPECT_EQ(run("print(\"<\")\n" + call + "\nprint(\">\")\n"),
                  shown("<Error: [main.ksc]: " + text + "(3): " + call + "\n"));
    }

    // A file of the given size that occupies no disk space.
    void make_sparse(const char* name, long long size) const {
        HANDLE h = CreateFileW(path(name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        DWORD ignored;
        DeviceIoControl(h, FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &ignored, nullptr);
        LARGE_INTEGER at;
        at.QuadPart = size;
        EXPECT_TRUE(SetFilePointerEx(h, at, nullptr, FILE_BEGIN) && SetEndOfFile(h));
        CloseHandle(h);
    }

    fs::path dir_;
};

TEST_F(Files, StatusFunctionsAnswerOneOrZero) {
    write("a.txt", "abc");
    write("b.txt", "old");
    EXPECT_EQ(run(R"(
print(directory_create("d\\e") + "" + directory_create("d\\e") + directory_create("x\\y") + "\n")
print(file_exists("d") + "" + file_exists("a.txt") + file_exists("none") + "\n")
print(file_copy("a.txt", "d\\c.txt") + "" + file_copy("a.txt", "b.txt", 1) + file_copy("a.txt", "b.txt", 1.0) + file_copy("none", "n") + "\n")
print(file_move("b.txt", "a.txt") + "" + file_move("b.txt", "d\\m.txt") + file_move("d\\e", "f") + "\n")
print(directory_remove("d") + "" + file_delete("d\\c.txt") + file_delete("d\\c.txt") + "\n")
print(set_current_directory("d") + "" + set_current_directory("none") + get_current_directory() + "\n")
print(file_delete("m.txt") + "" + set_current_directory("..") + directory_remove("d") + directory_remove("d") + "\n")
)"),
              "100\n"   // created; exists already; parent missing
              "110\n"
              "1010\n"  // new; refused by the flag; a real flag is no flag; no source
              "011\n"   // a move does not overwrite; directories move
              "010\n"   // not empty; deleted once
              "10" + dir_.u8string() + "\\d\n"
              "1110\n");
    EXPECT_EQ(read("a.txt"), "abc");
    EXPECT_TRUE(fs::is_directory(dir_ / "f"));
}

TEST_F(Files, ListingsGiveNamesOrIntegerZero) {
    fs::create_directories(dir_ / "d" / "sub");
    write("d/a.txt", "");
    write("d/b.dat", "");
    std::string out = run(R"(
error(file_list("d\\*"))
error(directory_list("d\\*"))
error(dir_list("d\\*"))
print(file_list("d\\s*") + " " + directory_list("d\\*.*t") + "\n")
)");
    std::vector<std::string> lines;
    std::istringstream in(out);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    ASSERT_EQ(lines.size(), 4u) << out;
    EXPECT_EQ(names(lines[0]), (std::vector<std::string>{"a.txt", "b.dat"}));
    EXPECT_EQ(names(lines[1]), (std::vector<std::string>{".", "..", "sub"}));
    EXPECT_EQ(lines[2], lines[1]);
    EXPECT_EQ(lines[3], "0 0");  // entries found, none of the kind asked for
    expect_failure(R"(file_list("d\\none*"))", system_text(ERROR_FILE_NOT_FOUND));
    expect_failure(R"(dir_list("none\\*"))", system_text(ERROR_PATH_NOT_FOUND));
}

TEST_F(Files, QueriesGiveMinusOneOrZeroForMissingFiles) {
    write("d/a.txt", "hello");
    ULONGLONG ticks = (1000000000ull + 11644473600ull) * 10000000ull;  // 2001-09-09 01:46:40 UTC
    FILETIME t = {DWORD(ticks), DWORD(ticks >> 32)};
    HANDLE h = CreateFileW(path("d/a.txt").c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_TRUE(SetFileTime(h, nullptr, nullptr, &t));
    CloseHandle(h);
    make_sparse("big", (1ll << 32) + 7);
    write("ro", "");
    SetFileAttributesW(path("ro").c_str(), FILE_ATTRIBUTE_READONLY);
    std::string out = run(R"(
print(get_file_size("d\\a.txt") + " " + get_file_size("none") + " " + get_file_size("d") + " " + get_file_size("big") + "\n")
print(get_file_update_time("d\\a.txt") + " " + get_file_update_time("d\\*.txt") + " " + get_file_update_time("none") + " " + get_file_create_time("none") + "\n")
print((get_file_attributes("d") & 0x11) + " " + (get_file_attributes("r*") & 0x11) + " " + get_file_attributes("none") + "\n")
print(get_file_create_time("ro"))
)");
    SetFileAttributesW(path("ro").c_str(), FILE_ATTRIBUTE_NORMAL);
    // Sizes are the low 32 bits; a directory cannot be opened as a file.
    EXPECT_EQ(out.substr(0, out.rfind('\n') + 1), "5 -1 -1 7\n1000000000 1000000000 -1 -1\n16 1 0\n");
    long long created = std::stoll(out.substr(out.rfind('\n') + 1)), now = time(nullptr);
    EXPECT_TRUE(created > now - 600 && created <= now + 1) << out;
}

TEST_F(Files, WritersCountBytesAndAppendOnlyForAnIntegerFlag) {
    write("old.txt", "0123456789");
    EXPECT_EQ(run(R"(
print(file_write("b.bin", {65, 66, "x", 1.5, {1}, 511}) + " " + file_write_bin("b.bin", {67}, 1) + " ")
error(file_read("b.bin"))
print(file_write("e.bin", {}) + " ")
error(file_read_bin("e.bin"))
print(file_write_text("t.txt", "Aあ") + " " + file_write_text("t.txt", "b", 1) + " " + file_write_text("t.txt", "c", 7) + " ")
print(file_write_text("r.txt", "x") + file_write_text("r.txt", "y", 1.0) + file_write_text("r.txt", "z", "1") + " ")
print(file_write_text("n.txt", "", 1) + " " + file_write_unicode("old.txt", "") + " ")
print(file_write_unicode("u.txt", "Aあ") + " " + file_write_unicode("u.txt", "z", 1) + "\n")
print(file_write("s.bin", string_to_bytes("Aあ", "sjis")) + file_write("j.bin", string_to_bytes("Aあ", "euc-jp")))
print(" " + (bytes_to_string(file_read("s.bin"), 932) == "Aあ") + (bytes_to_string(file_read("j.bin"), 20932) == "Aあ"))
)"),
              "6 1 {65,66,0,0,0,255,67}\n"  // other kinds write 0, integers their low byte
              "0 {}\n"
              "4 1 1 3 0 0 4 2\n"
              "6 11");
    EXPECT_EQ(read("t.txt"), "A\xE3\x81\x82" "bc");  // no byte-order mark
    EXPECT_EQ(read("r.txt"), "z");                   // a real or string flag truncates
    EXPECT_EQ(read("n.txt") + read("old.txt"), "");
    EXPECT_EQ(read("u.txt"), std::string("A\0\x42\x30z\0", 6));
    EXPECT_EQ(read("s.bin") + read("j.bin"), "A\x82\xA0" "A\xA4\xA2");
}

TEST_F(Files, ReadersDecodePerEncoding) {
    write("bom.txt", "\xEF\xBB\xBF" "A\xE3\x81\x82");
    write("plain.txt", "A\xE3\x81\x82");
    write("only_bom.txt", "\xEF\xBB\xBF");
    write("bad.txt", "a\xFF" "b");
    write("zeros.txt", std::string("AB\0CD", 5));
    write("u16bom.txt", std::string("\xFF\xFE" "A\0\x42\x30", 6));
    write("u16odd.txt", std::string("A\0B", 3));
    write("u16zero.txt", std::string("A\0\0\0B\0", 6));
    write("ansi.txt", japanese() ? "\x82\xA0" : "\xE9\xFC");
    // Texts the script compares with, kept visible here: U+FEFF, U+FFFD and
    // the ANSI file's text (U+3042, or U+00E9 U+00FC).
    std::string texts = "s = \"A\xE3\x81\x82\"\nbom = \"\xEF\xBB\xBF\"\nbad = \"a\xEF\xBF\xBD" "b\"\nansi = \"" +
                        std::string(japanese() ? "\xE3\x81\x82" : "\xC3\xA9\xC3\xBC") + "\"\n";
    EXPECT_EQ(run(texts + R"(
print((file_read_text("bom.txt") == s) + "" + (file_read_text("plain.txt") == s) + (file_read_text("only_bom.txt") == ""))
print((file_read_text("bad.txt") == bad) + "" + (file_read_unicode("u16bom.txt") == bom + s) + (file_read_ascii("ansi.txt") == ansi) + "\n")
print(file_read_text("zeros.txt") + " " + file_read_ascii("zeros.txt") + " " + file_read_unicode("u16odd.txt") + " " + file_read_unicode("u16zero.txt") + "\n")
)"),
              "111111\nAB AB AB A\n");  // up to the first zero byte or unit
    // U+4E00 exists in code page 932 only, U+0E01 in neither: "?".
    EXPECT_EQ(run("print(file_write_ascii(\"a.txt\", \"x\xE4\xB8\x80\xE0\xB8\x81\"))"), japanese() ? "4" : "3");
    EXPECT_EQ(read("a.txt"), japanese() ? "x\x88\xEA?" : "x??");
}

TEST_F(Files, WrongArgumentsAndSystemFailuresStopTheScript) {
    const std::string not_string = "引数は文字列のみです。";
    for (const char* call : {"file_exists(1)", "get_file_size({\"a\"})", "dir_list(0)", "file_copy(\"a\", 2)",
                             "file_read_text(7)", "file_write_text(\"a\", 1)", "file_write_unicode({}, \"x\")"})
        expect_failure(call, not_string);
    expect_failure("file_write(\"a\", \"AB\")", "引数はリストのみです。");
    expect_failure("file_write_ascii(\"a\")", "");
    EXPECT_FALSE(fs::exists(dir_ / "a"));

    expect_failure("file_read(\"none\")", system_text(ERROR_FILE_NOT_FOUND));
    expect_failure("file_read_unicode(\"d\")", system_text(ERROR_ACCESS_DENIED));
    expect_failure(R"(file_write_text("none\\a.txt", "x"))", system_text(ERROR_PATH_NOT_FOUND));
}

TEST_F(Files, FilesLargerThanMemoryFailWithTheSystemsText) {
    // Almost 2 GiB cannot be allocated by a 32-bit process; 4 GiB - 1 must
    // not overflow the buffer size; 4 GiB + 1 must not be read as one byte.
    make_sparse("2g", (1ll << 31) - 16);
    make_sparse("4g-1", (1ll << 32) - 1);
    make_sparse("4g+1", (1ll << 32) + 1);
    for (const char* call : {"file_read(\"2g\")", "file_read_text(\"2g\")", "file_read_unicode(\"2g\")",
                             "file_read_ascii(\"4g-1\")", "file_read_bin(\"4g+1\")"})
        expect_failure(call, system_text(ERROR_NOT_ENOUGH_MEMORY));
}

}  // namespace
