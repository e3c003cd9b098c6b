// The report pages from arbitrary figures and records: the values and
// duration texts of one entry, and a manual card of every record. Nothing
// overflows, and no record text can add markup to a card: every '<' of a
// card opens one of the card's own elements.
//
// Input: 24 bytes of figures (R, P, S, E as 32-bit values, T0 and now as
// 32-bit values, little-endian), then operation-file bytes.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "manual.h"
#include "operation_file.h"
#include "statistics.h"
#include "timeline.h"

namespace {

uint32_t u32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

void check_markup(const std::string& card) {
    static const char* const kOpenings[] = {"<div ", "</div>", "<img ", "<hr/>", "<div>"};
    for (size_t at = card.find('<'); at != std::string::npos; at = card.find('<', at + 1)) {
        bool known = false;
        for (const char* opening : kOpenings) known = known || card.compare(at, strlen(opening), opening) == 0;
        if (!known) abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 24) return 0;
    zvb::PlayFigures in;
    in.record_ms = u32(data);
    in.play_total_ms = u32(data + 4);
    in.started = u32(data + 8);
    in.ended = u32(data + 12);
    in.recorded_at = u32(data + 16);
    zvb::EntryFigures out = zvb::entry_figures(in, u32(data + 20));
    zvb::minutes_text(out.annual_minutes);
    zvb::minutes_days_text(out.saved_ms / 1000.0f / 60.0f, out.days);
    zvb::hours_minutes_text(out.saved_per_day_ms * 365.0f);

    zvb::OperationRecord* head = zvb::timeline_parse(data + 24, size - 24);
    if (!head) return 0;
    int number = 1;
    for (zvb::OperationRecord* r = head->next; r; r = r->next, ++number) {
        // Picture sizes that reach every placement: the window's, the
        // desktop's, or the record's own numbers.
        zvb::CardImage image = {(r->image_size & 1) != 0, r->image_offset, 0, 0};
        const zvb::Rect32& w = r->window_rect;
        switch (r->image_size >> 1 & 3) {
        case 0:
            image.width = int32_t(uint32_t(w.right) - uint32_t(w.left));
            image.height = int32_t(uint32_t(w.bottom) - uint32_t(w.top));
            break;
        case 1:
            image.width = r->desktop_rect.right;
            image.height = r->desktop_rect.bottom;
            break;
        default:
            image.width = r->mouse_data;
            image.height = r->control_id;
            break;
        }
        check_markup(zvb::manual_card(*r, number, r->window_title, image));
    }
    zvb::timeline_free(head);
    return 0;
}
