#include "recording_thread.h"

#include <vector>

#include "microseconds.h"
#include "operation_codes.h"
#include "recording_rules.h"
#include "screenshot.h"
#include "window_facts.h"

namespace zvb {

namespace {

HANDLE create_file(const std::wstring& path) {
    return CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, CREATE_ALWAYS,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

void close_file(HANDLE* h) {
    if (*h != INVALID_HANDLE_VALUE) CloseHandle(*h);
    *h = INVALID_HANDLE_VALUE;
}

int32_t to_100(int32_t v, int percent) { return percent == 100 ? v : MulDiv(v, 100, percent); }

void scale_rect(Rect32* r, int percent) {
    r->left = to_100(r->left, percent), r->top = to_100(r->top, percent);
    r->right = to_100(r->right, percent), r->bottom = to_100(r->bottom, percent);
}

void scale_point(Point32* p, int percent) { p->x = to_100(p->x, percent), p->y = to_100(p->y, percent); }

}  // namespace

bool RecordingThread::start(const RecordingThreadOptions& options, DWORD* error) {
    finish();
    options_ = options;
    failed_ = false;
    received_ = written_ = captures_ = 0;
    capture_total_us_ = capture_max_us_ = 0;
    start_error_ = 0;
    ready_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    thread_ = ready_ ? CreateThread(nullptr, 0, &RecordingThread::main, this, 0, &thread_id_) : nullptr;
    if (!thread_) {
        *error = GetLastError();
        if (ready_) CloseHandle(ready_), ready_ = nullptr;
        return false;
    }
    WaitForSingleObject(ready_, INFINITE);
    CloseHandle(ready_), ready_ = nullptr;
    if (start_error_) {
        *error = start_error_;
        WaitForSingleObject(thread_, INFINITE);
        CloseHandle(thread_), thread_ = nullptr;
        return false;
    }
    return true;
}

RecordingThread::Post RecordingThread::post(OperationRecord* r, uint32_t excluded) {
    if (thread_ && PostThreadMessageW(thread_id_, kRecordMessage, excluded, reinterpret_cast<LPARAM>(r)))
        return Post::kTaken;
    if (thread_ && GetLastError() == ERROR_NOT_ENOUGH_QUOTA) return Post::kFull;
    record_free(r);
    return Post::kGone;
}

void RecordingThread::finish() {
    if (!thread_) return;
    PostThreadMessageW(thread_id_, WM_QUIT, 0, 0);
    for (;;) {
        DWORD r = MsgWaitForMultipleObjects(1, &thread_, FALSE, INFINITE, QS_SENDMESSAGE);
        if (r != WAIT_OBJECT_0 + 1) break;
        MSG msg;
        PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
    WaitForSingleObject(thread_, INFINITE);
    CloseHandle(thread_);
    thread_ = nullptr;
}

DWORD WINAPI RecordingThread::main(void* self) {
    static_cast<RecordingThread*>(self)->run();
    return 0;
}

void RecordingThread::run() {
    MSG msg;
    PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);  // the queue records are posted to
    operations_ = create_file(options_.operations);
    if (operations_ != INVALID_HANDLE_VALUE) images_ = create_file(options_.images);
    if (operations_ == INVALID_HANDLE_VALUE || images_ == INVALID_HANDLE_VALUE) {
        start_error_ = GetLastError();
        if (!start_error_) start_error_ = ERROR_OPEN_FAILED;
        close_file(&operations_);
        SetEvent(ready_);
        return;
    }
    operations_end_ = images_end_ = 0;
    RecordSequence sequence;
    sequence_ = &sequence;
    SetEvent(ready_);
    while (GetMessageW(&msg, nullptr, 0, 0) > 0)
        if (msg.message == kRecordMessage) handle(reinterpret_cast<OperationRecord*>(msg.lParam), uint32_t(msg.wParam));
    close_file(&operations_);
    close_file(&images_);
    sequence_ = nullptr;
    // Nothing is posted after WM_QUIT; whatever is, is freed.
    while (PeekMessageW(&msg, nullptr, kRecordMessage, kRecordMessage, PM_REMOVE))
        record_free(reinterpret_cast<OperationRecord*>(msg.lParam));
}

void RecordingThread::handle(OperationRecord* r, uint32_t excluded) {
    if (!r) return;
    ++received_;
    if (failed_) {
        record_free(r);
        return;
    }
    complete(r);
    sequence_->begin(r, excluded);
    if (!sequence_->take_previous_picture(r)) picture(r);
    int percent = options_.scale_percent > 0 ? options_.scale_percent : 100;
    scale_rect(&r->desktop_rect, percent);
    if (r->category != kCategoryOther) {  // an other operation has P's rectangle, already at 100 %
        scale_rect(&r->window_rect, percent);
        scale_point(&r->mouse_pos, percent);
        scale_point(&r->mouse_rel, percent);
    }
    if (!sequence_->finish(r)) return;  // r is P now, owned by the sequence
    if (!append(operations_, &operations_end_, r, kRecordBytes)) return fail(GetLastError());
    ++written_;
}

// Steps 1 to 5: the screen, the target window, the desktop flag, the better
// target of a click beside the foreground window, the control under the mouse.
void RecordingThread::complete(OperationRecord* r) {
    r->size = kRecordBytes;
    RECT screen = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    r->desktop_rect = rect32(screen);
    if (r->category == kCategoryOther) return;  // it takes P's window
    HWND target = static_cast<HWND>(r->window);
    if (target == options_.main) target = nullptr;
    r->window = target;
    if (target) {
        window_class_text(target, r->window_class);
        window_title_text(target, r->window_title);
    } else {
        r->window_rect = r->desktop_rect;
        r->mouse_rel = r->mouse_pos;
    }
    bool mouse = r->category == kCategoryMouse;
    r->desktop = !target || (mouse && !rect_holds(r->window_rect, r->mouse_pos));
    POINT p = {r->mouse_pos.x, r->mouse_pos.y};
    if (mouse && r->desktop && !is_mouse_move(r->code) && r->code != kCodeRawWheel) {
        HWND found = window_for_click(p);
        if (found && found != options_.main) {
            r->window = target = found;
            r->window_rect = rect32(visible_frame(found));
            r->window_state = window_state(found);
            window_class_text(found, r->window_class);
            window_title_text(found, r->window_title);
            r->mouse_rel = {r->mouse_pos.x - r->window_rect.left, r->mouse_pos.y - r->window_rect.top};
            r->desktop = !rect_holds(r->window_rect, r->mouse_pos);
        }
    }
    // The desktop window itself (no shell running) is the desktop too.
    if (is_shell_surface(r->window_class, r->window_title, r->window_rect) || (target && target == GetDesktopWindow()))
        r->desktop = 1;
    if (mouse) {
        int32_t id = 0;
        if (HWND control = control_under(p, &id)) {
            window_class_text(control, r->control_class);
            r->control_id = id;
        }
    }
}

// Step 7: a capture of the window, or of the whole screen for the desktop,
// appended to the image store.
void RecordingThread::picture(OperationRecord* r) {
    r->image_offset = uint32_t(images_end_);
    r->image_size = 0;
    RECT area;
    if (r->desktop || options_.whole_screen)
        area = {r->desktop_rect.left, r->desktop_rect.top, r->desktop_rect.right, r->desktop_rect.bottom};
    else
        area = {r->window_rect.left, r->window_rect.top, r->window_rect.right, r->window_rect.bottom};
    double begin = now_us();
    std::vector<uint8_t> png;
    bool captured = capture_png(area, options_.scale_percent, &png);
    double us = now_us() - begin;
    capture_total_us_ += us;
    if (us > capture_max_us_) capture_max_us_ = us;
    ++captures_;
    // Offsets are 32-bit: a store that would grow past 4 GB takes no more.
    if (!captured || images_end_ + png.size() > UINT32_MAX) return;
    if (!append(images_, &images_end_, png.data(), png.size())) return fail(GetLastError());
    r->image_size = uint32_t(png.size());
}

// Appends whole or not at all: a failed write is cut off again, so the
// files hold only complete records and pictures.
bool RecordingThread::append(HANDLE file, uint64_t* end, const void* data, size_t n) {
    DWORD done = 0;
    if (options_.write(file, data, DWORD(n), &done, nullptr) && done == n) {
        *end += n;
        return true;
    }
    DWORD error = GetLastError();
    LARGE_INTEGER at;
    at.QuadPart = LONGLONG(*end);
    if (SetFilePointerEx(file, at, nullptr, FILE_BEGIN)) SetEndOfFile(file);
    SetLastError(error ? error : ERROR_WRITE_FAULT);
    return false;
}

// The first write failure ends the recording: the window is told, and the
// records that follow are dropped.
void RecordingThread::fail(DWORD error) {
    if (failed_) return;
    failed_ = true;
    if (options_.failed_message) PostMessageW(options_.main, options_.failed_message, error, 0);
}

}  // namespace zvb
