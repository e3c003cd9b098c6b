#include "scenario_list.h"

#include <vector>

#include "dpi.h"
#include "icons.h"
#include "ids.h"
#include "paint_buffer.h"
#include "scenario.h"
#include "strings.h"
#include "tooltip.h"
#include "window_class.h"

namespace zvb {

namespace {

using zv::ui::scale;

constexpr int kIndent = 26, kExpandBox = 16, kIconSize = 16;
constexpr UINT_PTR kScrollTimer = 1, kExpandTimer = 2;
constexpr int kNoDrop = -2;

struct Row {
    ScenarioEntry* entry;
    int depth;
};

struct List {
    HWND window = nullptr, parent = nullptr, tip = nullptr;
    ScenarioEntry* root = nullptr;
    std::vector<Row> rows;
    int scroll = 0;     // pixels above the client area
    int selected = -1;  // -1: no selection
    int hover = -1;
    int button = 0;  // row button under the mouse: 0, kPlayButton, kEditButton
    bool tracking = false;
    // A press and the drag it may become.
    bool pressed = false, right = false, dragging = false, cancelled = false;
    POINT press = {};
    int pressed_row = -1, pressed_button = 0;
    ScenarioEntry* dragged = nullptr;
    int drop = kNoDrop;  // -1 above the first row, n below row n
    int under = -1;      // the row under the cursor while dragging
    bool ctrl = false, shift = false;  // as the last mouse message or key change saw them
    bool deselect_on_release = false;  // a press on the selected row: toggled off unless it drags
    HICON icons[3] = {};
    HFONT name_font = nullptr, small_font = nullptr;
};

List* list_of(HWND w) { return reinterpret_cast<List*>(GetWindowLongPtrW(w, GWLP_USERDATA)); }

int row_height() { return scale(kRowHeight); }

int client_height(const List* l) {
    RECT r;
    GetClientRect(l->window, &r);
    return r.bottom;
}

int client_width(const List* l) {
    RECT r;
    GetClientRect(l->window, &r);
    return r.right;
}

int row_count(const List* l) { return int(l->rows.size()); }

// The row at a client y, or -1 below the last row.
int row_at(const List* l, int y) {
    if (y < 0) return -1;
    int row = (y + l->scroll) / row_height();
    return row < row_count(l) ? row : -1;
}

int row_top(const List* l, int row) { return row * row_height() - l->scroll; }

ScenarioEntry* entry_at(const List* l, int row) {
    return row >= 0 && row < row_count(l) ? l->rows[size_t(row)].entry : nullptr;
}

int row_of(const List* l, const ScenarioEntry* e) {
    for (int i = 0; i < row_count(l); ++i)
        if (l->rows[size_t(i)].entry == e) return i;
    return -1;
}

bool busy(const List* l) {
    for (const Row& r : l->rows)
        if (r.entry->playing) return true;
    return false;
}

void add_rows(List* l, ScenarioEntry* head, int depth) {
    for (ScenarioEntry* e = head ? head->next : nullptr; e; e = e->next) {
        l->rows.push_back({e, depth});
        if (e->type == kTypeGroup && e->expanded) add_rows(l, e->child, depth + 1);
    }
}

// The rows' buttons: drawn on the selected row, or on the hover row when
// nothing is selected.
int button_row(const List* l) { return l->selected >= 0 ? l->selected : l->hover; }

RECT button_rect(const List* l, int row, int which) {
    int size = scale(kRowButtonSize), margin = scale(10);
    int x = client_width(l) - size - margin;
    if (which == kPlayButton) x -= size + margin;
    int y = row_top(l, row) + (row_height() - size) / 2;
    return RECT{x, y, x + size, y + size};
}

int button_at(const List* l, int row, POINT p) {
    if (row < 0 || row != button_row(l)) return 0;
    for (int which : {kPlayButton, kEditButton}) {
        RECT r = button_rect(l, row, which);
        if (PtInRect(&r, p)) return which;
    }
    return 0;
}

bool on_expand_box(const List* l, int row, int x) {
    const Row& r = l->rows[size_t(row)];
    int left = scale(kIndent * r.depth);
    return r.entry->type == kTypeGroup && x >= left && x < left + scale(kExpandBox + 10);
}

void update_scroll_bar(List* l) {
    int total = row_count(l) * row_height(), page = client_height(l);
    int most = total > page ? total - page : 0;
    if (l->scroll > most) l->scroll = most;
    if (l->scroll < 0) l->scroll = 0;
    SCROLLINFO si = {sizeof si, SIF_RANGE | SIF_PAGE | SIF_POS | SIF_DISABLENOSCROLL, 0, total > 0 ? total - 1 : 0,
                     UINT(page), l->scroll, 0};
    SetScrollInfo(l->window, SB_VERT, &si, TRUE);
}

void scroll_to(List* l, int pixels) {
    l->scroll = pixels;
    update_scroll_bar(l);
    InvalidateRect(l->window, nullptr, FALSE);
}

void scroll_into_view(List* l, int row) {
    if (row < 0 || row >= row_count(l)) return;
    int top = row * row_height(), bottom = top + row_height(), page = client_height(l);
    if (top < l->scroll)
        scroll_to(l, top);
    else if (bottom > l->scroll + page)
        scroll_to(l, bottom - page);
}

void renumber(List* l) {
    ScenarioEntry* selected = entry_at(l, l->selected);
    l->rows.clear();
    add_rows(l, l->root, 0);
    l->selected = selected ? row_of(l, selected) : -1;
    if (l->hover >= row_count(l)) l->hover = -1;
    update_scroll_bar(l);
    InvalidateRect(l->window, nullptr, FALSE);
}

void select(List* l, int row) {
    l->selected = row >= 0 && row < row_count(l) ? row : -1;
    scroll_into_view(l, l->selected);
    InvalidateRect(l->window, nullptr, FALSE);
    SendMessageW(l->parent, WM_ZV_SELECTION_CHANGED, 0, 0);
}

void expand(List* l, int row, bool open) {
    ScenarioEntry* e = entry_at(l, row);
    if (!e || e->type != kTypeGroup || bool(e->expanded) == open) return;
    e->expanded = open;
    renumber(l);
    if (!open) return;
    // The members come into view first, then the group itself.
    int last = row;
    while (last + 1 < row_count(l) && l->rows[size_t(last + 1)].depth > l->rows[size_t(row)].depth) ++last;
    scroll_into_view(l, last);
    scroll_into_view(l, row);
}

// Ancestors are expanded so that the entry gets a row.
void reveal(List* l, ScenarioEntry* e) {
    TreePlace place;
    for (const ScenarioEntry* at = e; tree_find_place(l->root, at, &place) && place.group; at = place.group)
        place.group->expanded = 1;
    renumber(l);
}

void show_tip(List* l, int row) {
    const wchar_t* none = L"";
    std::wstring text;
    bool is_busy = busy(l);
    if (l->button == kPlayButton)
        text = zv::ui::load_string(is_busy ? IDS_TIP_STOP : IDS_TIP_PLAY);
    else if (l->button == kEditButton && !is_busy)
        text = zv::ui::load_string(entry_at(l, row)->type == kTypeGroup ? IDS_TIP_EDIT_GROUP : IDS_TIP_EDIT);
    if (text.empty()) {
        SendMessageW(l->tip, kTipHide, 0, 0);
        return;
    }
    TipRequest request = {text.empty() ? none : text.c_str(), 0, 0, 0};
    SendMessageW(l->tip, kTipShow, 500, reinterpret_cast<LPARAM>(&request));
}

// ---- dragging ------------------------------------------------------------------

void set_drag_cursor(const List* l) {
    DragCursor c = l->drop == kNoDrop ? DragCursor::kNoDrop
                   : l->ctrl          ? DragCursor::kCopy
                   : l->shift         ? DragCursor::kGroup
                                      : DragCursor::kMove;
    SetCursor(drag_cursor(c));
}

// The drop position for a cursor at p: below the row under it, or below the
// row before it in the row's upper half; none outside the rows.
void track_drop(List* l, POINT p) {
    RECT client;
    GetClientRect(l->window, &client);
    int row = PtInRect(&client, p) ? row_at(l, p.y) : -1;
    int old_under = l->under;
    l->under = row;
    l->drop = row < 0 ? kNoDrop : (p.y - row_top(l, row) < row_height() / 2 ? row - 1 : row);
    if (row != old_under) {
        KillTimer(l->window, kExpandTimer);
        if (entry_at(l, row) && entry_at(l, row)->type == kTypeGroup) SetTimer(l->window, kExpandTimer, 1000, nullptr);
    }
    bool outside = p.y < 0 || p.y >= client.bottom;
    if (outside)
        SetTimer(l->window, kScrollTimer, 50, nullptr);
    else
        KillTimer(l->window, kScrollTimer);
    set_drag_cursor(l);
    InvalidateRect(l->window, nullptr, FALSE);
}

void end_drag(List* l) {
    KillTimer(l->window, kScrollTimer);
    KillTimer(l->window, kExpandTimer);
    l->dragging = false;
    l->pressed = false;
    if (GetCapture() == l->window) ReleaseCapture();
    SetCursor(LoadCursorW(nullptr, IDC_ARROW));
    InvalidateRect(l->window, nullptr, FALSE);
}

// The entry's own place: dropping below its own row or below the row
// before it leaves everything as it is.
bool own_place(const List* l, int drop) {
    int own = row_of(l, l->dragged);
    return drop == own || drop == own - 1;
}

void drop_with_left(List* l) {
    int drop = l->drop, under = l->under;
    ScenarioEntry* e = l->dragged;
    bool cancelled = l->cancelled;
    bool copy = l->ctrl, group = l->shift;
    end_drag(l);
    if (cancelled || drop == kNoDrop || !e) return;
    LPARAM entry = reinterpret_cast<LPARAM>(e);
    if (copy)
        SendMessageW(l->parent, WM_ZV_COPY_TO, WPARAM(drop), entry);
    else if (group) {
        if (under >= 0 && entry_at(l, under) != e) SendMessageW(l->parent, WM_ZV_GROUP_WITH, WPARAM(under), entry);
    } else if (!own_place(l, drop))
        SendMessageW(l->parent, WM_ZV_MOVE_TO, WPARAM(drop), entry);
}

void drop_with_right(List* l) {
    int drop = l->drop, under = l->under;
    ScenarioEntry* e = l->dragged;
    bool cancelled = l->cancelled;
    end_drag(l);
    if (cancelled || drop == kNoDrop || !e) return;
    HMENU menu = LoadMenuW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDM_DROP));
    HMENU popup = GetSubMenu(menu, 0);
    if (own_place(l, drop)) EnableMenuItem(popup, WM_ZV_MOVE_TO, MF_BYCOMMAND | MF_GRAYED);
    if (entry_at(l, under) == e) {
        std::wstring text = zv::ui::load_string(IDS_GROUP_ONLY);
        ModifyMenuW(popup, WM_ZV_GROUP_WITH, MF_BYCOMMAND | MF_STRING, WM_ZV_GROUP_WITH, text.c_str());
    }
    if (under < 0) EnableMenuItem(popup, WM_ZV_GROUP_WITH, MF_BYCOMMAND | MF_GRAYED);
    POINT p;
    GetCursorPos(&p);
    UINT chosen = UINT(TrackPopupMenu(popup, TPM_RETURNCMD | TPM_RIGHTBUTTON, p.x, p.y, 0, l->window, nullptr));
    DestroyMenu(menu);
    LPARAM entry = reinterpret_cast<LPARAM>(e);
    if (chosen == WM_ZV_COPY_TO || chosen == WM_ZV_MOVE_TO) SendMessageW(l->parent, chosen, WPARAM(drop), entry);
    if (chosen == WM_ZV_GROUP_WITH) SendMessageW(l->parent, chosen, WPARAM(under), entry);
}

