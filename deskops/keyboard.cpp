// Keyboard functions: key events through keybd_event, and the key state of
// the calling thread and of the system. Modifier combinations are built by
// scripts from key_down and key_up; nothing here adds a modifier.
#include "frame_win32.h"
#include "key_names.h"

using namespace deskops;

namespace {

BYTE scan_code_of(uint8_t code) {
    int32_t fixed = fixed_scan_code(code);
    return BYTE(fixed >= 0 ? fixed : MapVirtualKeyW(code, MAPVK_VK_TO_VSC));
}

void send_key(uint8_t code, bool up) {
    DWORD flags = is_extended_key(code) ? KEYEVENTF_EXTENDEDKEY : 0;
    if (up) flags |= KEYEVENTF_KEYUP;
    keybd_event(code, scan_code_of(code), flags, 0);
}

// key_input / key_down / key_up. Code 0 (an unknown name included) sends
// nothing but still pauses and succeeds.
int32_t press(Node* args, Node* result, char16_t* errbuf, bool down, bool up) {
    if (!has_args(args, 1)) return kMissing;
    uint8_t code;
    if (!read_key(arg(args, 0), &code, errbuf)) return kFailed;
    if (code) {
        if (down) send_key(code, false);
        if (up) send_key(code, true);
    }
    input_done();
    put_int(result, 0);
    return kDone;
}

// get_key_state / get_async_key_state: the answer as a signed 16-bit value
// (negative while the key is down).
int32_t key_state(Node* args, Node* result, char16_t* errbuf, SHORT(WINAPI* query)(int)) {
    if (!has_args(args, 1)) return kMissing;
    uint8_t code;
    if (!read_key(arg(args, 0), &code, errbuf)) return kFailed;
    put_int(result, int32_t(query(code)));
    return kDone;
}

}  // namespace

DESKOPS_FUNCTION(key_input) { return press(args, result, errbuf, true, true); }

DESKOPS_FUNCTION(key_down) { return press(args, result, errbuf, true, false); }

DESKOPS_FUNCTION(key_up) { return press(args, result, errbuf, false, true); }

DESKOPS_FUNCTION(get_key_state) { return key_state(args, result, errbuf, GetKeyState); }

DESKOPS_FUNCTION(get_async_key_state) { return key_state(args, result, errbuf, GetAsyncKeyState); }
