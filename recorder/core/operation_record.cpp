#include "operation_record.h"

#include <cstring>

#include "desktop.h"
#include "platform.h"

namespace zvb {

// The persisted layout is a file format: every offset is fixed.
#define ZVB_AT(field, offset) static_assert(offsetof(OperationRecord, field) == (offset), #field)
ZVB_AT(size, 0);
ZVB_AT(category, 4);
ZVB_AT(interval, 8);
ZVB_AT(window_rect, 12);
ZVB_AT(window_state, 28);
ZVB_AT(window_title, 32);
ZVB_AT(window_class, 544);
ZVB_AT(image_offset, 1056);
ZVB_AT(image_size, 1060);
ZVB_AT(code, 1064);
ZVB_AT(mouse_pos, 1068);
ZVB_AT(mouse_rel, 1076);
ZVB_AT(mouse_data, 1084);
ZVB_AT(key_code, 1088);
ZVB_AT(modifiers, 1092);
ZVB_AT(event_text1, 1096);
ZVB_AT(event_text2, 1608);
ZVB_AT(masked, 2120);
ZVB_AT(desktop, 2124);
ZVB_AT(control_class, 2128);
ZVB_AT(control_id, 2640);
ZVB_AT(desktop_rect, 2644);
ZVB_AT(window_check, 2660);
ZVB_AT(event_data1, 2664);
ZVB_AT(data_version, 2668);
ZVB_AT(event_data2, 2672);
ZVB_AT(disabled, 2676);
ZVB_AT(skip_if_no_window, 2680);
#undef ZVB_AT
static_assert(offsetof(OperationRecord, window) >= kRecordBytes, "in-memory fields follow the persisted image");
static_assert(sizeof(Rect32) == 16 && sizeof(Point32) == 8 && sizeof(char16_t) == 2, "record field widths");
static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "records are stored in host byte order");

OperationRecord* record_new() { return static_cast<OperationRecord*>(zv::heap_alloc(sizeof(OperationRecord))); }

void record_free(OperationRecord* r) {
    if (!r) return;
    if (r->bitmap) release_bitmap(r->bitmap);
    zv::heap_free(r);
}

OperationRecord* record_clone(const OperationRecord* r) {
    OperationRecord* c = record_new();
    if (c) memcpy(c, r, kRecordBytes);
    return c;
}

void record_after_read(OperationRecord* r) {
    // A width or height of 0 (compared, not subtracted: the values are
    // whatever the file holds).
    if (r->desktop_rect.right == r->desktop_rect.left || r->desktop_rect.bottom == r->desktop_rect.top) {
        int32_t w = 0, h = 0;
        screen_size(&w, &h);
        r->desktop_rect = Rect32{0, 0, w, h};
    }
    r->window_title[kTextUnits - 1] = 0;
    r->window_class[kTextUnits - 1] = 0;
    r->event_text1[kTextUnits - 1] = 0;
    r->event_text2[kTextUnits - 1] = 0;
    r->control_class[kTextUnits - 1] = 0;
}

void record_set_text(char16_t (&field)[kTextUnits], const char16_t* text) {
    size_t n = 0;
    while (text && text[n] && n < kTextUnits - 1) {
        field[n] = text[n];
        ++n;
    }
    memset(field + n, 0, (kTextUnits - n) * sizeof(char16_t));
}

#define ZVB_FIELD(name, caption, kind) {u"" #name, caption, uint32_t(offsetof(OperationRecord, name)), FieldKind::kind}
const FieldInfo kRecordFields[] = {
    ZVB_FIELD(size, nullptr, kU32),
    ZVB_FIELD(category, nullptr, kI32),
    ZVB_FIELD(interval, u"操作間隔", kU32),
    ZVB_FIELD(window_rect, u"ウィンドウの左上座標 / ウィンドウの右下座標", kRect),
    ZVB_FIELD(window_state, u"ウィンドウの状態", kI32),
    ZVB_FIELD(window_title, u"ウィンドウ名", kText),
    ZVB_FIELD(window_class, u"ウィンドウの種類", kText),
    ZVB_FIELD(image_offset, u"画像インデックス", kU32),
    ZVB_FIELD(image_size, u"画像サイズ", kU32),
    ZVB_FIELD(code, u"操作", kI32),
    ZVB_FIELD(mouse_pos, u"マウスの位置", kPoint),
    ZVB_FIELD(mouse_rel, u"マウスの相対位置", kPoint),
    ZVB_FIELD(mouse_data, nullptr, kI32),
    ZVB_FIELD(key_code, u"キーコード", kU32),
    ZVB_FIELD(modifiers, u"制御キー", kU32),
    ZVB_FIELD(event_text1, u"イベント文字列1", kText),
    ZVB_FIELD(event_text2, u"イベント文字列2", kText),
    ZVB_FIELD(masked, u"マスク", kU32),
    ZVB_FIELD(desktop, u"デスクトップフラグ", kU32),
    ZVB_FIELD(control_class, u"マウス位置のコントロール種類", kText),
    ZVB_FIELD(control_id, u"マウス位置のコントロールID", kI32),
    ZVB_FIELD(desktop_rect, u"デスクトップのサイズ", kRect),
    ZVB_FIELD(window_check, u"ウィンドウチェックタイプ", kU32),
    ZVB_FIELD(event_data1, u"イベントデータ1", kI32),
    ZVB_FIELD(data_version, u"データバージョン", kU32),
    ZVB_FIELD(event_data2, u"イベントデータ2", kI32),
    ZVB_FIELD(disabled, u"無効", kU32),
    ZVB_FIELD(skip_if_no_window, u"ウィンドウが見つからない場合はスキップ", kU32),
};
#undef ZVB_FIELD
const size_t kRecordFieldCount = sizeof kRecordFields / sizeof kRecordFields[0];

}  // namespace zvb