// ---- painting ------------------------------------------------------------------

COLORREF blend(COLORREF a, COLORREF b, int percent_a) {
    auto mix = [&](int x, int y) { return (x * percent_a + y * (100 - percent_a)) / 100; };
    return RGB(mix(GetRValue(a), GetRValue(b)), mix(GetGValue(a), GetGValue(b)), mix(GetBValue(a), GetBValue(b)));
}

void fill(HDC dc, const RECT& r, COLORREF c) {
    SetBkColor(dc, c);
    ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &r, nullptr, 0, nullptr);
}

int line_height(HDC dc, HFONT font) {
    HGDIOBJ old = SelectObject(dc, font);
    TEXTMETRICW tm;
    GetTextMetricsW(dc, &tm);
    SelectObject(dc, old);
    return tm.tmHeight;
}

void draw_expand_box(HDC dc, int x, int mid, bool open, COLORREF color) {
    int s = scale(5);
    POINT p[3];
    if (open)
        p[0] = {x, mid - s / 2}, p[1] = {x + 2 * s, mid - s / 2}, p[2] = {x + s, mid + s / 2 + 1};
    else
        p[0] = {x + s / 2, mid - s}, p[1] = {x + s / 2, mid + s}, p[2] = {x + s / 2 + s, mid};
    HBRUSH brush = CreateSolidBrush(color);
    HPEN pen = CreatePen(PS_SOLID, 1, color);
    HGDIOBJ ob = SelectObject(dc, brush), op = SelectObject(dc, pen);
    Polygon(dc, p, 3);
    SelectObject(dc, ob);
    SelectObject(dc, op);
    DeleteObject(brush);
    DeleteObject(pen);
}

