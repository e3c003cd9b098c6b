#include "recorder.h"

#include "dpi.h"
#include "operation_codes.h"
#include "operation_file.h"
#include "timeline.h"
#include "window_facts.h"

namespace zvb {

namespace {

// Input the system saw well after the last hook message (kSilenceGapMs),
// and long enough ago that the hooks had time to report it (kSilenceMs),
// means they have stopped delivering.
constexpr uint32_t kSilenceGapMs = 250;
constexpr uint32_t kSilenceMs = 2000;

bool is_button_or_wheel(WPARAM m) {
    switch (m) {
    case 161: case 162: case 164: case 165: case 167: case 168:
    case 513: case 514: case 516: case 517: case 519: case 520: case 522:
        return true;
    default:
        return false;
    }
}

}  // namespace

Recorder::Recorder(HWND window, const HookLibrary& hooks, const std::wstring& temp_folder, UINT failed_message)
    : window_(window),
      hooks_(hooks),
      operations_(temp_folder + L"zarvo-bot_tmp.zv"),
      images_(temp_folder + L"zarvo-bot_tmp.zv.img"),
      failed_message_(failed_message) {}

Recorder::~Recorder() { stop(); }

bool Recorder::start(const RecordSettings& settings, DWORD* error) {
    if (recording_) return true;
    settings_ = settings;
    paused_ = false, dialog_depth_ = 0, button_held_ = false;
    excluded_.reset();
    previous_foreground_ = nullptr;
    start_tick_ = GetTickCount();
    // Any input after the start is owed a hook message.
    last_hook_tick_ = start_tick_ - kSilenceGapMs;
    DeleteFileW(operations_.c_str());
    RecordingThreadOptions o;
    o.main = window_;
    o.operations = operations_;
    o.images = images_;
    o.whole_screen = settings.rec_always_copy_desctop != 0;
    o.scale_percent = zv::ui::scale_percent();
    o.failed_message = failed_message_;
    if (!thread_.start(o, error)) return false;
    recording_ = true;
    SetLastError(0);
    if (!hooks_.start(window_, kHookMouseMessage, kHookKeyMessage)) {
        *error = GetLastError() ? GetLastError() : ERROR_HOOK_NOT_INSTALLED;
        recording_ = false;
        thread_.finish();
        return false;
    }
    hooked_ = true;
    return true;
}

void Recorder::pause() {
    if (!recording_ || paused_) return;
    paused_ = true;
    excluded_.begin(GetTickCount());
}

void Recorder::resume() {
    if (!paused_) return;
    paused_ = false;
    excluded_.end(GetTickCount());
}

void Recorder::stop() {
    if (!recording_) return;
    // The events the hooks still hold arrive during stop(), while this
    // recording is still on.
    if (hooked_) hooks_.stop();
    hooked_ = false;
    recording_ = false;
    paused_ = false;
    stop_tick_ = GetTickCount();
    // The thread makes room as it works through its queue.
    for (flush_pending(); !pending_.empty(); flush_pending()) Sleep(10);
    thread_.finish();
}

OperationRecord* Recorder::new_record(int32_t category, int32_t code, HWND target, uint32_t time) {
    OperationRecord* r = record_new();
    if (!r) return nullptr;  // dropped without a word, like an event the system lost
    r->category = category;
    r->code = code;
    r->data_version = 1;
    r->interval = time;  // the event time until the thread works out the interval
    r->window = target;
    RECT frame = visible_frame(target);
    r->window_rect = rect32(frame);
    r->window_state = target ? window_state(target) : 0;
    return r;
}

void Recorder::post(OperationRecord* r) {
    if (!r) return;
    uint32_t excluded = excluded_.take();
    flush_pending();
    if (!pending_.empty() || thread_.post(r, excluded) == RecordingThread::Post::kFull)
        pending_.emplace_back(r, excluded);
}

void Recorder::flush_pending() {
    while (!pending_.empty()) {
        auto [r, excluded] = pending_.front();
        RecordingThread::Post p = thread_.post(r, excluded);
        if (p == RecordingThread::Post::kFull) return;
        pending_.pop_front();
    }
}

void Recorder::on_mouse(WPARAM message, const MSLLHOOKSTRUCT* e) {
    last_hook_tick_ = GetTickCount();
    if (!recording_ || paused_ || dialog_open() || !e) return;
    switch (message) {
    case 161: case 164: case 513: case 516: button_held_ = true; break;
    case 162: case 165: case 514: case 517: button_held_ = false; break;
    default: break;
    }
    bool take = message == 512 || message == 160
                    ? settings_.rec_mouse_move && (button_held_ || settings_.rec_mouse_move_all)
                    : is_button_or_wheel(message);
    HWND foreground = GetForegroundWindow();
    if (take) {
        // Nothing of the recorder's own windows is recorded: the bar, its
        // buttons, and what it owns.
        HWND under = WindowFromPoint(e->pt);
        take = !under || GetAncestor(under, GA_ROOTOWNER) != window_;
    }
    if (take) {
        OperationRecord* r = new_record(kCategoryMouse, int32_t(message), foreground, e->time);
        if (r) {
            r->prev_foreground = previous_foreground_;
            r->mouse_pos = {int32_t(e->pt.x), int32_t(e->pt.y)};
            r->mouse_data = int32_t(e->mouseData);
            r->mouse_rel = {r->mouse_pos.x - r->window_rect.left, r->mouse_pos.y - r->window_rect.top};
        }
        post(r);
    }
    previous_foreground_ = foreground;
}

void Recorder::on_key(WPARAM message, const KBDLLHOOKSTRUCT* e) {
    last_hook_tick_ = GetTickCount();
    if (!recording_ || paused_ || dialog_open() || !e) return;
    HWND foreground = GetForegroundWindow();
    OperationRecord* r = new_record(kCategoryKey, int32_t(message), foreground, e->time);
    if (r) r->key_code = e->vkCode;
    previous_foreground_ = foreground;
    post(r);
}

void Recorder::dialog_opened() {
    ++dialog_depth_;
    excluded_.begin(GetTickCount());
}

void Recorder::dialog_closed() {
    if (dialog_depth_ == 0) return;
    --dialog_depth_;
    excluded_.end(GetTickCount());
}

void Recorder::post_other(OperationRecord* r) {
    if (!r) return;
    if (!recording_ || paused_) return record_free(r);
    r->category = kCategoryOther;
    r->data_version = 1;
    r->interval = GetTickCount();
    post(r);
}

bool Recorder::merge(const RecordSettings& settings) {
    OperationRecord* head = timeline_read(reinterpret_cast<const char16_t*>(operations_.c_str()));
    if (!head) return false;
    MergeSettings m;
    m.click_point = settings.click_point;
    m.click_interval = uint32_t(settings.click_interval);
    m.double_click_time = GetDoubleClickTime();
    m.delete_first_click = settings.rec_delete_first_click == 1;
    m.first_click_classes.assign(settings.rec_first_click_window_class.begin(),
                                 settings.rec_first_click_window_class.end());
    timeline_merge(head, m);
    uint32_t error = 0;
    bool ok = timeline_write(reinterpret_cast<const char16_t*>(operations_.c_str()), head, &error);
    timeline_free(head);
    return ok;
}

bool Recorder::has_operations() const {
    WIN32_FILE_ATTRIBUTE_DATA data;
    return GetFileAttributesExW(operations_.c_str(), GetFileExInfoStandard, &data) &&
           (data.nFileSizeHigh || data.nFileSizeLow >= kRecordBytes);
}

void Recorder::delete_files() {
    DeleteFileW(operations_.c_str());
    DeleteFileW(images_.c_str());
}

bool Recorder::hooks_silent(uint32_t now, uint32_t last_input) const {
    if (!recording_) return false;
    return int32_t(last_input - last_hook_tick_) > int32_t(kSilenceGapMs) &&
           ExcludedTime::elapsed(last_input, now) >= kSilenceMs;
}

bool Recorder::restart_hooks() {
    if (!recording_) return false;
    if (hooked_) hooks_.stop();
    hooked_ = hooks_.start(window_, kHookMouseMessage, kHookKeyMessage) != FALSE;
    last_hook_tick_ = GetTickCount();
    return hooked_;
}

}  // namespace zvb
