// The built DESKOPS library, called through its exports as the engine calls
// them: results, the exact messages for wrong argument kinds, -2 for missing
// arguments, code pages, put_log, and the export table against the
// catalogue. Runs in an English and a Japanese environment.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <iterator>
#include <map>
#include <set>
#include <sstream>

#include "deskops_call.h"
#include "platform.h"
#include "zv_test_support.h"

#ifdef _WIN32
#include <windows.h>
#endif

using deskops_test::Arg;
using deskops_test::call;
using deskops_test::Outcome;

namespace {

const char* const kNotNumber = "引数は数値のみです。";
const char* const kNotString = "引数は文字列のみです。";
const char* const kNotList = "引数はリストのみです。";
const char* const kNoArray = "引数に配列は指定できません。";
const char* const kNotArrayOrString = "引数は配列か文字列のみです。";

class Library : public ::testing::Test {
protected:
    static void SetUpTestSuite() { lib_ = zv::library_load(u"DESKOPS"); }
    static void TearDownTestSuite() {
        if (lib_) zv::library_free(lib_);
        lib_ = nullptr;
    }
    void SetUp() override { ASSERT_NE(lib_, nullptr) << "DESKOPS did not load"; }

    static ksc::NativeFunc fn(const std::string& name) {
        void* f = zv::library_symbol(lib_, ("_lib_func_" + name).c_str());
        EXPECT_NE(f, nullptr) << name;
        return reinterpret_cast<ksc::NativeFunc>(f);
    }
    static Outcome run(const std::string& name, const deskops_test::Args& args) { return call(fn(name), args); }

    static void* lib_;
};
void* Library::lib_ = nullptr;

// The catalogue, as the library's sources list it.
#define DESKOPS_ENTRY(name) #name,
const char* const kCatalogue[] = {
#include "catalogue.inc"
};
#undef DESKOPS_ENTRY

// "rc|value" or "rc|message" for compact tables.
std::string brief(const Outcome& o) { return std::to_string(o.rc) + "|" + (o.rc == -1 ? o.error : o.value); }

#ifdef _WIN32
std::string system_text(DWORD code) {
    wchar_t buf[256];
    DWORD n = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, buf, 256,
                             nullptr);
    while (n && wcschr(L"\r\n \t", buf[n - 1])) --n;
    return deskops_test::utf8(std::u16string(reinterpret_cast<char16_t*>(buf), n));
}

// The names in the export directory of a PE file, read from the file itself.
std::set<std::string> pe_export_names(const std::string& file) {
    std::string img = zv::test::read_file(file);
    auto u16at = [&](size_t off) { return uint32_t(uint8_t(img.at(off))) | uint32_t(uint8_t(img.at(off + 1))) << 8; };
    auto u32at = [&](size_t off) { return u16at(off) | u16at(off + 2) << 16; };
    size_t pe = u32at(0x3C);
    EXPECT_EQ(img.substr(pe, 4), std::string("PE\0\0", 4));
    size_t sections = u16at(pe + 6), optional = pe + 24, optional_size = u16at(pe + 20);
    EXPECT_EQ(u16at(optional), 0x10Bu) << "a 32-bit image";
    uint32_t export_rva = u32at(optional + 96);
    auto to_offset = [&](uint32_t rva) -> size_t {
        for (size_t s = 0; s < sections; ++s) {
            size_t h = optional + optional_size + s * 40;
            uint32_t va = u32at(h + 12), size = u32at(h + 8), raw = u32at(h + 20);
            if (rva >= va && rva < va + size) return raw + (rva - va);
        }
        ADD_FAILURE() << "RVA outside the sections";
        return 0;
    };
    size_t dir = to_offset(export_rva);
    uint32_t count = u32at(dir + 24), names = u32at(dir + 32);
    std::set<std::string> out;
    for (uint32_t i = 0; i < count; ++i) out.insert(img.c_str() + to_offset(u32at(to_offset(names) + 4 * i)));
    return out;
}

#else
std::string system_text(int code) { return strerror(code); }
#endif

}  // namespace

