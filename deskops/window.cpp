// Window functions: finding windows, their relations, position, size and
// state, focus, text, class, styles, check state, and sending them text and
// messages. Handles travel as plain integers; coordinates are script units
// (to_physical on the way in, to_logical on the way out), and positions of
// top-level windows use the visible frame rectangle unless the raw flag asks
// for the window rectangle. Every function that changes something pauses
// operation_wait before it returns.
#include <cstring>

#include "frame_win32.h"
#include "platform.h"
#include "utf.h"
#include "wildcard.h"

using namespace deskops;

namespace {

const wchar_t* wide(const char16_t* s) { return reinterpret_cast<const wchar_t*>(s); }

int32_t handle_value(HWND window) { return int32_t(reinterpret_cast<intptr_t>(window)); }

int32_t put_handle(Node* result, HWND window) {
    put_int(result, handle_value(window));
    return kDone;
}

// The handle in argument 0 with count arguments required: kDone, kMissing,
// or kFailed with the message.
int32_t first_window(Node* args, int count, HWND* window, char16_t* errbuf, Msg id = kMsgNotNumber) {
    if (!has_args(args, count)) return kMissing;
    return read_window(arg(args, 0), window, errbuf, id) ? kDone : kFailed;
}

// A number argument that follows the handle.
bool number_at(Node* args, int index, int32_t* out, char16_t* errbuf) {
    return read_number(arg(args, index), out, errbuf);
}

// The optional raw-rectangle flag: a number whose integer value is not 0.
bool raw_flag(const Value* v) {
    if (!v) return false;
    if (v->kind == ksc::kInt) return v->data.i != 0;
    if (v->kind == ksc::kReal) return truncate_real(v->data.r) != 0;
    return false;
}

// A non-empty string argument, or null when the criterion is left open.
const wchar_t* criterion(const Value* v) {
    if (!v || v->kind != ksc::kString || !v->data.s || !v->data.s[0]) return nullptr;
    return wide(v->data.s);
}

// {first: a, second: b}, keys as written.
int32_t put_pair(Node* result, const char16_t* first, int32_t a, const char16_t* second, int32_t b,
                 char16_t* errbuf) {
    ListBuilder list;
    list_start(result->value, &list);
    Node* e = list_add(&list);
    if (!e || !element_set_key(e, first, zv::u16len(first))) return fail_no_memory(errbuf);
    e->value->data.i = a;
    e = list_add(&list);
    if (!e || !element_set_key(e, second, zv::u16len(second))) return fail_no_memory(errbuf);
    e->value->data.i = b;
    return kDone;
}

// The first 32 bits of a value's payload, as send_message passes wparam and
// lparam: an integer by value, a string by the address of its text (an
// absent text as ""), a real as the low half of its bits.
uintptr_t message_param(const Value* v) {
    if (v->kind == ksc::kString) return reinterpret_cast<uintptr_t>(v->data.s ? v->data.s : u"");
    uint32_t low;
    memcpy(&low, &v->data, sizeof low);
    return low;
}

// Runs the focus query or change in the input context of the foreground
// thread; the attachment lasts only for the call.
HWND in_foreground_input(HWND target, bool set) {
    DWORD self = GetCurrentThreadId();
    DWORD foreground = GetWindowThreadProcessId(GetForegroundWindow(), nullptr);
    bool attached = foreground && foreground != self && AttachThreadInput(self, foreground, TRUE);
    HWND answer = set ? SetFocus(target) : GetFocus();
    if (attached) AttachThreadInput(self, foreground, FALSE);
    return answer;
}

struct Search {
    const wchar_t* class_pattern;
    const wchar_t* title_pattern;
    HWND found;
};

bool matches(const wchar_t* pattern, const wchar_t* text) {
    return wildcard_match(reinterpret_cast<const char16_t*>(pattern), reinterpret_cast<const char16_t*>(text));
}

BOOL CALLBACK search_one(HWND window, LPARAM data) {
    Search* s = reinterpret_cast<Search*>(data);
    if (s->title_pattern) {
        wchar_t title[1024];
        int n = GetWindowTextW(window, title, 1024);
        title[n > 0 ? n : 0] = 0;
        if (!matches(s->title_pattern, title)) return TRUE;
    }
    if (s->class_pattern) {
        wchar_t name[256];
        int n = GetClassNameW(window, name, 256);
        name[n > 0 ? n : 0] = 0;
        if (!matches(s->class_pattern, name)) return TRUE;
    }
    s->found = window;
    return FALSE;
}

// get_window_pos / get_window_size: the chosen rectangle, or the system's
// text when the window has none.
int32_t read_rect(Node* args, RECT* rect, char16_t* errbuf) {
    HWND window;
    if (int32_t rc = first_window(args, 1, &window, errbuf)) return rc;
    if (!window_frame_rect(window, rect, raw_flag(arg(args, 1)))) return fail_system(errbuf);
    return kDone;
}

// The invisible border around the visible frame: the window rectangle and
// the frame bounds, when both are known.
bool invisible_border(HWND window, const Value* raw, RECT* outer, RECT* frame) {
    return !raw_flag(raw) && window_frame_bounds(window, frame) && GetWindowRect(window, outer);
}

// set_window_pos / set_window_size: handle and two numbers, in device pixels.
int32_t read_placement(Node* args, HWND* window, int32_t* a, int32_t* b, char16_t* errbuf) {
    if (int32_t rc = first_window(args, 3, window, errbuf)) return rc;
    if (!number_at(args, 1, a, errbuf) || !number_at(args, 2, b, errbuf)) return kFailed;
    *a = to_physical(*a);
    *b = to_physical(*b);
    return kDone;
}

int32_t put_changed(Node* result, int32_t value) {
    put_int(result, value);
    pause_after_operation();
    return kDone;
}

// screen_to_client / client_to_screen.
int32_t convert_point(Node* args, Node* result, char16_t* errbuf, bool to_client) {
    HWND window;
    int32_t x, y;
    if (int32_t rc = first_window(args, 3, &window, errbuf)) return rc;
    if (!number_at(args, 1, &x, errbuf) || !number_at(args, 2, &y, errbuf)) return kFailed;
    POINT p = {to_physical(x), to_physical(y)};
    if (to_client)
        ScreenToClient(window, &p);
    else
        ClientToScreen(window, &p);
    return put_pair(result, u"left", to_logical(p.x), u"top", to_logical(p.y), errbuf);
}

// get_window_style / get_window_exstyle.
int32_t window_long(Node* args, Node* result, char16_t* errbuf, int index) {
    HWND window;
    if (int32_t rc = first_window(args, 1, &window, errbuf)) return rc;
    put_int(result, int32_t(GetWindowLongW(window, index)));
    return kDone;
}

}  // namespace

