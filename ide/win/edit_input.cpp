// Keys, characters, the mouse and the IME of the "nEdit" control.
#include <algorithm>

#include "edit_rules.h"
#include "edit_state.h"

#include <imm.h>
#include "zvs_messages.h"

namespace zvs {

namespace {

bool is_high(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool key_down(int vk) { return GetKeyState(vk) < 0; }

bool japanese() { return PRIMARYLANGID(LANGIDFROMLCID(GetThreadLocale())) == LANG_JAPANESE; }

size_t line_end_with_break(const Edit* e, size_t line) {
    return line + 1 < e->doc.line_count() ? e->doc.line_start(line + 1) : e->doc.length();
}

// Ctrl+Left / Ctrl+Right: to the start of the previous / next word.
size_t word_left(const Edit* e, size_t pos) {
    pos = prev_char(e->doc, pos);
    while (pos > 0 && (e->doc.at(pos) == u' ' || e->doc.at(pos) == u'\t')) --pos;
    size_t b, end;
    word_at(e->doc, pos, &b, &end);
    return b < end ? b : pos;
}

size_t word_right(const Edit* e, size_t pos) {
    size_t b, end;
    word_at(e->doc, pos, &b, &end);
    pos = end > pos ? end : next_char(e->doc, pos);
    while (pos < e->doc.length() && (e->doc.at(pos) == u' ' || e->doc.at(pos) == u'\t')) ++pos;
    return pos;
}

int caret_x(Edit* e) {
    int x;
    long row;
    view_point_of(e, e->caret, &x, &row);
    return x;
}

void move_caret(Edit* e, size_t to, bool extend, bool keep_goal = false) {
    edit_select(e, extend ? e->anchor : to, to, keep_goal);
}

void move_rows(Edit* e, long rows, bool extend) {
    if (e->goal_x < 0) e->goal_x = caret_x(e);
    int goal = e->goal_x;
    size_t to = view_offset_rows_away(e, rows, goal);
    move_caret(e, to, extend, true);
    e->goal_x = goal;
}

void type_units(Edit* e, const char16_t* s, size_t n) {
    if (sel_end(e) > sel_begin(e)) {
        edit_replace(e, sel_begin(e), sel_end(e), s, n);
        return;
    }
    size_t over = 0;
    if (e->overwrite) {
        // Never a line end; the second half of a typed pair replaces nothing.
        char16_t here = e->caret < e->doc.length() ? e->doc.at(e->caret) : u'\r';
        bool second_half = n == 1 && s[0] >= 0xDC00 && s[0] <= 0xDFFF && e->caret > 0 && is_high(e->doc.at(e->caret - 1));
        if (here != u'\r' && here != u'\n' && !second_half) over = char_units(e->doc, e->caret);
    }
    edit_replace(e, e->caret, e->caret, s, n, false, over);
}

void block_indent(Edit* e, bool outdent) {
    size_t first, last;
    selected_lines(e->doc, sel_begin(e), sel_end(e), &first, &last);
    if (!e->doc.commit()) return;
    bool any = false;
    for (size_t l = first; l <= last; ++l) {
        size_t start = e->doc.line_start(l);
        bool ok;
        if (outdent) {
            if (start >= e->doc.line_end(l) || e->doc.at(start) != u'\t') continue;
            if (any) e->doc.join_next();
            ok = e->doc.erase(start, 1);
        } else {
            if (any) e->doc.join_next();
            ok = e->doc.insert(start, u"\t", 1);
        }
        if (!ok) break;
        any = true;
        e->doc.commit();  // each line its own record, undone as one group
    }
    if (!any) return;
    edit_changed(e, first, last, 0);
    edit_select(e, e->doc.line_start(first), line_end_with_break(e, last));
}

void type_enter(Edit* e) {
    if (!e->doc.commit()) return;
    std::u16string text = enter_text(e->doc, sel_begin(e));
    edit_replace(e, sel_begin(e), sel_end(e), text.data(), text.size());
}

void type_colon(Edit* e) {
    type_units(e, u":", 1);
    TextEdit align;
    if (!align_case_label(e->doc, e->caret, &align)) return;
    size_t caret = e->caret + align.text.size() - align.removed;
    edit_replace(e, align.pos, align.pos + align.removed, align.text.data(), align.text.size(), true);
    edit_select(e, caret, caret);
}

void type_closing_brace(Edit* e) {
    bool after_tab = sel_end(e) == sel_begin(e) && e->caret > 0 && e->doc.at(e->caret - 1) == u'\t';
    if (!after_tab) {
        type_units(e, u"}", 1);
        return;
    }
    edit_replace(e, e->caret - 1, e->caret, u"}", 1);
}

}  // namespace

void input_key(Edit* e, WPARAM key) {
    bool ctrl = key_down(VK_CONTROL), shift = key_down(VK_SHIFT);
    size_t len = e->doc.length();
    switch (key) {
    case VK_BACK:
        if (e->read_only) return;
        if (sel_end(e) > sel_begin(e)) {
            edit_clear(e);
        } else if (e->caret > 0) {
            edit_replace(e, prev_char(e->doc, e->caret), e->caret, u"", 0);
        }
        return;
    case VK_DELETE:
        if (shift) {
            edit_cut(e);
        } else if (sel_end(e) > sel_begin(e)) {
            edit_clear(e);
        } else if (e->caret < len && !e->read_only) {
            edit_replace(e, e->caret, next_char(e->doc, e->caret), u"", 0);
        }
        return;
    case VK_INSERT:
        if (ctrl) {
            edit_copy(e);
        } else if (shift) {
            edit_paste(e);
        } else {
            e->overwrite = !e->overwrite;
            if (e->focused) view_make_caret(e);
        }
        return;
    case VK_APPS: input_context_menu(e, {-1, -1}); return;
    case VK_TAB:
        if (ctrl) {
            HWND next = GetNextDlgTabItem(GetParent(e->wnd), e->wnd, shift);
            if (next && next != e->wnd) SetFocus(next);
        }
        return;
    }
    if (ctrl) {
        switch (key) {
        case 'C': edit_copy(e); return;
        case 'V': edit_paste(e); return;
        case 'X': edit_cut(e); return;
        case 'Z': edit_undo(e, shift); return;
        case 'Y': edit_undo(e, true); return;
        case 'A': edit_select(e, 0, len); return;
        }
    }
    switch (key) {
    case VK_LEFT: case VK_RIGHT: case VK_UP: case VK_DOWN:
    case VK_HOME: case VK_END: case VK_PRIOR: case VK_NEXT:
        break;
    default:
        return;
    }
    e->doc.commit();  // a moved caret ends the run of typing
    bool has_sel = sel_end(e) > sel_begin(e);
    long page = std::max(1, view_visible_rows(e) - 1);
    switch (key) {
    case VK_LEFT:
        move_caret(e, has_sel && !shift ? sel_begin(e) : ctrl ? word_left(e, e->caret) : prev_char(e->doc, e->caret), shift);
        break;
    case VK_RIGHT:
        move_caret(e, has_sel && !shift ? sel_end(e) : ctrl ? word_right(e, e->caret) : next_char(e->doc, e->caret), shift);
        break;
    case VK_UP: move_rows(e, -1, shift); break;
    case VK_DOWN: move_rows(e, 1, shift); break;
    case VK_PRIOR:
        view_scroll_rows(e, -page);
        move_rows(e, -page, shift);
        break;
    case VK_NEXT:
        view_scroll_rows(e, page);
        move_rows(e, page, shift);
        break;
    case VK_HOME: move_caret(e, ctrl ? 0 : view_offset_rows_away(e, 0, 0), shift); break;
    case VK_END: move_caret(e, ctrl ? len : view_offset_rows_away(e, 0, INT_MAX / 2), shift); break;
    }
}

void input_char(Edit* e, wchar_t c, bool from_ime) {
    if (e->read_only) return;
    if (!from_ime && key_down(VK_CONTROL) && !key_down(VK_MENU)) return;
    switch (c) {
    case u'\b':
    case 27: return;
    case u'\t':
        if (spans_lines(e->doc, sel_begin(e), sel_end(e))) {
            block_indent(e, key_down(VK_SHIFT));
        } else {
            type_units(e, u"\t", 1);
        }
        return;
    case u'\r':
    case u'\n': type_enter(e); return;
    case u':': type_colon(e); return;
    case u'}': type_closing_brace(e); return;
    }
    if (c < 0x20) return;
    char16_t unit = char16_t(c);
    type_units(e, &unit, 1);
}

void input_ime_start(Edit* e) {
    HIMC imc = ImmGetContext(e->wnd);
    if (!imc) return;
    LOGFONTW lf;
    HFONT font = e->font ? e->font : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    if (GetObjectW(font, sizeof lf, &lf)) ImmSetCompositionFontW(imc, &lf);
    ImmReleaseContext(e->wnd, imc);
    view_place_caret(e);
}

void input_ime_composition(Edit* e, LPARAM) {
    HIMC imc = ImmGetContext(e->wnd);
    if (!imc) return;
    LONG bytes = ImmGetCompositionStringW(imc, GCS_RESULTSTR, nullptr, 0);
    if (bytes > 0) {
        std::u16string text(size_t(bytes) / sizeof(wchar_t), u'\0');
        ImmGetCompositionStringW(imc, GCS_RESULTSTR, &text[0], DWORD(bytes));
        if (!e->read_only) type_units(e, text.data(), text.size());
    }
    ImmReleaseContext(e->wnd, imc);
}

void input_mouse_down(Edit* e, POINT p, bool right) {
    if (GetFocus() != e->wnd) SetFocus(e->wnd);
    e->doc.commit();
    bool margin;
    size_t pos = view_offset_at(e, p, &margin);
    if (right) {
        if (pos < sel_begin(e) || pos > sel_end(e) || sel_begin(e) == sel_end(e)) edit_select(e, pos, pos);
        e->right_pressed = true;
        return;
    }
    DWORD now = DWORD(GetMessageTime());
    bool close_by = abs(p.x - e->last_click.x) <= GetSystemMetrics(SM_CXDOUBLECLK) / 2 &&
                abs(p.y - e->last_click.y) <= GetSystemMetrics(SM_CYDOUBLECLK) / 2;
    e->clicks = close_by && now - e->last_click_time <= GetDoubleClickTime() && e->clicks < 3 ? e->clicks + 1 : 1;
    e->last_click = p;
    e->last_click_time = now;
    bool shift = key_down(VK_SHIFT);
    size_t line = e->doc.line_of(pos);
    e->drag_lines = margin;
    if (margin) {
        if (shift) {
            size_t from = e->doc.line_of(e->anchor);
            e->drag_line = from;
            if (line >= from) {
                edit_select(e, e->doc.line_start(from), line_end_with_break(e, line));
            } else {
                edit_select(e, line_end_with_break(e, from), e->doc.line_start(line));
            }
        } else {
            e->drag_line = line;
            edit_select(e, e->doc.line_start(line), line_end_with_break(e, line));
        }
    } else if (e->clicks == 2) {
        size_t b, end;
        word_at(e->doc, pos, &b, &end);
        edit_select(e, b, end);
    } else if (e->clicks == 3) {
        edit_select(e, e->doc.line_start(line), line_end_with_break(e, line));
    } else {
        edit_select(e, shift ? e->anchor : pos, pos);
    }
    SetCapture(e->wnd);
    e->dragging = true;
}

void input_mouse_move(Edit* e, POINT p) {
    if (!e->dragging) return;
    bool margin;
    size_t pos = view_offset_at(e, p, &margin);
    if (e->drag_lines) {
        size_t line = e->doc.line_of(pos);
        if (line >= e->drag_line) {
            edit_select(e, e->doc.line_start(e->drag_line), line_end_with_break(e, line));
        } else {
            edit_select(e, line_end_with_break(e, e->drag_line), e->doc.line_start(line));
        }
    } else if (e->clicks == 1) {
        edit_select(e, e->anchor, pos);
    }
}

void input_mouse_up(Edit* e, bool right, POINT p) {
    if (right) {
        if (!e->right_pressed) return;
        e->right_pressed = false;
        ClientToScreen(e->wnd, &p);
        input_context_menu(e, p);
        return;
    }
    if (e->dragging) {
        e->dragging = false;
        ReleaseCapture();
    }
}

void input_context_menu(Edit* e, POINT screen) {
    enum { kUndo = 1, kRedo, kCut, kCopy, kPaste, kDelete, kSelectAll };
    bool ja = japanese(), sel = sel_end(e) > sel_begin(e);
    HMENU menu = CreatePopupMenu();
    if (!menu) return;
    auto item = [&](UINT id, const wchar_t* english, const wchar_t* japanese_text, bool enabled) {
        AppendMenuW(menu, MF_STRING | (enabled ? 0 : MF_GRAYED), id, ja ? japanese_text : english);
    };
    item(kUndo, L"&Undo", L"元に戻す(&U)", e->doc.can_undo());
    item(kRedo, L"&Redo", L"やり直し(&R)", e->doc.can_redo());
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    item(kCut, L"Cu&t", L"切り取り(&T)", sel);
    item(kCopy, L"&Copy", L"コピー(&C)", sel);
    item(kPaste, L"&Paste", L"貼り付け(&P)", true);
    item(kDelete, L"&Delete", L"削除(&D)", true);
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    item(kSelectAll, L"Select &All", L"すべて選択(&A)", true);
    if (screen.x == -1 && screen.y == -1) {
        int x;
        long row;
        view_point_of(e, e->caret, &x, &row);
        RECT area = view_text_area(e);
        screen = {area.left + x, LONG(area.top + (row + 1) * e->line_h)};
        ClientToScreen(e->wnd, &screen);
    }
    UINT chosen = UINT(TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON, screen.x, screen.y, 0, e->wnd, nullptr));
    DestroyMenu(menu);
    switch (chosen) {
    case kUndo: SendMessageW(e->wnd, WM_UNDO, 0, 0); break;
    case kRedo: SendMessageW(e->wnd, kEditRedo, 0, 0); break;
    case kCut: SendMessageW(e->wnd, WM_CUT, 0, 0); break;
    case kCopy: SendMessageW(e->wnd, WM_COPY, 0, 0); break;
    case kPaste: SendMessageW(e->wnd, WM_PASTE, 0, 0); break;
    case kDelete: SendMessageW(e->wnd, WM_CLEAR, 0, 0); break;
    case kSelectAll: SendMessageW(e->wnd, EM_SETSEL, 0, -1); break;
    }
}

}  // namespace zvs
