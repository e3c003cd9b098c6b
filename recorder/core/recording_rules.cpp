#include "recording_rules.h"

#include "operation_codes.h"
#include "platform.h"

namespace zvb {

namespace {

const char16_t* const kShellClasses[] = {u"Progman", u"WorkerW", u"Shell_TrayWnd", u"ForegroundStaging",
                                         u"MultitaskingViewFrame"};

}  // namespace

bool rect_holds(const Rect32& r, Point32 p) {
    return p.x >= r.left && p.x <= r.right && p.y >= r.top && p.y <= r.bottom;
}

bool is_shell_surface(const char16_t* window_class, const char16_t* title, const Rect32& rect) {
    for (const char16_t* c : kShellClasses)
        if (zv::text_equal(window_class, c)) return true;
    return zv::text_equal(window_class, u"Windows.UI.Core.CoreWindow") && zv::text_equal(title, u"スタート") &&
           rect.left == 0 && rect.top == 0;
}

bool is_modifier_key(uint32_t vk) {
    return vk == 16 || vk == 17 || vk == 18 || vk == 91 || vk == 92 || (vk >= 160 && vk <= 165);
}

RecordSequence::RecordSequence() : previous_(&initial_) {
    initial_ = OperationRecord();
    initial_.mouse_pos = {-1, -1};
}

RecordSequence::~RecordSequence() { release_previous(); }

void RecordSequence::release_previous() {
    if (previous_ != &initial_) record_free(previous_);
}

void RecordSequence::begin(OperationRecord* r, uint32_t excluded) {
    r->interval = clock_.next(r->interval, excluded);
    if (r->category == kCategoryMouse && r->code == kCodeRawWheel) r->code = wheel_code(r->mouse_data);
}

bool RecordSequence::is_repeat(const OperationRecord* r) const {
    const OperationRecord* p = previous_;
    if (r->category != p->category || r->code != p->code) return false;
    if (r->category == kCategoryMouse) return !is_mouse_move(r->code) && !is_wheel(r->code);
    if (r->category == kCategoryKey) return r->key_code == p->key_code && is_modifier_key(r->key_code);
    return false;
}

bool RecordSequence::take_previous_picture(OperationRecord* r) const {
    const OperationRecord* p = previous_;
    if (r->category == kCategoryOther) {
        r->window_state = p->window_state;
        record_set_text(r->window_class, p->window_class);
        record_set_text(r->window_title, p->window_title);
        r->desktop = p->desktop;
        r->window_rect = p->window_rect;
    } else if (!is_repeat(r) && !(r->category == kCategoryMouse && is_mouse_move(r->code) &&
                                 r->window == p->window && r->desktop == p->desktop)) {
        return false;
    }
    r->image_offset = p->image_offset;
    r->image_size = p->image_size;
    return true;
}

bool RecordSequence::finish(OperationRecord* r) {
    bool write = !is_repeat(r);
    if (!write) {
        clock_.carry(r->interval);
    } else {
        if (r->category == kCategoryMouse && r->window != previous_->window && r->window == r->prev_foreground)
            r->event_data1 = 1;
        clock_.written();
    }
    release_previous();
    previous_ = r;
    return write;
}

}  // namespace zvb