// ---- finding windows and their relations ------------------------------------

DESKOPS_FUNCTION(find_window) {
    if (!has_args(args, 2)) return kMissing;
    return put_handle(result, FindWindowW(criterion(arg(args, 0)), criterion(arg(args, 1))));
}

DESKOPS_FUNCTION(search_window) {
    if (!has_args(args, 2)) return kMissing;
    Search s = {criterion(arg(args, 0)), criterion(arg(args, 1)), nullptr};
    EnumWindows(search_one, reinterpret_cast<LPARAM>(&s));
    return put_handle(result, s.found);
}

DESKOPS_FUNCTION(get_window) {
    HWND window;
    int32_t relation;
    if (int32_t rc = first_window(args, 2, &window, errbuf)) return rc;
    if (!number_at(args, 1, &relation, errbuf)) return kFailed;
    return put_handle(result, GetWindow(window, UINT(relation)));
}

DESKOPS_FUNCTION(get_parent_window) {
    HWND window;
    if (int32_t rc = first_window(args, 1, &window, errbuf)) return rc;
    return put_handle(result, GetParent(window));
}

DESKOPS_FUNCTION(get_foreground_window) { return put_handle(result, GetForegroundWindow()); }

DESKOPS_FUNCTION(set_foreground_window) {
    HWND window;
    if (int32_t rc = first_window(args, 1, &window, errbuf)) return rc;
    bring_to_front(window);
    return put_changed(result, 0);
}

// ---- focus ------------------------------------------------------------------------

