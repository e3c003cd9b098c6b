// The merging pass: cleans a freshly recorded timeline. Raw key and button
// events become key inputs, clicks and double clicks; repeats, modifier
// presses around other keys and clicks that only activated a window go.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "operation_record.h"

namespace zvb {

struct MergeSettings {
    int32_t click_point = 10;          // click distance on mouse_pos, pixels
    uint32_t click_interval = 250;     // "quick": a later interval below this, ms
    uint32_t double_click_time = 500;  // the system's double-click time, ms
    bool delete_first_click = true;
    // Window classes whose first click only activates the window, besides
    // the built-in ones; a comma-separated list (rec_first_click_window_class).
    std::u16string first_click_classes;
};

// Runs every rule over the timeline behind `head`, in order: key repeats,
// modifier folding, key inputs, clicks, first clicks, the foreground mark
// (event_data1) cleared, double clicks. Removed operations are freed.
void timeline_merge(OperationRecord* head, const MergeSettings& s);

// The activation-sensitive classes: the built-in ones and those of the
// comma-separated list (blanks around each entry ignored, empty entries
// skipped).
std::vector<std::u16string> first_click_classes(const std::u16string& extra);

}  // namespace zvb
