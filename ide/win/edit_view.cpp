// Layout, scrolling, caret placement and painting of the "nEdit" control.
// A line is measured when it is shown or the caret is on it; with word wrap
// each line's row count is kept, without it a row is a line.
#include <algorithm>
#include <cstdlib>
#include <climits>

#include "edit_rules.h"
#include "edit_state.h"
#include "text_layout.h"
#include "zvs_messages.h"

#include <imm.h>

namespace zvs {

namespace {

constexpr int kPad = 2;  // between the margin (or the border) and the text
constexpr COLORREF kRunLineColour = RGB(128, 255, 255);
constexpr COLORREF kErrorLineColour = RGB(255, 182, 193);

const COLORREF kClassColours[] = {0, RGB(0, 0, 255), RGB(0, 128, 0), RGB(128, 0, 0), RGB(128, 1, 1)};

bool is_low(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

HFONT font_of(const Edit* e) { return e->font ? e->font : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT)); }

RECT text_area(const Edit* e) {
    RECT r;
    if (e->format_set) {
        r = e->format;
    } else {
        GetClientRect(e->wnd, &r);
    }
    r.left += e->margin_w + kPad;
    if (r.right < r.left) r.right = r.left;
    return r;
}

int area_width(const Edit* e) {
    RECT r = text_area(e);
    return r.right - r.left;
}

// Measures line into e->line_text and e->xs.
void measure_line(Edit* e, size_t line) {
    size_t begin = e->doc.line_start(line), n = e->doc.line_end(line) - begin;
    e->line_text.resize(n);
    if (n) e->doc.copy(begin, n, &e->line_text[0]);
    measure_text(e->row_dc, e->line_text.data(), n, e->tab_px, e->xs, e->extents);
}

// Row starts (offsets within the measured line) for the text-area width.
void wrap_breaks(const Edit* e, std::vector<size_t>& out) {
    if (!e->wrap) {
        out.assign(1, 0);
        return;
    }
    wrap_text(e->line_text.data(), e->line_text.size(), e->xs, std::max(area_width(e), e->ave_w), out);
}

size_t rows_of(const Edit* e, size_t line) { return e->wrap ? e->wrap_rows[line] : 1; }

// Rows measured afresh for lines [first, last].
void measure_rows(Edit* e, size_t first, size_t last, std::vector<size_t>& breaks) {
    for (size_t l = first; l <= last; ++l) {
        measure_line(e, l);
        wrap_breaks(e, breaks);
        e->total_rows += breaks.size() - e->wrap_rows[l];
        e->wrap_rows[l] = breaks.size();
    }
}

// Width of lines [first, last] by counting columns (a tab to the next tab
// stop): enough for the horizontal scroll range without measuring each.
int columns_width(const Edit* e, size_t first, size_t last) {
    size_t widest = 0;
    for (size_t l = first; l <= last; ++l) {
        size_t col = 0;
        for (size_t i = e->doc.line_start(l), end = e->doc.line_end(l); i < end; ++i)
            col = e->doc.at(i) == u'\t' ? (col / e->tab_chars + 1) * e->tab_chars : col + 1;
        widest = std::max(widest, col);
    }
    return int(std::min<size_t>(widest, 1u << 20)) * e->ave_w;
}

int margin_width(const Edit* e) {
    if (!e->line_numbers) return 0;
    int digits = 1;
    for (size_t n = e->doc.line_count(); n >= 10; n /= 10) ++digits;
    return (std::max(digits, 3) + 1) * e->ave_w + kPad;
}

size_t top_row(const Edit* e) {
    if (!e->wrap) return e->top_line;
    size_t row = e->top_sub;
    for (size_t l = 0; l < e->top_line; ++l) row += e->wrap_rows[l];
    return row;
}

// Row of (line, 0) relative to the first visible row.
long row_of_line(const Edit* e, size_t line) {
    if (!e->wrap) return long(line) - long(e->top_line);
    long row = -long(e->top_sub);
    for (size_t l = e->top_line; l < line; ++l) row += long(e->wrap_rows[l]);
    for (size_t l = line; l < e->top_line; ++l) row -= long(e->wrap_rows[l]);
    return row;
}

// Moves (line, sub) by rows, stopping at the first and the last row.
void walk(const Edit* e, size_t* line, size_t* sub, long rows) {
    walk_rows(e->doc.line_count(), [e](size_t l) { return rows_of(e, l); }, line, sub, rows);
}

// The bars follow the text once the window is idle again (kEditBars), so
// that a key's message and repaint do not wait for them.
void update_scroll_bars(Edit* e) {
    if (e->bars_posted) return;
    e->bars_posted = true;
    PostMessageW(e->wnd, kEditBars, 0, 0);
}

void ensure_row_bitmap(Edit* e, int width) {
    if (e->row_bitmap && e->row_bitmap_w >= width && e->row_bitmap_h == e->line_h) return;
    HDC screen = GetDC(e->wnd);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, std::max(width, 1), e->line_h);
    ReleaseDC(e->wnd, screen);
    if (!bitmap) return;
    SelectObject(e->row_dc, bitmap);
    if (e->row_bitmap) DeleteObject(e->row_bitmap);
    e->row_bitmap = bitmap;
    e->row_bitmap_w = std::max(width, 1);
    e->row_bitmap_h = e->line_h;
}