DESKOPS_FUNCTION(get_focus_window) { return put_handle(result, in_foreground_input(nullptr, false)); }

DESKOPS_FUNCTION(set_focus_window) {
    HWND window;
    if (int32_t rc = first_window(args, 1, &window, errbuf)) return rc;
    return put_changed(result, handle_value(in_foreground_input(window, true)));
}

// ---- coordinates, position and size --------------------------------------------

DESKOPS_FUNCTION(screen_to_client) { return convert_point(args, result, errbuf, true); }

DESKOPS_FUNCTION(client_to_screen) { return convert_point(args, result, errbuf, false); }

DESKOPS_FUNCTION(get_window_pos) {
    RECT r;
    if (int32_t rc = read_rect(args, &r, errbuf)) return rc;
    return put_pair(result, u"left", to_logical(r.left), u"top", to_logical(r.top), errbuf);
}

DESKOPS_FUNCTION(get_window_size) {
    RECT r;
    if (int32_t rc = read_rect(args, &r, errbuf)) return rc;
    return put_pair(result, u"width", to_logical(r.right - r.left), u"height", to_logical(r.bottom - r.top), errbuf);
}

DESKOPS_FUNCTION(set_window_pos) {
    HWND window;
    int32_t x, y;
    if (int32_t rc = read_placement(args, &window, &x, &y, errbuf)) return rc;
    RECT outer, frame;
    if (invisible_border(window, arg(args, 3), &outer, &frame)) {
        // The visible frame, not the window rectangle, lands on (x, y).
        x += outer.left - frame.left;
        y += outer.top - frame.top;
    }
    BOOL moved = SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOZORDER | SWP_NOSIZE);
    return put_changed(result, moved ? 1 : 0);
}

DESKOPS_FUNCTION(set_window_size) {
    HWND window;
    int32_t width, height;
    if (int32_t rc = read_placement(args, &window, &width, &height, errbuf)) return rc;
    RECT outer, frame;
    if (invisible_border(window, arg(args, 3), &outer, &frame)) {
        width += (outer.right - outer.left) - (frame.right - frame.left);
        height += (outer.bottom - outer.top) - (frame.bottom - frame.top);
    }
    BOOL sized = SetWindowPos(window, nullptr, 0, 0, width, height, SWP_NOZORDER | SWP_NOMOVE);
    return put_changed(result, sized ? 1 : 0);
}

// ---- state ------------------------------------------------------------------------

DESKOPS_FUNCTION(get_window_state) {
    HWND window;
    if (int32_t rc = first_window(args, 1, &window, errbuf)) return rc;
    // The show commands that bring each state back: SW_MINIMIZE (6), not
    // SW_SHOWMINIMIZED (2), so a script can pass the answer on.
    int32_t state = SW_SHOWNORMAL;
    if (!IsWindowVisible(window))
        state = SW_HIDE;
    else if (IsZoomed(window))
        state = SW_SHOWMAXIMIZED;
    else if (IsIconic(window))
        state = SW_MINIMIZE;
    put_int(result, state);
    return kDone;
}

DESKOPS_FUNCTION(set_window_state) {
    HWND window;
    int32_t command;
    if (int32_t rc = first_window(args, 2, &window, errbuf)) return rc;
    if (!number_at(args, 1, &command, errbuf)) return kFailed;
    return put_changed(result, ShowWindowAsync(window, command));
}

DESKOPS_FUNCTION(is_window_enabled) {
    HWND window;
    if (int32_t rc = first_window(args, 1, &window, errbuf)) return rc;
    put_int(result, IsWindowEnabled(window) ? 1 : 0);
    return kDone;
}

DESKOPS_FUNCTION(enable_window) {
    HWND window;
    int32_t enable;
    if (int32_t rc = first_window(args, 2, &window, errbuf)) return rc;
    if (!number_at(args, 1, &enable, errbuf)) return kFailed;
    return put_changed(result, EnableWindow(window, enable != 0));
}

// ---- text, class, styles, identity ---------------------------------------------------