// Every catalogued function by the number of arguments it requires: one
// fewer, even of the wrong kind, gives -2 before any kind check.
TEST_F(Library, MissingRequiredArgumentsReturnMinusTwo) {
    const std::pair<int, const char*> rows[] = {
        {0, "rand get_time"},
        {1, "trim to_lower to_upper bytes_to_string string_to_bytes json_to_array array_to_json base64_encode "
            "base64_decode url_encode url_decode header_to_array sleep wait"},
        {2, "put_log str_match substring in_string split regex_match regex_match_all get_timestring"},
        {3, "regex_replace"},
#ifdef _WIN32
        {0, "get_desktop_size get_clipboard __play_start __play_end get_foreground_window get_focus_window "
            "get_current_directory get_ime_status get_ime_conversion_mode get_ime_sentence_mode get_mouse_pos "
            "mouse_leftclick mouse_leftdown mouse_leftup mouse_rightclick mouse_rightdown mouse_rightup "
            "mouse_middleclick mouse_middledown mouse_middleup window_from_mouse top_window_from_mouse "
            "topwindow_from_mouse color_from_mouse get_mouse_cursor"},
        {1, "input_text input_password input_number shell check_process file_from_window set_clipboard "
            "__select_step get_parent_window set_foreground_window set_focus_window get_window_pos get_window_size "
            "get_window_state get_window_text get_window_class get_window_style get_window_exstyle "
            "is_window_enabled get_control_id get_button_check set_current_directory directory_list dir_list "
            "directory_create directory_remove file_list file_exists get_file_size get_file_create_time "
            "get_file_update_time get_file_attributes file_delete file_read file_read_bin file_read_text "
            "file_read_ascii file_read_unicode key_input key_down key_up get_key_state get_async_key_state "
            "set_ime_status set_ime_conversion_mode set_ime_sentence_mode mouse_wheel"},
        {2, "message_box find_window search_window get_window set_window_state set_window_text enable_window "
            "set_button_check wait_busy send_text file_copy file_move file_write file_write_bin file_write_text "
            "file_write_ascii file_write_unicode http_request set_mouse_pos mouse_move"},
        {3, "screen_to_client client_to_screen set_window_pos set_window_size"},
        {4, "send_message"},
#endif
    };
    std::map<std::string, int> required;
    for (const auto& [n, names] : rows) {
        std::istringstream in(names);
        for (std::string name; in >> name;) EXPECT_TRUE(required.emplace(name, n).second) << name << " twice";
    }
    for (const char* name : kCatalogue) EXPECT_EQ(required.count(name), 1u) << name << " needs a row here";
    EXPECT_EQ(required.size(), std::size(kCatalogue)) << "a row for a function outside the catalogue";
    for (const auto& [name, n] : required) {
        if (n == 0) continue;  // nothing to leave out
        Outcome o = run(name, deskops_test::Args(size_t(n - 1), Arg({})));
        EXPECT_EQ(brief(o) + "|" + o.error, "-2|0|") << name;  // result 0, no message
    }
}

TEST_F(Library, WrongArgumentKindsGiveTheMessages) {
    const struct {
        const char* name;
        deskops_test::Args args;
        const char* message;
    } cases[] = {
        {"trim", {1}, kNotString}, {"to_upper", {Arg({"a"})}, kNotString}, {"str_match", {"*", 2.5}, kNotString},
        {"substring", {"abcdef", 1.5}, kNotNumber}, {"substring", {5, 1}, kNotString},
        {"in_string", {"abc", 1}, kNotString}, {"split", {"a,b", Arg({})}, kNotString},
        {"bytes_to_string", {Arg({65}), Arg({})}, kNoArray}, {"string_to_bytes", {"a", Arg({1})}, kNoArray},
        {"string_to_bytes", {Arg({65})}, kNotString}, {"put_log", {Arg({}), "x"}, kNoArray},
        {"put_log", {"log.txt", Arg({1})}, kNoArray}, {"json_to_array", {Arg({})}, kNotString},
        {"array_to_json", {"[1]"}, kNotList}, {"base64_encode", {1.5}, kNotArrayOrString},
        {"base64_decode", {Arg({65})}, kNotString}, {"url_encode", {3}, kNotString}, {"url_decode", {3}, kNotString},
        {"header_to_array", {3}, kNotString}, {"regex_match", {1, "a"}, kNotString},
        {"regex_match", {"a", Arg({"a"})}, kNotString}, {"regex_match_all", {"a", 2}, kNotString},
        {"regex_replace", {"a", "a", 3}, kNotString}, {"sleep", {"10"}, kNotNumber}, {"wait", {Arg({})}, kNotNumber},
        {"get_timestring", {"0", "%Y"}, "第1引数は数値のみです"}, {"get_timestring", {0, Arg({})}, kNoArray},
#ifdef _WIN32
        // Checked before anything is shown.
        {"message_box", {Arg({}), "caption"}, kNoArray}, {"message_box", {"text", Arg({})}, kNoArray},
        {"message_box", {"text", "caption", "4"}, "第3引数は数値のみです"}, {"input_text", {Arg({})}, kNoArray},
        {"input_text", {"prompt", Arg({})}, kNoArray}, {"input_password", {"prompt", Arg({})}, kNoArray},
        {"input_number", {Arg({})}, kNoArray}, {"input_number", {"prompt", Arg({1})}, kNoArray},
        {"check_process", {"1"}, kNotNumber}, {"file_from_window", {Arg({})}, kNotNumber},
        {"set_clipboard", {Arg({})}, kNoArray}, {"__select_step", {"1"}, kNotNumber},
#endif
    };
    for (const auto& c : cases) EXPECT_EQ(brief(run(c.name, c.args)), std::string("-1|") + c.message) << c.name;
}

