// The HTML manual: the detail texts of every kind of operation, the image
// block's geometry (window, desktop, window inside the desktop, whole-screen
// capture; markers inside and outside), and a whole manual written from a
// timeline and an image store.
#include <gtest/gtest.h>

#include <string>

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

OperationRecord op(int32_t category, int32_t code) {
    OperationRecord r = {};
    r.size = kRecordBytes;
    r.category = category;
    r.code = code;
    r.desktop_rect = {0, 0, 1920, 1080};
    return r;
}

void set(char16_t (&field)[kTextUnits], const std::string& text) { record_set_text(field, U16(text).c_str()); }

TEST(Manual, DetailTexts) {
    struct Case {
        OperationRecord r;
        std::string lines;  // line 1 | line 2 | interval | flags
    };
    std::vector<Case> cases;
    auto add = [&](OperationRecord r, const std::string& lines) { cases.push_back({r, lines}); };

    OperationRecord click = op(kCategoryMouse, kCodeLeftClick);
    set(click.window_title, "請求書 - メモ帳");
    click.window_check = kCheckBoth;
    click.interval = 350;
    add(click, "ウィンドウ名： 請求書 - メモ帳|個別チェック： ウィンドウ名とウィンドウの種類|操作間隔: 350 ミリ秒|");
    click.desktop = 1;
    click.window_check = kCheckNone;
    add(click, "ウィンドウ名： デスクトップ|個別チェック： チェックしない|操作間隔: 350 ミリ秒|");
    OperationRecord key = op(kCategoryKey, kCodeSysKeyDown);
    set(key.window_title, "secret");
    key.masked = key.disabled = key.skip_if_no_window = 1;
    key.interval = 4294967295u;
    add(key, "ウィンドウ名： ****||操作間隔: 4294967295 ミリ秒|(マスク, 無効, ウィンドウが見つからない場合はスキップ)");

    OperationRecord wait = op(kCategoryOther, kCodeWait);
    set(wait.event_text1, "*保存*");
    add(wait, "||操作間隔: 0 ミリ秒|");
    wait.event_data1 = 4;
    add(wait, "待機条件： ウィンドウ名と「*保存*」が一致しない間||操作間隔: 0 ミリ秒|");
    wait.masked = 1;
    add(wait, "待機条件： ****||操作間隔: 0 ミリ秒|(マスク)");
    OperationRecord end = op(kCategoryOther, kCodeEndGroupPlay);
    set(end.event_text1, "OK");
    end.event_data1 = 1;
    add(end, "終了条件： クリップボードと「OK」が一致する間|オプション： グループの再生を強制終了する|操作間隔: 0 ミリ秒|");
    end.code = kCodeEndPlay;
    end.event_data1 = 6;
    add(end, "終了条件： ウィンドウの種類と「OK」が一致しない間||操作間隔: 0 ミリ秒|");
    OperationRecord launch = op(kCategoryOther, kCodeLaunch);
    set(launch.event_text1, "C:\\tools\\app.exe");
    add(launch, "アプリケーション： C:\\tools\\app.exe||操作間隔: 0 ミリ秒|");
    set(launch.event_text2, "/x \"a b\"");
    launch.masked = 1;
    add(launch, "アプリケーション： ****|コマンドライン： ****|操作間隔: 0 ミリ秒|(マスク)");
    const std::pair<int32_t, const char*> texts[] = {{kCodeSetText, "テキスト： "},
                                                     {kCodeSendText, "テキスト： "},
                                                     {kCodeInputText, "入力のタイトル： "},
                                                     {kCodeDateTime, "日時形式： "},
                                                     {kCodeMessageBox, "メッセージ： "}};
    for (const auto& t : texts) {
        OperationRecord r = op(kCategoryOther, t.first);
        set(r.event_text1, "x\ny");
        add(r, std::string(t.second) + "x\ny||操作間隔: 0 ミリ秒|");
    }
    OperationRecord script = op(kCategoryOther, kCodeScript);
    set(script.event_text1, "a = 1");
    set(script.event_text2, "; b = 2");
    add(script, "a = 1; b = 2||操作間隔: 0 ミリ秒|");
    OperationRecord ime = op(kCategoryOther, kCodeImeSettings);
    add(ime, "IMEオフ||操作間隔: 0 ミリ秒|");
    const std::pair<int32_t, const char*> modes[] = {{0, "半角英数"},  {16, "半角英数"},    {19, "半角カタカナ"},
                                                     {8, "全角英数"},  {25, "ひらがな"},    {11, "全角カタカナ"},
                                                     {27, "全角カタカナ"}, {5, nullptr}};
    ime.event_data1 = 1;
    for (const auto& m : modes) {
        ime.event_data2 = m.first;
        std::string second = m.second ? std::string("入力モード: ") + m.second : "";
        add(ime, "IMEオン|" + second + "|操作間隔: 0 ミリ秒|");
    }
    add(op(kCategoryOther, 9999), "||操作間隔: 0 ミリ秒|");

    for (const Case& c : cases) {
        OperationDetails d = operation_details(c.r);
        std::string got = utf8(d.line1) + "|" + utf8(d.line2) + "|" + utf8(operation_interval_text(c.r)) + "|" +
                          utf8(operation_flags_text(c.r));
        EXPECT_EQ(got, c.lines) << "code " << c.r.code;
    }
}

