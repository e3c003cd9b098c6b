// Play notifications: a running scenario script tells the recorder that
// playback starts, which step it has reached and that playback ends, by
// posting to the recorder's main window. Posted, never sent: the script
// must not wait for the recorder, and runs on when the recorder is absent.
#include "frame_win32.h"

using namespace deskops;

namespace {

constexpr UINT kPlayStart = WM_USER + 110;   // 1134
constexpr UINT kPlayEnd = WM_USER + 111;     // 1135
constexpr UINT kSelectStep = WM_USER + 401;  // 1425

void notify_recorder(UINT message, int32_t wparam, int32_t lparam) {
    if (HWND recorder = FindWindowW(L"zarvo-bot_main", nullptr))
        PostMessageW(recorder, message, WPARAM(intptr_t(wparam)), LPARAM(lparam));
}

// The optional number of play start and end: its integer value, or -1 when
// it is missing or not a number.
int32_t optional_number(const Value* v) {
    if (v && v->kind == ksc::kInt) return v->data.i;
    if (v && v->kind == ksc::kReal) return truncate_real(v->data.r);
    return -1;
}

}  // namespace

DESKOPS_FUNCTION(__play_start) {
    notify_recorder(kPlayStart, optional_number(arg(args, 0)), 0);
    return kDone;
}

DESKOPS_FUNCTION(__play_end) {
    notify_recorder(kPlayEnd, optional_number(arg(args, 0)), 0);
    return kDone;
}

DESKOPS_FUNCTION(__select_step) {
    if (!has_args(args, 1)) return kMissing;
    int32_t step;
    if (!read_number(arg(args, 0), &step, errbuf)) return kFailed;
    notify_recorder(kSelectStep, 0, step);
    return kDone;
}
