// Generates the play script of arbitrary operation records and loads it
// with the engine's parser. Generation never fails on record contents, and
// the script always parses unless a script fragment or a wait or
// end-of-play condition text put raw text into it. The streamed reading
// that generation uses gives the same records as reading the whole file.
//
// Input: 24 bytes of settings, then operation-file bytes (records whose
// size field may be short; the rest of such a record is zero).
//   0-9    the entry's options (signed bytes, in ScenarioEntry order)
//   10     bit 0 notifications, bits 1-3 repeat count
//   11     start index (signed)
//   12-23  the six PLAY values (signed 16-bit, little-endian)
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "operation_codes.h"
#include "operation_file.h"
#include "operation_stream.h"
#include "scenario.h"
#include "script_gen.h"
#include "script_parse.h"
#include "timeline.h"

namespace {

constexpr size_t kHeader = 24;

int16_t i16(const uint8_t* p) { return int16_t(uint16_t(p[0] | (p[1] << 8))); }

// Raw text reaches the script only through a written fragment or condition.
bool writes_raw_text(const zvb::OperationRecord* head, int32_t start) {
    int32_t n = 0;
    for (const zvb::OperationRecord* r = head->next; r; r = r->next, ++n) {
        if (n < start || r->disabled == 1 || r->category != zvb::kCategoryOther) continue;
        bool condition = r->event_data1 >= 1 && r->event_data1 <= 6;
        if (r->code == zvb::kCodeScript) return true;
        if (condition && (r->code == zvb::kCodeWait || r->code == zvb::kCodeEndPlay ||
                          r->code == zvb::kCodeEndGroupPlay))
            return true;
    }
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < kHeader) return 0;
    zvb::ScenarioEntry e = {};
    int32_t* options[] = {&e.play_start_confirm, &e.play_end_confirm, &e.check_window_title,
                          &e.check_window_class, &e.always_check_window, &e.check_desktop_control_class,
                          &e.check_busy,         &e.recovery_window_pos, &e.recovery_window_size,
                          &e.loop_count};
    for (size_t i = 0; i < 10; ++i) *options[i] = int8_t(data[i]);
    e.repeat_override = (data[10] >> 1) & 7;
    e.play_id = 5;
    zvb::ScriptRequest req;
    req.notify = data[10] & 1;
    req.start_index = int8_t(data[11]);
    int32_t* play[] = {&req.play.double_click_interval, &req.play.window_operation_interval,
                       &req.play.check_interval,        &req.play.check_count,
                       &req.play.wait_busy_interval,    &req.play.loop_interval};
    for (size_t i = 0; i < 6; ++i) *play[i] = i16(data + 12 + 2 * i);

    zvb::OperationRecord* head = zvb::timeline_parse(data + kHeader, size - kHeader);
    if (!head) abort();
    zvb::OperationStream stream;
    stream.open_bytes(data + kHeader, size - kHeader);
    static zvb::OperationRecord streamed;
    for (const zvb::OperationRecord* r = head->next; r; r = r->next)
        if (!stream.next(&streamed) || memcmp(&streamed, r, zvb::kRecordBytes) != 0) abort();
    if (stream.next(&streamed) || stream.error()) abort();
    std::string script = zvb::script_text_of_records(&e, head, req);
    if (script.empty()) abort();
    if (!writes_raw_text(head, req.start_index)) {
        std::string errors = zvb::test::ksc_parse_errors(script);
        if (!errors.empty()) {
            fprintf(stderr, "generated script does not parse: %s\n", errors.c_str());
            abort();
        }
    }
    zvb::timeline_free(head);
    return 0;
}