void fill(HDC dc, int left, int top, int right, int bottom, COLORREF colour) {
    RECT r = {left, top, right, bottom};
    SetBkColor(dc, colour);
    ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &r, nullptr, 0, nullptr);
}

// Draws the line-number margin of a row into the row bitmap.
void draw_margin(Edit* e, size_t line, size_t sub) {
    HDC dc = e->row_dc;
    fill(dc, 0, 0, e->margin_w, e->line_h, GetSysColor(COLOR_WINDOW));
    if (sub == 0) {
        wchar_t number[16];
        int len = wsprintfW(number, L"%u", unsigned(line + 1));
        RECT r = {0, 0, e->margin_w - e->ave_w / 2 - kPad, e->line_h};
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, GetSysColor(COLOR_HIGHLIGHT));
        DrawTextW(dc, number, len, &r, DT_RIGHT | DT_SINGLELINE | DT_NOPREFIX);
    }
    fill(dc, e->margin_w - 1, 0, e->margin_w, e->line_h, GetSysColor(COLOR_BTNSHADOW));
}

// Draws row `sub` of the measured line into the row bitmap.
void draw_row(Edit* e, size_t line, const std::vector<size_t>& breaks, size_t sub, int width) {
    HDC dc = e->row_dc;
    RECT area = text_area(e);
    const std::u16string& s = e->line_text;
    size_t n = s.size();
    size_t rb = breaks[sub], re = sub + 1 < breaks.size() ? breaks[sub + 1] : n;
    int origin = area.left - (e->wrap ? e->xs[rb] : e->x_scroll);

    COLORREF back = GetSysColor(COLOR_WINDOW);
    if (long(line) == e->error_line) back = kErrorLineColour;
    if (long(line) == e->run_line) back = kRunLineColour;
    fill(dc, 0, 0, width, e->line_h, GetSysColor(COLOR_WINDOW));
    fill(dc, area.left - kPad, 0, width, e->line_h, back);

    size_t start = e->doc.line_start(line);
    size_t s0 = std::max(sel_begin(e), start) - start, s1 = std::min(sel_end(e), start + n + 1) - start;
    if (sel_begin(e) >= start + n + 1 || sel_end(e) <= start) s0 = s1 = 0;
    COLORREF sel_back = GetSysColor(e->focused ? COLOR_HIGHLIGHT : COLOR_BTNFACE);
    COLORREF sel_text = GetSysColor(e->focused ? COLOR_HIGHLIGHTTEXT : COLOR_BTNTEXT);
    if (s1 > s0) {
        size_t a = std::max(s0, rb), b = std::min(s1, re);
        bool line_end = s1 > n && sub + 1 == breaks.size();  // shown as half a character
        int left = origin + e->xs[std::min(a, n)];
        int right = origin + e->xs[std::min(b, n)] + (line_end ? e->ave_w / 2 : 0);
        if ((b > a || line_end) && right > left) fill(dc, left, 0, right, e->line_h, sel_back);
    }

    e->classes.resize(n);
    colour_line(s.data(), n, e->extended, e->classes.data());
    SetBkMode(dc, TRANSPARENT);
    COLORREF plain = GetSysColor(COLOR_WINDOWTEXT);
    for (size_t i = rb; i < re;) {
        if (s[i] == u'\t') {
            ++i;
            continue;
        }
        bool selected = i >= s0 && i < s1;
        size_t j = i + 1;
        while (j < re && s[j] != u'\t' && e->classes[j] == e->classes[i] && (j >= s0 && j < s1) == selected) ++j;
        int x0 = origin + e->xs[i], x1 = origin + e->xs[j];
        if (x1 >= area.left - kPad && x0 < width) {
            SyntaxClass cls = e->classes[i];
            SetTextColor(dc, selected ? sel_text : cls == kPlain ? plain : kClassColours[cls]);
            ExtTextOutW(dc, x0, 0, 0, nullptr, reinterpret_cast<const wchar_t*>(s.data() + i), UINT(j - i), nullptr);
        }
        i = j;
    }

    // The margin is drawn last, over text scrolled under it.
    if (e->margin_w) {
        draw_margin(e, line, sub);
    } else if (area.left > kPad) {
        fill(dc, 0, 0, area.left - kPad, e->line_h, GetSysColor(COLOR_WINDOW));
    }
}

}  // namespace

