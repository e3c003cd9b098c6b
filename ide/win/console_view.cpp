#include "console_view.h"

#include <algorithm>
#include <deque>
#include <string>
#include <vector>

#include "clipboard.h"
#include "console_text.h"
#include "paint_buffer.h"
#include "scroll_bar.h"
#include "text_layout.h"
#include "window_class.h"
#include "zvs_messages.h"

namespace zvs {

namespace {

constexpr int kPad = 2;
constexpr size_t kInputRoom = 1023;  // units of the input line that are kept

// The colours behind the colour numbers.
const COLORREF kPalette[16] = {
    RGB(255, 255, 255), RGB(0, 0, 0),     RGB(0, 0, 128),     RGB(0, 147, 0),   RGB(255, 0, 0),   RGB(127, 0, 0),
    RGB(156, 0, 156),   RGB(252, 127, 0), RGB(255, 255, 0),   RGB(0, 252, 0),   RGB(0, 147, 147), RGB(0, 255, 255),
    RGB(0, 0, 252),     RGB(255, 0, 255), RGB(127, 127, 127), RGB(210, 210, 210),
};

struct Pos {
    size_t line = 0, col = 0;
    bool operator<(const Pos& o) const { return line < o.line || (line == o.line && col < o.col); }
    bool operator==(const Pos& o) const { return line == o.line && col == o.col; }
};

struct Console {
    HWND wnd = nullptr;
    ConsoleText text;
    HFONT font = nullptr;        // not owned
    HFONT variants[4] = {};      // bold / underline versions, owned ([0] unused)
    HDC dc = nullptr;            // for measuring
    int line_h = 16, ave_w = 8, tab_chars = 4;
    COLORREF fg = CLR_INVALID, bg = CLR_INVALID;  // CLR_INVALID: the system's
    std::deque<size_t> rows;     // rows of each line
    size_t total_rows = 1;
    size_t top_line = 0, top_sub = 0;  // the first visible row: a line and a row of it
    size_t top_row = 0;                // ... counted from the first row
    ScrollBar bar;
    bool bar_posted = false;           // kConsoleBars is on its way
    bool to_end = false;               // ... and then shows the end
    Pos anchor, caret;
    bool focused = false, dragging = false;
    bool follow = true;          // mode flag: appends keep the end in view
    bool input_mode = false;
    std::u16string input;
    std::wstring entered;        // what 32880 hands out
    size_t limit = 0;            // EM_LIMITTEXT of the input line (0: kInputRoom)
    std::vector<int> xs, scratch;
    std::vector<size_t> breaks;
    const std::vector<int>* lx = &xs;         // the layout measure() made last:
    const std::vector<size_t>* lb = &breaks;  // these or the last line's below
    // The layout of the last line, kept so that appends to it measure only
    // what was appended (a script printing a dot at a time).
    size_t tail_line = SIZE_MAX, tail_units = 0;
    std::vector<int> tail_xs;
    std::vector<size_t> tail_breaks;
};

Console* console_of(HWND w) { return reinterpret_cast<Console*>(GetWindowLongPtrW(w, 0)); }

HFONT base_font(const Console* c) {
    return c->font ? c->font : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
}

void free_variants(Console* c) {
    for (HFONT& f : c->variants) {
        if (f) DeleteObject(f);
        f = nullptr;
    }
}

HFONT font_for(Console* c, uint8_t flags) {
    int k = (flags & kStyleBold ? 1 : 0) | (flags & kStyleUnderline ? 2 : 0);
    if (k == 0) return base_font(c);
    if (!c->variants[k]) {
        LOGFONTW lf;
        GetObjectW(base_font(c), sizeof lf, &lf);
        if (k & 1) lf.lfWeight = FW_BOLD;
        if (k & 2) lf.lfUnderline = TRUE;
        c->variants[k] = CreateFontIndirectW(&lf);
    }
    return c->variants[k] ? c->variants[k] : base_font(c);
}

COLORREF text_colour(const Console* c) { return c->fg == CLR_INVALID ? GetSysColor(COLOR_WINDOWTEXT) : c->fg; }
COLORREF back_colour(const Console* c) { return c->bg == CLR_INVALID ? GetSysColor(COLOR_WINDOW) : c->bg; }

RECT text_area(const Console* c) {
    RECT r;
    GetClientRect(c->wnd, &r);
    r.left += kPad;
    return r;
}

int visible_rows(const Console* c) {
    RECT r = text_area(c);
    return std::max(1, int(r.bottom - r.top) / c->line_h);
}

// Lays out line: its x positions and row starts in *c->lx and *c->lb.
void measure(Console* c, size_t line) {
    const std::u16string& t = c->text.line(line).text;
    RECT r = text_area(c);
    int width = std::max(int(r.right - r.left), c->ave_w);
    if (line + 1 != c->text.line_count()) {
        measure_text(c->dc, t.data(), t.size(), c->tab_chars * c->ave_w, c->xs, c->scratch);
        wrap_text(t.data(), t.size(), c->xs, width, c->breaks);
        c->lx = &c->xs;
        c->lb = &c->breaks;
        return;
    }
    bool grew = line == c->tail_line && t.size() >= c->tail_units;
    measure_text(c->dc, t.data(), t.size(), c->tab_chars * c->ave_w, c->tail_xs, c->scratch, grew ? c->tail_units : 0);
    wrap_text(t.data(), t.size(), c->tail_xs, width, c->tail_breaks, grew);
    c->tail_line = line;
    c->tail_units = t.size();
    c->lx = &c->tail_xs;
    c->lb = &c->tail_breaks;
}

void measure_rows(Console* c, size_t from) {
    c->rows.resize(c->text.line_count(), 0);
    for (size_t l = from; l < c->rows.size(); ++l) {
        measure(c, l);
        c->total_rows += c->lb->size() - c->rows[l];
        c->rows[l] = c->lb->size();
    }
}

// The first visible row from the line and row within it, after the rows of
// the lines above changed.
void count_top_row(Console* c) {
    c->top_row = c->top_sub;
    for (size_t l = 0; l < c->top_line && l < c->rows.size(); ++l) c->top_row += c->rows[l];
}

void relayout(Console* c) {
    c->tail_line = SIZE_MAX;  // width or font changed: lay out afresh
    SelectObject(c->dc, base_font(c));
    TEXTMETRICW tm;
    if (GetTextMetricsW(c->dc, &tm)) {
        c->line_h = std::max<int>(tm.tmHeight, 1);
        c->ave_w = std::max<int>(tm.tmAveCharWidth, 1);
    }
    c->rows.assign(c->text.line_count(), 0);
    c->total_rows = 0;
    measure_rows(c, 0);
    if (c->top_line >= c->rows.size()) c->top_line = c->top_sub = 0;
    c->top_sub = std::min(c->top_sub, c->rows[c->top_line] ? c->rows[c->top_line] - 1 : 0);
    count_top_row(c);
    InvalidateRect(c->wnd, nullptr, FALSE);
}

size_t top_row(const Console* c) { return c->top_row; }

// The bar (and the view, when it follows the end) catch up once the window
// is idle (kConsoleBars), and the bar only when what it shows changed: each
// change redraws it, which costs more than an append.
void update_bar(Console* c) {
    if (c->bar_posted) return;
    c->bar_posted = true;
    PostMessageW(c->wnd, kConsoleBars, 0, 0);
}

void set_top_row(Console* c, long row);
void place_caret(Console* c);

void set_bar(Console* c) {
    if (c->to_end) {
        c->to_end = false;
        set_top_row(c, long(c->total_rows));  // the bar is set below, not posted again
        place_caret(c);
    }
    c->bar_posted = false;
    c->bar.set(c->wnd, SB_VERT, int(c->total_rows ? c->total_rows - 1 : 0), visible_rows(c), int(c->top_row));
}

// Moves (line, sub) by rows, stopping at the first and the last row.
void walk(const Console* c, size_t* line, size_t* sub, long rows) {
    walk_rows(c->rows.size(), [c](size_t l) { return c->rows[l]; }, line, sub, rows);
}

// The top row `row` rows from the first, kept so that the last row can be
// at the bottom but not higher.
void set_top_row(Console* c, long row) {
    long most = long(c->total_rows) - visible_rows(c);
    row = std::max(0L, std::min(row, most));
    long moved = row - long(c->top_row);
    if (moved != 0) {
        walk(c, &c->top_line, &c->top_sub, moved);
        c->top_row = size_t(row);
        // Less than a page: what stays in view moves as it is.
        long visible = visible_rows(c);
        if (moved > -visible && moved < visible) {
            RECT a = text_area(c), client;
            GetClientRect(c->wnd, &client);
            RECT rows = {client.left, a.top, client.right, a.top + visible * c->line_h};
            ScrollWindowEx(c->wnd, 0, int(-moved) * c->line_h, &rows, &rows, nullptr, nullptr, SW_INVALIDATE);
            RECT rest = {client.left, rows.bottom, client.right, client.bottom};
            InvalidateRect(c->wnd, &rest, FALSE);
        } else {
            InvalidateRect(c->wnd, nullptr, FALSE);
        }
    }
    update_bar(c);
}

// The row (from the first visible one) and x of a position.
void place_of(Console* c, Pos p, long* row, int* x) {
    measure(c, p.line);
    const std::vector<int>& xs = *c->lx;
    const std::vector<size_t>& breaks = *c->lb;
    size_t sub = 0;
    while (sub + 1 < breaks.size() && breaks[sub + 1] <= p.col) ++sub;
    *x = xs[std::min(p.col, xs.size() - 1)] - xs[breaks[sub]];
    long r = long(sub) - long(c->top_sub);
    for (size_t l = c->top_line; l < p.line; ++l) r += long(c->rows[l]);
    for (size_t l = p.line; l < c->top_line; ++l) r -= long(c->rows[l]);
    *row = r;
}

void place_caret(Console* c) {
    if (!c->focused) return;
    long row;
    int x;
    place_of(c, c->caret, &row, &x);
    RECT a = text_area(c);
    bool shown = row >= 0 && row < visible_rows(c);
    SetCaretPos(shown ? a.left + x : -10000, shown ? a.top + int(row) * c->line_h : -10000);
}

void scroll_to(Console* c, Pos p) {
    long row;
    int x;
    place_of(c, p, &row, &x);
    long top = long(top_row(c));
    if (row < 0) set_top_row(c, top + row);
    if (row >= visible_rows(c)) set_top_row(c, top + row - visible_rows(c) + 1);
    place_caret(c);
}

Pos end_pos(const Console* c) {
    size_t last = c->text.line_count() - 1;
    return {last, c->text.line(last).text.size()};
}

Pos hit(Console* c, POINT p) {
    RECT a = text_area(c);
    long rows = p.y >= a.top ? (p.y - a.top) / c->line_h : -1;
    if (long(top_row(c)) + rows < 0) return {0, 0};
    size_t line = c->top_line, sub_row = c->top_sub;
    walk(c, &line, &sub_row, rows);
    long row = long(sub_row);
    measure(c, line);
    const std::vector<int>& xs = *c->lx;
    const std::vector<size_t>& breaks = *c->lb;
    size_t sub = std::min(size_t(row), breaks.size() - 1);
    size_t rb = breaks[sub], re = sub + 1 < breaks.size() ? breaks[sub + 1] : c->text.line(line).text.size();
    int x = p.x - a.left + xs[rb];
    size_t col = rb;
    while (col < re && x > (xs[col] + xs[col + 1]) / 2) ++col;
    const std::u16string& t = c->text.line(line).text;
    if (col < t.size() && t[col] >= 0xDC00 && t[col] <= 0xDFFF && col > 0) --col;
    return {line, col};
}

void select(Console* c, Pos anchor, Pos caret) {
    c->anchor = anchor;
    c->caret = caret;
    InvalidateRect(c->wnd, nullptr, FALSE);
    scroll_to(c, caret);
}

std::u16string selected_text(const Console* c) {
    Pos a = std::min(c->anchor, c->caret), b = std::max(c->anchor, c->caret);
    std::u16string out;
    for (size_t l = a.line; l <= b.line; ++l) {
        const std::u16string& t = c->text.line(l).text;
        size_t from = l == a.line ? std::min(a.col, t.size()) : 0, to = l == b.line ? std::min(b.col, t.size()) : t.size();
        out.append(t, from, to - from);
        if (l != b.line) out += u"\r\n";
    }
    return out;
}

void copy(Console* c) {
    std::u16string s = selected_text(c);
    if (!s.empty()) zv::ui::set_clipboard_text(c->wnd, std::wstring(s.begin(), s.end()));
}

// Appends text (with formatting codes) and keeps rows, positions and the
// view in step.
void append(Console* c, const char16_t* s, size_t n) {
    bool at_end = c->caret == end_pos(c) && c->anchor == c->caret;
    size_t last_before = c->text.line_count() - 1;
    size_t dropped = c->text.append(s, n), dropped_rows = 0;
    for (size_t i = 0; i < dropped && !c->rows.empty(); ++i) {
        dropped_rows += c->rows.front();
        c->rows.pop_front();
    }
    c->total_rows -= dropped_rows;
    auto shift = [dropped](Pos& p) {
        if (p.line >= dropped) {
            p.line -= dropped;
        } else {
            p = {0, 0};
        }
    };
    shift(c->anchor);
    shift(c->caret);
    if (c->top_line >= dropped) {
        c->top_line -= dropped;
        c->top_row -= dropped_rows;
    } else if (dropped) {
        c->top_line = c->top_sub = c->top_row = 0;
        InvalidateRect(c->wnd, nullptr, FALSE);
    }
    c->tail_line = c->tail_line >= dropped && c->tail_line != SIZE_MAX ? c->tail_line - dropped : SIZE_MAX;
    size_t changed = last_before >= dropped ? last_before - dropped : 0;
    measure_rows(c, changed);
    if (at_end) c->anchor = c->caret = end_pos(c);
    // Repaint from the line that grew down; a scroll to the end moves the
    // rest as it is.
    long row = 0;
    for (size_t l = c->top_line; l < changed; ++l) row += long(c->rows[l]);
    row -= long(c->top_sub);
    RECT r, a = text_area(c);
    GetClientRect(c->wnd, &r);
    r.top = std::max<long>(a.top + std::max(row, 0L) * c->line_h, r.top);
    if (changed >= c->top_line && row < visible_rows(c)) InvalidateRect(c->wnd, &r, FALSE);
    // Following the end waits for a pause in the appends, like the bar.
    c->to_end = c->to_end || c->follow || c->input_mode;
    update_bar(c);
    place_caret(c);
}

void clear(Console* c) {
    c->text.clear();
    c->tail_line = SIZE_MAX;
    c->anchor = c->caret = {};
    c->top_line = c->top_sub = c->top_row = 0;
    c->rows.assign(1, 0);
    c->total_rows = 0;
    measure_rows(c, 0);
    update_bar(c);
    InvalidateRect(c->wnd, nullptr, FALSE);
    place_caret(c);
}

void type_unit(Console* c, char16_t u) {
    append(c, &u, 1);
    size_t room = c->limit ? std::min(c->limit, kInputRoom) : kInputRoom;
    bool high = u >= 0xD800 && u <= 0xDBFF, low = u >= 0xDC00 && u <= 0xDFFF;
    bool after_high = !c->input.empty() && c->input.back() >= 0xD800 && c->input.back() <= 0xDBFF;
    if (low && !after_high) return;                     // its first half was not kept
    if (c->input.size() + (high ? 2 : 1) > room && !low) return;  // shown, not stored
    c->input += u;
}

void on_char(Console* c, wchar_t ch) {
    if (!c->input_mode || GetKeyState(VK_CONTROL) < 0) return;
    switch (ch) {
    case u'\r':
        append(c, u"\r\n", 2);
        c->input_mode = false;
        return;
    case 27: c->input_mode = false; return;
    case u'\b':
        if (c->input.empty()) return;
        c->input.pop_back();
        if (!c->input.empty() && c->input.back() >= 0xD800 && c->input.back() <= 0xDBFF) c->input.pop_back();
        c->text.remove_last_char();
        measure_rows(c, c->text.line_count() - 1);
        c->anchor = c->caret = end_pos(c);
        InvalidateRect(c->wnd, nullptr, FALSE);
        scroll_to(c, c->caret);
        return;
    }
    if (ch < 0x20 && ch != u'\t') return;
    type_unit(c, char16_t(ch));
}

// Pastes the clipboard's first line into the input line, as if typed.
void paste(Console* c) {
    std::wstring s;
    if (!c->input_mode || !zv::ui::get_clipboard_text(c->wnd, &s)) return;
    for (wchar_t u : s) {
        if (u == L'\r' || u == L'\n') break;
        if (u >= 0x20 || u == L'\t') type_unit(c, char16_t(u));
    }
}

void move(Console* c, Pos to, bool extend) { select(c, extend ? c->anchor : to, to); }

void on_key(Console* c, WPARAM key) {
    bool ctrl = GetKeyState(VK_CONTROL) < 0, shift = GetKeyState(VK_SHIFT) < 0;
    Pos p = c->caret;
    const std::u16string& t = c->text.line(p.line).text;
    long page = std::max(1, visible_rows(c) - 1);
    switch (key) {
    case 'C':
        if (ctrl) copy(c);
        return;
    case VK_INSERT:
        if (ctrl) copy(c);
        if (shift) paste(c);
        return;
    case 'V':
        if (ctrl) paste(c);
        return;
    case 'A':
        if (ctrl) select(c, {0, 0}, end_pos(c));
        return;
    case VK_TAB:
        if (!c->input_mode) {
            HWND next = GetNextDlgTabItem(GetParent(c->wnd), c->wnd, shift);
            if (next && next != c->wnd) SetFocus(next);
        }
        return;
    case VK_HOME: move(c, ctrl ? Pos{0, 0} : Pos{p.line, 0}, shift); return;
    case VK_END: move(c, ctrl ? end_pos(c) : Pos{p.line, t.size()}, shift); return;
    case VK_LEFT:
        if (p.col > 0) {
            --p.col;
            if (p.col > 0 && t[p.col] >= 0xDC00 && t[p.col] <= 0xDFFF) --p.col;
        } else if (p.line > 0) {
            p = {p.line - 1, c->text.line(p.line - 1).text.size()};
        }
        move(c, p, shift);
        return;
    case VK_RIGHT:
        if (p.col < t.size()) {
            ++p.col;
            if (p.col < t.size() && t[p.col] >= 0xDC00 && t[p.col] <= 0xDFFF) ++p.col;
        } else if (p.line + 1 < c->text.line_count()) {
            p = {p.line + 1, 0};
        }
        move(c, p, shift);
        return;
    case VK_UP:
    case VK_DOWN:
    case VK_PRIOR:
    case VK_NEXT: {
        long rows = key == VK_UP ? -1 : key == VK_DOWN ? 1 : key == VK_PRIOR ? -page : page;
        long row;
        int x;
        place_of(c, p, &row, &x);
        if (key == VK_PRIOR || key == VK_NEXT) set_top_row(c, long(top_row(c)) + rows);
        place_of(c, p, &row, &x);
        RECT a = text_area(c);
        move(c, hit(c, {a.left + x, LONG(a.top + (row + rows) * c->line_h + c->line_h / 2)}), shift);
        return;
    }
    }
}

void paint(Console* c) {
    zv::ui::PaintBuffer pb(c->wnd);
    HDC dc = pb.dc();
    RECT client = pb.client(), a = text_area(c);
    COLORREF back = back_colour(c), fore = text_colour(c);
    SetBkColor(dc, back);
    ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &client, nullptr, 0, nullptr);
    Pos s0 = std::min(c->anchor, c->caret), s1 = std::max(c->anchor, c->caret);
    COLORREF sel_back = GetSysColor(c->focused ? COLOR_HIGHLIGHT : COLOR_BTNFACE);
    COLORREF sel_text = GetSysColor(c->focused ? COLOR_HIGHLIGHTTEXT : COLOR_BTNTEXT);
    int y = a.top;
    for (size_t line = c->top_line, sub = c->top_sub; line < c->text.line_count() && y < a.bottom; ++line, sub = 0) {
        const ConsoleLine& cl = c->text.line(line);
        const std::u16string& t = cl.text;
        measure(c, line);
        const std::vector<int>& xs = *c->lx;
        const std::vector<size_t>& breaks = *c->lb;
        for (; sub < breaks.size() && y < a.bottom; ++sub, y += c->line_h) {
            size_t rb = breaks[sub], re = sub + 1 < breaks.size() ? breaks[sub + 1] : t.size();
            int origin = a.left - xs[rb];
            auto selected = [&](size_t i) { return !(Pos{line, i} < s0) && Pos{line, i} < s1; };
            for (size_t i = rb; i < re;) {
                ConsoleStyle st = cl.style_at(i);
                bool sel = selected(i);
                size_t j = i + 1;
                while (j < re && cl.style_at(j) == st && selected(j) == sel && (t[j] == u'\t') == (t[i] == u'\t')) ++j;
                COLORREF f = st.fg >= 0 ? kPalette[st.fg] : fore, b = st.bg >= 0 ? kPalette[st.bg] : back;
                if (st.flags & kStyleReverse) std::swap(f, b);
                if (sel) {
                    f = sel_text;
                    b = sel_back;
                }
                RECT r = {origin + xs[i], y, origin + xs[j], y + c->line_h};
                SetBkColor(dc, b);
                if (b != back) ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &r, nullptr, 0, nullptr);
                if (t[i] != u'\t') {
                    SelectObject(dc, font_for(c, st.flags));
                    SetTextColor(dc, f);
                    SetBkMode(dc, TRANSPARENT);
                    ExtTextOutW(dc, r.left, y, 0, nullptr, reinterpret_cast<const wchar_t*>(t.data() + i), UINT(j - i),
                                nullptr);
                }
                i = j;
            }
            if (sub + 1 == breaks.size() && line < s1.line && !(Pos{line, t.size()} < s0)) {
                RECT r = {origin + xs[re], y, origin + xs[re] + c->ave_w / 2, y + c->line_h};
                SetBkColor(dc, sel_back);
                ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &r, nullptr, 0, nullptr);
            }
        }
    }
}

