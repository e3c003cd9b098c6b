// zvb_cmd end to end: the built program on temporary user folders with
// Japanese scenario names, in an English and a Japanese environment. Its
// console text is compared as the console shows it (on Windows Japanese
// becomes "?" in an English code page).
#include <gtest/gtest.h>

#include <algorithm>
#include <ctime>
#include <string>
#include <utility>
#include <vector>

#include "recorder_test_util.h"
#include "zv_test_support.h"

namespace zvb {
namespace {

using namespace zvb::test;
using zv::test::from_console;
using zv::test::to_console;
using zv::test::tr;

zv::test::RunResult zvb_cmd(const std::vector<std::string>& args) {
    return zv::test::run_program(zv::test::program_path("zvb_cmd"), args);
}

// UTF-8 text as it comes back through the console.
std::string shown(const std::string& utf8) { return from_console(to_console(utf8)); }

std::string path8(const fs::path& p) { return p.u8string(); }

TEST(ZvbCmd, ListExportImportDump) {
    TempFolder a, b, work;
    fs::create_directories(a / "data/日報");
    std::string record = le32(2684) + le32(0) + le32(350) + std::string(2684 - 12, '\0');
    record.replace(1064, 4, le32(1324));
    record.replace(32, 6, text_field("メモ帳", 3));
    put_bytes(a / "data/日報/送信.zv", record);
    put_bytes(a / "data/メモ.ksc", "#import(\"DESKOPS\")\r\n");
    put_bytes(a / "data/メモ.ksc.ini", "[HOTKEY]\r\nmodifiers=6\r\nvirtkey=116\r\n");
    fs::create_directories(work / "Folder");
    put_bytes(work / "Folder/a.zv", "");
    put_bytes(work / "bad.bin", "not an archive");

    auto r = zvb_cmd({"/dir", path8(a.root), "list"});
    EXPECT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(from_console(r.out), shown("メモ\tscript\tCtrl+Shift+F5\n日報\tgroup\n  送信\ttimeline\n"));
    EXPECT_EQ(r.err, "");
    EXPECT_TRUE(fs::exists(a / "data.lst"));  // saved as the recorder saves after loading

    for (const auto& args : std::vector<std::vector<std::string>>{
             {"export", "日報/", path8(work / "g.zva")},
             {"EXPORT", "日報/送信", path8(work / "x.zva")},  // commands and names without regard to case
             {"export", "メモ", path8(work / "memo.ksc")}}) {
        std::vector<std::string> full = {"/DIR", path8(a.root)};
        full.insert(full.end(), args.begin(), args.end());
        r = zvb_cmd(full);
        EXPECT_EQ(r.exit_code, 0) << args[1] << ": " << r.err;
    }
    EXPECT_EQ(bytes_of(work / "g.zva").substr(0, 4), "ZVA2");
    EXPECT_EQ(bytes_of(work / "x.zva"), "ZVA1" + le32(2684) + record + le32(0) + le32(0));
    EXPECT_EQ(bytes_of(work / "memo.ksc"), "#import(\"DESKOPS\")\r\n");

    r = zvb_cmd({"/dir", path8(b.root), "import", path8(work / "g.zva"), path8(work / "x.zva"),
                 path8(work / "memo.ksc"), path8(work / "Folder")});
    EXPECT_EQ(r.exit_code, 0) << r.err;
    r = zvb_cmd({"/dir", path8(b.root), "list"});
    EXPECT_EQ(from_console(r.out), shown("Folder\tgroup\n  a\ttimeline\nmemo\tscript\nx\ttimeline\n"
                                         "日報\tgroup\n  送信\ttimeline\n"));
    EXPECT_EQ(bytes_of(b / "data/x.zv"), record);
    EXPECT_EQ(bytes_of(b / "data/日報/送信.zv"), record);

    r = zvb_cmd({"dump", path8(a / "data/日報/送信.zv")});
    EXPECT_EQ(r.exit_code, 0);
    std::string dump = from_console(r.out);
    const std::pair<const char*, const char*> lines[] = {
        {"record 1 (offset 0)\n", "レコード 1 (オフセット 0)\n"},
        {"  size: 2684\n", "  size: 2684\n"},
        {"  interval: 350\n", "  操作間隔: 350\n"},
        {"  window_title: メモ帳\n", "  ウィンドウ名: メモ帳\n"},
        {"  code: 1324 (left click)\n", "  操作: 1324 (マウスの左ボタンをクリック)\n"},
        {"records: 1\n", "レコード数: 1\n"},
    };
    for (const auto& line : lines) {
        std::string want = shown(tr(line.first, line.second));
        EXPECT_NE(dump.find(want), std::string::npos) << want << "in\n" << dump;
    }
}

TEST(ZvbCmd, FailuresExitWithOneLine) {
    TempFolder u;
    fs::create_directories(u / "data");
    put_bytes(u / "bad.bin", "not an archive");
    put_bytes(u / "short.zv", le32(2684) + "cut");
    std::string dir = path8(u.root);
    struct Case {
        std::vector<std::string> args;
        const char* english;
        const char* japanese;
    };
    const Case cases[] = {
        {{}, "no command given (zvb_cmd /? shows the usage)", "コマンドが指定されていません (zvb_cmd /? で使い方を表示)"},
        {{"/dir"}, "/dir needs a folder (zvb_cmd /? shows the usage)",
         "/dir にはフォルダーを指定してください (zvb_cmd /? で使い方を表示)"},
        {{"/dir", dir, "remove", "x"}, "unknown command \"remove\" (zvb_cmd /? shows the usage)",
         "不明なコマンド「remove」 (zvb_cmd /? で使い方を表示)"},
        {{"/dir", dir, "export", "x"}, "usage: zvb_cmd export NAME OUTFILE", "使い方: zvb_cmd export NAME OUTFILE"},
        {{"/dir", path8(u / "none"), "list"}, nullptr, nullptr},  // the folder is named in the line
        {{"/dir", dir, "export", "ない", path8(u / "o.zva")},
         "The scenario \"ない\" named on the command line was not found.",
         "コマンドライン引数で指定されたシナリオ「ない」が見つかりません。"},
        {{"/dir", dir, "import", path8(u / "bad.bin")},
         "The import failed. bad.bin: The file is not a scenario archive.",
         "インポートに失敗しました。 bad.bin: シナリオのアーカイブではありません。"},
        {{"dump", path8(u / "missing.zv")}, nullptr, nullptr},
        {{"/dir", dir, "stats", path8(u / "none/s.html")}, nullptr, nullptr},
        {{"/dir", dir, "manual", "ない", dir}, "The scenario \"ない\" named on the command line was not found.",
         "コマンドライン引数で指定されたシナリオ「ない」が見つかりません。"},
    };
    for (const Case& c : cases) {
        auto r = zvb_cmd(c.args);
        std::string err = from_console(r.err);
        SCOPED_TRACE(err);
        EXPECT_EQ(r.exit_code, 1);
        EXPECT_EQ(r.out, "");
        ASSERT_EQ(std::count(err.begin(), err.end(), '\n'), 1);
        EXPECT_EQ(err.rfind("zvb_cmd: ", 0), 0u);
        if (c.english) {
            EXPECT_EQ(err, shown(std::string("zvb_cmd: ") + tr(c.english, c.japanese) + "\n"));
        }
    }
    // A broken operation file is dumped up to where it breaks: success.
    auto r = zvb_cmd({"dump", path8(u / "short.zv")});
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(from_console(r.out), tr("the record at offset 0 is cut short (7 bytes left)\nrecords: 0\n",
                                      "オフセット 0 のレコードが途中で終わっています (残り 7 バイト)\nレコード数: 0\n"));

    r = zvb_cmd({"/?"});
    EXPECT_EQ(r.exit_code, 0);
    std::string usage = from_console(r.out);
    EXPECT_EQ(usage.rfind("zvb_cmd [/dir USERDIR] list\nzvb_cmd [/dir USERDIR] export NAME OUTFILE\n"
                          "zvb_cmd [/dir USERDIR] import FILE...\nzvb_cmd [/dir USERDIR] stats [OUTFILE]\n"
                          "zvb_cmd [/dir USERDIR] manual NAME OUTDIR\nzvb_cmd dump FILE.zv\n", 0),
              0u);
    EXPECT_NE(usage.find(shown(tr("print every record of an operation file", "操作ファイルの全レコード"))),
              std::string::npos);
}

// The statistics report (default place and a given one) and the manual of
// a timeline, through the same generators as the recorder's.
TEST(ZvbCmd, StatsAndManual) {
    TempFolder u, out;
    std::string png = "\x89PNG\r\n\x1A\n" + std::string("\0\0\0\x0DIHDR\0\0\x01\x90\0\0\x01\x2C", 16) + "rest";
    std::string record = le32(2684) + le32(0) + le32(350) + le32(0) + le32(0) + le32(400) + le32(300) +
                         std::string(2684 - 28, '\0');
    record.replace(1056, 12, le32(0) + le32(uint32_t(png.size())) + le32(1324));  // the image, a left click
    record.replace(1076, 8, le32(200) + le32(100));
    fs::create_directories(u / "data");
    put_bytes(u / "data/週報.zv", record);
    put_bytes(u / "data/週報.zv.img", png);
    put_bytes(u / "data/週報.zv.ini", "[TIME]\r\nrecord=60000\r\nplay_total=160000\r\nrecord_timestamp=" +
                                         std::to_string(uint64_t(time(nullptr)) - 3600) + "\r\n[PLAY]\r\nstart=4\r\nend=4\r\n");
    put_bytes(u / "data/メモ.ksc", "");
    std::string dir = path8(u.root);

    auto r = zvb_cmd({"/dir", dir, "stats"});
    EXPECT_EQ(r.exit_code, 0) << r.err;
    std::string page = bytes_of(u / "statistics.html");
    EXPECT_NE(page.find("<tr><td class=\"script\">メモ</td>"), std::string::npos);
    EXPECT_NE(page.find("<tr><td>週報</td><td>8時間7分</td><td>1分 (1日)</td><td>33.3%</td><td>100.0%</td></tr>"),
              std::string::npos);
    r = zvb_cmd({"/dir", dir, "STATS", path8(out / "report.html")});
    EXPECT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(bytes_of(out / "report.html"), page);

    r = zvb_cmd({"/dir", dir, "manual", "週報", path8(out.root)});
    EXPECT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(bytes_of(out / "週報/0.png"), png);
    std::string manual = bytes_of(out / "週報.html");
    EXPECT_NE(manual.find("<title>週報</title>"), std::string::npos);
    EXPECT_NE(manual.find("<img src=\"週報/point.svg\" class=\"normal_img\" style=\"width:30px; height:30px; "
                          "left:97px; top:72px;\"/>"),
              std::string::npos);

    // A script has no operations to show; a missing folder cannot be written.
    r = zvb_cmd({"/dir", dir, "manual", "メモ", path8(out.root)});
    EXPECT_EQ(from_console(r.err),
              shown(tr("zvb_cmd: \"メモ\" is no timeline: a manual shows the operations of a timeline\n",
                       "zvb_cmd: 「メモ」はタイムラインではありません (マニュアルはタイムラインの操作から作ります)\n")));
    r = zvb_cmd({"/dir", dir, "manual", "週報", path8(out / "none")});
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_EQ(from_console(r.err).rfind(shown(tr("zvb_cmd: The HTML manual could not be written.: ",
                                                  "zvb_cmd: HTML出力に失敗しました。: ")), 0), 0u) << r.err;
}

}  // namespace
}  // namespace zvb