void view_init(Edit* e) {
    HDC screen = GetDC(e->wnd);
    e->row_dc = CreateCompatibleDC(screen);
    ReleaseDC(e->wnd, screen);
    e->wrap = !(GetWindowLongW(e->wnd, GWL_STYLE) & WS_HSCROLL);
}

void view_update_bars(Edit* e) {
    e->bars_posted = false;
    e->bar_v.set(e->wnd, SB_VERT, int(std::min<size_t>(e->total_rows, INT_MAX) - 1), view_visible_rows(e),
                 int(top_row(e)));
    if (!e->wrap && (GetWindowLongW(e->wnd, GWL_STYLE) & WS_HSCROLL))
        e->bar_h.set(e->wnd, SB_HORZ, e->extent + e->ave_w, area_width(e), e->x_scroll);
}

void view_free(Edit* e) {
    if (e->row_dc) DeleteDC(e->row_dc);
    if (e->row_bitmap) DeleteObject(e->row_bitmap);
    e->row_dc = nullptr;
    e->row_bitmap = nullptr;
}

int view_visible_rows(const Edit* e) {
    RECT r = text_area(e);
    return std::max(1, int(r.bottom - r.top) / std::max(e->line_h, 1));
}

void view_relayout(Edit* e) {
    SelectObject(e->row_dc, font_of(e));
    TEXTMETRICW tm;
    if (GetTextMetricsW(e->row_dc, &tm)) {
        e->line_h = std::max<int>(tm.tmHeight, 1);
        e->ave_w = std::max<int>(tm.tmAveCharWidth, 1);
    }
    e->tab_px = std::max(e->tab_chars, 1) * e->ave_w;
    e->margin_w = margin_width(e);
    size_t count = e->doc.line_count();
    e->total_rows = count;
    if (e->wrap) {
        e->wrap_rows.assign(count, 1);
        std::vector<size_t> breaks;
        measure_rows(e, 0, count - 1, breaks);
        e->x_scroll = 0;
    } else {
        e->wrap_rows.clear();
    }
    e->extent = columns_width(e, 0, count - 1);
    view_set_top(e, e->top_line, e->top_sub);
    if (e->focused) view_make_caret(e);
    InvalidateRect(e->wnd, nullptr, FALSE);
}

