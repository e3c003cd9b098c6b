#include "script_body.h"

#include "key_table.h"
#include "operation_codes.h"
#include "operation_title.h"

namespace zvb {

namespace {

// Message-box caption of every generated dialog, as a literal's closing part.
#define CAPTION "\", \"シナリオの再生\""

// Texts compared against in wait and end-of-play conditions 1-6; each
// closes the str_match call.
const char* const kConditionSubjects[] = {
    "get_clipboard()) != 0",
    "get_clipboard()) == 0",
    "get_window_text(get_foreground_window())) != 0",
    "get_window_text(get_foreground_window())) == 0",
    "get_window_class(get_foreground_window())) != 0",
    "get_window_class(get_foreground_window())) == 0",
};

// A condition number outside 1-6 counts as none: the script keeps parsing.
const char* condition_subject(int32_t condition) {
    return condition >= 1 && condition <= 6 ? kConditionSubjects[condition - 1] : nullptr;
}

bool empty(const char16_t (&field)[kTextUnits]) { return field[0] == 0; }

bool same(const char16_t (&a)[kTextUnits], const char16_t (&b)[kTextUnits]) {
    for (size_t i = 0; i < kTextUnits; ++i) {
        if (a[i] != b[i]) return false;
        if (a[i] == 0) return true;
    }
    return true;
}

int32_t width(const OperationRecord& r) { return int32_t(uint32_t(r.window_rect.right) - uint32_t(r.window_rect.left)); }
int32_t height(const OperationRecord& r) { return int32_t(uint32_t(r.window_rect.bottom) - uint32_t(r.window_rect.top)); }

class BodyWriter {
public:
    BodyWriter(ScriptText& out, const ScenarioEntry& e, const PlaySettings& play) : out_(out), e_(e), play_(play) {}

    void operation(const OperationRecord& o, const OperationRecord& prev, int32_t number, bool notify);

private:
    // Text after the tabs of a nesting level: whole lines, or the start of
    // one that the following calls finish.
    void line(int level, const char* text) {
        out_.tabs(level);
        out_.put(text);
    }
    void number_line(int level, const char* head, int32_t n) {
        out_.tabs(level);
        out_.put(head);
        out_.number(n);
        out_.put(")\r\n");
    }
    void field(const char16_t (&f)[kTextUnits]) { out_.text(f, kTextUnits); }
    void escaped(const char16_t (&f)[kTextUnits]) { out_.escaped(f, kTextUnits); }

    bool window_check(const OperationRecord& o, const OperationRecord& p, bool mouse);
    void check_condition(const OperationRecord& o, bool by_class, bool by_title);
    void restore_window(const OperationRecord& o, const OperationRecord& p, int level);
    void position(const OperationRecord& o);
    void mouse(const OperationRecord& o, const OperationRecord& p);
    void key(const OperationRecord& o, const OperationRecord& p);
    void key_line(int level, const char* function, uint32_t code);
    void other(const OperationRecord& o);