// The geometry of the image block, case by case.
TEST(Manual, ImageBlocks) {
    const CardImage none = {false, 0, 0, 0};
    struct Case {
        const char* what;
        OperationRecord r;
        CardImage image;
        std::string lines;
    };
    std::vector<Case> cases;

    // A window's own screenshot, wider than high: centred by width. 400 x 300
    // at k = 0.4875 is 195 x 146, 24 px down; the click at 200, 100 lands on
    // 97, 48 + 24.
    OperationRecord window = op(kCategoryMouse, kCodeLeftClick);
    window.window_rect = {100, 50, 500, 350};
    window.mouse_rel = {200, 100};
    window.mouse_pos = {300, 150};
    cases.push_back({"window", window, {true, 7, 400, 300},
                     "\t\t<img src=\"N/7.png\" class=\"normal_img\" style=\"width:195px; height:auto;\"/>\r\n"
                     "\t\t<img src=\"N/point.svg\" class=\"normal_img\" style=\"width:30px; height:30px; left:97px; "
                     "top:72px;\"/>\r\n"});
    // Higher than wide: centred by height; the marker 73 px from the left.
    OperationRecord tall = window;
    tall.window_rect = {0, 0, 300, 400};
    tall.mouse_rel = {0, 399};
    cases.push_back({"tall window", tall, {true, 8, 300, 400},
                     "\t\t<img src=\"N/8.png\" class=\"normal_img\" style=\"width:auto; height:195px;\"/>\r\n"
                     "\t\t<img src=\"N/point.svg\" class=\"normal_img\" style=\"width:30px; height:30px; left:24px; "
                     "top:194px;\"/>\r\n"});
    // A desktop operation with a screenshot of its window: the window sits
    // in the desktop's box (k = 195 / 1920; the desktop is 195 x 109, 43 px
    // down); the marker at the screen position.
    OperationRecord in_desktop = op(kCategoryMouse, kCodeRightClick);
    in_desktop.desktop = 1;
    in_desktop.window_rect = {480, 270, 1440, 810};
    in_desktop.mouse_pos = {960, 540};
    in_desktop.mouse_rel = {5000, 5000};
    cases.push_back({"window in the desktop", in_desktop, {true, 9, 960, 540},
                     "\t\t<img src=\"N/9.png\" style=\"width:97px; height:auto; left:48px; top:70px;\"/>\r\n"
                     "\t\t<img src=\"N/point.svg\" class=\"normal_img\" style=\"width:30px; height:30px; left:97px; "
                     "top:97px;\"/>\r\n"});
    // The same operation with a whole-screen picture: centred.
    cases.push_back({"desktop", in_desktop, {true, 10, 1920, 1080},
                     "\t\t<img src=\"N/10.png\" class=\"normal_img\" style=\"width:195px; height:auto;\"/>\r\n"
                     "\t\t<img src=\"N/point.svg\" class=\"normal_img\" style=\"width:30px; height:30px; left:97px; "
                     "top:97px;\"/>\r\n"});
    // A window operation with a whole-screen capture: the screen shifted so
    // that the window (640 x 480 at 100, 200; k = 0.3046875) fills the box.
    OperationRecord whole = op(kCategoryMouse, kCodeLeftDoubleClick);
    whole.window_rect = {100, 200, 740, 680};
    whole.mouse_rel = {320, 240};
    cases.push_back({"whole screen", whole, {true, 11, 1920, 1080},
                     "\t\t<img src=\"N/11.png\" style=\"width:585px; height:auto; left:-30px; top:-36px;\"/>\r\n"
                     "\t\t<img src=\"N/point.svg\" class=\"normal_img\" style=\"width:30px; height:30px; left:97px; "
                     "top:97px;\"/>\r\n"});
    // A higher window in a whole-screen capture: sized by height.
    OperationRecord whole_tall = whole;
    whole_tall.window_rect = {960, 0, 1360, 800};
    whole_tall.mouse_rel = {-1, 10};  // left of the window: no marker
    cases.push_back({"whole screen, tall window", whole_tall, {true, 12, 1920, 1080},
                     "\t\t<img src=\"N/12.png\" style=\"width:auto; height:263px; left:-185px; top:0px;\"/>\r\n"});
    // Masked: no picture, but the marker.
    OperationRecord masked = window;
    masked.masked = 1;
    cases.push_back({"masked", masked, none,
                     "\t\t<img src=\"N/point.svg\" class=\"normal_img\" style=\"width:30px; height:30px; left:97px; "
                     "top:72px;\"/>\r\n"});
    // Clicks outside the reference rectangle get no marker: right of it,
    // below it.
    OperationRecord right = window;
    right.mouse_rel = {400, 10};
    cases.push_back({"right of the window", right, none, ""});
    OperationRecord below = window;
    below.mouse_rel = {10, 300};
    cases.push_back({"below the window", below, none, ""});
    right.mouse_rel = {399, 299};
    cases.push_back({"last pixel", right, none,
                     "\t\t<img src=\"N/point.svg\" class=\"normal_img\" style=\"width:30px; height:30px; left:194px; "
                     "top:169px;\"/>\r\n"});
    // Wheels, keys and other operations have no click point.
    OperationRecord wheel = window;
    wheel.code = kCodeWheelDown;
    cases.push_back({"wheel", wheel, none, ""});
    OperationRecord key = window;
    key.category = kCategoryKey;
    key.code = kCodeKeyInput;
    cases.push_back({"key", key, {true, 0, 0, 0},
                     "\t\t<img src=\"N/0.png\" class=\"normal_img\" style=\"width:195px; height:auto;\"/>\r\n"});
    // No reference size: the picture centred, no marker, nothing divided by 0.
    OperationRecord empty = window;
    empty.window_rect = {50, 50, 50, 20};
    empty.mouse_rel = {0, 0};
    cases.push_back({"empty rectangle", empty, {true, 1, 10, 10},
                     "\t\t<img src=\"N/1.png\" class=\"normal_img\" style=\"width:auto; height:195px;\"/>\r\n"});
    OperationRecord huge = window;
    huge.window_rect = {-2147483647 - 1, 0, 2147483647, 1};
    huge.mouse_rel = {2147483647, 0};
    cases.push_back({"extreme rectangle", huge, none, ""});

    for (const Case& c : cases) {
        EXPECT_EQ(manual_image_block(c.r, u"N", c.image), "\t<div class=\"image\">\r\n" + c.lines + "\t</div>\r\n")
            << c.what;
    }
    // The scenario's name as a URL path segment inside an attribute.
    EXPECT_EQ(manual_image_block(masked, U16("月次 #1 50%&'x'"), none),
              "\t<div class=\"image\">\r\n\t\t<img src=\"月次%20%231%2050%25&amp;'x'/point.svg\" class=\"normal_img\" "
              "style=\"width:30px; height:30px; left:97px; top:72px;\"/>\r\n\t</div>\r\n");
}

