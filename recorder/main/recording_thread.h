// The recording thread: completes each record the hook handlers post
// (window identity, control under the mouse, interval, screenshot), drops
// repeats and appends the rest to the temporary operation file and image
// store. Records arrive as thread message kRecordMessage (wParam: the
// excluded time the record carries, lParam: the record, which the thread
// owns from then on).
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <atomic>
#include <string>

#include "operation_record.h"

namespace zvb {

class RecordSequence;

constexpr UINT kRecordMessage = 1224;

struct RecordingThreadOptions {
    HWND main = nullptr;          // the recorder's window: never a target
    std::wstring operations;      // zarvo-bot_tmp.zv
    std::wstring images;          // zarvo-bot_tmp.zv.img
    bool whole_screen = false;    // rec_always_copy_desctop
    int scale_percent = 100;      // coordinates and pictures are stored at 100 %
    UINT failed_message = 0;      // posted to `main` (wParam: system error) when a file cannot be written
    // Writes to both files; tests put a full disk here.
    BOOL(WINAPI* write)(HANDLE, LPCVOID, DWORD, LPDWORD, LPOVERLAPPED) = WriteFile;
};

class RecordingThread {
public:
    RecordingThread() = default;
    ~RecordingThread() { finish(); }
    RecordingThread(const RecordingThread&) = delete;
    RecordingThread& operator=(const RecordingThread&) = delete;

    // Starts the thread, which creates (truncates) both files. False with
    // *error when it cannot start or either file cannot be created; no
    // thread runs then.
    bool start(const RecordingThreadOptions& options, DWORD* error);
    // Hands a record over. kFull: the thread's queue is full for now, the
    // record stays the caller's; kGone: no thread runs, the record is freed.
    enum class Post { kTaken, kFull, kGone };
    Post post(OperationRecord* r, uint32_t excluded);
    // Lets the thread finish the records posted so far, close both files and
    // end; waits for it without a limit, handling messages sent to this
    // thread meanwhile (the thread asks windows of it for their titles).
    void finish();
    bool running() const { return thread_ != nullptr; }

    // Records taken and written so far, and screenshot times.
    uint32_t received() const { return received_; }
    uint32_t written() const { return written_; }
    uint32_t captures() const { return captures_; }
    double capture_total_us() const { return capture_total_us_; }
    double capture_max_us() const { return capture_max_us_; }

private:
    static DWORD WINAPI main(void* self);
    void run();
    void handle(OperationRecord* r, uint32_t excluded);
    void complete(OperationRecord* r);
    void picture(OperationRecord* r);
    bool append(HANDLE file, uint64_t* end, const void* data, size_t n);
    void fail(DWORD error);

    RecordingThreadOptions options_;
    HANDLE thread_ = nullptr, ready_ = nullptr;
    DWORD thread_id_ = 0, start_error_ = 0;
    HANDLE operations_ = INVALID_HANDLE_VALUE, images_ = INVALID_HANDLE_VALUE;
    uint64_t operations_end_ = 0, images_end_ = 0;
    bool failed_ = false;
    RecordSequence* sequence_ = nullptr;
    std::atomic<uint32_t> received_{0}, written_{0}, captures_{0};
    double capture_total_us_ = 0, capture_max_us_ = 0;
};

}  // namespace zvb