void draw_row_button(HDC dc, const RECT& r, int which, bool playing, bool hot, bool group) {
    COLORREF face = hot ? GetSysColor(COLOR_HIGHLIGHT) : GetSysColor(COLOR_BTNFACE);
    COLORREF mark = hot ? GetSysColor(COLOR_HIGHLIGHTTEXT) : RGB(60, 60, 60);
    HBRUSH brush = CreateSolidBrush(face);
    HPEN pen = CreatePen(PS_SOLID, 1, GetSysColor(COLOR_BTNSHADOW));
    HGDIOBJ ob = SelectObject(dc, brush), op = SelectObject(dc, pen);
    RoundRect(dc, r.left, r.top, r.right, r.bottom, scale(10), scale(10));
    SelectObject(dc, ob);
    SelectObject(dc, op);
    DeleteObject(brush);
    DeleteObject(pen);
    int cx = (r.left + r.right) / 2, cy = (r.top + r.bottom) / 2, s = scale(10);
    brush = CreateSolidBrush(playing && which == kPlayButton && !hot ? RGB(200, 40, 40) : mark);
    pen = CreatePen(PS_SOLID, scale(2), mark);
    ob = SelectObject(dc, brush);
    op = SelectObject(dc, GetStockObject(NULL_PEN));
    if (which == kPlayButton && playing) {
        Rectangle(dc, cx - s + 2, cy - s + 2, cx + s - 1, cy + s - 1);
    } else if (which == kPlayButton) {
        POINT p[3] = {{cx - s / 2 - 1, cy - s}, {cx - s / 2 - 1, cy + s}, {cx + s, cy}};
        Polygon(dc, p, 3);
    } else if (group) {
        // Three option lines for a group's settings.
        SelectObject(dc, pen);
        for (int i = -1; i <= 1; ++i) {
            MoveToEx(dc, cx - s, cy + i * s * 2 / 3, nullptr);
            LineTo(dc, cx + s, cy + i * s * 2 / 3);
        }
    } else {
        // A pencil.
        POINT p[4] = {{cx - s, cy + s - 3}, {cx + s - 3, cy - s}, {cx + s, cy - s + 3}, {cx - s + 3, cy + s}};
        Polygon(dc, p, 4);
    }
    SelectObject(dc, ob);
    SelectObject(dc, op);
    DeleteObject(brush);
    DeleteObject(pen);
}

