// Operation records, the operation file and the image store: files built by
// hand from the layout table, read, written back and compared byte for byte.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "desktop.h"
#include "image_store.h"
#include "platform.h"
#include "operation_codes.h"
#include "operation_file.h"
#include "recorder_test_util.h"
#include "timeline.h"

namespace zvb {
namespace {

using namespace zvb::test;

// One field of the layout table: its offset and its bytes.
struct Put {
    size_t offset;
    std::string bytes;
};

std::string i32s(std::initializer_list<int32_t> values) {
    std::string s;
    for (int32_t v : values) s += le32(uint32_t(v));
    return s;
}

// A record built from offsets alone, independent of the struct.
std::string hand_record(const std::vector<Put>& puts) {
    std::string r(2684, '\0');
    memcpy(&r[0], le32(2684).data(), 4);
    for (const Put& p : puts) r.replace(p.offset, p.bytes.size(), p.bytes);
    return r;
}

const std::vector<Put> kFullRecord = {
    {4, i32s({0})},                      // category
    {8, i32s({350})},                    // interval
    {12, i32s({10, 20, 310, 220})},      // window_rect
    {28, i32s({3})},                     // window_state
    {32, text_field("メモ帳 - 無題", 256)},  // window_title
    {544, text_field("Notepad", 256)},   // window_class
    {1056, i32s({4096})},                // image_offset
    {1060, i32s({777})},                 // image_size
    {1064, i32s({161})},                 // code
    {1068, i32s({100, 200})},            // mouse_pos
    {1076, i32s({90, 180})},             // mouse_rel
    {1084, i32s({int32_t(0xFF880000)})}, // mouse_data
    {1088, i32s({65})},                  // key_code
    {1092, i32s({0x13})},                // modifiers
    {1096, text_field("first \"text\"", 256)},
    {1608, text_field("second\\text", 256)},
    {2120, i32s({1})},                   // masked
    {2124, i32s({1})},                   // desktop
    {2128, text_field("Edit", 256)},     // control_class
    {2640, i32s({15})},                  // control_id
    {2644, i32s({0, 0, 1280, 1024})},    // desktop_rect
    {2660, i32s({3})},                   // window_check
    {2664, i32s({-5})},                  // event_data1
    {2668, i32s({1})},                   // data_version
    {2672, i32s({7})},                   // event_data2
    {2676, i32s({1})},                   // disabled
    {2680, i32s({1})},                   // skip_if_no_window
};

TEST(OperationFile, HandBuiltRecordsReadEveryFieldAndWriteBackByteForByte) {
    TempFolder dir;
    std::string first = hand_record(kFullRecord);
    std::string second = hand_record({{1064, i32s({1524})}, {4, i32s({2})}, {2644, i32s({0, 0, 800, 600})}});
    put_bytes(dir / "a.zv", first + second);

    RecordStep end;
    OperationRecord* head = timeline_read(U(dir / "a.zv").c_str(), &end);
    ASSERT_NE(head, nullptr);
    EXPECT_EQ(end, RecordStep::kEnd);
    ASSERT_EQ(timeline_count(head), 2u);
    const OperationRecord* r = head->next;
    EXPECT_EQ(r->prev, head);
    EXPECT_EQ(r->index, 0);
    EXPECT_EQ(r->next->index, 1);
    EXPECT_EQ(r->size, 2684u);
    EXPECT_EQ(r->interval, 350u);
    EXPECT_EQ(r->window_rect.right, 310);
    EXPECT_EQ(r->window_state, 3);
    EXPECT_EQ(std::u16string(r->window_title), U16("メモ帳 - 無題"));
    EXPECT_EQ(std::u16string(r->window_class), u"Notepad");
    EXPECT_EQ(r->image_offset, 4096u);
    EXPECT_EQ(r->image_size, 777u);
    EXPECT_EQ(r->code, 161);
    EXPECT_EQ(r->mouse_pos.y, 200);
    EXPECT_EQ(r->mouse_rel.x, 90);
    EXPECT_EQ(r->mouse_data >> 16, -120);
    EXPECT_EQ(r->key_code, 65u);
    EXPECT_EQ(r->modifiers, kModShift | kModCtrl | kModWin);
    EXPECT_EQ(std::u16string(r->event_text2), u"second\\text");
    EXPECT_EQ(r->masked + r->desktop + r->disabled + r->skip_if_no_window, 4u);
    EXPECT_EQ(std::u16string(r->control_class), u"Edit");
    EXPECT_EQ(r->control_id, 15);
    EXPECT_EQ(r->desktop_rect.bottom, 1024);
    EXPECT_EQ(r->window_check, kCheckBoth);
    EXPECT_EQ(r->event_data1, -5);
    EXPECT_EQ(r->data_version, 1u);
    EXPECT_EQ(r->event_data2, 7);
    EXPECT_EQ(r->next->code, kCodeWait);

    uint32_t error = 0;
    ASSERT_TRUE(timeline_write(U(dir / "b.zv").c_str(), head, &error));
    EXPECT_EQ(bytes_of(dir / "b.zv"), first + second);
    timeline_free(head);

    // The field table covers the record without gaps, in file order.
    uint32_t at = 0;
    for (size_t i = 0; i < kRecordFieldCount; ++i) {
        EXPECT_EQ(kRecordFields[i].offset, at) << i;
        static const uint32_t widths[] = {4, 4, 16, 8, 512};
        at += widths[int(kRecordFields[i].kind)];
    }
    EXPECT_EQ(at, kRecordBytes);
}

TEST(OperationFile, ReadingRulesForShortLongCutAndBrokenRecords) {
    int32_t sw, sh;
    screen_size(&sw, &sh);
    std::string full = hand_record({{1064, i32s({1324})}, {2644, i32s({0, 0, 640, 480})}});
    std::string full_text = hand_record({{32, std::string(512, 'A')}, {2644, i32s({0, 0, 640, 480})}});
    std::string longer = hand_record({{1064, i32s({515})}}).replace(0, 4, le32(3000)) + std::string(316, 'x');
    std::string shorter = le32(40) + i32s({1, 99, 1, 2, 3, 4, 1}) + std::string(8, 'T');

    struct Case {
        const char* what;
        std::string bytes;
        size_t count;
        RecordStep end;
        std::function<void(const OperationRecord*)> check;
    };
    const Case cases[] = {
        {"empty file", "", 0, RecordStep::kEnd, nullptr},
        {"size 0", le32(0) + full, 0, RecordStep::kBadSize, nullptr},
        {"size 3 after a record", full + le32(3) + full, 1, RecordStep::kBadSize, nullptr},
        {"three stray bytes", full + "abc", 1, RecordStep::kTruncated, nullptr},
        {"last record cut short", full + full.substr(0, 1000), 1, RecordStep::kTruncated, nullptr},
        {"a longer record is skipped past its layout", longer + full, 2, RecordStep::kEnd,
         [](const OperationRecord* r) {
             EXPECT_EQ(r->code, 515);
             EXPECT_EQ(r->size, 2684u);
             EXPECT_EQ(r->next->code, 1324);
         }},
        {"a shorter record leaves the rest zero", shorter + full, 2, RecordStep::kEnd,
         [&](const OperationRecord* r) {
             EXPECT_EQ(r->category, 1);
             EXPECT_EQ(r->interval, 99u);
             EXPECT_EQ(r->window_state, 1);
             EXPECT_EQ(r->window_title[3], u'T' * 257);  // "TTTTTTTT" read as units
             EXPECT_EQ(r->window_title[4], 0);
             EXPECT_EQ(r->code, 0);
             EXPECT_EQ(r->size, 2684u);
             // desktop size 0 x 0 becomes the screen's
             EXPECT_EQ(r->desktop_rect.right, sw);
             EXPECT_EQ(r->desktop_rect.bottom, sh);
             EXPECT_EQ(r->next->desktop_rect.right, 640);
         }},
        {"a full text field loses its 256th unit", full_text, 1, RecordStep::kEnd,
         [](const OperationRecord* r) { EXPECT_EQ(std::u16string(r->window_title), std::u16string(255, u'䅁')); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        RecordStep end;
        OperationRecord* head =
            timeline_parse(reinterpret_cast<const uint8_t*>(c.bytes.data()), c.bytes.size(), &end);
        ASSERT_NE(head, nullptr);
        EXPECT_EQ(timeline_count(head), c.count);
        EXPECT_EQ(end, c.end);
        if (c.check) c.check(head->next);
        timeline_free(head);
    }
    EXPECT_EQ(timeline_read(u"/no/such/dir/x.zv"), nullptr);
}

TEST(OperationCodes, BothVariantsAreOneOperation) {
    struct Row {
        int32_t code, canonical, category;
        const char16_t* label;
    };
    const Row rows[] = {
        {513, 513, 0, u"マウスの左ボタンを押す"},   {161, 513, 0, u"マウスの左ボタンを押す"},
        {162, 514, 0, u"マウスの左ボタンを離す"},   {164, 516, 0, u"マウスの右ボタンを押す"},
        {168, 520, 0, u"マウスの中央ボタンを離す"}, {160, 512, 0, u"マウスの移動"},
        {260, 256, 1, u"キーを押す"},               {261, 257, 1, u"キーを離す"},
        {1427, 1427, 1, u"キーを入力する"},         {1530, 1530, 2, u"再生の終了"},
        {1531, 1531, 2, u"再生の終了"},             {1534, 1534, 2, u"入力設定"},
        {1532, 1532, 2, u"スクリプト"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.code);
        EXPECT_EQ(canonical_code(r.code), r.canonical);
        ASSERT_NE(operation_code(r.code), nullptr);
        EXPECT_EQ(operation_code(r.code)->category, r.category);
        EXPECT_EQ(std::u16string(operation_label(r.code)), r.label);
    }
    EXPECT_EQ(operation_code(522), nullptr);
    EXPECT_EQ(operation_code(0), nullptr);
    EXPECT_EQ(kOperationCodeCount, 26);
    EXPECT_EQ(wheel_code(int32_t(0xFF880000)), kCodeWheelDown);  // -120
    EXPECT_EQ(wheel_code(0x00780000), kCodeWheelUp);
    EXPECT_EQ(wheel_code(0x0000FFFF), kCodeWheelUp);  // delta 0, low bits set
}

// A store of three images and records that share, skip and break them.
TEST(ImageStore, SaveCompactsSharedImagesAndKeepsFilesOnFailure) {
    TempFolder dir;
    std::string a = "AAAA", b = "BBBBBB", c = "CC";
    put_bytes(dir / "t.zv.img", a + b + c + "unused");
    OperationRecord* head = timeline_new();
    struct Ref {
        uint32_t offset, size, new_offset, new_size;
    };
    const Ref refs[] = {
        {4, 6, 0, 6},       // B first
        {4, 6, 0, 6},       // B again: one copy
        {77, 0, 0, 0},      // no image: offset 0
        {0, 4, 6, 4},       // A
        {100, 5, 0, 0},     // past the end of the store: dropped
        {10, 2, 10, 2},     // C
        {10, 0xFFFFFFF0u, 0, 0},  // size past the end
    };
    for (const Ref& ref : refs) {
        OperationRecord* r = record_new();
        r->image_offset = ref.offset;
        r->image_size = ref.size;
        timeline_append(head, r);
    }
    uint32_t error = 0;
    std::u16string zv = U(dir / "t.zv");

    // A folder in place of the operation file makes the second replacement
    // fail: both files stay as they were, and so do the records.
    fs::create_directory(dir / "t.zv");
    EXPECT_FALSE(timeline_save(zv.c_str(), head, true, &error));
    EXPECT_NE(error, 0u);
    EXPECT_EQ(bytes_of(dir / "t.zv.img"), a + b + c + "unused");
    EXPECT_EQ(head->next->image_offset, 4u);
    fs::remove(dir / "t.zv");

    ASSERT_TRUE(timeline_save(zv.c_str(), head, true, &error));
    EXPECT_EQ(bytes_of(dir / "t.zv.img"), b + a + c);
    OperationRecord* back = timeline_read(zv.c_str());
    ASSERT_NE(back, nullptr);
    size_t i = 0;
    for (OperationRecord *r = head->next, *s = back->next; r; r = r->next, s = s->next, ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(r->image_offset, refs[i].new_offset);
        EXPECT_EQ(r->image_size, refs[i].new_size);
        EXPECT_EQ(s->image_offset, refs[i].new_offset);
        EXPECT_EQ(s->image_size, refs[i].new_size);
    }
    uint8_t* data = nullptr;
    ASSERT_TRUE(image_read(U(dir / "t.zv.img").c_str(), 6, 4, &data));
    EXPECT_EQ(std::string(reinterpret_cast<char*>(data), 4), a);
    zv::heap_free(data);
    EXPECT_FALSE(image_read(U(dir / "t.zv.img").c_str(), 10, 3, &data));
    EXPECT_EQ(data, nullptr);

    // No temporary file is left behind by either save.
    size_t files = 0;
    for (const auto& e : fs::directory_iterator(dir.root)) files += e.is_regular_file();
    EXPECT_EQ(files, 2u);
    timeline_free(back);
    timeline_free(head);
}

TEST(Timeline, LinksStayConsistent) {
    OperationRecord* head = timeline_new();
    OperationRecord* r[4];
    for (int i = 0; i < 4; ++i) {
        r[i] = record_new();
        r[i]->code = 1000 + i;
    }
    timeline_append(head, r[1]);
    timeline_insert_after(head, r[0]);
    timeline_append(head, r[3]);
    timeline_insert_after(r[1], r[2]);
    timeline_remove(r[1]);
    timeline_renumber(head);
    std::vector<int32_t> codes, back;
    for (OperationRecord* x = head->next; x; x = x->next) codes.push_back(x->code * 10 + x->index);
    for (OperationRecord* x = timeline_last(head); x != head; x = x->prev) back.push_back(x->code);
    EXPECT_EQ(codes, (std::vector<int32_t>{10000, 10021, 10032}));
    EXPECT_EQ(back, (std::vector<int32_t>{1003, 1002, 1000}));
    timeline_free(head);
}

}  // namespace
}  // namespace zvb