// Results as the engine sees them ("rc|value"); the algorithms behind them
// are tested on their own (algorithms_test.cpp).
TEST_F(Library, Results) {
    const struct {
        const char* name;
        deskops_test::Args args;
        const char* expected;
    } cases[] = {
        {"trim", {" \ta b\r\n"}, "0|a b"}, {"trim", {"\xE3\x80\x80x "}, "0|\xE3\x80\x80x"},  // U+3000 is kept
        {"trim", {" \t\r\n"}, "0|"}, {"to_lower", {"ABC\xC3\x84z"}, "0|abc\xC3\x84z"},
        {"to_upper", {"abc\xC3\xA4Z"}, "0|ABC\xC3\xA4Z"}, {"str_match", {"*.TXT", "readme.txt"}, "0|1"},
        {"substring", {"abcdef", -2}, "0|ef"}, {"substring", {"abcdef", 2, 2}, "0|cd"},
        {"substring", {"abcdef", 2, 2.5}, "0|cdef"},  // a real length means to the end
        {"substring", {"abcdef", 10}, "0|"}, {"substring", {"abcdef", -10}, "0|"}, {"substring", {"abcdef", 1, 0}, "0|"},
        {"in_string", {"abcabc", "c", 3}, "0|5"}, {"in_string", {"abcabc", "c", -1}, "0|-1"},
        {"in_string", {"abcabc", ""}, "0|-1"}, {"in_string", {"abcabc", "C"}, "0|-1"},
        {"in_string", {"abcabc", "b", 1.5}, "0|1"},  // a real start counts as 0
        {"split", {"a,b", ","}, "0|{\"a\",\"b\"}"}, {"split", {",a,,b,", ","}, "0|{\"\",\"a\",\"\",\"b\"}"},
        {"split", {"a<>b<>", "<>"}, "0|{\"a\",\"b\"}"}, {"split", {"a,b", ""}, "0|{\"a,b\"}"},
        {"split", {"", ","}, "0|0"},
        // Code pages: UTF-8 by default, UTF-16 by name or any negative number.
        {"string_to_bytes", {"A\xE3\x81\x82"}, "0|{65,227,129,130}"},
        {"string_to_bytes", {"A\xE3\x81\x82", "UTF-16"}, "0|{65,0,66,48}"},
        {"string_to_bytes", {"A\xE3\x81\x82", -1.5}, "0|{65,0,66,48}"}, {"string_to_bytes", {""}, "0|{}"},
        {"bytes_to_string", {Arg({227, 129, 130})}, "0|\xE3\x81\x82"}, {"bytes_to_string", {Arg({65, 0, 66})}, "0|A"},
        {"bytes_to_string", {Arg({65, "x", 66.0, 0x142})}, "0|AB"},  // integers only, their low bytes
        {"bytes_to_string", {Arg({65, 0, 66, 0, 67}), "unicode"}, "0|ABC"},
        {"bytes_to_string", {Arg({66, 48, 0, 0, 65, 0}), -1}, "0|\xE3\x81\x82"},
        {"bytes_to_string", {1.5}, "0|1.5000000000000000"}, {"bytes_to_string", {"text", Arg({})}, "0|text"},
#ifdef _WIN32
        {"string_to_bytes", {"A\xE3\x81\x82", "sjis"}, "0|{65,130,160}"},
        {"string_to_bytes", {"A\xE3\x81\x82", 932}, "0|{65,130,160}"},
        {"string_to_bytes", {"A\xE3\x81\x82", "EUC-JP"}, "0|{65,164,162}"},
        {"string_to_bytes", {"A\xE3\x81\x82", "utf7"}, "0|{65,43,77,69,73,45}"},
        {"bytes_to_string", {Arg({65, 130, 160}), "Shift_JIS"}, "0|A\xE3\x81\x82"},
        {"bytes_to_string", {Arg({164, 162}), 20932}, "0|\xE3\x81\x82"},
        {"bytes_to_string", {Arg({65, 164, 162}), "euc"}, "0|A\xE3\x81\x82"},
        {"bytes_to_string", {Arg({43, 77, 69, 73, 45}), "utf-7"}, "0|\xE3\x81\x82"},
        {"bytes_to_string", {Arg({65, 43, 77, 69, 73, 45}), 65000}, "0|A\xE3\x81\x82"},
#endif
        // Data formats: what reaches the algorithms and what comes back.
        {"json_to_array", {R"({"Name": "x", "n": [1, 2.5, true, null]})"},
         R"(0|{"Name":"x","n":{1,2.5000000000000000,1,0}})"},
        {"array_to_json", {Arg({Arg(1).keyed("a"), Arg("x").keyed("b")})}, R"(0|{"a": 1, "b": "x"})"},
        {"base64_encode", {Arg({77, 97, 110})}, "0|TWFu"}, {"base64_encode", {"A"}, "0|QQA="},
        // Not bytes: the low byte of an integer, 0 for any other kind.
        {"base64_encode", {Arg({0x14D, -159, "x", 2.0, Arg({}), 110})}, "0|TWEAAABu"},
        {"base64_decode", {"TW\r\nFu"}, "0|{77,97,110}"}, {"base64_decode", {""}, "0|{}"},
        {"url_encode", {"a b\xE3\x81\x82"}, "0|a%20b%E3%81%82"},
        {"url_decode", {"%00x%E3%81%82%FF"}, "0|x\xE3\x81\x82\xEF\xBF\xBD"},
        {"header_to_array", {"HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n\r\n"},
         R"(0|{"Content-Type":"text/html"})"},
        {"header_to_array", {"HTTP/1.1 200 OK"}, "0|0"},
    };
    for (const auto& c : cases) EXPECT_EQ(brief(run(c.name, c.args)), c.expected) << c.name;
    EXPECT_EQ(run("split", {"", ","}).kind, ksc::kInt);
#ifdef _WIN32
    // An unknown code page reports the system's text. ISO-2022-JP converts
    // where the system has it (Windows), else the system's failure (Wine 8).
    EXPECT_EQ(brief(run("bytes_to_string", {Arg({65}), 12345})), "-1|" + system_text(ERROR_INVALID_PARAMETER));
    SetLastError(0);
    bool have_jis = MultiByteToWideChar(50221, 0, "A", -1, nullptr, 0) > 0;
    std::string failure = "-1|" + system_text(GetLastError());
    EXPECT_EQ(brief(run("string_to_bytes", {"A\xE3\x81\x82", "jis"})),
              have_jis ? "0|{65,27,36,66,36,34,27,40,66}" : failure);
    EXPECT_EQ(brief(run("bytes_to_string", {Arg({27, 36, 66, 36, 34, 27, 40, 66}), "ISO-2022-JP"})),
              have_jis ? "0|\xE3\x81\x82" : failure);
#else
    EXPECT_EQ(brief(run("string_to_bytes", {"A", "sjis"})), "-1|" + system_text(EINVAL));  // only UTF-8 natively
#endif
}

