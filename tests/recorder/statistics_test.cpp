// The statistics report: the per-entry values and totals in single
// precision, the duration texts, and whole pages from hand-made settings
// files (escaping, never-played scripts, timestamps written back, every
// placeholder replaced once).
#include <gtest/gtest.h>

#include <cstring>
#include <ctime>
#include <regex>
#include <string>
#include <vector>

#include "profile.h"
#include "recorder_test_util.h"
#include "report_templates.h"
#include "scenario.h"
#include "statistics.h"

namespace zvb {
namespace {

using namespace zvb::test;

std::string utf8(const std::u16string& s) { return fs::path(s).u8string(); }

constexpr uint64_t kNow = 1700000000;  // 2023-11-14 22:13:20 UTC

struct FiguresCase {
    const char* what;
    PlayFigures in;
    EntryFigures want;
};

TEST(Statistics, EntryFigures) {
    const uint32_t kMax = 4294967295u;
    const FiguresCase cases[] = {
        // 4 plays of 40 s against a 60 s recording: 80 s saved, 33.3 %.
        {"worked example", {60000, 160000, kNow - 3600, 4, 4},
         {40000.0f, 1, 80000.0f, 80000.0f, 486.66666f, 33.333336f, 100.0f}},
        // Recorded today, 30 minutes saved: 10950 minutes a year.
        {"thirty minutes today", {600000, 600000, kNow - 1, 4, 4},
         {150000.0f, 1, 1800000.0f, 1800000.0f, 10950.0f, 75.0f, 100.0f}},
        {"played script", {0, 1234, kNow - 2 * 86400, 2, 1}, {1234.0f, 3, 0, 0, 0, 0, 50.0f}},
        {"nothing yet", {0, 0, kNow, 0, 0}, {0, 0, 0, 0, 0, 0, 0}},
        {"slower than recorded", {1000, 3000, kNow - 86400, 2, 1}, {3000.0f, 2, -2000.0f, -1000.0f, -6.0833335f, -200.0f, 50.0f}},
        {"clock before the recording", {5000, 2000, kNow + 10, 1, 1}, {2000.0f, 0, 3000.0f, 0, 0, 60.0f, 100.0f}},
        {"never ended", {5000, 0, kNow - 86400 * 9, 7, 0}, {0, 10, 0, 0, 0, 0, 0}},
        {"huge counters", {kMax, kMax, 0, kMax, kMax},
         {1.0f, 19676, 1.84467441e19f, 9.37525124e14f, 5.70327826e12f, 100.0f, 100.0f}},
    };
    for (const FiguresCase& c : cases) {
        SCOPED_TRACE(c.what);
        EntryFigures got = entry_figures(c.in, kNow);
        EXPECT_FLOAT_EQ(got.average_ms, c.want.average_ms);
        EXPECT_EQ(got.days, c.want.days);
        EXPECT_FLOAT_EQ(got.saved_ms, c.want.saved_ms);
        EXPECT_FLOAT_EQ(got.saved_per_day_ms, c.want.saved_per_day_ms);
        EXPECT_FLOAT_EQ(got.annual_minutes, c.want.annual_minutes);
        EXPECT_FLOAT_EQ(got.reduction_percent, c.want.reduction_percent);
        EXPECT_FLOAT_EQ(got.success_percent, c.want.success_percent);
    }
}

TEST(Statistics, DurationTexts) {
    const struct {
        float minutes;
        const char* text;
    } cases[] = {
        {0, "0分"},         {59.4f, "59分"},          {59.7f, "1時間0分"},      {60, "1時間0分"},
        {119.6f, "2時間0分"}, {10950, "182時間30分"},  {-0.2f, "0分"},           {-30, "-30分"},
        {-125, "-2時間5分"}, {1e30f, "150000000000000時間0分"},
    };
    for (const auto& c : cases) EXPECT_EQ(minutes_text(c.minutes), c.text) << c.minutes;
    EXPECT_EQ(minutes_days_text(90.5f, 3), "1時間31分 (3日)");
    EXPECT_EQ(minutes_days_text(1.3f, 1), "1分 (1日)");
    EXPECT_EQ(hours_minutes_text(30), "0時間30分");
    EXPECT_EQ(hours_minutes_text(-61), "-1時間1分");
}

// A tree built by hand: display names may hold what file names cannot, so
// the files of an entry live under a plain name in `folder`.
struct HandTree {
    ScenarioEntry* root = list_new();
    ~HandTree() { list_free(root); }