void view_text_changed(Edit* e, size_t first, size_t last, long added) {
    size_t count = e->doc.line_count();
    last = std::min(last, count - 1);
    first = std::min(first, last);
    if (e->wrap) {
        // Old lines [first, last - added] became [first, last].
        auto from = e->wrap_rows.begin() + long(first) + 1;
        if (added > 0) e->wrap_rows.insert(from, size_t(added), 0);
        if (added < 0) {
            for (auto it = from; it != from - added; ++it) e->total_rows -= *it;
            e->wrap_rows.erase(from, from - added);
        }
        std::vector<size_t> breaks;
        measure_rows(e, first, last, breaks);
    } else {
        e->total_rows = count;
    }
    e->extent = std::max(e->extent, columns_width(e, first, last));
    int margin = margin_width(e);
    long row = row_of_line(e, first), visible = view_visible_rows(e);
    if (margin != e->margin_w) {
        e->margin_w = margin;
        InvalidateRect(e->wnd, nullptr, FALSE);
    } else if (added != 0 && !e->wrap && row >= 0 && row < visible) {
        // Lines came or went: the text below moves as it is (one blit) and
        // only the edited lines are painted afresh. Line numbers belong to
        // rows, not lines: they change only where the text ends.
        RECT client, area = text_area(e);
        GetClientRect(e->wnd, &client);
        long old_next = row + long(last - first) + 1 - added;  // old row of the first line after the edit
        RECT moving = {e->margin_w, area.top + int(std::max(old_next, row + 1)) * e->line_h, client.right, area.bottom};
        RECT clip = {e->margin_w, area.top + int(row + 1) * e->line_h, client.right, area.bottom};
        ScrollWindowEx(e->wnd, 0, int(added) * e->line_h, &moving, &clip, nullptr, nullptr, SW_INVALIDATE);
        view_invalidate_lines(e, first, last);
        long end_row = long(count) - long(e->top_line) - std::abs(added);
        if (e->margin_w && end_row < visible) {
            RECT numbers = {0, area.top + int(std::max(end_row, 0L)) * e->line_h, e->margin_w, area.bottom};
            InvalidateRect(e->wnd, &numbers, FALSE);
        }
    } else if (added != 0 || first != last || e->wrap) {
        RECT r, area = text_area(e);
        GetClientRect(e->wnd, &r);
        r.top = std::max<long>(r.top, area.top + std::max(row, 0L) * e->line_h);
        if (row < visible) InvalidateRect(e->wnd, &r, FALSE);
    } else {
        view_invalidate_line(e, first);
    }
    if (e->top_line >= count) view_set_top(e, count - 1, 0);
    update_scroll_bars(e);
}

void view_set_top(Edit* e, size_t line, size_t sub) {
    size_t count = e->doc.line_count();
    if (line >= count) line = count - 1;
    if (sub >= rows_of(e, line)) sub = rows_of(e, line) - 1;
    // No further than the last row at the bottom.
    size_t last_line = count - 1, last_sub = rows_of(e, last_line) - 1;
    walk(e, &last_line, &last_sub, -(view_visible_rows(e) - 1));
    if (line > last_line || (line == last_line && sub > last_sub)) {
        line = last_line;
        sub = last_sub;
    }
    if (line != e->top_line || sub != e->top_sub) {
        // A move of less than a page shifts what is shown and paints only
        // the rows that come into view.
        long moved = e->wrap ? LONG_MAX : long(line) - long(e->top_line);
        long visible = view_visible_rows(e);
        e->top_line = line;
        e->top_sub = sub;
        if (moved > -visible && moved < visible) {
            RECT area = text_area(e), client;
            GetClientRect(e->wnd, &client);
            RECT rows = {client.left, area.top, client.right, area.top + visible * e->line_h};
            ScrollWindowEx(e->wnd, 0, int(-moved) * e->line_h, &rows, &rows, nullptr, nullptr, SW_INVALIDATE);
            RECT rest = {client.left, rows.bottom, client.right, client.bottom};  // the part row below the last
            InvalidateRect(e->wnd, &rest, FALSE);
        } else {
            InvalidateRect(e->wnd, nullptr, FALSE);
        }
    }
    update_scroll_bars(e);
    view_place_caret(e);
}

void view_scroll_rows(Edit* e, long rows) {
    size_t line = e->top_line, sub = e->top_sub;
    walk(e, &line, &sub, rows);
    view_set_top(e, line, sub);
}

void view_scroll_x(Edit* e, int x) {
    if (e->wrap) x = 0;
    int most = std::max(0, e->extent + e->ave_w - area_width(e));
    x = std::max(0, std::min(x, most));
    if (x == e->x_scroll) return;
    e->x_scroll = x;
    InvalidateRect(e->wnd, nullptr, FALSE);
    update_scroll_bars(e);
    view_place_caret(e);
}

void view_on_vscroll(Edit* e, int code) {
    long page = std::max(1, view_visible_rows(e) - 1);
    switch (code) {
    case SB_LINEUP: view_scroll_rows(e, -1); break;
    case SB_LINEDOWN: view_scroll_rows(e, 1); break;
    case SB_PAGEUP: view_scroll_rows(e, -page); break;
    case SB_PAGEDOWN: view_scroll_rows(e, page); break;
    case SB_TOP: view_set_top(e, 0, 0); break;
    case SB_BOTTOM: view_set_top(e, e->doc.line_count() - 1, 0); break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION: view_scroll_rows(e, long(track_position(e->wnd, SB_VERT)) - long(top_row(e))); break;
    }
}

