#include "merge.h"

#include "names.h"
#include "operation_codes.h"
#include "timeline.h"

namespace zvb {

namespace {

const char16_t* const kBuiltInFirstClickClasses[] = {
    u"XLMAIN", u"OpusApp", u"PPTFrameClass", u"PP11FrameClass", u"PP12FrameClass", u"WordPadClass",
};

bool is_key(const OperationRecord* r) { return r->category == kCategoryKey; }
bool is_key_down(const OperationRecord* r) { return is_key(r) && canonical_code(r->code) == kCodeKeyDown; }
bool is_key_up(const OperationRecord* r) { return is_key(r) && canonical_code(r->code) == kCodeKeyUp; }

uint32_t modifier_bit(uint32_t vk) {
    switch (vk) {
    case 16: case 160: case 161: return kModShift;
    case 17: case 162: case 163: return kModCtrl;
    case 18: case 164: case 165: return kModAlt;
    case 91: case 92: return kModWin;
    default: return 0;
    }
}

bool is_button_down(const OperationRecord* r) {
    if (r->category != kCategoryMouse) return false;
    int32_t c = canonical_code(r->code);
    return c == kCodeLeftDown || c == kCodeRightDown || c == kCodeMiddleDown;
}

// The up that completes a click of the down (either code variant), and the
// click it makes.
bool is_matching_up(const OperationRecord* down, const OperationRecord* r, int32_t* click) {
    if (r->category != kCategoryMouse) return false;
    switch (canonical_code(down->code)) {
    case kCodeLeftDown: *click = kCodeLeftClick; return canonical_code(r->code) == kCodeLeftUp;
    case kCodeRightDown: *click = kCodeRightClick; return canonical_code(r->code) == kCodeRightUp;
    case kCodeMiddleDown: *click = kCodeMiddleClick; return canonical_code(r->code) == kCodeMiddleUp;
    default: return false;
    }
}

bool is_click(const OperationRecord* r) {
    return r->category == kCategoryMouse && r->code >= kCodeLeftClick && r->code <= kCodeMiddleClick;
}

bool within(const OperationRecord* a, const OperationRecord* b, int32_t distance) {
    int64_t dx = int64_t(a->mouse_pos.x) - b->mouse_pos.x, dy = int64_t(a->mouse_pos.y) - b->mouse_pos.y;
    return (dx < 0 ? -dx : dx) <= distance && (dy < 0 ? -dy : dy) <= distance;
}

// 1. A key operation equal to the last kept one (code and key) is an
// auto-repeat; other operations neither reset nor replace that one.
void drop_key_repeats(OperationRecord* head) {
    const OperationRecord* kept = nullptr;
    for (OperationRecord *r = head->next, *next; r; r = next) {
        next = r->next;
        if (!is_key(r)) continue;
        if (kept && canonical_code(r->code) == canonical_code(kept->code) && r->key_code == kept->key_code) {
            timeline_remove(r);
            continue;
        }
        kept = r;
    }
}

// 2. A modifier held around other keys becomes their modifier bit. Only an
// unbroken run of key operations counts; a modifier tapped alone stays.
void fold_modifiers(OperationRecord* head) {
    for (OperationRecord *down = head->next, *next; down; down = next) {
        next = down->next;
        uint32_t bit = is_key_down(down) ? modifier_bit(down->key_code) : 0;
        if (!bit) continue;
        OperationRecord* up = nullptr;
        int between = 0;
        for (OperationRecord* r = down->next; r && is_key(r); r = r->next) {
            if (is_key_up(r) && r->key_code == down->key_code) {
                up = r;
                break;
            }
            ++between;
        }
        if (!up || between == 0) continue;
        for (OperationRecord* r = down->next; r != up; r = r->next) r->modifiers |= bit;
        timeline_remove(up);  // never `next`: at least one operation lies between
        timeline_remove(down);
    }
}

// 3. A down directly followed by a quick up of the same key is one key input.
void join_key_inputs(OperationRecord* head, const MergeSettings& s) {
    for (OperationRecord* down = head->next; down; down = down->next) {
        OperationRecord* up = down->next;
        if (up && is_key_down(down) && is_key_up(up) && up->key_code == down->key_code &&
            up->interval < s.click_interval) {
            down->code = kCodeKeyInput;
            timeline_remove(up);
        }
    }
}

// 4. A button down, quick small moves after it, and a quick matching up
// close to it are one click. Anything else in between breaks the click.
void join_clicks(OperationRecord* head, const MergeSettings& s) {
    OperationRecord* down = nullptr;
    for (OperationRecord *r = head->next, *next; r; r = next) {
        next = r->next;
        if (is_button_down(r)) {
            down = r;
            continue;
        }
        if (down && r->interval < s.click_interval && within(down, r, s.click_point)) {
            int32_t click = 0;
            if (r->category == kCategoryMouse && is_mouse_move(r->code)) {
                timeline_remove(r);
                continue;
            }
            if (is_matching_up(down, r, &click)) {
                down->code = click;
                timeline_remove(r);
                down = nullptr;
                continue;
            }
        }
        down = nullptr;
    }
}

// 5. A click that only brought an activation-sensitive window to the front:
// not marked as a click into the window already in front, and the first
// operation or the first in that window class.
void drop_first_clicks(OperationRecord* head, const MergeSettings& s) {
    std::vector<std::u16string> classes = first_click_classes(s.first_click_classes);
    auto sensitive = [&](const char16_t* cls) {
        for (const std::u16string& c : classes)
            if (name_equal(c.c_str(), cls)) return true;
        return false;
    };
    const OperationRecord* prev = head;
    bool after_removed = false;
    for (OperationRecord *r = head->next, *next; r; r = next) {
        next = r->next;
        if (!after_removed && is_click(r) && r->event_data1 == 0 && sensitive(r->window_class) &&
            (prev == head || !name_equal(r->window_class, prev->window_class))) {
            timeline_remove(r);
            after_removed = true;
            continue;
        }
        after_removed = false;
        prev = r;
    }
}

// 7. Two close left clicks within the double-click time.
void join_double_clicks(OperationRecord* head, const MergeSettings& s) {
    for (OperationRecord* r = head->next; r; r = r->next) {
        OperationRecord* second = r->next;
        if (second && r->category == kCategoryMouse && r->code == kCodeLeftClick &&
            second->category == kCategoryMouse && second->code == kCodeLeftClick &&
            second->interval < s.double_click_time && within(r, second, s.click_point)) {
            r->code = kCodeLeftDoubleClick;
            timeline_remove(second);
        }
    }
}

}  // namespace

std::vector<std::u16string> first_click_classes(const std::u16string& extra) {
    std::vector<std::u16string> classes(std::begin(kBuiltInFirstClickClasses), std::end(kBuiltInFirstClickClasses));
    size_t start = 0;
    while (start <= extra.size()) {
        size_t end = extra.find(u',', start);
        if (end == std::u16string::npos) end = extra.size();
        size_t a = start, b = end;
        while (a < b && (extra[a] == u' ' || extra[a] == u'\t')) ++a;
        while (b > a && (extra[b - 1] == u' ' || extra[b - 1] == u'\t')) --b;
        if (b > a) classes.push_back(extra.substr(a, b - a));
        start = end + 1;
    }
    return classes;
}

void timeline_merge(OperationRecord* head, const MergeSettings& s) {
    drop_key_repeats(head);
    fold_modifiers(head);
    join_key_inputs(head, s);
    join_clicks(head, s);
    if (s.delete_first_click) drop_first_clicks(head, s);
    for (OperationRecord* r = head->next; r; r = r->next) r->event_data1 = 0;
    join_double_clicks(head, s);
    timeline_renumber(head);
}

}  // namespace zvb
