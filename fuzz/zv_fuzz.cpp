// Fuzz target: the operation-file (.zv) reader. Whatever the bytes, reading
// ends, every record comes back whole (size 2684, texts NUL-terminated), and
// the records written back read the same again.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "operation_file.h"
#include "timeline.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    zvb::OperationRecord* head = zvb::timeline_parse(data, size);
    if (!head) return 0;
    std::string bytes;
    for (const zvb::OperationRecord* r = head->next; r; r = r->next) {
        if (r->size != zvb::kRecordBytes || r->window_title[255] || r->window_class[255] || r->event_text1[255] ||
            r->event_text2[255] || r->control_class[255])
            __builtin_trap();
        bytes.append(reinterpret_cast<const char*>(zvb::record_bytes(r)), zvb::kRecordBytes);
    }
    zvb::RecordStep end;
    zvb::OperationRecord* again = zvb::timeline_parse(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), &end);
    if (!again || end != zvb::RecordStep::kEnd || zvb::timeline_count(again) != zvb::timeline_count(head))
        __builtin_trap();
    for (const zvb::OperationRecord *r = head->next, *s = again->next; r; r = r->next, s = s->next)
        if (memcmp(zvb::record_bytes(r), zvb::record_bytes(s), zvb::kRecordBytes) != 0) __builtin_trap();
    zvb::timeline_free(again);
    zvb::timeline_free(head);
    return 0;
}
