// The merging pass on timelines written in a short notation, rule by rule and
// in combination; the recording thread's own rules (intervals with carried
// and excluded time, repeats, reused screenshots, the foreground mark).
//
// Notation, one operation per word:
//   d65 u65 D18 U18 k65     key down, up, system down, system up, key input (code 65)
//   L l R r M m v           left/right/middle down and up, move ...(x,y)
//   nL nl nv                the non-client codes of left down, up, move
//   c rc mc dc wu wd        clicks, double click, wheel up and down ...(x,y)
//   o                       an other operation (set text to clipboard)
// then optionally /ms (interval, default 100), [class], * (foreground mark),
// and in results +bits (modifiers).
#include <gtest/gtest.h>

#include <regex>
#include <sstream>
#include <string>

#include "merge.h"
#include "operation_codes.h"
#include "recording_rules.h"
#include "timeline.h"

namespace zvb {
namespace {

struct Name {
    const char* name;
    int32_t code;
};
const Name kNames[] = {
    {"d", 256},  {"u", 257},  {"D", 260},  {"U", 261},  {"k", 1427}, {"L", 513},  {"l", 514},
    {"R", 516},  {"r", 517},  {"M", 519},  {"m", 520},  {"v", 512},  {"nL", 161}, {"nl", 162},
    {"nv", 160}, {"c", 1324}, {"rc", 1325}, {"mc", 1326}, {"dc", 515}, {"wu", 1327}, {"wd", 1328},
    {"o", 1526},
};

std::u16string u16(const std::string& ascii) { return std::u16string(ascii.begin(), ascii.end()); }

OperationRecord* parse(const std::string& text) {
    static const std::regex word(R"(^([a-zA-Z]+)(\d+)?(?:\((-?\d+),(-?\d+)\))?(?:/(\d+))?(?:\[([^\]]*)\])?(\*)?$)");
    OperationRecord* head = timeline_new();
    std::istringstream in(text);
    std::string w;
    while (in >> w) {
        std::smatch m;
        if (!std::regex_match(w, m, word)) ADD_FAILURE() << "bad word " << w;
        const Name* name = nullptr;
        for (const Name& n : kNames)
            if (m[1] == n.name) name = &n;
        if (!name) ADD_FAILURE() << "unknown operation " << w;
        OperationRecord* r = record_new();
        r->code = name ? name->code : 0;
        bool key = r->code == 256 || r->code == 257 || r->code == 260 || r->code == 261 || r->code == 1427;
        r->category = r->code == 1526 ? kCategoryOther : key ? kCategoryKey : kCategoryMouse;
        if (m[2].matched) r->key_code = uint32_t(std::stoul(m[2]));
        if (m[3].matched) r->mouse_pos = {std::stoi(m[3]), std::stoi(m[4])};
        r->interval = m[5].matched ? uint32_t(std::stoul(m[5])) : 100;
        record_set_text(r->window_class, u16(m[6]).c_str());
        r->event_data1 = m[7].matched ? 1 : 0;
        timeline_append(head, r);
    }
    return head;
}

// The timeline in the notation, without intervals unless asked for.
std::string describe(const OperationRecord* head, bool intervals = false) {
    std::string out;
    for (const OperationRecord* r = head->next; r; r = r->next) {
        const char* name = "?";
        for (const Name& n : kNames)
            if (n.code == r->code) name = n.name;
        out += out.empty() ? "" : " ";
        out += name;
        if (r->category == kCategoryKey) out += std::to_string(r->key_code);
        if (r->category == kCategoryMouse)
            out += "(" + std::to_string(r->mouse_pos.x) + "," + std::to_string(r->mouse_pos.y) + ")";
        if (intervals) out += "/" + std::to_string(r->interval);
        if (r->modifiers) out += "+" + std::to_string(r->modifiers);
        if (r->event_data1) out += "*";
    }
    return out;
}

std::string merged(const std::string& text, const MergeSettings& s = {}, bool intervals = false) {
    OperationRecord* head = parse(text);
    timeline_merge(head, s);
    int index = 0;
    for (const OperationRecord* r = head->next; r; r = r->next)
        if (r->index != index++) ADD_FAILURE() << "not renumbered";
    std::string out = describe(head, intervals);
    timeline_free(head);
    return out;
}

struct Case {
    const char* in;
    const char* out;
};

TEST(Merge, EachRuleAndTheirOrder) {
    const Case cases[] = {
        // 1. key repeats: only the first of equal key operations stays, across
        // other operations; a repeated down still joins its up
        {"d65 d65/30 d65/30 u65", "k65"},
        {"d65/0 d65 u65/400", "d65 u65"},
        {"d65 L(5,5) d65 u65", "d65 L(5,5) u65"},
        {"d65 u65 d65 u65", "k65 k65"},
        {"d65 D65 U65", "k65"},  // system and plain codes are one operation
        // 2. modifier folding: keys between get the bit, down and up go
        {"d162 d67 u67 u162", "k67+2"},
        {"d162 d160 d65 u65 u160 u162", "k65+3"},
        {"d160 d72/10 u72/10 d73 u73 u160", "k72+1 k73+1"},
        {"D164 D70 U70 u164", "k70+4"},
        {"d91 d69 u69 u91", "k69+16"},
        {"d17 d86 u86 u17", "k86+2"},
        {"d160 u160", "k160"},                        // nothing between: left alone
        {"d160 L(1,1) u160", "d160 L(1,1) u160"},     // a non-key operation between
        {"d162 d67 u67 c(1,1) u162", "d162 k67 c(1,1) u162"},  // up beyond a non-key
        {"d162 d67 u67 u163", "d162 k67 u163"},       // right Ctrl is another key
        {"d162 d67 u67/300 u162", "d67+2 u67+2"},     // folded, but too slow for an input
        // 3. key input: a quick up right after its down
        {"d65 u65/249", "k65"},
        {"d65 u65/250", "d65 u65"},
        {"d65 u66", "d65 u66"},
        {"d65 d66 u66 u65", "d65 k66 u65"},
        // 4. clicks: within 10 pixels each way and quicker than 250 ms
        {"L(10,10) l(20,20)/249", "c(10,10)"},
        {"L(10,10) l(21,10)", "L(10,10) l(21,10)"},
        {"L(10,10) l(10,-1)", "L(10,10) l(10,-1)"},
        {"L(10,10) l(10,10)/250", "L(10,10) l(10,10)"},
        {"R(5,5) r(5,5) M(5,5) m(6,6)", "rc(5,5) mc(5,5)"},
        {"nL(5,5) nl(5,5) L(50,50) nl(50,50)", "c(5,5) c(50,50)"},
        {"L(5,5) r(5,5)", "L(5,5) r(5,5)"},
        {"L(0,0) v(3,3) nv(5,5) l(6,6)", "c(0,0)"},
        {"L(0,0) v(30,0) l(31,0)", "L(0,0) v(30,0) l(31,0)"},  // a drag
        {"L(0,0) v(1,1)/300 l(1,1)", "L(0,0) v(1,1) l(1,1)"},
        {"L(0,0) d65 l(0,0)", "L(0,0) d65 l(0,0)"},
        {"L(0,0) wu(0,0) l(0,0)", "L(0,0) wu(0,0) l(0,0)"},
        {"R(0,0) L(1,1) l(1,1) r(0,0)", "R(0,0) c(1,1) r(0,0)"},
        {"v(0,0) l(0,0)", "v(0,0) l(0,0)"},
        // 5. first clicks into activation-sensitive windows
        {"c(5,5)[XLMAIN]", ""},
        {"c(5,5)[XLMAIN]*", "c(5,5)"},                     // already in front
        {"o c(5,5)[xlmain]", "o"},                         // case ignored
        {"c(5,5)[Notepad] c(60,60)[OpusApp] c(90,90)[OpusApp]", "c(5,5) c(90,90)"},
        {"c(1,1)[XLMAIN]* c(40,40)[XLMAIN]", "c(1,1) c(40,40)"},  // same class as before
        {"c(1,1)[XLMAIN] c(50,50)[PPTFrameClass]", "c(50,50)"},  // the next one is spared
        {"c(1,1)[Notepad] rc(2,2)[WordPadClass] mc(3,3)[PP12FrameClass]", "c(1,1) mc(3,3)"},
        {"L(1,1)[XLMAIN] l(1,1)/300[XLMAIN]", "L(1,1) l(1,1)"},  // only clicks
        {"d65[XLMAIN] c(1,1)[XLMAIN]", "d65 c(1,1)"},
        // 7. double clicks: two left clicks within the double-click time
        {"L(0,0) l(0,0) L(2,2)/300 l(2,2)", "dc(0,0)"},
        {"c(0,0) c(0,0)/500", "c(0,0) c(0,0)"},
        {"c(0,0) c(11,0)", "c(0,0) c(11,0)"},
        {"c(0,0) c(0,0) c(0,0)", "dc(0,0) c(0,0)"},
        {"rc(0,0) rc(0,0)", "rc(0,0) rc(0,0)"},
        // in combination: a first click eats one half of a double click;
        // Shift+Ctrl+S after typing; a menu opened with Alt
        {"L(3,3)[XLMAIN] l(3,3)[XLMAIN] L(3,3)[XLMAIN] l(3,3)[XLMAIN]", "c(3,3)"},
        {"d72 u72 d160 d73 d73 d73 u73 u160 d162 d160 d83 u83 u160 u162 c(9,9)* D164 U164",
         "k72 k73+1 k83+3 c(9,9) k164"},
    };
    for (const Case& c : cases) EXPECT_EQ(merged(c.in), c.out) << c.in;
}

TEST(Merge, SettingsAndIntervals) {
    MergeSettings off;
    off.delete_first_click = false;
    EXPECT_EQ(merged("c(5,5)[XLMAIN] c(60,6)[OpusApp]", off), "c(5,5) c(60,6)");

    MergeSettings extra;
    extra.first_click_classes = u" MyApp ,,Other\t";
    EXPECT_EQ(merged("c(1,1)[myapp] o c(2,2)[Other] o c(3,3)[MyApp2]", extra), "o o c(3,3)");
    EXPECT_EQ(first_click_classes(u"").size(), 6u);

    MergeSettings wide;
    wide.click_point = 30, wide.click_interval = 500, wide.double_click_time = 200;
    EXPECT_EQ(merged("L(0,0) l(30,30)/400 c(0,0)/150 c(0,0)/250", wide), "dc(0,0) c(0,0)");

    // Removed operations give their interval to nobody; merged ones keep
    // the interval of the first part.
    EXPECT_EQ(merged("d65/40 d65/30 u65/50 L(0,0)/700 v(1,1)/20 l(1,1)/30 o/5", {}, true),
              "k65/40 c(0,0)/700 o/5");
}

// ---- the recording thread's rules -------------------------------------------

TEST(RecordingClock, IntervalsWithCarriedAndExcludedTime) {
    struct Event {
        uint32_t time, excluded;
        bool dropped;
        uint32_t interval;
    };
    const std::vector<std::vector<Event>> runs = {
        {{1000, 0, false, 0}, {1300, 0, false, 300}, {1300, 0, false, 0}},
        {{1000, 0, false, 0}, {1100, 0, true, 100}, {1150, 0, true, 150}, {1400, 0, false, 400}, {1500, 0, false, 100}},
        {{1000, 0, false, 0}, {5000, 3500, false, 500}, {5100, 900, false, 0}, {5200, 0, false, 100}},
        {{1000, 200, false, 0}, {1100, 0, true, 100}, {3000, 1500, false, 500}},
        {{0xFFFFFF00u, 0, false, 0}, {0x100, 0, false, 0x200}},
        {{1000, 0, false, 0}, {990, 0, false, 0}, {1100, 0, false, 100}},
    };
    for (size_t i = 0; i < runs.size(); ++i) {
        IntervalClock clock;
        for (const Event& e : runs[i]) {
            uint32_t got = clock.next(e.time, e.excluded);
            EXPECT_EQ(got, e.interval) << "run " << i << " time " << e.time;
            if (e.dropped)
                clock.carry(got);
            else
                clock.written();
        }
    }

    // Pauses and dialogs that overlap count once; an open span is not taken.
    ExcludedTime x;
    x.begin(100), x.begin(200), x.end(300), x.end(400);
    EXPECT_EQ(x.take(), 300u);
    x.begin(1000), x.begin(1200), x.end(1500);
    EXPECT_EQ(x.take(), 0u);
    EXPECT_TRUE(x.active());
    x.end(1600), x.end(1700);  // an unmatched end changes nothing
    EXPECT_EQ(x.take(), 600u);
    EXPECT_EQ(x.take(), 0u);
    x.begin(0xFFFFFFF0u), x.end(0x10);
    EXPECT_EQ(x.take(), 0x20u);
}

TEST(RecordingRules, RepeatsPicturesAndTheForegroundMark) {
    int a, b;  // two windows
    struct Step {
        int32_t category, code;
        uint32_t vk;
        void *window, *prev_foreground;
        uint32_t desktop;
        bool previous_picture, written;
        int32_t mark;
    };
    const Step steps[] = {
        {kCategoryMouse, 513, 0, &a, &b, 0, false, true, 0},     // into a window not in front
        {kCategoryMouse, 513, 0, &a, &a, 0, true, false, 0},     // the same down again: dropped
        {kCategoryMouse, 514, 0, &a, &a, 0, false, true, 0},     // same window: no mark
        {kCategoryMouse, 512, 0, &a, &a, 0, true, true, 0},      // a move in P's window
        {kCategoryMouse, 512, 0, &a, &a, 0, true, true, 0},      // moves repeat
        {kCategoryMouse, 512, 0, &a, &a, 1, false, true, 0},     // ... but not onto the desktop
        {kCategoryMouse, 513, 0, &b, &b, 0, false, true, 1},     // into the window in front
        {kCategoryKey, 257, 65, &b, &b, 0, false, true, 0},
        {kCategoryKey, 256, 160, &b, &b, 0, false, true, 0},
        {kCategoryKey, 256, 160, &b, &b, 0, true, false, 0},     // a held Shift
        {kCategoryKey, 256, 65, &b, &b, 0, false, true, 0},
        {kCategoryKey, 256, 65, &b, &b, 0, false, true, 0},      // a held letter stays
        {kCategoryOther, 1526, 0, nullptr, nullptr, 0, true, true, 0},
        {kCategoryOther, 1526, 0, nullptr, nullptr, 0, true, true, 0},
        {kCategoryMouse, 522, 0, &a, &b, 0, false, true, 0},
        {kCategoryMouse, 522, 0, &a, &b, 0, false, true, 0},     // wheels repeat
    };
    RecordSequence seq;
    EXPECT_EQ(seq.previous().mouse_pos.x, -1);
    uint32_t time = 1000, image = 0;
    bool carried = false;
    for (size_t i = 0; i < std::size(steps); ++i) {
        const Step& s = steps[i];
        SCOPED_TRACE(testing::Message() << "step " << i);
        OperationRecord* r = record_new();
        r->category = s.category, r->code = s.code, r->key_code = s.vk;
        r->window = s.window, r->prev_foreground = s.prev_foreground, r->desktop = s.desktop;
        r->interval = time += 10;
        r->mouse_data = i % 2 ? int32_t(0xFF880000) : 0x00780000;  // wheel -120 or +120
        seq.begin(r, 0);
        // The first record starts the clock; a dropped one hands its 10 ms on.
        EXPECT_EQ(r->interval, i == 0 ? 0u : carried ? 20u : 10u);
        if (s.code == 522) {
            EXPECT_EQ(r->code, i % 2 ? 1328 : 1327);
        }
        if (s.category == kCategoryOther) record_set_text(r->window_class, u"ignored");
        bool from_previous = seq.take_previous_picture(r);
        EXPECT_EQ(from_previous, s.previous_picture);
        if (from_previous) {
            EXPECT_EQ(r->image_offset, seq.previous().image_offset);
            if (s.category == kCategoryOther) {
                EXPECT_EQ(std::u16string(r->window_class), std::u16string(seq.previous().window_class));
                EXPECT_EQ(r->window_rect.right, seq.previous().window_rect.right);
            }
        } else {
            r->image_offset = image += 100, r->image_size = 100;
            r->window_rect = {0, 0, int32_t(image), 1};
            record_set_text(r->window_class, u"Captured");
        }
        EXPECT_EQ(seq.finish(r), s.written);
        carried = !s.written;
        EXPECT_EQ(r->event_data1, s.mark);
        EXPECT_EQ(&seq.previous(), r);
    }
}

TEST(RecordingRules, ShellSurfaces) {
    Rect32 r = {10, 20, 110, 220}, origin = {0, 0, 800, 600};
    for (const char16_t* c : {u"Progman", u"WorkerW", u"Shell_TrayWnd", u"ForegroundStaging", u"MultitaskingViewFrame"})
        EXPECT_TRUE(is_shell_surface(c, u"", r));
    EXPECT_TRUE(is_shell_surface(u"Windows.UI.Core.CoreWindow", u"スタート", origin));
    EXPECT_FALSE(is_shell_surface(u"Windows.UI.Core.CoreWindow", u"スタート", r));
    EXPECT_FALSE(is_shell_surface(u"Windows.UI.Core.CoreWindow", u"検索", origin));
    EXPECT_FALSE(is_shell_surface(u"Notepad", u"", origin));
}

}  // namespace
}  // namespace zvb
