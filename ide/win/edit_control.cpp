// The "nEdit" window procedure: the standard edit messages, the control's
// own messages, and the edits every input path ends in.
#include "edit_control.h"

#include <algorithm>

#include "clipboard.h"
#include "edit_rules.h"
#include "edit_state.h"
#include "window_class.h"
#include "zvs_messages.h"

namespace zvs {

namespace {

bool is_high(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool is_low(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

Edit* edit_of(HWND wnd) { return reinterpret_cast<Edit*>(GetWindowLongPtrW(wnd, 0)); }

const char16_t* u16(const wchar_t* s) { return reinterpret_cast<const char16_t*>(s); }

// A position that does not split a surrogate pair or a CR LF.
size_t snap(const Edit* e, size_t pos) {
    size_t len = e->doc.length();
    if (pos > len) pos = len;
    if (pos > 0 && pos < len) {
        char16_t before = e->doc.at(pos - 1), here = e->doc.at(pos);
        if ((is_high(before) && is_low(here)) || (before == u'\r' && here == u'\n')) --pos;
    }
    return pos;
}

void invalidate_span(Edit* e, size_t a, size_t b) {
    view_invalidate_lines(e, e->doc.line_of(std::min(a, b)), e->doc.line_of(std::max(a, b)));
}

void apply_case(const Edit* e, std::u16string& s) {
    if (s.empty()) return;
    if (e->lower_case) CharLowerBuffW(reinterpret_cast<wchar_t*>(&s[0]), DWORD(s.size()));
    if (e->upper_case) CharUpperBuffW(reinterpret_cast<wchar_t*>(&s[0]), DWORD(s.size()));
}

void load_text(Edit* e, const char16_t* text, size_t n) {
    HCURSOR old = SetCursor(LoadCursorW(nullptr, IDC_WAIT));
    std::u16string forced;
    if (e->lower_case || e->upper_case) {
        forced.assign(text, n);
        apply_case(e, forced);
        text = forced.data();
    }
    if (!e->doc.set_text(text, n)) MessageBeep(MB_ICONHAND);
    e->caret = e->anchor = 0;
    e->goal_x = -1;
    e->error_line = e->run_line = -1;
    e->top_line = e->top_sub = 0;
    e->x_scroll = 0;
    view_relayout(e);
    SetCursor(old);
    edit_notify(e, EN_UPDATE);
    edit_notify(e, EN_CHANGE);
}

void set_marker(Edit* e, long* marker, long line) {
    long old = *marker;
    *marker = line < 0 ? -1 : line;
    if (old >= 0 && size_t(old) < e->doc.line_count()) view_invalidate_line(e, size_t(old));
    if (*marker >= 0 && size_t(*marker) < e->doc.line_count()) {
        view_scroll_line_into_view(e, size_t(*marker));
        view_invalidate_line(e, size_t(*marker));
    }
}

LRESULT search(Edit* e, bool match_case, const wchar_t* needle) {
    if (!needle) return 0;
    const char16_t* text = e->doc.text();
    if (!text) return 0;
    size_t found, n = size_t(lstrlenW(needle));
    if (!find_text(text, e->doc.length(), u16(needle), n, sel_end(e), match_case, &found)) return 0;
    edit_select(e, found, found + n);
    view_scroll_line_into_view(e, e->doc.line_of(found));
    return 1;
}

size_t line_arg(const Edit* e, WPARAM w) {
    return long(w) < 0 ? e->doc.line_of(e->caret) : size_t(w);
}

LRESULT copy_line(Edit* e, size_t line, wchar_t* buffer) {
    if (!buffer || line >= e->doc.line_count()) return 0;
    size_t room = *reinterpret_cast<WORD*>(buffer);
    size_t begin = e->doc.line_start(line), n = std::min(e->doc.line_end(line) - begin, room);
    e->doc.copy(begin, n, reinterpret_cast<char16_t*>(buffer));
    return LRESULT(n);
}

LRESULT get_text(Edit* e, size_t room, wchar_t* buffer) {
    if (!buffer || room == 0) return 0;
    size_t n = std::min(e->doc.length(), room - 1);
    e->doc.copy(0, n, reinterpret_cast<char16_t*>(buffer));
    buffer[n] = 0;
    return LRESULT(n);
}

void set_read_only(Edit* e, bool on) {
    e->read_only = on;
    LONG style = GetWindowLongW(e->wnd, GWL_STYLE);
    SetWindowLongW(e->wnd, GWL_STYLE, on ? style | ES_READONLY : style & ~ES_READONLY);
}

// EM_SCROLL: lines or pages up or down; the lines moved in the low word.
LRESULT scroll_by(Edit* e, int code) {
    if (code != SB_LINEUP && code != SB_LINEDOWN && code != SB_PAGEUP && code != SB_PAGEDOWN) return 0;
    size_t before = e->top_line;
    view_on_vscroll(e, code);
    return MAKELRESULT(WORD(long(e->top_line) - long(before)), TRUE);
}

LRESULT on_create(HWND wnd, const CREATESTRUCTW* cs) {
    Edit* e = new (std::nothrow) Edit;
    if (!e) return -1;
    e->wnd = wnd;
    if (!e->doc.init()) {
        delete e;
        return -1;
    }
    SetWindowLongPtrW(wnd, 0, reinterpret_cast<LONG_PTR>(e));
    e->read_only = cs->style & ES_READONLY;
    e->lower_case = cs->style & ES_LOWERCASE;
    e->upper_case = cs->style & ES_UPPERCASE;
    view_init(e);
    if (!e->row_dc) return -1;
    if (cs->lpszName && *cs->lpszName) {
        load_text(e, u16(cs->lpszName), size_t(lstrlenW(cs->lpszName)));
    } else {
        view_relayout(e);
    }
    return 0;
}

LRESULT CALLBACK edit_proc(HWND wnd, UINT msg, WPARAM w, LPARAM l) {
    Edit* e = edit_of(wnd);
    if (!e) {
        if (msg == WM_CREATE) return on_create(wnd, reinterpret_cast<CREATESTRUCTW*>(l));
        return DefWindowProcW(wnd, msg, w, l);
    }
    switch (msg) {
    case WM_NCDESTROY:
        view_free(e);
        SetWindowLongPtrW(wnd, 0, 0);
        delete e;
        return 0;
    case WM_PAINT: view_paint(e); return 0;
    case WM_ERASEBKGND: return 1;
    case WM_SIZE:
        if (e->wrap) {
            view_relayout(e);
        } else {
            view_set_top(e, e->top_line, e->top_sub);
            InvalidateRect(wnd, nullptr, FALSE);
        }
        return 0;
    case WM_SETFOCUS:
        e->focused = true;
        view_make_caret(e);
        invalidate_span(e, e->anchor, e->caret);
        return 0;
    case WM_KILLFOCUS:
        e->focused = false;
        e->dragging = false;
        DestroyCaret();
        invalidate_span(e, e->anchor, e->caret);
        return 0;
    case WM_GETDLGCODE: return DLGC_WANTALLKEYS | DLGC_WANTARROWS | DLGC_WANTCHARS | DLGC_WANTTAB;
    case WM_SETCURSOR:
        if (LOWORD(l) == HTCLIENT) {
            POINT p;
            GetCursorPos(&p);
            ScreenToClient(wnd, &p);
            bool margin = e->margin_w > 0 && p.x < e->margin_w;
            SetCursor(LoadCursorW(nullptr, margin ? IDC_ARROW : IDC_IBEAM));
            return TRUE;
        }
        break;
    case WM_KEYDOWN: input_key(e, w); return 0;
    case WM_CHAR: input_char(e, wchar_t(w), false); return 0;
    case WM_IME_CHAR: input_char(e, wchar_t(w), true); return 0;
    case WM_IME_STARTCOMPOSITION:
        e->composing = true;
        input_ime_start(e);
        break;
    case WM_IME_ENDCOMPOSITION:
        e->composing = false;
        break;
    case WM_IME_COMPOSITION:
        if (l & GCS_RESULTSTR) {
            input_ime_composition(e, l);
            return 0;
        }
        break;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN: input_mouse_down(e, {short(LOWORD(l)), short(HIWORD(l))}, msg == WM_RBUTTONDOWN); return 0;
    case WM_MOUSEMOVE: input_mouse_move(e, {short(LOWORD(l)), short(HIWORD(l))}); return 0;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP: input_mouse_up(e, msg == WM_RBUTTONUP, {short(LOWORD(l)), short(HIWORD(l))}); return 0;
    case WM_CAPTURECHANGED: e->dragging = false; return 0;
    case WM_MOUSEWHEEL: view_scroll_rows(e, GET_WHEEL_DELTA_WPARAM(w) > 0 ? -3 : 3); return 0;
    case WM_VSCROLL: view_on_vscroll(e, LOWORD(w)); return 0;
    case WM_HSCROLL: view_on_hscroll(e, LOWORD(w)); return 0;
    case WM_CONTEXTMENU: input_context_menu(e, {short(LOWORD(l)), short(HIWORD(l))}); return 0;

    case WM_SETTEXT: {
        const wchar_t* text = l ? reinterpret_cast<const wchar_t*>(l) : L"";
        load_text(e, u16(text), size_t(lstrlenW(text)));
        return TRUE;
    }
    case WM_GETTEXT: return get_text(e, size_t(w), reinterpret_cast<wchar_t*>(l));
    case WM_GETTEXTLENGTH: return LRESULT(e->doc.length());
    case WM_SETFONT:
        e->font = reinterpret_cast<HFONT>(w);
        view_relayout(e);
        if (!LOWORD(l)) ValidateRect(wnd, nullptr);
        return 0;
    case WM_GETFONT: return reinterpret_cast<LRESULT>(e->font);
    case WM_COPY: edit_copy(e); return 0;
    case WM_CUT: edit_cut(e); return 0;
    case WM_PASTE: edit_paste(e); return 0;
    case WM_CLEAR: edit_clear(e); return 0;
    case WM_UNDO:
    case EM_UNDO: edit_undo(e, false); return TRUE;
    case EM_CANUNDO: return e->doc.can_undo();
    case EM_EMPTYUNDOBUFFER: e->doc.empty_undo(); return 0;
    case EM_GETSEL:
        if (w) *reinterpret_cast<DWORD*>(w) = DWORD(sel_begin(e));
        if (l) *reinterpret_cast<DWORD*>(l) = DWORD(sel_end(e));
        return MAKELRESULT(std::min<size_t>(sel_begin(e), 0xFFFF), std::min<size_t>(sel_end(e), 0xFFFF));
    case EM_SETSEL: {
        long a = long(w), c = long(l);
        size_t len = e->doc.length();
        if (a < 0) {
            edit_select(e, e->caret, e->caret);
        } else {
            edit_select(e, std::min(size_t(a), len), c < 0 ? len : std::min(size_t(c), len));
        }
        return 0;
    }
    case EM_REPLACESEL: {
        const wchar_t* s = reinterpret_cast<const wchar_t*>(l);
        if (s && !e->read_only) edit_replace(e, sel_begin(e), sel_end(e), u16(s), size_t(lstrlenW(s)));
        return 0;
    }
    case EM_GETRECT: {
        RECT* r = reinterpret_cast<RECT*>(l);
        if (r) {
            if (e->format_set) {
                *r = e->format;
            } else {
                GetClientRect(wnd, r);
            }
        }
        return 0;
    }
    case EM_SETRECT:
    case EM_SETRECTNP:
        e->format_set = l != 0;
        if (l) e->format = *reinterpret_cast<const RECT*>(l);
        view_relayout(e);
        if (msg == EM_SETRECTNP) ValidateRect(wnd, nullptr);
        return 0;
    case EM_SCROLL: return scroll_by(e, int(w));
    case EM_LINESCROLL:
        view_scroll_x(e, e->x_scroll + int(w) * e->ave_w);
        view_scroll_rows(e, long(l));
        return TRUE;
    case EM_SCROLLCARET: view_scroll_to_caret(e); return TRUE;
    case EM_GETMODIFY: return e->doc.modified();
    case EM_SETMODIFY: e->doc.set_modified(w != 0); return 0;
    case EM_GETLINECOUNT: return LRESULT(e->doc.line_count());
    case EM_LINEINDEX: {
        size_t line = line_arg(e, w);
        return line < e->doc.line_count() ? LRESULT(e->doc.line_start(line)) : -1;
    }
    case EM_LINELENGTH: {
        size_t line = long(w) < 0 ? e->doc.line_of(e->caret) : e->doc.line_of(std::min(size_t(w), e->doc.length()));
        return LRESULT(e->doc.line_end(line) - e->doc.line_start(line));
    }
    case EM_LINEFROMCHAR:
        return LRESULT(e->doc.line_of(long(w) < 0 ? sel_begin(e) : std::min(size_t(w), e->doc.length())));
    case EM_GETLINE: return copy_line(e, size_t(w), reinterpret_cast<wchar_t*>(l));
    case EM_POSFROMCHAR: {
        int x;
        long row;
        view_point_of(e, std::min(size_t(w), e->doc.length()), &x, &row);
        RECT area = view_text_area(e);
        return MAKELRESULT(WORD(area.left + x), WORD(area.top + row * e->line_h));
    }
    case EM_LIMITTEXT: e->limit = size_t(w); return 0;
    case EM_GETLIMITTEXT: return LRESULT(e->limit);
    case EM_SETTABSTOPS:
        e->tab_chars = w == 0 || !l ? 4 : std::max(1, reinterpret_cast<const int*>(l)[0] / 4);
        view_relayout(e);
        return TRUE;
    case EM_GETFIRSTVISIBLELINE: return LRESULT(e->top_line);
    case EM_SETREADONLY: set_read_only(e, w != 0); return TRUE;

    case kEditBars: view_update_bars(e); return 0;
    case kEditRedo: edit_undo(e, true); return TRUE;
    case kEditCanRedo: return e->doc.can_redo();
    case kEditRelayout: view_relayout(e); return 0;
    case kEditWordWrap:
        e->wrap = w != 0;
        e->top_sub = 0;
        view_relayout(e);
        return 0;
    case kEditTextBytes: return LRESULT(e->doc.length() * sizeof(wchar_t));
    case kEditCopyText: {
        const char16_t* text = e->doc.text();
        if (!text || !l) return 0;
        size_t n = e->doc.length();
        memcpy(reinterpret_cast<void*>(l), text, (n + 1) * sizeof(char16_t));
        return LRESULT(n * sizeof(char16_t));
    }
    case kEditLoadText:
        load_text(e, l ? reinterpret_cast<const char16_t*>(l) : u"", l ? size_t(w) / sizeof(char16_t) : 0);
        return TRUE;
    case kEditRunLine: set_marker(e, &e->run_line, long(l)); return 0;
    case kEditErrorLine: set_marker(e, &e->error_line, long(l)); return 0;
    case kEditGetMarker: return w ? e->error_line : e->run_line;
    case kEditKeywordSet:
        e->extended = w != 0;
        view_relayout(e);
        return 0;
    case kEditSearch: return search(e, w == 1, reinterpret_cast<const wchar_t*>(l));
    case kEditLineNumbers:
        e->line_numbers = w != 0;
        view_relayout(e);
        return 0;
    }
    return DefWindowProcW(wnd, msg, w, l);
}

}  // namespace

size_t sel_begin(const Edit* e) { return std::min(e->caret, e->anchor); }
size_t sel_end(const Edit* e) { return std::max(e->caret, e->anchor); }

void edit_notify(Edit* e, WORD code) {
    HWND parent = GetParent(e->wnd);
    if (parent) SendMessageW(parent, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(e->wnd), code), LPARAM(e->wnd));
}

void edit_changed(Edit* e, size_t first, size_t last, long added) {
    edit_notify(e, EN_UPDATE);
    view_text_changed(e, first, last, added);
    edit_notify(e, EN_CHANGE);
}

bool edit_replace(Edit* e, size_t begin, size_t end, const char16_t* s, size_t n, bool join, size_t overwrite) {
    std::u16string forced;
    if ((e->lower_case || e->upper_case) && n) {
        forced.assign(s, n);
        apply_case(e, forced);
        s = forced.data();
    }
    bool cut = false;
    if (e->limit) {
        size_t stays = e->doc.length() - (end - begin) - overwrite;
        size_t room = stays >= e->limit ? 0 : e->limit - stays;
        if (n > room) {
            n = room;
            if (n && is_high(s[n - 1])) --n;  // never half a pair
            cut = true;
        }
    }
    if (begin == end && n == 0) {
        if (cut) edit_notify(e, EN_MAXTEXT);
        return false;
    }
    size_t lines = e->doc.line_count();
    if (end > begin) {
        if (join) e->doc.join_next();
        if (!e->doc.erase(begin, end - begin)) return false;
        join = true;
    }
    if (n) {
        if (join) e->doc.join_next();
        if (!e->doc.insert(begin, s, n, overwrite)) n = 0;
    }
    e->caret = e->anchor = begin + n;
    e->goal_x = -1;
    edit_changed(e, e->doc.line_of(begin), e->doc.line_of(begin + n), long(e->doc.line_count()) - long(lines));
    if (cut) edit_notify(e, EN_MAXTEXT);
    view_scroll_to_caret(e);
    return true;
}

void edit_select(Edit* e, size_t anchor, size_t caret, bool keep_goal) {
    anchor = snap(e, anchor);
    caret = snap(e, caret);
    size_t old_lo = sel_begin(e), old_hi = sel_end(e);
    e->anchor = anchor;
    e->caret = caret;
    if (!keep_goal) e->goal_x = -1;
    if (old_lo != old_hi || anchor != caret) {
        // Only what changed: the spans between the old and the new ends.
        size_t new_lo = sel_begin(e), new_hi = sel_end(e);
        if (old_lo == old_hi || new_lo == new_hi || new_hi < old_lo || new_lo > old_hi) {
            if (old_lo != old_hi) invalidate_span(e, old_lo, old_hi);
            if (new_lo != new_hi) invalidate_span(e, new_lo, new_hi);
        } else {
            if (old_lo != new_lo) invalidate_span(e, old_lo, new_lo);
            if (old_hi != new_hi) invalidate_span(e, old_hi, new_hi);
        }
    }
    view_scroll_to_caret(e);
}

void edit_copy(Edit* e) {
    size_t b = sel_begin(e), n = sel_end(e) - b;
    if (n == 0) return;
    std::wstring text(n, L'\0');
    e->doc.copy(b, n, reinterpret_cast<char16_t*>(&text[0]));
    zv::ui::set_clipboard_text(e->wnd, text);
}

void edit_clear(Edit* e) {
    if (!e->read_only && sel_end(e) > sel_begin(e)) edit_replace(e, sel_begin(e), sel_end(e), u"", 0);
}

void edit_cut(Edit* e) {
    if (e->read_only) return;
    edit_copy(e);
    edit_clear(e);
}

void edit_paste(Edit* e) {
    std::wstring text;
    if (e->read_only || !zv::ui::get_clipboard_text(e->wnd, &text)) return;
    edit_replace(e, sel_begin(e), sel_end(e), reinterpret_cast<const char16_t*>(text.data()), text.size());
}

void edit_undo(Edit* e, bool redo) {
    if (e->read_only) return;
    size_t lines = e->doc.line_count(), caret, begin, end;
    if (!(redo ? e->doc.redo(&caret, &begin, &end) : e->doc.undo(&caret, &begin, &end))) return;
    e->caret = e->anchor = caret;
    e->goal_x = -1;
    long added = long(e->doc.line_count()) - long(lines);
    edit_changed(e, e->doc.line_of(begin), e->doc.line_of(end), added);
    if (added != 0) InvalidateRect(e->wnd, nullptr, FALSE);
    view_scroll_to_caret(e);
}

bool edit_register(HINSTANCE module) {
    zv::ui::WindowClass c = {kEditClass, edit_proc};
    c.cursor = LoadCursorW(nullptr, IDC_IBEAM);
    c.window_extra = sizeof(Edit*);
    return zv::ui::register_window_class(module, c);
}

}  // namespace zvs