void paint_row(List* l, HDC dc, int row, int width, bool focused) {
    const Row& r = l->rows[size_t(row)];
    ScenarioEntry* e = r.entry;
    int top = row_top(l, row), h = row_height();
    bool selected = row == l->selected;
    bool highlighted = selected && focused;
    COLORREF back = highlighted  ? GetSysColor(COLOR_HIGHLIGHT)
                    : selected   ? GetSysColor(COLOR_3DLIGHT)
                    : row == l->hover ? blend(GetSysColor(COLOR_HIGHLIGHT), GetSysColor(COLOR_WINDOW), 18)
                                      : GetSysColor(COLOR_WINDOW);
    RECT rr = {0, top, width, top + h};
    fill(dc, rr, back);
    RECT line = {0, top + h - 1, width, top + h};
    fill(dc, line, GetSysColor(COLOR_3DLIGHT));

    COLORREF text = highlighted ? GetSysColor(COLOR_HIGHLIGHTTEXT) : GetSysColor(COLOR_WINDOWTEXT);
    COLORREF gray = selected ? text : GetSysColor(COLOR_GRAYTEXT);

    // The second line: call key and repeat count.
    std::wstring second;
    if (e->hotkey_text && *e->hotkey_text) second = reinterpret_cast<const wchar_t*>(e->hotkey_text);
    if (e->loop_count != 1) {
        if (!second.empty()) second += L" , ";
        second += zv::ui::format_string(IDS_REPEAT_TIMES, e->loop_count);
    }
    int name_h = line_height(dc, l->name_font);
    int name_top = second.empty() ? top + (h - name_h) / 2 : top + scale(10);
    int mid = name_top + name_h / 2;

    int x = scale(10 + kIndent * r.depth);
    if (e->type == kTypeGroup) draw_expand_box(dc, x + scale(3), mid, e->expanded, highlighted ? text : gray);
    x += scale(kExpandBox + 4);
    int icon = scale(kIconSize);
    if (e->type >= 0 && e->type <= 2 && l->icons[e->type])
        DrawIconEx(dc, x, mid - icon / 2, l->icons[e->type], icon, icon, 0, nullptr, DI_NORMAL);
    x += icon + scale(10);

    bool buttons = row == button_row(l);
    int right = buttons ? button_rect(l, row, kPlayButton).left - scale(10) : width - scale(10);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, text);
    HGDIOBJ old = SelectObject(dc, l->name_font);
    RECT name = {x, name_top, right, name_top + name_h};
    DrawTextW(dc, reinterpret_cast<const wchar_t*>(e->name), -1, &name,
              DT_SINGLELINE | DT_WORD_ELLIPSIS | DT_NOPREFIX | DT_LEFT | DT_TOP);
    if (!second.empty()) {
        SelectObject(dc, l->small_font);
        SetTextColor(dc, gray);
        RECT below = {x, name_top + name_h, right, top + h - scale(10)};
        DrawTextW(dc, second.c_str(), -1, &below, DT_SINGLELINE | DT_WORD_ELLIPSIS | DT_NOPREFIX | DT_BOTTOM);
    }
    SelectObject(dc, old);
    if (buttons)
        for (int which : {kPlayButton, kEditButton})
            draw_row_button(dc, button_rect(l, row, which), which, e->playing, l->button == which && !l->dragging,
                            e->type == kTypeGroup);
}

