// The rules the recording thread applies to each record that are not about
// windows: shell surfaces, the repeats it drops, the screenshot it reuses,
// intervals and the foreground mark. The thread (Windows) fills in what the
// desktop tells about the record; RecordSequence decides the rest.
#pragma once

#include <cstdint>

#include "operation_record.h"
#include "recording_clock.h"

namespace zvb {

// Edges count as inside.
bool rect_holds(const Rect32& r, Point32 p);

// Shell surfaces (desktop, taskbar, task view, the start screen) count as
// the desktop itself.
bool is_shell_surface(const char16_t* window_class, const char16_t* title, const Rect32& rect);

// Shift, Ctrl, Alt and Win, either side.
bool is_modifier_key(uint32_t vk);

// The state the recording thread keeps between records: the previous record
// P (owned) and the interval clock.
class RecordSequence {
public:
    RecordSequence();
    ~RecordSequence();
    RecordSequence(const RecordSequence&) = delete;
    RecordSequence& operator=(const RecordSequence&) = delete;

    const OperationRecord& previous() const { return *previous_; }

    // Sets r's interval from its event time (kept in r->interval until now)
    // and the excluded time it carries; a raw wheel code becomes its wheel
    // direction. Call once per record, in order.
    void begin(OperationRecord* r, uint32_t excluded);

    // True when r is dropped at finish(): a repeated mouse code other than a
    // move or wheel, or the auto-repeat of a held modifier.
    bool is_repeat(const OperationRecord* r) const;

    // Where r's screenshot comes from: an other operation takes P's window
    // and screenshot, a move in P's window and a repeat take P's screenshot
    // (true); everything else is captured (false).
    bool take_previous_picture(OperationRecord* r) const;

    // Ends r: a repeat is dropped (its interval goes to the next record), a
    // mouse operation into the window that was already in front gets the
    // foreground mark (event_data1 1). r becomes P either way and belongs to
    // the sequence; true when it is to be written.
    bool finish(OperationRecord* r);

private:
    void release_previous();

    OperationRecord initial_;  // P before the first record: zero, mouse at -1, -1
    OperationRecord* previous_;
    IntervalClock clock_;
};

}  // namespace zvb
