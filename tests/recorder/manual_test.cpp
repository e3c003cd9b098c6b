// The HTML manual: the detail texts of every kind of operation, the image
// block's geometry case by case, and a whole manual from a timeline and an
// image store.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "manual.h"
#include "operation_codes.h"
#include "operation_details.h"
#include "recorder_test_util.h"
#include "report_templates.h"
#include "timeline.h"

namespace zvb {
namespace {

using namespace zvb::test;

std::string utf8(const std::u16string& s) { return fs::path(s).u8string(); }

OperationRecord op(int32_t category, int32_t code, const char* text1 = "", const char* text2 = "", int32_t data1 = 0,
                   int32_t data2 = 0, uint32_t masked = 0) {
    OperationRecord r = {};
    r.size = kRecordBytes;
    r.category = category;
    r.code = code;
    r.desktop_rect = {0, 0, 1920, 1080};
    record_set_text(r.event_text1, U16(text1).c_str());
    record_set_text(r.event_text2, U16(text2).c_str());
    r.event_data1 = data1;
    r.event_data2 = data2;
    r.masked = masked;
    return r;
}

TEST(Manual, DetailTexts) {
    OperationRecord window = op(0, kCodeLeftClick), desktop = op(1, kCodeSysKeyDown), masked = op(0, 512);
    record_set_text(window.window_title, U16("請求書 - メモ帳").c_str());
    window.window_check = kCheckBoth;
    window.interval = 350;
    desktop.desktop = 1;
    desktop.window_check = kCheckNone;
    masked.masked = masked.disabled = masked.skip_if_no_window = 1;
    masked.interval = 4294967295u;
    const std::pair<OperationRecord, const char*> cases[] = {
        {window, "ウィンドウ名： 請求書 - メモ帳|個別チェック： ウィンドウ名とウィンドウの種類|操作間隔: 350 ミリ秒|"},
        {desktop, "ウィンドウ名： デスクトップ|個別チェック： チェックしない|"},
        {masked, "ウィンドウ名： ****||操作間隔: 4294967295 ミリ秒|(マスク, 無効, ウィンドウが見つからない場合はスキップ)"},
        {op(2, kCodeWait, "*x*"), "||"},
        {op(2, kCodeWait, "*x*", "", 4), "待機条件： ウィンドウ名と「*x*」が一致しない間||"},
        {op(2, kCodeWait, "*x*", "", 1, 0, 1), "待機条件： ****||"},
        {op(2, kCodeEndGroupPlay, "OK", "", 2), "終了条件： クリップボードと「OK」が一致しない間|オプション： グループの再生を強制終了する|"},
        {op(2, kCodeEndPlay, "OK", "", 5), "終了条件： ウィンドウの種類と「OK」が一致する間||"},
        {op(2, kCodeLaunch, "C:\\app.exe"), "アプリケーション： C:\\app.exe||"},
        {op(2, kCodeLaunch, "C:\\app.exe", "/x", 0, 0, 1), "アプリケーション： ****|コマンドライン： ****|"},
        {op(2, kCodeSetText, "a\nb"), "テキスト： a\nb||"},
        {op(2, kCodeSendText, "s"), "テキスト： s||"},
        {op(2, kCodeInputText, "t"), "入力のタイトル： t||"},
        {op(2, kCodeDateTime, "%Y"), "日時形式： %Y||"},
        {op(2, kCodeMessageBox, "m"), "メッセージ： m||"},
        {op(2, kCodeScript, "a = 1", "; b = 2"), "a = 1; b = 2||"},
        {op(2, kCodeImeSettings), "IMEオフ||"},
        {op(2, kCodeImeSettings, "", "", 1, 16), "IMEオン|入力モード: 半角英数|"},
        {op(2, kCodeImeSettings, "", "", 1, 3), "IMEオン|入力モード: 半角カタカナ|"},
        {op(2, kCodeImeSettings, "", "", 1, 24), "IMEオン|入力モード: 全角英数|"},
        {op(2, kCodeImeSettings, "", "", 1, 9), "IMEオン|入力モード: ひらがな|"},
        {op(2, kCodeImeSettings, "", "", 1, 27), "IMEオン|入力モード: 全角カタカナ|"},
        {op(2, kCodeImeSettings, "", "", 1, 5), "IMEオン||"},
        {op(2, 9999, "x"), "||"},
    };
    for (const auto& c : cases) {
        OperationDetails d = operation_details(c.first);
        std::string got = utf8(d.line1) + "|" + utf8(d.line2) + "|", want = c.second;
        if (std::count(want.begin(), want.end(), '|') == 2) {  // the usual interval line, no flags
            EXPECT_EQ(utf8(operation_interval_text(c.first)), "操作間隔: 0 ミリ秒");
            EXPECT_EQ(operation_flags_text(c.first), c.first.masked ? u"(マスク)" : u"");
        } else {
            got += utf8(operation_interval_text(c.first)) + "|" + utf8(operation_flags_text(c.first));
        }
        EXPECT_EQ(got, want) << "code " << c.first.code;
    }
}

std::string image_line(const char* src, const char* style, bool centred = false) {
    return std::string("\t\t<img src=\"N/") + src + "\"" + (centred ? " class=\"normal_img\"" : "") + " style=\"" +
           style + "\"/>\r\n";
}

std::string marker(int left, int top) {
    return "\t\t<img src=\"N/point.svg\" class=\"normal_img\" style=\"width:30px; height:30px; left:" +
           std::to_string(left) + "px; top:" + std::to_string(top) + "px;\"/>\r\n";
}

TEST(Manual, ImageBlocks) {
    const CardImage none = {false, 0, 0, 0};
    // A 400 x 300 window: k = 0.4875, the box shows it 195 x 146, 24 px down.
    OperationRecord window = op(0, kCodeLeftClick);
    window.window_rect = {100, 50, 500, 350};
    window.mouse_rel = {200, 100};
    OperationRecord tall = window, in_desktop = window, whole = window, whole_tall, masked = window, right = window,
                    below = window, last = window, wheel = window, key = window, empty = window, huge = window;
    tall.window_rect = {0, 0, 300, 400};
    tall.mouse_rel = {0, 399};
    // Desktop operations take the desktop as reference (k = 195 / 1920, 109
    // px high, 43 px down) and the screen position.
    in_desktop.desktop = 1;
    in_desktop.window_rect = {480, 270, 1440, 810};
    in_desktop.mouse_pos = {960, 540};
    // A whole-screen capture of a 640 x 480 window at 100, 200 (k = 0.3046875).
    whole.window_rect = {100, 200, 740, 680};
    whole.mouse_rel = {320, 240};
    whole_tall = whole;
    whole_tall.window_rect = {960, 0, 1360, 800};
    whole_tall.mouse_rel = {-1, 10};
    masked.masked = 1;
    right.mouse_rel = {400, 10};
    below.mouse_rel = {10, 300};
    last.mouse_rel = {399, 299};
    wheel.code = kCodeWheelDown;
    key.category = kCategoryKey;
    key.code = kCodeKeyInput;
    empty.window_rect = {50, 50, 50, 20};
    empty.mouse_rel = {0, 0};
    huge.window_rect = {-2147483647 - 1, 0, 2147483647, 1};
    huge.mouse_rel = {2147483647, 0};
    struct Case {
        const char* what;
        const OperationRecord& r;
        CardImage image;
        std::string lines;
    };
    const Case cases[] = {
        {"window", window, {true, 7, 400, 300}, image_line("7.png", "width:195px; height:auto;", true) + marker(97, 72)},
        {"tall window", tall, {true, 8, 300, 400}, image_line("8.png", "width:auto; height:195px;", true) + marker(24, 194)},
        {"window in the desktop", in_desktop, {true, 9, 960, 540},
         image_line("9.png", "width:97px; height:auto; left:48px; top:70px;") + marker(97, 97)},
        {"desktop", in_desktop, {true, 10, 1920, 1080},
         image_line("10.png", "width:195px; height:auto;", true) + marker(97, 97)},
        {"whole screen", whole, {true, 11, 1920, 1080},
         image_line("11.png", "width:585px; height:auto; left:-30px; top:-36px;") + marker(97, 97)},
        {"whole screen, tall window, click left of it", whole_tall, {true, 12, 1920, 1080},
         image_line("12.png", "width:auto; height:263px; left:-185px; top:0px;")},
        {"masked", masked, none, marker(97, 72)},
        {"right of the window", right, none, ""},
        {"below the window", below, none, ""},
        {"last pixel", last, none, marker(194, 169)},
        {"wheel", wheel, none, ""},
        {"key, no PNG", key, {true, 0, 0, 0}, image_line("0.png", "width:195px; height:auto;", true)},
        {"empty rectangle", empty, {true, 1, 10, 10}, image_line("1.png", "width:auto; height:195px;", true)},
        {"extreme rectangle", huge, none, ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(manual_image_block(c.r, u"N", c.image), "\t<div class=\"image\">\r\n" + c.lines + "\t</div>\r\n")
            << c.what;
    // The scenario's name as a URL path segment inside an attribute, of any
    // length.
    EXPECT_NE(manual_image_block(masked, U16("月次 #1 50%&'x'"), none).find("src=\"月次%20%231%2050%25&amp;'x'/point.svg\""),
              std::string::npos);
    std::string long_name(250, '#');
    EXPECT_NE(manual_image_block(window, U16(long_name), {true, 3, 1, 1}).find("%23%23/3.png\" class"), std::string::npos);
}

std::string fake_png(uint32_t width, uint32_t height, char fill) {
    auto be32 = [](uint32_t v) { return std::string{char(v >> 24), char(v >> 16), char(v >> 8), char(v)}; };
    return "\x89PNG\r\n\x1A\n" + be32(13) + "IHDR" + be32(width) + be32(height) + std::string(40, fill);
}

TEST(Manual, WholeManual) {
    TempFolder dir;
    // A (the window) for two operations, B only for a masked one, C a whole
    // screen; the last operation points past the end of the store.
    std::string a = fake_png(400, 300, 'a'), b = fake_png(400, 300, 'b'), c = fake_png(1920, 1080, 'c');
    put_bytes(dir / "t.zv.img", a + b + c);
    OperationRecord* head = timeline_new();
    OperationRecord click = op(0, kCodeLeftClick), key = op(1, kCodeKeyInput), launch = op(2, kCodeLaunch, "x.exe");
    click.window_rect = key.window_rect = {100, 50, 500, 350};
    click.mouse_rel = {200, 100};
    record_set_text(click.window_title, U16("<見積> & \"請求\"").c_str());
    click.image_size = key.image_size = uint32_t(a.size());
    key.key_code = 'S';
    key.modifiers = kModCtrl;
    key.masked = 1;
    launch.disabled = 1;
    OperationRecord masked_b = key, screen = click, outside = click;
    masked_b.image_offset = uint32_t(a.size());
    screen.window_rect = {100, 200, 740, 680};
    screen.mouse_rel = {320, 240};
    screen.image_offset = uint32_t(a.size() + b.size());
    screen.image_size = uint32_t(c.size());
    outside.image_offset = uint32_t(a.size() + b.size() + c.size());
    for (const OperationRecord* r : {&click, &key, &masked_b, &launch, &screen, &outside})
        timeline_append(head, record_clone(r));

    const std::u16string name = U16("週報 & 'x'");
    fs::create_directories(dir / "out/週報 & 'x'");
    put_bytes(dir / "out/週報 & 'x'/0.png", "left by an older manual");
    std::string_view head_template = report_template(ReportTemplate::kManualHead);
    std::string_view marker_svg = report_template(ReportTemplate::kMarker);
    uint32_t error = 0;
    ASSERT_TRUE(manual_write(U(dir / "out"), name, head, U(dir / "t.zv.img"), head_template, marker_svg, &error));

    // Each image once, the masked operation's not at all, the stale file
    // of an older manual replaced.
    EXPECT_EQ(listing(dir / "out"), "週報 & 'x'.html 週報 & 'x'/ 週報 & 'x'/0.png 週報 & 'x'/128.png "
                                    "週報 & 'x'/point.svg");
    EXPECT_EQ(bytes_of(dir / "out/週報 & 'x'/0.png"), a);
    EXPECT_EQ(bytes_of(dir / "out/週報 & 'x'/128.png"), c);
    EXPECT_EQ(bytes_of(dir / "out/週報 & 'x'/point.svg"), marker_svg);
    std::string page = bytes_of(dir / "out/週報 & 'x'.html");
    std::string want_head(head_template);
    want_head.insert(want_head.find("<title>") + 7, "週報 &amp; 'x'");
    ASSERT_EQ(page.substr(0, want_head.size()), want_head);
    for (const char* part :
         {"<div class=\"item\">\r\n\t<div class=\"image\">\r\n\t\t<img src=\"週報%20&amp;%20'x'/0.png\" class=\"normal_img\" "
          "style=\"width:195px; height:auto;\"/>\r\n\t\t<img src=\"週報%20&amp;%20'x'/point.svg\" class=\"normal_img\" "
          "style=\"width:30px; height:30px; left:97px; top:72px;\"/>\r\n\t</div>\r\n\t<div class=\"text\">\r\n"
          "\t\t<div class=\"title\">1. マウスの左ボタンをクリック</div>\r\n\t\t<hr/>\r\n"
          "\t\t<div class=\"detail\">ウィンドウ名： &lt;見積&gt; &amp; &quot;請求&quot;</div>\r\n"
          "\t\t<div class=\"detail\">操作間隔: 0 ミリ秒</div>\r\n\t</div>\r\n</div>\r\n",
          // A masked key operation: an empty box, no keys in its title.
          "<div class=\"item\">\r\n\t<div class=\"image\">\r\n\t</div>\r\n\t<div class=\"text\">\r\n"
          "\t\t<div class=\"title\">2. キーを入力する</div>",
          "<div class=\"detail\">(マスク)</div>",
          "<div class=\"item disable\">\r\n\t<div class=\"image\">\r\n\t</div>\r\n",
          "<img src=\"週報%20&amp;%20'x'/128.png\" style=\"width:585px; height:auto; left:-30px; top:-36px;\"/>",
          "<div class=\"title\">6. マウスの左ボタンをクリック</div>"})
        EXPECT_NE(page.find(part), std::string::npos) << part;
    const std::string end = "\t</div>\r\n</div>\r\n</body></html>";
    EXPECT_EQ(page.substr(page.size() - end.size()), end);

    // Without a readable image store the cards have no pictures; without
    // the output folder nothing can be written.
    ASSERT_TRUE(manual_write(U(dir / "out"), u"n", head, U(dir / "none.img"), head_template, marker_svg, &error));
    EXPECT_EQ(bytes_of(dir / "out/n.html").find(".png"), std::string::npos);
    EXPECT_FALSE(manual_write(U(dir / "missing"), u"n", head, U(dir / "t.zv.img"), head_template, marker_svg, &error));
    EXPECT_NE(error, 0u);
    timeline_free(head);
}

}  // namespace
}  // namespace zvb
