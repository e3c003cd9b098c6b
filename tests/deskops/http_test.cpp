// http_request through zvs_cmd scripts against the loopback servers that
// http/with_servers.sh runs (ports in ZV_HTTP_PORT, ZV_HTTPS_PORT); English
// and Japanese environments (WinHTTP's texts may differ).
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <windows.h>
#include <winhttp.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "zv_test_support.h"

namespace fs = std::filesystem;
using ::testing::AnyOf;
using ::testing::Eq;
using ::testing::IsSupersetOf;
using Lines = std::vector<std::string>;

namespace {

using zv::test::japanese;

const char* const kPage = "<html><body>Hello from the test server</body></html>\n";
const char* const kDefaultAgent =
    "Mozilla/5.0 (Windows NT 10.0; Win64; x64) AppleWebKit/537.36 (KHTML, like Gecko) "
    "Chrome/79.0.3945.130 Safari/537.36";
// test_server.py's /large.
constexpr size_t kLargeSize = 3 * 1024 * 1024 + 11;

// What the library reports for a WinHTTP error: the client's message table
// where it has one (Wine's has none), else the code.
std::string winhttp_text(DWORD code) {
    wchar_t buf[512];
    int n = int(FormatMessageW(FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_IGNORE_INSERTS,
                               GetModuleHandleW(L"winhttp.dll"), code, 0x0400, buf, 512, nullptr));
    while (n && wcschr(L"\r\n ", buf[n - 1])) --n;
    if (!n) return "WinHTTP error " + std::to_string(code);
    std::string out(size_t(WideCharToMultiByte(CP_UTF8, 0, buf, n, nullptr, 0, nullptr, nullptr)), '\0');
    WideCharToMultiByte(CP_UTF8, 0, buf, n, &out[0], int(out.size()), nullptr, nullptr);
    return out;
}

// What the console shows of a text: zvs_cmd writes in the ANSI code page,
// with "?" for characters it has no form for.
std::string shown(const std::string& text) {
    std::wstring w(size_t(MultiByteToWideChar(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0)), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), int(text.size()), &w[0], int(w.size()));
    std::string ansi(size_t(WideCharToMultiByte(CP_ACP, 0, w.data(), int(w.size()), nullptr, 0, nullptr, nullptr)), '\0');
    WideCharToMultiByte(CP_ACP, 0, w.data(), int(w.size()), &ansi[0], int(ansi.size()), nullptr, nullptr);
    return zv::test::from_console(ansi);
}

std::string hex(const std::string& bytes) {
    std::string out;
    for (unsigned char c : bytes) out += std::string{"0123456789abcdef"[c >> 4], "0123456789abcdef"[c & 15]};
    return out;
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) out.push_back(line);
    return out;
}