TEST_F(Library, RandomNumbersAndTime) {
    std::set<std::string> seen;
    for (int i = 0; i < 200; ++i) {
        Outcome o = run("rand", {});
        ASSERT_EQ(o.rc, 0);
        ASSERT_TRUE(std::stoi(o.value) >= 0 && std::stoi(o.value) <= 32767) << o.value;
        seen.insert(o.value);
    }
    EXPECT_GT(seen.size(), 190u);

    time_t before = time(nullptr);
    long long now = std::stoll(run("get_time", {}).value);
    EXPECT_TRUE(now >= before && now <= time(nullptr)) << now;

    // Expectations from this process's own local time, whatever its zone.
    auto local = [](time_t t, const char* format) {
        char buf[256];
        return std::string(buf, strftime(buf, sizeof buf, format, localtime(&t)));
    };
    const std::string year0 = local(0, "%Y"), percents(600, '%');  // 300 "%%", each giving one "%"
    EXPECT_TRUE(year0 == "1970" || year0 == "1969") << year0;
    const struct {
        deskops_test::Args args;
        std::string expected;
    } cases[] = {
        {{0, "%Y"}, "0|" + year0},
        {{1700000000.9, "%Y/%m/%d %H:%M:%S %%"}, "0|" + local(1700000000, "%Y/%m/%d %H:%M:%S %%")},
        {{1700000000, 12}, "0|12"},
        // Conversions the C runtime does not define stay as written.
        {{1700000000, "%Q|%|%E%Y%"}, "0|%Q|%|%E" + local(1700000000, "%Y") + "%"},
        {{1700000000, "\xE6\x97\xA5%d"}, "0|\xE6\x97\xA5" + local(1700000000, "%d")},
        {{0, percents}, "0|" + std::string(255, '%')},  // at most 255 units
        {{-1, "%Y"}, "-1|"},
#ifdef _WIN32
        {{1700000000, "%#d"}, "0|" + local(1700000000, "%#d")},  // the Windows runtime's flag
#endif
    };
    for (const auto& c : cases) EXPECT_EQ(brief(run("get_timestring", c.args)), c.expected);
}