void view_on_hscroll(Edit* e, int code) {
    int page = std::max(e->ave_w, area_width(e) - e->ave_w);
    switch (code) {
    case SB_LINELEFT: view_scroll_x(e, e->x_scroll - e->ave_w); break;
    case SB_LINERIGHT: view_scroll_x(e, e->x_scroll + e->ave_w); break;
    case SB_PAGELEFT: view_scroll_x(e, e->x_scroll - page); break;
    case SB_PAGERIGHT: view_scroll_x(e, e->x_scroll + page); break;
    case SB_LEFT: view_scroll_x(e, 0); break;
    case SB_RIGHT: view_scroll_x(e, e->extent); break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION: view_scroll_x(e, track_position(e->wnd, SB_HORZ)); break;
    }
}

void view_point_of(Edit* e, size_t offset, int* x, long* row) {
    size_t line = e->doc.line_of(offset);
    measure_line(e, line);
    size_t col = std::min(offset - e->doc.line_start(line), e->line_text.size());
    size_t sub = 0;
    if (e->wrap) {
        std::vector<size_t> breaks;
        wrap_breaks(e, breaks);
        while (sub + 1 < breaks.size() && breaks[sub + 1] <= col) ++sub;
        *x = e->xs[col] - e->xs[breaks[sub]];
    } else {
        *x = e->xs[col] - e->x_scroll;
    }
    *row = row_of_line(e, line) + long(sub);
}

void view_scroll_to_caret(Edit* e) {
    int x;
    long row;
    view_point_of(e, e->caret, &x, &row);
    long visible = view_visible_rows(e);
    if (row < 0) view_scroll_rows(e, row);
    if (row >= visible) view_scroll_rows(e, row - visible + 1);
    if (!e->wrap) {
        int width = area_width(e), step = std::max(width / 4, e->ave_w);
        if (x < 0) view_scroll_x(e, std::max(0, e->x_scroll + x - step));
        if (x >= width - e->ave_w) view_scroll_x(e, e->x_scroll + x - width + step);
        if (x + e->x_scroll > e->extent) {
            e->extent = x + e->x_scroll;
            update_scroll_bars(e);
        }
    }
    view_place_caret(e);
}

void view_scroll_line_into_view(Edit* e, size_t line) {
    long row = row_of_line(e, line), visible = view_visible_rows(e);
    if (row < 0) view_scroll_rows(e, row);
    if (row >= visible) view_scroll_rows(e, row - visible + long(rows_of(e, line)));
}

void view_make_caret(Edit* e) {
    DestroyCaret();
    CreateCaret(e->wnd, nullptr, e->overwrite ? e->ave_w : 2, e->line_h);
    view_place_caret(e);
    ShowCaret(e->wnd);
}

void view_place_caret(Edit* e) {
    if (!e->focused) return;
    int x;
    long row;
    view_point_of(e, e->caret, &x, &row);
    RECT area = text_area(e);
    bool visible = row >= 0 && row < view_visible_rows(e) && x >= 0 && x <= area.right - area.left;
    POINT p = {visible ? area.left + x : -10000, visible ? area.top + int(row) * e->line_h : -10000};
    SetCaretPos(p.x, p.y);
    // The IME's composition window follows the caret while it is open.
    if (!e->composing) return;
    if (HIMC imc = ImmGetContext(e->wnd)) {
        COMPOSITIONFORM cf = {CFS_POINT, p, {}};
        ImmSetCompositionWindow(imc, &cf);
        ImmReleaseContext(e->wnd, imc);
    }
}

void view_invalidate_line(Edit* e, size_t line) { view_invalidate_lines(e, line, line); }

void view_invalidate_lines(Edit* e, size_t first, size_t last) {
    long visible = view_visible_rows(e);
    if (long(first) - long(e->top_line) > visible) return;  // below the window (rows >= lines)
    long top = row_of_line(e, first);
    long bottom = last + 1 < e->doc.line_count() && long(last) - long(e->top_line) <= visible
                      ? row_of_line(e, last + 1)
                      : visible + 1;
    if (bottom <= 0 || top > visible) return;
    RECT r, area = text_area(e);
    GetClientRect(e->wnd, &r);
    r.top = area.top + std::max(top, -1L) * e->line_h;
    r.bottom = area.top + std::min(bottom, visible + 1) * e->line_h;
    InvalidateRect(e->wnd, &r, FALSE);
}