class Http : public ::testing::Test {
protected:
    void SetUp() override {
        const char* plain = std::getenv("ZV_HTTP_PORT");
        const char* secure = std::getenv("ZV_HTTPS_PORT");
        ASSERT_TRUE(plain && secure) << "run through ctest (tests/deskops/http/with_servers.sh starts the servers)";
        ports_ = "url = \"http://127.0.0.1:" + std::string(plain) + "\"; surl = \"https://127.0.0.1:" + secure + "\"\n";
        static std::atomic<int> counter{0};
        dir_ = fs::temp_directory_path() /
               ("deskops_http-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++counter));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override {
        // zvs_cmd's current directory; Wine lets it go a moment after exit.
        std::error_code error;
        for (int tries = 0; tries < 100 && fs::exists(dir_); ++tries, Sleep(20)) fs::remove_all(dir_, error);
    }

    std::string read(const char* name) const {
        std::ifstream in(dir_ / name, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    // Runs the statements from line 3 on, after the import and the lines
    // that set url and surl; the output as UTF-8 with LF lines.
    std::string run(const std::string& body) const {
        std::ofstream(dir_ / "main.ksc", std::ios::binary) << "#import(\"DESKOPS\")\n" << ports_ << body;
        zv::test::RunOptions options;
        options.working_dir = dir_.u8string();
        zv::test::RunResult r = zv::test::run_program(zv::test::program_path("zvs_cmd"), {"main.ksc"}, options);
        EXPECT_EQ(r.err, "");
        return zv::test::from_console(r.out);
    }

    // The engine's line for a call on line 4 that failed with the message
    // (without message: too few arguments), as the console shows it.
    static std::string failure(const std::string& call, const std::string& message) {
        std::string text = message.empty() ? zv::test::tr("Too few arguments", "引数が少なすぎます")
                                           : message + zv::test::tr("Function error", "関数実行中にエラーが発生しました");
        return shown("<Error: [main.ksc]: " + text + "(4): " + call + "\n");
    }
    std::string run_failing(const std::string& call) const { return run("print(\"<\")\n" + call + "\nprint(\">\")\n"); }

    std::string ports_;
    fs::path dir_;
};

TEST_F(Http, ResponsesGiveStatusHeaderAndBodyWhenThereIsOne) {
    EXPECT_EQ(run(R"(
r = http_request("GET", url + "/page")
print(r["status"] + "|" + length(r) + "|" + substring(r["header"], 0, 15) + "|" + header_to_array(r["header"])["content-type"] + "|" + bytes_to_string(r["body"]))
print(substring(r["header"], length(r["header"]) - 4) == "\r\n\r\n")
r = http_request("GET", url + "/empty")
print("|" + r["status"] + "|" + length(r))
r = http_request("GET", url + "/missing")
print("|" + r["status"] + "|" + length(r) + "|" + bytes_to_string(r["body"]))
)"),
              std::string("200|3|HTTP/1.1 200 OK|text/html|") + kPage + "1|204|2|404|3|not found\n");
}

TEST_F(Http, RequestsReachTheServerAsWritten) {
    std::string out = run(R"(
print(bytes_to_string(http_request("POST", url + "/echo/json", {"Content-Type": "application/json", "X-Token": "abc", "X-Num": 5}, "{\"name\": \"あ\"}")["body"]) + "--\n")
print(bytes_to_string(http_request("PUT", url + "/echo/put", "X-One: 1\r\nX-Two: two\r\n", {0, 1, 255, 321, "x", 1.5}, {"User_Agent": "zv-agent"})["body"]) + "--\n")
print(bytes_to_string(http_request("DELETE", url + "/echo/a%20b/%E3%81%82?q=%26x&y=1+2", 5, 2.5, {"user_agent": 5, "connect_timeout": 5.5})["body"]))
)");
    std::vector<std::string> blocks;
    for (size_t at = 0, end; at < out.size(); at = end + 3)
        blocks.push_back(out.substr(at, (end = std::min(out.find("--\n", at), out.size())) - at));
    ASSERT_EQ(blocks.size(), 3u) << out;
    EXPECT_THAT(lines(blocks[0]),
                IsSupersetOf(Lines{"method POST", "target /echo/json", "header content-type: application/json",
                              "header x-token: abc", "header x-num: ", std::string("header User-Agent: ") + kDefaultAgent,
                              "body " + hex("{\"name\": \"\xE3\x81\x82\"}")}));
    // String headers as given; integers of a byte array as their low byte.
    EXPECT_THAT(lines(blocks[1]), IsSupersetOf(Lines{"method PUT", "header X-One: 1", "header X-Two: two",
                                                "header User-Agent: zv-agent", "body 0001ff41"}));
    // Options and arguments of other kinds count as absent.
    EXPECT_THAT(lines(blocks[2]),
                IsSupersetOf(Lines{"method DELETE", "target /echo/a%20b/%E3%81%82?q=%26x&y=1+2",
                              std::string("header User-Agent: ") + kDefaultAgent, "body "}));
}

TEST_F(Http, ReceiveTimeOutCountsOnlyAsAnInteger) {
    // The server answers /slow after 1.5 s. (A whole real in an array
    // literal is stored as an integer, hence 300.5.)
    EXPECT_EQ(run(R"(print(http_request("GET", url + "/slow", "", "", {"receive_timeout": 300.5})["status"] + "\n"))"),
              "200\n");
    const std::string call = R"(http_request("GET", url + "/slow", "", "", {"RECEIVE_TIMEOUT": 300}))";
    EXPECT_EQ(run_failing(call), failure(call, winhttp_text(ERROR_WINHTTP_TIMEOUT)));
}

TEST_F(Http, FailuresStopTheScriptWithTheirText) {
    const struct {
        const char* call;
        std::string message;
    } cases[] = {
        {R"(http_request("GET", "http://nonexistent.invalid/"))", winhttp_text(ERROR_WINHTTP_NAME_NOT_RESOLVED)},
        {R"(http_request("GET", "ftp://127.0.0.1/"))", winhttp_text(ERROR_WINHTTP_UNRECOGNIZED_SCHEME)},
        {R"(http_request(1, url))", "引数は文字列のみです。"},
        {R"(http_request("GET", {url}))", "引数は文字列のみです。"},
        {R"(http_request("GET"))", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(run_failing(c.call), failure(c.call, c.message));
}

TEST_F(Http, HttpsChecksTheCertificateUnlessTurnedOff) {
    EXPECT_EQ(run(R"(
r = http_request("GET", surl + "/page", 0, 0, {"verify_ssl_cert": 0, "client_cert_subject": "CN=nobody at all"})
print(r["status"] + " " + bytes_to_string(r["body"]))
)"),
              std::string("200 ") + kPage);
    // Wine reports a certificate of no known authority as a secure channel
    // error; Windows as a secure failure or an invalid authority.
    for (const char* call : {R"(http_request("GET", surl + "/page"))",
                             R"(http_request("GET", surl + "/page", "", "", {"verify_ssl_cert": 0.5}))"}) {
        EXPECT_THAT(run_failing(call), AnyOf(Eq(failure(call, winhttp_text(ERROR_WINHTTP_SECURE_CHANNEL_ERROR))),
                                             Eq(failure(call, winhttp_text(ERROR_WINHTTP_SECURE_FAILURE))),
                                             Eq(failure(call, winhttp_text(ERROR_WINHTTP_SECURE_INVALID_CA)))));
    }
}

TEST_F(Http, LargeBodiesArriveWhole) {
    EXPECT_EQ(run(R"(
print(file_write("plain.bin", http_request("GET", url + "/large")["body"]) + " ")
print(file_write("tls.bin", http_request("GET", surl + "/large", 0, 0, {"verify_ssl_cert": 0})["body"]))
)"),
              std::to_string(kLargeSize) + " " + std::to_string(kLargeSize));
    std::string expected(kLargeSize, '\0');
    for (size_t i = 0; i < kLargeSize; ++i) expected[i] = char((i * 7 + i / 256) % 256);
    EXPECT_TRUE(read("plain.bin") == expected);
    EXPECT_TRUE(read("tls.bin") == expected);
}

}  // namespace