LRESULT on_create(HWND wnd) {
    Console* c = new (std::nothrow) Console;
    if (!c) return -1;
    c->wnd = wnd;
    HDC screen = GetDC(wnd);
    c->dc = CreateCompatibleDC(screen);
    ReleaseDC(wnd, screen);
    if (!c->dc) {
        delete c;
        return -1;
    }
    SetWindowLongPtrW(wnd, 0, reinterpret_cast<LONG_PTR>(c));
    relayout(c);
    return 0;
}

LRESULT CALLBACK console_proc(HWND wnd, UINT msg, WPARAM w, LPARAM l) {
    Console* c = console_of(wnd);
    if (!c) return msg == WM_CREATE ? on_create(wnd) : DefWindowProcW(wnd, msg, w, l);
    switch (msg) {
    case WM_NCDESTROY:
        free_variants(c);
        DeleteDC(c->dc);
        SetWindowLongPtrW(wnd, 0, 0);
        delete c;
        return 0;
    case WM_PAINT: paint(c); return 0;
    case WM_ERASEBKGND: return 1;
    case WM_SIZE:
        relayout(c);
        set_top_row(c, c->follow ? long(c->total_rows) : long(top_row(c)));
        return 0;
    case WM_SETFOCUS:
        c->focused = true;
        CreateCaret(wnd, nullptr, 2, c->line_h);
        place_caret(c);
        ShowCaret(wnd);
        InvalidateRect(wnd, nullptr, FALSE);
        return 0;
    case WM_KILLFOCUS:
        c->focused = false;
        DestroyCaret();
        InvalidateRect(wnd, nullptr, FALSE);
        return 0;
    case WM_GETDLGCODE: return DLGC_WANTALLKEYS | DLGC_WANTCHARS | DLGC_WANTARROWS;
    case WM_KEYDOWN: on_key(c, w); return 0;
    case WM_CHAR: on_char(c, wchar_t(w)); return 0;
    case WM_LBUTTONDOWN: {
        SetFocus(wnd);
        Pos p = hit(c, {short(LOWORD(l)), short(HIWORD(l))});
        move(c, p, GetKeyState(VK_SHIFT) < 0);
        SetCapture(wnd);
        c->dragging = true;
        return 0;
    }
    case WM_MOUSEMOVE:
        if (c->dragging) move(c, hit(c, {short(LOWORD(l)), short(HIWORD(l))}), true);
        return 0;
    case WM_LBUTTONUP:
        if (c->dragging) ReleaseCapture();
        c->dragging = false;
        return 0;
    case WM_CAPTURECHANGED: c->dragging = false; return 0;
    case WM_MOUSEWHEEL: set_top_row(c, long(top_row(c)) + (GET_WHEEL_DELTA_WPARAM(w) > 0 ? -3 : 3)); return 0;
    case WM_VSCROLL: {
        long top = long(top_row(c)), page = std::max(1, visible_rows(c) - 1);
        switch (LOWORD(w)) {
        case SB_LINEUP: set_top_row(c, top - 1); break;
        case SB_LINEDOWN: set_top_row(c, top + 1); break;
        case SB_PAGEUP: set_top_row(c, top - page); break;
        case SB_PAGEDOWN: set_top_row(c, top + page); break;
        case SB_TOP: set_top_row(c, 0); break;
        case SB_BOTTOM: set_top_row(c, long(c->total_rows)); break;
        case SB_THUMBTRACK:
        case SB_THUMBPOSITION: set_top_row(c, track_position(wnd, SB_VERT)); break;
        }
        place_caret(c);
        return 0;
    }
    case WM_CONTEXTMENU: {
        HMENU menu = CreatePopupMenu();
        AppendMenuW(menu, MF_STRING | (c->anchor == c->caret ? MF_GRAYED : 0), 1, L"&Copy");
        AppendMenuW(menu, MF_STRING | (c->input_mode ? 0 : MF_GRAYED), 2, L"&Paste");
        AppendMenuW(menu, MF_STRING, 3, L"Select &All");
        POINT p = {short(LOWORD(l)), short(HIWORD(l))};
        if (l == -1) GetCursorPos(&p);
        int chosen = TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON, p.x, p.y, 0, wnd, nullptr);
        DestroyMenu(menu);
        if (chosen == 1) copy(c);
        if (chosen == 2) paste(c);
        if (chosen == 3) select(c, {0, 0}, end_pos(c));
        return 0;
    }
    case WM_SETFONT:
        c->font = reinterpret_cast<HFONT>(w);
        free_variants(c);
        relayout(c);
        return 0;
    case WM_GETFONT: return reinterpret_cast<LRESULT>(c->font);
    case WM_SETTEXT: {
        clear(c);
        const auto* s = reinterpret_cast<const char16_t*>(l);
        if (s) append(c, s, size_t(lstrlenW(reinterpret_cast<const wchar_t*>(l))));
        return TRUE;
    }
    case WM_GETTEXTLENGTH: return LRESULT(c->text.length());
    case WM_GETTEXT: {
        if (!l || w == 0) return 0;
        std::u16string t = c->text.text();
        size_t n = std::min(t.size(), size_t(w) - 1);
        memcpy(reinterpret_cast<void*>(l), t.data(), n * sizeof(wchar_t));
        reinterpret_cast<wchar_t*>(l)[n] = 0;
        return LRESULT(n);
    }
    case WM_COPY: copy(c); return 0;
    case WM_PASTE: paste(c); return 0;
    case EM_GETSEL: {
        Pos a = std::min(c->anchor, c->caret), b = std::max(c->anchor, c->caret);
        DWORD s = DWORD(c->text.offset_of(a.line, a.col)), e = DWORD(c->text.offset_of(b.line, b.col));
        if (w) *reinterpret_cast<DWORD*>(w) = s;
        if (l) *reinterpret_cast<DWORD*>(l) = e;
        return MAKELRESULT(std::min<DWORD>(s, 0xFFFF), std::min<DWORD>(e, 0xFFFF));
    }
    case EM_SETSEL: {
        size_t len = c->text.length();
        Pos a, b;
        if (long(w) < 0) {
            a = b = c->caret;
        } else {
            c->text.position_of(std::min(size_t(w), len), &a.line, &a.col);
            c->text.position_of(long(l) < 0 ? len : std::min(size_t(l), len), &b.line, &b.col);
        }
        select(c, a, b);
        return 0;
    }
    case EM_GETLINECOUNT: return LRESULT(c->text.line_count());
    case EM_LINEINDEX: {
        size_t line = long(w) < 0 ? c->caret.line : size_t(w);
        return line < c->text.line_count() ? LRESULT(c->text.offset_of(line, 0)) : -1;
    }
    case EM_LINELENGTH: {
        Pos p = c->caret;
        if (long(w) >= 0) c->text.position_of(size_t(w), &p.line, &p.col);
        return LRESULT(c->text.line(p.line).text.size());
    }
    case EM_GETLINE: {
        if (!l || size_t(w) >= c->text.line_count()) return 0;
        const std::u16string& t = c->text.line(size_t(w)).text;
        size_t n = std::min<size_t>(t.size(), *reinterpret_cast<WORD*>(l));
        memcpy(reinterpret_cast<void*>(l), t.data(), n * sizeof(wchar_t));
        return LRESULT(n);
    }
    case EM_LIMITTEXT: c->limit = size_t(w); return 0;

    case kConsoleBars: set_bar(c); return 0;
    case kConsoleAppend: {
        const auto* s = reinterpret_cast<const wchar_t*>(l);
        if (s) append(c, reinterpret_cast<const char16_t*>(s), size_t(lstrlenW(s)));
        return 0;
    }
    case kConsoleColours:
        c->fg = long(w) == -1 ? CLR_INVALID : COLORREF(w);
        c->bg = long(l) == -1 ? CLR_INVALID : COLORREF(l);
        InvalidateRect(wnd, nullptr, FALSE);
        return 0;
    case kConsoleTabWidth:
        if (long(w) >= 0) c->tab_chars = std::max(1, int(w));
        relayout(c);
        return 0;
    case kConsoleMaxLines: {
        size_t dropped = c->text.set_max_lines(size_t(w));
        if (dropped) {
            c->anchor = c->caret = end_pos(c);
            c->top_line = c->top_sub = c->top_row = 0;
            relayout(c);
            set_top_row(c, long(c->total_rows));
        }
        return 0;
    }
    case kConsoleRelayout:
        relayout(c);
        if (c->focused) {
            DestroyCaret();
            CreateCaret(wnd, nullptr, 2, c->line_h);
            place_caret(c);
            ShowCaret(wnd);
        }
        return 0;
    case kConsoleMode: c->follow = w != 0; return 0;
    case kConsoleResetInput:
        c->input_mode = false;
        c->input.clear();
        return 0;
    case kConsoleStartInput:
        if (w == 1) {
            c->input.clear();
            c->input_mode = true;
            select(c, end_pos(c), end_pos(c));
        }
        return 0;
    case kConsoleInputPending: return c->input_mode ? 1 : 0;
    case kConsoleInputText:
        c->entered.assign(c->input.begin(), c->input.end());
        return reinterpret_cast<LRESULT>(c->entered.c_str());
    }
    return DefWindowProcW(wnd, msg, w, l);
}

}  // namespace

bool console_register(HINSTANCE module) {
    zv::ui::WindowClass wc = {kConsoleClass, console_proc};
    wc.cursor = LoadCursorW(nullptr, IDC_IBEAM);
    wc.window_extra = sizeof(Console*);
    return zv::ui::register_window_class(module, wc);
}

}  // namespace zvs
