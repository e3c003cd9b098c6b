// IME functions: the open status, conversion mode and sentence mode of the
// input method of the focused window, read and set through that window's
// default IME window (WM_IME_CONTROL), which answers for another process's
// input context. They change nothing a script waits for, so they do not
// pause.
#include "frame_win32.h"

#include <imm.h>

using namespace deskops;

namespace {

// IMC_* commands of WM_IME_CONTROL.
enum ImeCommand : WPARAM {
    kGetConversionMode = 1,
    kSetConversionMode = 2,
    kGetSentenceMode = 3,
    kSetSentenceMode = 4,
    kGetOpenStatus = 5,
    kSetOpenStatus = 6,
};

// The window whose input context counts: the foreground thread's focus
// window. Without a focus window the foreground window stands in, so the
// answer never comes from this thread's own input context.
HWND focus_window() {
    HWND foreground = GetForegroundWindow();
    DWORD thread = GetWindowThreadProcessId(foreground, nullptr);
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    if (GetGUIThreadInfo(thread, &info)) return info.hwndFocus ? info.hwndFocus : foreground;
    DWORD self = GetCurrentThreadId();
    bool attached = thread && thread != self && AttachThreadInput(self, thread, TRUE);
    HWND focus = GetFocus();
    if (attached) AttachThreadInput(self, thread, FALSE);
    return focus ? focus : foreground;
}

int32_t ime_control(Node* result, WPARAM command, LPARAM value) {
    HWND ime = ImmGetDefaultIMEWnd(focus_window());
    put_int(result, int32_t(SendMessageW(ime, WM_IME_CONTROL, command, value)));
    return kDone;
}

int32_t ime_set(Node* args, Node* result, char16_t* errbuf, WPARAM command) {
    if (!has_args(args, 1)) return kMissing;
    int32_t value;
    if (!read_number(arg(args, 0), &value, errbuf)) return kFailed;
    return ime_control(result, command, LPARAM(value));
}

}  // namespace

DESKOPS_FUNCTION(get_ime_status) { return ime_control(result, kGetOpenStatus, 0); }

DESKOPS_FUNCTION(set_ime_status) { return ime_set(args, result, errbuf, kSetOpenStatus); }

DESKOPS_FUNCTION(get_ime_conversion_mode) { return ime_control(result, kGetConversionMode, 0); }

DESKOPS_FUNCTION(set_ime_conversion_mode) { return ime_set(args, result, errbuf, kSetConversionMode); }

DESKOPS_FUNCTION(get_ime_sentence_mode) { return ime_control(result, kGetSentenceMode, 0); }

DESKOPS_FUNCTION(set_ime_sentence_mode) { return ime_set(args, result, errbuf, kSetSentenceMode); }