void paint_drop_marker(List* l, HDC dc, int width) {
    if (!l->dragging || l->drop == kNoDrop) return;
    HBRUSH brush = CreateSolidBrush(GetSysColor(COLOR_HIGHLIGHT));
    if (l->shift && !l->ctrl && l->under >= 0) {
        RECT r = {0, row_top(l, l->under), width, row_top(l, l->under) + row_height()};
        for (int i = 0; i < scale(2); ++i, InflateRect(&r, -1, -1)) FrameRect(dc, &r, brush);
    } else {
        int y = row_top(l, l->drop + 1);
        RECT r = {scale(4), y - scale(1), width - scale(4), y + scale(2)};
        FillRect(dc, &r, brush);
    }
    DeleteObject(brush);
}

void paint(List* l) {
    zv::ui::PaintBuffer paint(l->window);
    HDC dc = paint.dc();
    const RECT& client = paint.client();
    fill(dc, client, GetSysColor(COLOR_WINDOW));
    bool focused = GetFocus() == l->window;
    int first = l->scroll / row_height();
    int last = (l->scroll + client.bottom) / row_height();
    for (int row = first; row <= last && row < row_count(l); ++row) paint_row(l, dc, row, client.right, focused);
    paint_drop_marker(l, dc, client.right);
}

// ---- input ---------------------------------------------------------------------

void on_button_down(List* l, POINT p, bool right) {
    bool had_focus = GetFocus() == l->window;
    SetFocus(l->window);
    int row = row_at(l, p.y);
    l->pressed = true;
    l->right = right;
    l->press = p;
    SetCapture(l->window);  // a press that leaves the list quickly still drags
    l->pressed_row = row;
    l->pressed_button = button_at(l, row, p);
    if (busy(l)) return;  // only the stop button works while playing
    if (!right && row >= 0 && on_expand_box(l, row, p.x)) {
        expand(l, row, !l->rows[size_t(row)].entry->expanded);
        l->pressed = false;
        return;
    }
    l->deselect_on_release = false;
    if (row < 0)
        select(l, -1);
    else if (row != l->selected)
        select(l, row);
    else if (!right && had_focus && !l->pressed_button)
        l->deselect_on_release = true;  // unless the press becomes a drag of this row
    if (l->pressed_button) InvalidateRect(l->window, nullptr, FALSE);
}