// Lines "YYYY/MM/DD hh:mm:ss text" with CR LF, appended; a missing directory
// gives the system's text.
TEST_F(Library, PutLogAppendsTimeStampedLines) {
    namespace fs = std::filesystem;
    fs::path dir = fs::temp_directory_path() / ("deskops_log_" + std::to_string(time(nullptr)) + "_" +
                                                std::to_string(reinterpret_cast<uintptr_t>(&dir) & 0xFFFF));
    fs::create_directories(dir);
    std::string path = (dir / "play.log").u8string();
    time_t before = time(nullptr);
    for (const Arg& text : {Arg("first \xE3\x81\x82"), Arg(1.5), Arg(42)})
        EXPECT_EQ(brief(run("put_log", {path, text})), "0|0");
    time_t after = time(nullptr);

    std::istringstream lines(zv::test::read_file(path));
    std::vector<std::string> bodies;
    for (std::string line; std::getline(lines, line, '\n');) {
        ASSERT_GE(line.size(), 21u) << line;
        EXPECT_EQ(line.back(), '\r') << "lines end with CR LF";
        struct tm t = {};
        ASSERT_EQ(sscanf(line.c_str(), "%d/%d/%d %d:%d:%d ", &t.tm_year, &t.tm_mon, &t.tm_mday, &t.tm_hour, &t.tm_min,
                         &t.tm_sec), 6);
        t.tm_year -= 1900;
        t.tm_mon -= 1;
        t.tm_isdst = -1;
        time_t stamp = mktime(&t);
        EXPECT_TRUE(stamp >= before - 1 && stamp <= after + 1) << line;
        bodies.push_back(line.substr(20, line.size() - 21));
    }
    EXPECT_EQ(bodies, (std::vector<std::string>{"first \xE3\x81\x82", "1.5000000000000000", "42"}));
#ifdef _WIN32
    const std::string no_path = system_text(ERROR_PATH_NOT_FOUND);
#else
    const std::string no_path = system_text(ENOENT);
#endif
    EXPECT_EQ(brief(run("put_log", {(dir / "no such dir" / "x.log").u8string(), "x"})), "-1|" + no_path);
    fs::remove_all(dir);
}

#ifdef _WIN32
TEST_F(Library, ExportTableIsTheCatalogue) {
    std::set<std::string> expected;
    for (const char* name : kCatalogue) expected.insert(std::string("_lib_func_") + name);
    EXPECT_EQ(expected.size(), std::size(kCatalogue)) << "a name is listed twice";
    EXPECT_EQ(pe_export_names(zv::test::bin_dir() + "\\DESKOPS.dll"), expected);
}

TEST_F(Library, StringTableHoldsTheMessages) {
    std::wstring path = std::filesystem::u8path(zv::test::bin_dir() + "\\DESKOPS.dll").wstring();
    HMODULE data = LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(data, nullptr);
    const std::pair<UINT, const char*> messages[] = {
        {2000, "実行ファイルの出力に失敗しました。"}, {3000, kNotNumber},          {3001, kNotString},
        {3002, kNotList},                            {3003, kNoArray},            {3004, kNotArrayOrString},
        {3011, "第1引数は数値のみです"},             {3013, "第3引数は数値のみです"}, {3022, "第2引数は文字列のみです。"},
        {3100, "%Y/%m/%d %H:%M:%S "},
    };
    for (const auto& [id, text] : messages) {
        wchar_t buf[256];
        int n = LoadStringW(data, id, buf, 256);
        EXPECT_EQ(deskops_test::utf8(std::u16string(reinterpret_cast<char16_t*>(buf), size_t(n))), text) << id;
    }
    FreeLibrary(data);
}
#else
TEST_F(Library, EveryCatalogueEntryIsExported) {
    for (const char* name : kCatalogue)
        EXPECT_NE(zv::library_symbol(lib_, (std::string("_lib_func_") + name).c_str()), nullptr) << name;
}
#endif
