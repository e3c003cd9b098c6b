// The operation record: one operation of a timeline. Its first 2684 bytes
// are the persisted image, identical in the operation file (.zv), the
// clipboard block and the archives; the fields after them live in memory
// only. All integers are 32-bit little-endian, texts UTF-16LE of 256 units.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zvb {

constexpr uint32_t kRecordBytes = 2684;  // persisted size, the value of `size`
constexpr size_t kTextUnits = 256;       // every text field, NUL included

struct Rect32 {
    int32_t left, top, right, bottom;
};

struct Point32 {
    int32_t x, y;
};

// Categories: which generator handles the record.
enum : int32_t { kCategoryMouse = 0, kCategoryKey = 1, kCategoryOther = 2 };

// Modifier bits of `modifiers`.
enum : uint32_t { kModShift = 1, kModCtrl = 2, kModAlt = 4, kModWin = 0x10 };

// Values of `window_check`.
enum : uint32_t { kCheckByOptions = 0, kCheckTitle = 1, kCheckClass = 2, kCheckBoth = 3, kCheckNone = 4 };

struct OperationRecord {
    // ---- persisted: 2684 bytes, in file order ----
    uint32_t size;
    int32_t category;
    uint32_t interval;
    Rect32 window_rect;
    int32_t window_state;  // 0 not visible, 1 normal, 2 minimized, 3 maximized
    char16_t window_title[kTextUnits];
    char16_t window_class[kTextUnits];
    uint32_t image_offset;
    uint32_t image_size;
    int32_t code;
    Point32 mouse_pos;
    Point32 mouse_rel;
    int32_t mouse_data;  // high 16 bits: signed wheel delta
    uint32_t key_code;
    uint32_t modifiers;
    char16_t event_text1[kTextUnits];
    char16_t event_text2[kTextUnits];
    uint32_t masked;
    uint32_t desktop;
    char16_t control_class[kTextUnits];
    int32_t control_id;
    Rect32 desktop_rect;
    uint32_t window_check;
    int32_t event_data1;
    uint32_t data_version;
    int32_t event_data2;
    uint32_t disabled;
    uint32_t skip_if_no_window;

    // ---- in memory only ----
    void* window;             // target window while recording
    void* prev_foreground;    // foreground window before the event, while recording
    void* bitmap;             // decoded screenshot (HBITMAP), owned: freed with the record
    int32_t index;            // 0-based position in its timeline
    uint32_t selected;        // the editor's selection mark
    OperationRecord* prev;    // the head record for the first operation
    OperationRecord* next;
};

// The persisted image of a record: its first kRecordBytes bytes.
inline const uint8_t* record_bytes(const OperationRecord* r) { return reinterpret_cast<const uint8_t*>(r); }
inline uint8_t* record_bytes(OperationRecord* r) { return reinterpret_cast<uint8_t*>(r); }

// A zero-filled record from the process heap; null when memory runs out.
OperationRecord* record_new();
// Frees a record and its bitmap (not its neighbours).
void record_free(OperationRecord* r);
// A heap copy of the persisted part of r, with no links and no bitmap.
OperationRecord* record_clone(const OperationRecord* r);

// What a reader does to every record it takes from a file: the last unit of
// each text field becomes 0, and a desktop size of 0 becomes the current
// screen size.
void record_after_read(OperationRecord* r);

// Copies text into a text field: at most 255 units, NUL-terminated.
void record_set_text(char16_t (&field)[kTextUnits], const char16_t* text);

// ---- fields by table (dump, details lists) ---------------------------------

enum class FieldKind { kU32, kI32, kRect, kPoint, kText };

struct FieldInfo {
    const char16_t* name;     // the field name
    const char16_t* caption;  // the editor's caption, null where it has none
    uint32_t offset;
    FieldKind kind;
};

// Every persisted field in file order.
extern const FieldInfo kRecordFields[];
extern const size_t kRecordFieldCount;

}  // namespace zvb