void on_mouse_move(List* l, POINT p) {
    if (l->dragging) {
        track_drop(l, p);
        return;
    }
    if (l->pressed && (p.x != l->press.x || p.y != l->press.y) && !busy(l) && l->selected >= 0 &&
        !l->pressed_button) {
        l->dragging = true;
        l->cancelled = false;
        l->deselect_on_release = false;
        l->dragged = entry_at(l, l->selected);
        SendMessageW(l->tip, kTipHide, 0, 0);
        SetCapture(l->window);
        track_drop(l, p);
        return;
    }
    if (!l->tracking) {
        TRACKMOUSEEVENT track = {sizeof track, TME_LEAVE, l->window, 0};
        l->tracking = TrackMouseEvent(&track) != FALSE;
    }
    int row = row_at(l, p.y);
    bool is_busy = busy(l);
    if (is_busy) row = l->selected;  // while playing the hover stays on the played row
    if (row != l->hover) {
        l->hover = row;
        InvalidateRect(l->window, nullptr, FALSE);
    }
    int button = button_at(l, row_at(l, p.y), p);
    if (button != l->button) {
        l->button = button;
        show_tip(l, row_at(l, p.y));
        InvalidateRect(l->window, nullptr, FALSE);
    }
}

void on_left_up(List* l, POINT p) {
    if (l->dragging) {
        track_drop(l, p);  // the release's own position decides
        return drop_with_left(l);
    }
    bool was_pressed = l->pressed;
    l->pressed = false;
    if (GetCapture() == l->window) ReleaseCapture();
    if (l->deselect_on_release) {
        l->deselect_on_release = false;
        select(l, -1);
        return;
    }
    int row = row_at(l, p.y);
    if (!was_pressed || row < 0 || row != l->pressed_row) return;
    int button = button_at(l, row, p);
    if (!button || button != l->pressed_button) return;
    if (!busy(l) && row != l->selected) select(l, row);
    SendMessageW(l->parent, button == kPlayButton ? WM_ZV_PLAY_SELECTED : WM_ZV_EDIT_SELECTED, 0, 0);
}

void on_right_up(List* l, POINT p) {
    if (l->dragging) {
        track_drop(l, p);
        return drop_with_right(l);
    }
    l->pressed = false;
    if (GetCapture() == l->window) ReleaseCapture();
    if (!busy(l)) SendMessageW(l->parent, WM_ZV_CONTEXT_MENU, 0, 0);
}

void on_key(List* l, WPARAM key, LPARAM flags) {
    if (l->dragging) {
        if (key == VK_ESCAPE) {
            l->cancelled = true;
            end_drag(l);
        } else if (key == VK_CONTROL || key == VK_SHIFT) {
            l->ctrl = GetAsyncKeyState(VK_CONTROL) < 0;
            l->shift = GetAsyncKeyState(VK_SHIFT) < 0;
            set_drag_cursor(l);
            InvalidateRect(l->window, nullptr, FALSE);
        }
        return;
    }
    if (busy(l)) return;
    int n = row_count(l), page = client_height(l) / row_height();
    if (page < 1) page = 1;
    int at = l->selected;
    auto move_to = [&](int row) {
        if (n == 0) return;
        select(l, row < 0 ? 0 : row >= n ? n - 1 : row);
    };
    switch (key) {
    case VK_UP: move_to(at < 0 ? 0 : at - 1); break;
    case VK_DOWN: move_to(at < 0 ? 0 : at + 1); break;
    case VK_PRIOR: move_to(at < 0 ? 0 : at - page); break;
    case VK_NEXT: move_to(at < 0 ? 0 : at + page); break;
    case VK_HOME: move_to(0); break;
    case VK_END: move_to(n - 1); break;
    case VK_LEFT: expand(l, at, false); break;
    case VK_RIGHT: expand(l, at, true); break;
    case VK_SPACE:
        if (!(flags & (1 << 30))) select(l, at >= 0 ? -1 : (l->hover >= 0 ? l->hover : 0));
        break;
    case VK_ESCAPE: select(l, -1); break;
    default: break;
    }
}