DESKOPS_FUNCTION(get_window_text) {
    HWND window;
    if (int32_t rc = first_window(args, 1, &window, errbuf)) return rc;
    LRESULT length = SendMessageW(window, WM_GETTEXTLENGTH, 0, 0);
    if (length < 0) length = 0;
    char16_t* text = static_cast<char16_t*>(zv::heap_alloc((size_t(length) + 1) * sizeof(char16_t)));
    if (!text) return fail_no_memory(errbuf);
    // The text may have shrunk since its length was asked: keep what came.
    LRESULT got = SendMessageW(window, WM_GETTEXT, WPARAM(length + 1), reinterpret_cast<LPARAM>(text));
    if (got < 0) got = 0;
    if (got > length) got = length;
    text[got] = 0;
    value_take_string(result->value, text);
    return kDone;
}

DESKOPS_FUNCTION(set_window_text) {
    HWND window;
    const char16_t* text;
    if (int32_t rc = first_window(args, 2, &window, errbuf, kMsgFirstNotNumber)) return rc;
    if (!read_string(arg(args, 1), &text, errbuf, kMsgSecondNotString)) return kFailed;
    return put_changed(result, int32_t(SendMessageW(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text))));
}

DESKOPS_FUNCTION(get_window_class) {
    HWND window;
    if (int32_t rc = first_window(args, 1, &window, errbuf)) return rc;
    wchar_t name[256];
    int n = GetClassNameW(window, name, 256);
    return put_string(result, reinterpret_cast<const char16_t*>(name), size_t(n > 0 ? n : 0), errbuf);
}

DESKOPS_FUNCTION(get_window_style) { return window_long(args, result, errbuf, GWL_STYLE); }

DESKOPS_FUNCTION(get_window_exstyle) { return window_long(args, result, errbuf, GWL_EXSTYLE); }

DESKOPS_FUNCTION(get_control_id) {
    HWND window;
    if (int32_t rc = first_window(args, 1, &window, errbuf)) return rc;
    put_int(result, GetDlgCtrlID(window));
    return kDone;
}

// ---- buttons ------------------------------------------------------------------------

DESKOPS_FUNCTION(get_button_check) {
    HWND window;
    if (int32_t rc = first_window(args, 1, &window, errbuf)) return rc;
    put_int(result, int32_t(SendMessageW(window, BM_GETCHECK, 0, 0)));
    return kDone;
}

DESKOPS_FUNCTION(set_button_check) {
    HWND window;
    int32_t checked;
    if (int32_t rc = first_window(args, 2, &window, errbuf)) return rc;
    if (!number_at(args, 1, &checked, errbuf)) return kFailed;
    SendMessageW(window, BM_SETCHECK, checked != 0 ? BST_CHECKED : BST_UNCHECKED, 0);
    return put_changed(result, 0);
}

// ---- messages -------------------------------------------------------------------------

DESKOPS_FUNCTION(wait_busy) {
    HWND window;
    int32_t timeout;
    if (int32_t rc = first_window(args, 2, &window, errbuf)) return rc;
    if (!number_at(args, 1, &timeout, errbuf)) return kFailed;
    // A negative time-out would become a wait of weeks on a hung window, and
    // some systems take 0 as no limit at all: the shortest wait is 1 ms.
    if (timeout < 1) timeout = 1;
    DWORD_PTR answer = 0;
    LRESULT ok = SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, UINT(timeout), &answer);
    put_int(result, ok ? 0 : 1);
    sleep_ms(1);
    return kDone;
}

DESKOPS_FUNCTION(send_text) {
    HWND window;
    const char16_t* text;
    if (int32_t rc = first_window(args, 2, &window, errbuf)) return rc;
    if (!read_string(arg(args, 1), &text, errbuf)) return kFailed;
    for (; *text; ++text) SendMessageW(window, WM_IME_CHAR, WPARAM(*text), 0);
    return put_changed(result, 0);
}

DESKOPS_FUNCTION(send_message) {
    HWND window;
    int32_t message;
    if (int32_t rc = first_window(args, 4, &window, errbuf)) return rc;
    if (!number_at(args, 1, &message, errbuf)) return kFailed;
    LRESULT answer = SendMessageW(window, UINT(message), WPARAM(message_param(arg(args, 2))),
                                  LPARAM(message_param(arg(args, 3))));
    return put_changed(result, int32_t(answer));
}