    ScenarioEntry* add(ScenarioEntry* head, const std::string& name, int32_t type, const fs::path& folder,
                       const std::string& file_name) {
        ScenarioEntry* e = entry_new();
        e->type = type;
        entry_set_name(e, U16(file_name));
        entry_set_place(e, U(folder));
        entry_set_name(e, U16(name));
        if (type == kTypeGroup) e->child = list_new();
        ScenarioEntry* last = head;
        while (last->next) last = last->next;
        last->next = e;
        return e;
    }
};

std::string ini(const std::string& time, const std::string& play, bool script = false) {
    return "[TIME]\r\n" + time + "[PLAY]\r\n" + play + (script ? "[STATS]\r\nscript=1\r\n" : "");
}

// The one-read profile reader against the profile functions (on Windows the
// system's own): the same sections, keys and values.
TEST(Statistics, ProfileReadAllAgreesWithTheProfileFunctions) {
    TempFolder dir;
    const std::string text =
        "top=1\r\n; a comment\r\n[TIME]\r\n Record = 60000 \r\nplay_total=\"160000\"\r\n"
        "record_timestamp=\r\n[ Play ]\r\nSTART=0x10\r\nend=-3\r\nno equals sign\r\n"
        "[STATS]\r\nscript='1'\r\nnote=a = b\r\n";
    put_bytes(dir / "ansi.ini", text);
    put_bytes(dir / "utf8.ini", "\xEF\xBB\xBF" + text);
    std::string utf16 = "\xFF\xFE";
    for (char c : text) utf16 += std::string{c, '\0'};
    put_bytes(dir / "utf16.ini", utf16);
    const char* want = "|top=1 TIME|Record=60000 TIME|play_total=160000 TIME|record_timestamp= Play|START=0x10 "
                       "Play|end=-3 STATS|script=1 STATS|note=a = b ";
    std::vector<std::string> files = {"ansi.ini", "utf8.ini"};
#ifdef _WIN32
    files.push_back("utf16.ini");  // the system reads these too
#endif
    for (const std::string& name : files) {
        std::u16string file = U(dir / name);
        std::vector<std::u16string> seen;
        std::string got;
        auto visit = [](const char16_t* section, const char16_t* key, const char16_t* value, void* ctx) {
            auto* all = static_cast<std::vector<std::u16string>*>(ctx);
            all->push_back(section);
            all->push_back(key);
            all->push_back(value);
            return true;
        };
        ASSERT_TRUE(zv::profile_read_all(file.c_str(), visit, &seen)) << name;
        for (size_t i = 0; i + 2 < seen.size(); i += 3) {
            got += utf8(seen[i]) + "|" + utf8(seen[i + 1]) + "=" + utf8(seen[i + 2]) + " ";
            if (seen[i].empty()) continue;
            char16_t system[64];
            zv::profile_text(file.c_str(), seen[i].c_str(), seen[i + 1].c_str(), u"?", system, 64);
            EXPECT_EQ(utf8(system), utf8(seen[i + 2])) << name << " " << utf8(seen[i + 1]);
            EXPECT_EQ(zv::profile_int(file.c_str(), seen[i].c_str(), seen[i + 1].c_str(), 7),
                      zv::profile_parse_int(seen[i + 2].c_str(), 7))
                << name << " " << utf8(seen[i + 1]);
        }
        EXPECT_EQ(got, want) << name;
    }
    EXPECT_FALSE(zv::profile_read_all(U(dir / "missing.ini").c_str(), nullptr, nullptr));
}

size_t count(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

TEST(Statistics, PageFromSettingsFiles) {
    TempFolder dir;
    // The operation file of the entry without a timestamp is made now; the
    // report is made ten days and an hour later.
    put_bytes(dir / "stamp.zv", "");
    uint64_t real_now = uint64_t(time(nullptr));
    uint64_t now = real_now + 10 * 86400 + 3600;
    auto at = [&](uint64_t ago) { return "record_timestamp=" + std::to_string(now - ago) + "\r\n"; };

    HandTree t;
    t.add(t.root, "A&B <\"x\">", kTypeTimeline, dir.root, "ab");
    put_bytes(dir / "ab.zv.ini", ini("record=60000\r\nplay_total=160000\r\n" + at(3600), "start=4\r\nend=4\r\n"));
    ScenarioEntry* g = t.add(t.root, "G<1>", kTypeGroup, dir.root, "g");
    t.add(g->child, "never", kTypeScript, dir.root, "never");
    put_bytes(dir / "never.ksc.ini", ini("", "start=0\r\n"));
    t.add(g->child, "once", kTypeScript, dir.root, "once");
    put_bytes(dir / "once.ksc.ini", ini("play_total=5000\r\n" + at(2 * 86400 + 5), "start=1\r\nend=1\r\n", true));
    ScenarioEntry* nested = t.add(g->child, "&", kTypeGroup, dir.root, "amp");
    t.add(nested->child, "stamp", kTypeTimeline, dir.root, "stamp");
    put_bytes(dir / "stamp.zv.ini", ini("record=120000\r\n", ""));
    // A name that looks like a placeholder stays a name.
    t.add(t.root, "%1% %list%", kTypeTimeline, dir.root, "pct");
    put_bytes(dir / "pct.zv.ini", ini(at(40 * 86400), ""));

    std::string page = statistics_page(t.root, "\xEF\xBB\xBF<p>%1%|%2%|%3%|%4%|%5%|%6%|%6%|%x%|100%</p>\n%list%.", now);

    // The missing timestamp was taken from the file and written back.
    std::string stamp = bytes_of(dir / "stamp.zv.ini");
    std::smatch m;
    ASSERT_TRUE(std::regex_search(stamp, m, std::regex("record_timestamp=(\\d+)"))) << stamp;
    uint64_t created = std::stoull(m[1]);
    EXPECT_LE(created, real_now + 1);
    EXPECT_GE(created + 120, real_now);
    EXPECT_EQ(bytes_of(dir / "never.ksc.ini"), ini("", "start=0\r\n"));  // a never-played script is only read

    // Totals: Q 80000 ms a day (the stamped timeline saves nothing yet); V
    // 80000 - 5000 ms, since the script's play counts against it; the
    // reduction rate from the first entry alone (R and A), the success rate
    // from both played entries (S and E).
    EXPECT_EQ(page,
              "\xEF\xBB\xBF<p>8時間7分|1分|33.3%|241.000|100.0%|723.000|723.000|%x%|100%</p>\n"
              "<tr><td>A&amp;B &lt;&quot;x&quot;&gt;</td><td>8時間7分</td><td>1分 (1日)</td><td>33.3%</td>"
              "<td>100.0%</td></tr>\r\n"
              "<tr><td class=\"script\">G&lt;1&gt;/never</td><td></td><td></td><td></td><td></td></tr>\r\n"
              "<tr><td>G&lt;1&gt;/once</td><td>0分</td><td>0分 (3日)</td><td>0.0%</td><td>100.0%</td></tr>\r\n"
              "<tr><td>G&lt;1&gt;/&amp;/stamp</td><td>0分</td><td>0分 (11日)</td><td>0.0%</td><td>0.0%</td></tr>\r\n"
              "<tr><td>%1% %list%</td><td>0分</td><td>0分 (41日)</td><td>0.0%</td><td>0.0%</td></tr>\r\n.");

    // The program's own template: every placeholder filled, written whole.
    std::string_view tmpl = report_template(ReportTemplate::kStatistics);
    ASSERT_GT(tmpl.size(), 3u);
    EXPECT_EQ(tmpl.substr(0, 3), "\xEF\xBB\xBF");
    uint32_t error = 0;
    ASSERT_TRUE(statistics_write(t.root, tmpl, now, U(dir / "statistics.html"), &error));
    std::string written = bytes_of(dir / "statistics.html");
    EXPECT_EQ(written.substr(0, 3), "\xEF\xBB\xBF");
    EXPECT_EQ(count(written, "stroke-dasharray=\"241.000 723\""), 2u);
    EXPECT_EQ(count(written, "stroke-dasharray=\"723.000 723\""), 2u);
    for (const char* placeholder : {"%1%", "%list%"}) EXPECT_EQ(count(written, placeholder), 1u);  // the name
    for (const char* placeholder : {"%2%", "%3%", "%4%", "%5%", "%6%"}) EXPECT_EQ(count(written, placeholder), 0u);
    EXPECT_FALSE(statistics_write(t.root, tmpl, now, U(dir / "missing" / "statistics.html"), &error));
    EXPECT_NE(error, 0u);
}

}  // namespace
}  // namespace zvb