void on_timer(List* l, UINT_PTR id) {
    if (!l->dragging) {
        KillTimer(l->window, id);
        return;
    }
    POINT p;
    GetCursorPos(&p);
    ScreenToClient(l->window, &p);
    if (id == kScrollTimer) {
        // One row at a time, the drop position with it.
        int h = client_height(l);
        if (p.y < 0 && l->scroll > 0) {
            scroll_to(l, l->scroll - row_height() < 0 ? 0 : l->scroll - row_height());
            int first = l->scroll / row_height();
            l->under = first;
            l->drop = first - 1;
        } else if (p.y >= h) {
            scroll_to(l, l->scroll + row_height());
            int last = (l->scroll + h) / row_height() - 1;
            if (last >= row_count(l)) last = row_count(l) - 1;
            l->under = last;
            l->drop = last;
        }
        set_drag_cursor(l);
        InvalidateRect(l->window, nullptr, FALSE);
    } else if (id == kExpandTimer) {
        KillTimer(l->window, kExpandTimer);
        ScenarioEntry* e = entry_at(l, l->under);
        if (e && e->type == kTypeGroup) {
            e->expanded = !e->expanded;
            renumber(l);
            track_drop(l, p);
        }
    }
}

void make_fonts(List* l) {
    NONCLIENTMETRICSW m = {};
    m.cbSize = sizeof m;
    SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof m, &m, 0);
    LOGFONTW f = m.lfMessageFont;
    f.lfHeight = -scale(16);
    l->name_font = CreateFontIndirectW(&f);
    f.lfHeight = -scale(12);
    l->small_font = CreateFontIndirectW(&f);
}

