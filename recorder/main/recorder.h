// The recorder's state while the user records, kept by the main window:
// recording, paused, an insert dialog open, the time not to count, the hook
// handlers that turn each input event into an operation record, and the
// recording thread that completes and stores them. Everything here runs on
// the main window's thread.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <deque>
#include <string>
#include <utility>

#include "merge.h"
#include "recording_clock.h"
#include "recording_thread.h"

namespace zvb {

// The RECORD section of the global settings.
struct RecordSettings {
    int rec_mouse_move = 0, rec_mouse_move_all = 0, rec_always_copy_desctop = 0;
    int rec_marge = 1, rec_delete_first_click = 1;
    std::wstring rec_first_click_window_class;
    int click_point = 10, click_interval = 250;
};

// The input-hook library's two entry points (zvh.dll, or the hooks linked
// in for the benchmarks).
struct HookLibrary {
    BOOL(WINAPI* start)(HWND window, UINT mouse_message, UINT key_message);
    void(WINAPI* stop)();
};

constexpr UINT kHookMouseMessage = 1124;
constexpr UINT kHookKeyMessage = 1125;

class Recorder {
public:
    // `temp_folder` ends with a separator; failed_message is posted to
    // `window` by the recording thread when a file cannot be written.
    Recorder(HWND window, const HookLibrary& hooks, const std::wstring& temp_folder, UINT failed_message);
    ~Recorder();
    Recorder(const Recorder&) = delete;
    Recorder& operator=(const Recorder&) = delete;

    bool recording() const { return recording_; }
    bool paused() const { return paused_; }
    bool dialog_open() const { return dialog_depth_ > 0; }
    const std::wstring& operations_path() const { return operations_; }
    uint32_t duration_ms() const { return stop_tick_ - start_tick_; }

    // Starts the thread (the temporary files) and the hooks. False with
    // *error (a system error code) when either fails; nothing runs then.
    bool start(const RecordSettings& settings, DWORD* error);
    void pause();
    void resume();
    // "Record mouse moves" switched while recording.
    void set_mouse_move(bool on) { settings_.rec_mouse_move = on ? 1 : 0; }
    // Ends the hooks (the events they still hold are handled first) and the
    // thread; the temporary files stay for merge() and saving.
    void stop();

    // The hook messages: wParam and lParam as they arrive.
    void on_mouse(WPARAM message, const MSLLHOOKSTRUCT* e);
    void on_key(WPARAM message, const KBDLLHOOKSTRUCT* e);

    // An insert dialog (or a message of the recorder) is open: its events
    // are not recorded and its time is not counted. Calls nest.
    void dialog_opened();
    void dialog_closed();
    // Posts an other operation the user inserted (code and texts set);
    // nothing while paused. The record is taken over.
    void post_other(OperationRecord* r);
    // Hands the thread the records its full queue could not take yet
    // (the window calls it now and then; stop() waits for them).
    void flush_pending();

    // The merging pass over the temporary operation file, written back in
    // place. False when it cannot be read or written (the file then stays
    // as it was).
    bool merge(const RecordSettings& settings);
    // True when the temporary operation file holds at least one record.
    bool has_operations() const;
    // Deletes the temporary files (program exit).
    void delete_files();

    // Whether the hooks went silent: the system saw input well after the
    // last hook message. `now` and `last_input` are tick counts.
    bool hooks_silent(uint32_t now, uint32_t last_input) const;
    // Installs the hooks again after they went silent.
    bool restart_hooks();

    const RecordingThread& thread() const { return thread_; }

private:
    OperationRecord* new_record(int32_t category, int32_t code, HWND target, uint32_t time);
    void post(OperationRecord* r);

    HWND window_;
    HookLibrary hooks_;
    std::wstring operations_, images_;
    UINT failed_message_;
    RecordSettings settings_;
    RecordingThread thread_;
    ExcludedTime excluded_;
    bool recording_ = false, paused_ = false, hooked_ = false;
    int dialog_depth_ = 0;
    bool button_held_ = false;
    HWND previous_foreground_ = nullptr;
    // Records waiting for room in the thread's queue, in order.
    std::deque<std::pair<OperationRecord*, uint32_t>> pending_;
    uint32_t start_tick_ = 0, stop_tick_ = 0;
    uint32_t last_hook_tick_ = 0;
};

}  // namespace zvb