    ScriptText& out_;
    const ScenarioEntry& e_;
    const PlaySettings& play_;
};

void BodyWriter::operation(const OperationRecord& o, const OperationRecord& prev, int32_t number, bool notify) {
    if (o.masked != 1) {
        out_.put("// ");
        out_.number(int32_t(uint32_t(number) + 1));
        out_.put(". ");
        std::u16string title = operation_title(o);
        out_.text(title.c_str());
        out_.put("\r\n");
    }
    if (o.interval) number_line(0, "sleep(", int32_t(o.interval));
    if (notify) number_line(0, "__select_step(", number);
    switch (o.category) {
    case kCategoryMouse: mouse(o, prev); break;
    case kCategoryKey: key(o, prev); break;
    case kCategoryOther: other(o); break;
    default: break;
    }
}

void BodyWriter::check_condition(const OperationRecord& o, bool by_class, bool by_title) {
    if (by_class) {
        out_.put("str_match(\"");
        escaped(o.window_class);
        out_.put("\", get_window_class(window)) == 1");
    }
    if (by_class && by_title) out_.put(" && ");
    if (by_title) {
        out_.put("str_match(\"");
        escaped(o.window_title);
        out_.put("\", get_window_text(window)) == 1");
    }
}

// The window check-and-retry block, then the window's restoration. True
// when the block was opened: the operation's lines go one level deeper.
bool BodyWriter::window_check(const OperationRecord& o, const OperationRecord& p, bool mouse) {
    bool by_options = o.window_check == kCheckByOptions;
    bool on_window = o.desktop == 0;
    bool class_applies = ((by_options && e_.check_window_class == 1) || o.window_check == kCheckClass ||
                          o.window_check == kCheckBoth) &&
                         on_window && !empty(o.window_class);
    bool title_applies = ((by_options && e_.check_window_title == 1) || o.window_check == kCheckTitle ||
                          o.window_check == kCheckBoth) &&
                         on_window && !empty(o.window_title);
    bool class_differs = class_applies && !same(o.window_class, p.window_class);
    bool title_differs = title_applies && !same(o.window_title, p.window_title);
    bool by_class = class_applies && (e_.always_check_window != 0 || class_differs);
    bool by_title = title_applies && (e_.always_check_window != 0 || title_differs);
    bool open = by_class || by_title;

    if (open) {
        line(0, "// ウィンドウをチェック\r\nbutton = 0\r\ncnt = 0\r\nwhile (1) {\r\n");
        line(0, "\twindow = get_foreground_window()\r\n\tif (");
        check_condition(o, by_class, by_title);
        line(0, ") {\r\n\t\tbreak\r\n\t}\r\n");
        if (mouse) {
            line(0, "\twindow = top_window_from_mouse()\r\n\tif (");
            check_condition(o, by_class, by_title);
            line(0, ") {\r\n\t\tset_foreground_window(window)\r\n\t\tbreak\r\n\t}\r\n");
        }
        if (class_differs || title_differs) {
            line(0, "\t// 前の操作と異なるウィンドウのため前面にする\r\n\tset_foreground_window(search_window(\"");
            if (by_class) escaped(o.window_class);
            out_.put("\", \"");
            if (by_title) escaped(o.window_title);
            out_.put("\"))\r\n");
        }
        number_line(0, "\tsleep(", play_.check_interval);
        if (o.skip_if_no_window == 1) {
            // One more look, then the operation is skipped.
            line(0, "\tcnt++\r\n\tif (cnt == 1) {\r\n\t\tcontinue\r\n\t}\r\n\tbutton = 5\r\n\tbreak\r\n");
        } else {
            // Abort ends the script, ignore skips the operation, retry
            // starts another check_count rounds.
            line(0, "\tcnt++\r\n\tif (cnt < ");
            out_.number(play_.check_count);
            out_.put(") {\r\n\t\tcontinue\r\n\t}\r\n");
            line(0,
                 "\tbutton = message_box(\"操作対象のウィンドウが前面にいません。\\n"
                 "以下のウィンドウを前面にして「再試行」を押してください。\\n\\n");
            escaped(o.window_title);
            out_.put(CAPTION ", 0x02 | 0x10 | 0x100)\r\n");
            line(0, "\tif (button == 3) {\r\n\t\texit\r\n\t} else if (button == 5) {\r\n\t\tbreak\r\n\t}\r\n\tcnt = 0\r\n");
        }
        line(0, "}\r\nif (button != 5) {\r\n");
    }
    restore_window(o, p, open ? 1 : 0);
    return open;
}

void BodyWriter::restore_window(const OperationRecord& o, const OperationRecord& p, int level) {
    if (o.desktop != 0 || empty(o.window_class)) return;
    bool same_class = same(o.window_class, p.window_class);
    bool state_or_size = false;  // a state or size line was written
    if (e_.recovery_window_size == 1 &&
        (!same_class || o.window_state != p.window_state || width(o) != width(p) || height(o) != height(p))) {
        line(level, "// ウィンドウのサイズを復元\r\n");
        if (o.window_state != 0) {
            number_line(level, "set_window_state(window, ", o.window_state);
            state_or_size = true;
        }
        if (o.window_state == 1 && width(o) > 0 && height(o) > 0) {
            number_line(level, "sleep(", play_.window_operation_interval);
            out_.tabs(level);
            out_.put("set_window_size(window, ");
            out_.number(width(o));
            out_.put(", ");
            out_.number(height(o));
            out_.put(o.data_version == 0 ? ", 1)\r\n" : ")\r\n");
        }
    }
    bool moved = o.window_rect.left != p.window_rect.left || o.window_rect.top != p.window_rect.top;
    bool placed = false;
    if (e_.recovery_window_pos == 1 && (!same_class || moved) &&
        !(e_.recovery_window_size != 0 && o.window_state != 1)) {
        line(level, "// ウィンドウの位置を復元\r\n");
        if (state_or_size) number_line(level, "sleep(", play_.window_operation_interval);
        out_.tabs(level);
        out_.put("set_window_pos(window, ");
        out_.number(o.window_rect.left);
        out_.put(", ");
        out_.number(o.window_rect.top);
        out_.put(o.data_version == 0 ? ", 1)\r\n" : ")\r\n");
        placed = true;
    }
    if (placed || state_or_size) number_line(level, "sleep(", play_.window_operation_interval);
}

// The position arguments: screen coordinates on the desktop, else relative
// to the window (to its plain rectangle for records of data version 0).
void BodyWriter::position(const OperationRecord& o) {
    const Point32& at = o.desktop == 1 ? o.mouse_pos : o.mouse_rel;
    out_.number(at.x);
    out_.put(", ");
    out_.number(at.y);
    if (o.desktop != 1) out_.put(o.data_version == 0 ? ", window, 1" : ", window");
}

void BodyWriter::mouse(const OperationRecord& o, const OperationRecord& p) {
    line(0, "window = get_foreground_window()\r\n");
    bool move_or_wheel = is_mouse_move(o.code) || is_wheel(o.code);
    int level = !move_or_wheel && window_check(o, p, true) ? 1 : 0;
    if (e_.check_busy == 1) number_line(level, "wait_busy(window, ", play_.wait_busy_interval);
    int depth = level;
    if (o.desktop == 1 && e_.check_desktop_control_class == 1 && !empty(o.control_class) && !move_or_wheel) {
        line(level, "// コントロールの種類をチェック\r\n");
        line(level, "set_mouse_pos(");
        position(o);
        out_.put(")\r\n");
        line(level, "if (str_match(\"");
        escaped(o.control_class);
        out_.put("\", get_window_class(window_from_mouse())) == 1) {\r\n");
        ++depth;
    }
    const char* call = nullptr;  // one call with the position
    switch (canonical_code(o.code)) {
    case kCodeMouseMove: call = "set_mouse_pos("; break;
    case kCodeLeftDown: call = "mouse_leftdown("; break;
    case kCodeLeftUp: call = "mouse_leftup("; break;
    case kCodeRightDown: call = "mouse_rightdown("; break;
    case kCodeRightUp: call = "mouse_rightup("; break;
    case kCodeMiddleDown: call = "mouse_middledown("; break;
    case kCodeMiddleUp: call = "mouse_middleup("; break;
    case kCodeLeftClick: call = "mouse_leftclick("; break;
    case kCodeRightClick: call = "mouse_rightclick("; break;
    case kCodeMiddleClick: call = "mouse_middleclick("; break;
    case kCodeLeftDoubleClick:
        line(depth, "mouse_leftclick(");
        position(o);
        out_.put(")\r\n");
        number_line(depth, "sleep(", play_.double_click_interval);
        call = "mouse_leftclick(";
        break;
    case kCodeWheelUp:
    case kCodeWheelDown:
        line(depth, "set_mouse_pos(");
        position(o);
        out_.put(")\r\n");
        line(depth, o.code == kCodeWheelUp ? "mouse_wheel(120)\r\n" : "mouse_wheel(-120)\r\n");
        break;
    default: break;
    }
    if (call) {
        line(depth, call);
        position(o);
        out_.put(")\r\n");
    }
    while (depth > 0) line(--depth, "}\r\n");
    out_.put("\r\n");
}

// key_down/key_up/key_input with the key's name, or its number when the
// key has none. Only the low byte of the code names the key.
void BodyWriter::key_line(int level, const char* function, uint32_t code) {
    line(level, function);
    uint8_t low = uint8_t(code & 0xFF);
    char character[2] = {char(low), 0};
    const char* name = (low >= '0' && low <= '9') || (low >= 'A' && low <= 'Z') ? character
                                                                                 : deskops::key_name_of_code(low);
    if (name) {
        out_.put("\"");
        out_.put(name);
        out_.put("\")\r\n");
    } else {
        out_.number(int32_t(code));
        out_.put(")\r\n");
    }
}

void BodyWriter::key(const OperationRecord& o, const OperationRecord& p) {
    static const struct {
        uint32_t bit, key;
    } kModifierKeys[] = {{kModCtrl, 17}, {kModShift, 16}, {kModAlt, 18}, {kModWin, 91}};
    const int count = int(sizeof kModifierKeys / sizeof kModifierKeys[0]);

    line(0, "window = get_foreground_window()\r\n");
    int level = window_check(o, p, false) ? 1 : 0;
    if (e_.check_busy == 1) number_line(level, "wait_busy(window, ", play_.wait_busy_interval);
    int32_t code = canonical_code(o.code);
    if (code != kCodeKeyUp)
        for (int i = 0; i < count; ++i)
            if (o.modifiers & kModifierKeys[i].bit) key_line(level, "key_down(", kModifierKeys[i].key);
    if (code == kCodeKeyDown) key_line(level, "key_down(", o.key_code);
    if (code == kCodeKeyUp) key_line(level, "key_up(", o.key_code);
    if (code == kCodeKeyInput) key_line(level, "key_input(", o.key_code);
    if (code != kCodeKeyDown)
        for (int i = count - 1; i >= 0; --i)
            if (o.modifiers & kModifierKeys[i].bit) key_line(level, "key_up(", kModifierKeys[i].key);
    if (level) line(0, "}\r\n");
    out_.put("\r\n");
}

void BodyWriter::other(const OperationRecord& o) {
    const char* subject = condition_subject(o.event_data1);
    switch (o.code) {
    case kCodeWait:
        if (!subject) {
            // The prologue's sleep was the wait.
            if (o.interval == 0) line(0, "sleep(0)\r\n");
            break;
        }
        // The condition text goes in as written: stored scenarios use
        // wildcards and escapes in it.
        line(0, "for (sleep_cnt = 0; str_match(\"");
        field(o.event_text1);
        out_.put("\", ");
        out_.put(subject);
        out_.put("; sleep_cnt++) {\r\n");
        // Gives up after about five minutes.
        line(0, "\tif (sleep_cnt > ");
        out_.number(int32_t(300000u / (o.interval ? o.interval : 1u)));
        out_.put(") {\r\n\t\tmessage_box(\"長時間待機となっているため再生を終了します。" CAPTION
                 ", 0x10)\r\n\t\texit\r\n\t}\r\n");
        number_line(0, "\tsleep(", int32_t(o.interval ? o.interval : 1u));
        line(0, "}\r\n");
        break;
    case kCodeEndPlay:
    case kCodeEndGroupPlay: {
        // break leaves this scenario's play loop; exit ends the whole script.
        const char* leave = o.code == kCodeEndPlay ? "break\r\n" : "exit\r\n";
        if (!subject) {
            line(0, leave);
            break;
        }
        line(0, "if (str_match(\"");
        field(o.event_text1);
        out_.put("\", ");
        out_.put(subject);
        out_.put(") {\r\n");
        line(1, leave);
        line(0, "}\r\n");
        break;
    }
    case kCodeMessageBox:
        line(0, "message_box(\"");
        escaped(o.event_text1);
        out_.put(CAPTION ", 0x40)\r\n");
        break;
    case kCodeLaunch:
        line(0, "if (shell(\"");
        escaped(o.event_text1);
        if (!empty(o.event_text2)) {
            out_.put("\", \"");
            escaped(o.event_text2);
        }
        out_.put("\") == 0) {\r\n\tmessage_box(\"アプリケーションの起動に失敗しました。" CAPTION
                 ", 0x10)\r\n\texit\r\n}\r\n");
        break;
    case kCodeSetText:
        line(0, "set_clipboard(\"");
        escaped(o.event_text1);
        out_.put("\")\r\n");
        break;
    case kCodeInputText:
        line(0, "buf = input_text(\"");
        escaped(o.event_text1);
        out_.put("\")\r\nif (buf == \"\") {\r\n\texit\r\n}\r\nset_clipboard(buf)\r\n");
        break;
    case kCodeDateTime:
        line(0, "set_clipboard(get_timestring(get_time(), \"");
        escaped(o.event_text1);
        out_.put("\"))\r\n");
        break;
    case kCodeSendText:
        line(0, "send_text(get_focus_window(), \"");
        escaped(o.event_text1);
        out_.put("\")\r\n");
        break;
    case kCodeImeSettings:
        number_line(0, "set_ime_status(", o.event_data1);
        number_line(0, "set_ime_conversion_mode(", o.event_data2);
        break;
    case kCodeScript:
        // A script fragment is script text: copied unchanged.
        field(o.event_text1);
        if (!empty(o.event_text2)) field(o.event_text2);
        break;
    default:
        return;  // not an operation of this category: no text at all
    }
    out_.put("\r\n");
}

}  // namespace

void write_operation_body(ScriptText& out, const ScenarioEntry& e, OperationSource& ops, bool notify,
                          int32_t start, const PlaySettings& play) {
    static const OperationRecord kNoOperation = {};  // the previous operation of the first one
    BodyWriter writer(out, e, play);
    if (notify) {
        out.put("__play_start(");
        out.number(e.play_id);
        out.put(")\r\n");
    }
    OperationRecord slots[2];  // for streamed records: the current one and the previous one
    const OperationRecord* prev = &kNoOperation;
    int32_t number = 0;
    for (;; ++number) {
        const OperationRecord* r = ops.next(prev == &slots[0] ? &slots[1] : &slots[0]);
        if (!r) break;
        if (number < start || r->disabled == 1) continue;
        writer.operation(*r, *prev, number, notify);
        // Other operations leave no window behind: the next check compares
        // with the last mouse or key operation.
        if (r->category == kCategoryMouse || r->category == kCategoryKey) prev = r;
    }
    if (notify) {
        out.put("__play_end(");
        out.number(e.play_id);
        out.put(")\r\n");
    }
}

}  // namespace zvb