LRESULT CALLBACK list_proc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
    List* l = list_of(w);
    POINT p = {short(LOWORD(lp)), short(HIWORD(lp))};
    if (l && msg >= WM_MOUSEFIRST && msg <= WM_MBUTTONDBLCLK) {
        // The keys held with the mouse message, or held now: the keyboard's
        // messages may go to another window's thread while the list drags.
        l->ctrl = (wp & MK_CONTROL) || GetAsyncKeyState(VK_CONTROL) < 0;
        l->shift = (wp & MK_SHIFT) || GetAsyncKeyState(VK_SHIFT) < 0;
    }
    switch (msg) {
    case WM_NCCREATE: {
        auto* cs = reinterpret_cast<CREATESTRUCTW*>(lp);
        l = new List;
        l->window = w;
        l->parent = cs->hwndParent;
        auto* args = static_cast<void**>(cs->lpCreateParams);
        l->root = static_cast<ScenarioEntry*>(args[0]);
        l->tip = static_cast<HWND>(args[1]);
        SetWindowLongPtrW(w, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(l));
        make_fonts(l);
        const Picture types[3] = {Picture::kTimeline, Picture::kScript, Picture::kGroup};
        for (int i = 0; i < 3; ++i) l->icons[i] = make_icon(types[i], scale(kIconSize));
        break;
    }
    case WM_CREATE:
        renumber(l);
        return 0;
    case WM_NCDESTROY:
        if (l) {
            for (HICON icon : l->icons)
                if (icon) DestroyIcon(icon);
            DeleteObject(l->name_font);
            DeleteObject(l->small_font);
            delete l;
        }
        SetWindowLongPtrW(w, GWLP_USERDATA, 0);
        break;
    case LM_GET_SELECTED: return reinterpret_cast<LRESULT>(entry_at(l, l->selected));
    case LM_GET_SELECTED_ROW: return l->selected;
    case LM_GET_ROW_COUNT: return row_count(l);
    case LM_SELECT_ENTRY:
        if (!busy(l) && lp) {
            reveal(l, reinterpret_cast<ScenarioEntry*>(lp));
            select(l, row_of(l, reinterpret_cast<ScenarioEntry*>(lp)));
        }
        return 0;
    case LM_SELECT_ROW:
        if (!busy(l)) select(l, int(lp));
        return 0;
    case LM_REBUILD:
        if (l->dragging) end_drag(l);
        renumber(l);
        if (busy(l)) l->hover = l->selected;
        return 0;
    case LM_SHOW_SELECTION:
        scroll_into_view(l, l->selected);
        return 0;
    case LM_ENTRY_AT: return reinterpret_cast<LRESULT>(entry_at(l, int(lp)));
    case WM_SIZE:
        update_scroll_bar(l);
        InvalidateRect(w, nullptr, FALSE);
        return 0;
    case WM_VSCROLL: {
        SCROLLINFO si = {};
        si.cbSize = sizeof si;
        si.fMask = SIF_ALL;
        GetScrollInfo(w, SB_VERT, &si);
        int pos = l->scroll;
        switch (LOWORD(wp)) {
        case SB_LINEUP: pos -= row_height(); break;
        case SB_LINEDOWN: pos += row_height(); break;
        case SB_PAGEUP: pos -= client_height(l); break;
        case SB_PAGEDOWN: pos += client_height(l); break;
        case SB_THUMBTRACK:
        case SB_THUMBPOSITION: pos = si.nTrackPos; break;
        case SB_TOP: pos = 0; break;
        case SB_BOTTOM: pos = row_count(l) * row_height(); break;
        default: return 0;
        }
        scroll_to(l, pos);
        return 0;
    }
    case WM_MOUSEWHEEL: {
        scroll_to(l, l->scroll + (short(HIWORD(wp)) > 0 ? -row_height() : row_height()));
        if (l->dragging) {
            POINT c;
            GetCursorPos(&c);
            ScreenToClient(w, &c);
            track_drop(l, c);
        }
        return 0;
    }
    case WM_LBUTTONDOWN: on_button_down(l, p, false); return 0;
    case WM_RBUTTONDOWN: on_button_down(l, p, true); return 0;
    case WM_MOUSEMOVE: on_mouse_move(l, p); return 0;
    case WM_LBUTTONUP:
        if (!l->right || !l->dragging) on_left_up(l, p);
        return 0;
    case WM_RBUTTONUP:
        if (l->right || !l->dragging) on_right_up(l, p);
        return 0;
    case WM_LBUTTONDBLCLK: {
        int row = row_at(l, p.y);
        if (busy(l) || row < 0 || on_expand_box(l, row, p.x) || button_at(l, row, p)) return 0;
        if (row != l->selected) select(l, row);
        SendMessageW(l->parent, WM_ZV_PLAY_SELECTED, 0, 0);
        return 0;
    }
    case WM_MOUSELEAVE:
        l->tracking = false;
        l->hover = l->selected;
        l->button = 0;
        SendMessageW(l->tip, kTipHide, 0, 0);
        InvalidateRect(w, nullptr, FALSE);
        return 0;
    case WM_CAPTURECHANGED:
        if (reinterpret_cast<HWND>(lp) == w) return 0;
        if (l->dragging) {
            l->cancelled = true;
            end_drag(l);
        }
        l->pressed = false;
        return 0;
    case WM_SETCURSOR:
        if (l->dragging) return set_drag_cursor(l), TRUE;
        break;
    case WM_KEYDOWN:
    case WM_KEYUP:
        if (msg == WM_KEYDOWN || l->dragging) on_key(l, wp, lp);
        return 0;
    case WM_GETDLGCODE: return DLGC_WANTARROWS | DLGC_WANTCHARS;
    case WM_SETFOCUS:
    case WM_KILLFOCUS: InvalidateRect(w, nullptr, FALSE); return 0;
    case WM_TIMER: on_timer(l, wp); return 0;
    case WM_ERASEBKGND: return 1;
    case WM_PAINT: paint(l); return 0;
    default: break;
    }
    return DefWindowProcW(w, msg, wp, lp);
}

}  // namespace

bool register_scenario_list_class(HINSTANCE module) {
    return zv::ui::register_window_class(module, {L"zarvo-bot_event_list", list_proc, CS_DBLCLKS});
}

HWND create_scenario_list(HWND parent, ScenarioEntry* root, HWND tooltip) {
    void* args[2] = {root, tooltip};
    return CreateWindowExW(0, L"zarvo-bot_event_list", L"", WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_TABSTOP, 0, 0, 0,
                           0, parent, reinterpret_cast<HMENU>(INT_PTR(IDC_LIST)), GetModuleHandleW(nullptr), args);
}

}  // namespace zvb