std::string fake_png(uint32_t width, uint32_t height, char fill) {
    auto be32 = [](uint32_t v) {
        return std::string{char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
    };
    return "\x89PNG\r\n\x1A\n" + be32(13) + "IHDR" + be32(width) + be32(height) + std::string(40, fill);
}

TEST(Manual, WholeManual) {
    TempFolder dir;
    // Images: A (window size) shared by two operations, B used only by a
    // masked operation, C a whole-screen capture, and a reference past the
    // end of the store.
    std::string a = fake_png(400, 300, 'a'), b = fake_png(400, 300, 'b'), c = fake_png(1920, 1080, 'c');
    put_bytes(dir / "t.zv.img", a + b + c);
    OperationRecord* head = timeline_new();
    auto append = [&](OperationRecord r) {
        OperationRecord* copy = record_clone(&r);
        timeline_append(head, copy);
        return copy;
    };
    OperationRecord click = op(kCategoryMouse, kCodeLeftClick);
    click.window_rect = {100, 50, 500, 350};
    click.mouse_rel = {200, 100};
    set(click.window_title, "<見積> & \"請求\"");
    click.image_offset = 0;
    click.image_size = uint32_t(a.size());
    click.interval = 120;
    append(click);
    OperationRecord key = op(kCategoryKey, kCodeKeyInput);
    key.window_rect = click.window_rect;
    key.key_code = 'S';
    key.modifiers = kModCtrl;
    key.image_size = uint32_t(a.size());
    key.masked = 1;
    append(key);
    key.masked = 0;
    key.image_offset = uint32_t(a.size());  // B: only masked operations use it
    key.masked = 1;
    append(key);
    OperationRecord launch = op(kCategoryOther, kCodeLaunch);
    set(launch.event_text1, "C:\\app.exe");
    set(launch.event_text2, "/x <y>");
    launch.interval = 250;
    launch.disabled = launch.skip_if_no_window = 1;
    append(launch);
    OperationRecord screen = click;
    screen.window_rect = {100, 200, 740, 680};
    screen.mouse_rel = {320, 240};
    screen.image_offset = uint32_t(a.size() + b.size());
    screen.image_size = uint32_t(c.size());
    append(screen);
    OperationRecord outside = click;
    outside.image_offset = uint32_t(a.size() + b.size() + c.size());
    append(outside);

    fs::create_directories(dir / "out/週報 & 'x'");
    put_bytes(dir / "out/週報 & 'x'/0.png", "left by an older manual");
    std::string_view head_template = report_template(ReportTemplate::kManualHead);
    std::string_view marker = report_template(ReportTemplate::kMarker);
    uint32_t error = 0;
    const std::u16string name = U16("週報 & 'x'");
    ASSERT_TRUE(manual_write(U(dir / "out"), name, head, U(dir / "t.zv.img"), head_template, marker, &error));

    // The shared image once, the masked operations' image not at all; the
    // stale file of an older manual replaced.
    EXPECT_EQ(listing(dir / "out"), "週報 & 'x'.html 週報 & 'x'/ 週報 & 'x'/0.png 週報 & 'x'/128.png "
                                    "週報 & 'x'/point.svg");
    EXPECT_EQ(bytes_of(dir / "out/週報 & 'x'/0.png"), a);
    EXPECT_EQ(bytes_of(dir / "out/週報 & 'x'/128.png"), c);
    EXPECT_EQ(bytes_of(dir / "out/週報 & 'x'/point.svg"), marker);

    std::string page = bytes_of(dir / "out/週報 & 'x'.html");
    size_t at = std::string(head_template).find("<title>");
    ASSERT_NE(at, std::string::npos);
    std::string want_head = std::string(head_template).insert(at + 7, "週報 &amp; 'x'");
    ASSERT_EQ(page.substr(0, want_head.size()), want_head);
    std::string cards = page.substr(want_head.size());
    const std::string src = "週報%20&amp;%20'x'";
    EXPECT_EQ(cards,
              "<div class=\"item\">\r\n\t<div class=\"image\">\r\n"
              "\t\t<img src=\"" + src + "/0.png\" class=\"normal_img\" style=\"width:195px; height:auto;\"/>\r\n"
              "\t\t<img src=\"" + src + "/point.svg\" class=\"normal_img\" style=\"width:30px; height:30px; left:97px; top:72px;\"/>\r\n"
              "\t</div>\r\n\t<div class=\"text\">\r\n\t\t<div class=\"title\">1. マウスの左ボタンをクリック</div>\r\n\t\t<hr/>\r\n"
              "\t\t<div class=\"detail\">ウィンドウ名： &lt;見積&gt; &amp; &quot;請求&quot;</div>\r\n"
              "\t\t<div class=\"detail\">操作間隔: 120 ミリ秒</div>\r\n\t</div>\r\n</div>\r\n"
              // A masked key operation: no picture, no keys in its title.
              "<div class=\"item\">\r\n\t<div class=\"image\">\r\n\t</div>\r\n\t<div class=\"text\">\r\n"
              "\t\t<div class=\"title\">2. キーを入力する</div>\r\n\t\t<hr/>\r\n"
              "\t\t<div class=\"detail\">ウィンドウ名： ****</div>\r\n\t\t<div class=\"detail\">操作間隔: 0 ミリ秒</div>\r\n"
              "\t\t<div class=\"detail\">(マスク)</div>\r\n\t</div>\r\n</div>\r\n"
              "<div class=\"item\">\r\n\t<div class=\"image\">\r\n\t</div>\r\n\t<div class=\"text\">\r\n"
              "\t\t<div class=\"title\">3. キーを入力する</div>\r\n\t\t<hr/>\r\n"
              "\t\t<div class=\"detail\">ウィンドウ名： ****</div>\r\n\t\t<div class=\"detail\">操作間隔: 0 ミリ秒</div>\r\n"
              "\t\t<div class=\"detail\">(マスク)</div>\r\n\t</div>\r\n</div>\r\n"
              "<div class=\"item disable\">\r\n\t<div class=\"image\">\r\n\t</div>\r\n\t<div class=\"text\">\r\n"
              "\t\t<div class=\"title\">4. アプリケーションの起動</div>\r\n\t\t<hr/>\r\n"
              "\t\t<div class=\"detail\">アプリケーション： C:\\app.exe</div>\r\n"
              "\t\t<div class=\"detail\">コマンドライン： /x &lt;y&gt;</div>\r\n"
              "\t\t<div class=\"detail\">操作間隔: 250 ミリ秒</div>\r\n"
              "\t\t<div class=\"detail\">(無効, ウィンドウが見つからない場合はスキップ)</div>\r\n\t</div>\r\n</div>\r\n"
              "<div class=\"item\">\r\n\t<div class=\"image\">\r\n"
              "\t\t<img src=\"" + src + "/128.png\" style=\"width:585px; height:auto; left:-30px; top:-36px;\"/>\r\n"
              "\t\t<img src=\"" + src + "/point.svg\" class=\"normal_img\" style=\"width:30px; height:30px; left:97px; top:97px;\"/>\r\n"
              "\t</div>\r\n\t<div class=\"text\">\r\n\t\t<div class=\"title\">5. マウスの左ボタンをクリック</div>\r\n\t\t<hr/>\r\n"
              "\t\t<div class=\"detail\">ウィンドウ名： &lt;見積&gt; &amp; &quot;請求&quot;</div>\r\n"
              "\t\t<div class=\"detail\">操作間隔: 120 ミリ秒</div>\r\n\t</div>\r\n</div>\r\n"
              // An image the store does not hold: an empty box.
              "<div class=\"item\">\r\n\t<div class=\"image\">\r\n"
              "\t\t<img src=\"" + src + "/point.svg\" class=\"normal_img\" style=\"width:30px; height:30px; left:97px; top:72px;\"/>\r\n"
              "\t</div>\r\n\t<div class=\"text\">\r\n\t\t<div class=\"title\">6. マウスの左ボタンをクリック</div>\r\n\t\t<hr/>\r\n"
              "\t\t<div class=\"detail\">ウィンドウ名： &lt;見積&gt; &amp; &quot;請求&quot;</div>\r\n"
              "\t\t<div class=\"detail\">操作間隔: 120 ミリ秒</div>\r\n\t</div>\r\n</div>\r\n"
              "</body></html>");

    // Without a readable image store the cards have no pictures; without the
    // output folder nothing can be written.
    ASSERT_TRUE(manual_write(U(dir / "out"), u"n", head, U(dir / "none.img"), head_template, marker, &error));
    EXPECT_EQ(bytes_of(dir / "out/n.html").find(".png"), std::string::npos);
    EXPECT_FALSE(manual_write(U(dir / "missing"), u"n", head, U(dir / "t.zv.img"), head_template, marker, &error));
    EXPECT_NE(error, 0u);
    timeline_free(head);
}

}  // namespace
}  // namespace zvb