RECT view_text_area(const Edit* e) { return text_area(e); }

size_t view_offset_at(Edit* e, POINT p, bool* margin) {
    RECT area = text_area(e);
    *margin = e->margin_w > 0 && p.x < area.left - kPad;
    long row = p.y >= area.top ? (p.y - area.top) / e->line_h : -1 - (area.top - p.y - 1) / e->line_h;
    size_t line = e->top_line, sub = e->top_sub;
    walk(e, &line, &sub, row);
    measure_line(e, line);
    std::vector<size_t> breaks;
    wrap_breaks(e, breaks);
    size_t n = e->line_text.size();
    size_t rb = breaks[sub], re = sub + 1 < breaks.size() ? breaks[sub + 1] : n;
    int x = p.x - area.left + (e->wrap ? e->xs[rb] : e->x_scroll);
    size_t col = rb;
    while (col < re && x > (e->xs[col] + e->xs[col + 1]) / 2) ++col;
    if (col < n && is_low(e->line_text[col]) && col > rb) --col;
    if (col == re && re < n && sub + 1 < breaks.size() && col > rb) --col;  // stay on this row
    return e->doc.line_start(line) + col;
}

size_t view_offset_rows_away(Edit* e, long rows, int x) {
    int cx;
    long row;
    view_point_of(e, e->caret, &cx, &row);
    RECT area = text_area(e);
    POINT p = {area.left + x, LONG(area.top + (row + rows) * e->line_h + e->line_h / 2)};
    bool margin;
    return view_offset_at(e, p, &margin);
}

void view_paint(Edit* e) {
    // Rows whose text is clean (only their line numbers moved) get only
    // their margin drawn.
    HRGN dirty = CreateRectRgn(0, 0, 0, 0);
    if (dirty && GetUpdateRgn(e->wnd, dirty, FALSE) == ERROR) {
        DeleteObject(dirty);
        dirty = nullptr;
    }
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(e->wnd, &ps);
    RECT client;
    GetClientRect(e->wnd, &client);
    int width = client.right - client.left;
    ensure_row_bitmap(e, width);
    RECT area = text_area(e);
    if (ps.rcPaint.top < area.top) fill(dc, client.left, client.top, client.right, area.top, GetSysColor(COLOR_WINDOW));
    size_t count = e->doc.line_count();
    std::vector<size_t> breaks;
    int y = area.top;
    size_t line = e->top_line, sub = e->top_sub;
    while (y < ps.rcPaint.bottom && y < area.bottom && line < count) {
        int rows = int(rows_of(e, line) - sub);
        if (y + rows * e->line_h <= ps.rcPaint.top) {  // above what needs painting
            y += rows * e->line_h;
            ++line;
            sub = 0;
            continue;
        }
        bool measured = false;
        for (; sub < size_t(rows_of(e, line)) && y < area.bottom; ++sub, y += e->line_h) {
            if (y + e->line_h <= ps.rcPaint.top || y >= ps.rcPaint.bottom) continue;
            RECT text = {e->margin_w, y, width, y + e->line_h};
            if (e->margin_w && dirty && !RectInRegion(dirty, &text)) {
                draw_margin(e, line, sub);
                BitBlt(dc, 0, y, e->margin_w, e->line_h, e->row_dc, 0, 0, SRCCOPY);
                continue;
            }
            if (!measured) {
                measure_line(e, line);
                wrap_breaks(e, breaks);
                measured = true;
            }
            draw_row(e, line, breaks, sub, width);
            BitBlt(dc, 0, y, width, e->line_h, e->row_dc, 0, 0, SRCCOPY);
        }
        ++line;
        sub = 0;
    }
    if (y < client.bottom) {
        fill(dc, client.left, y, client.right, client.bottom, GetSysColor(COLOR_WINDOW));
        if (e->margin_w) fill(dc, e->margin_w - 1, y, e->margin_w, client.bottom, GetSysColor(COLOR_BTNSHADOW));
    }
    EndPaint(e->wnd, &ps);
    if (dirty) DeleteObject(dirty);
}

}  // namespace zvs
