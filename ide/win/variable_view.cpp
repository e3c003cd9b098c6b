#include "variable_view.h"

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "clipboard.h"
#include "dpi.h"
#include "paint_buffer.h"
#include "scroll_bar.h"
#include "variable_rows.h"
#include "window_class.h"
#include "zvs_messages.h"

namespace zvs {

namespace {

constexpr int kGrip = 10;       // the divider can be taken this close to it
constexpr int kMinName = 50;    // width a double click on the divider gives at least
constexpr int kPad = 4;

struct Shown {
    const VariableRow* row;
    int depth;
    std::u16string path;  // names from the top, for keeping rows open across steps
};

struct Vars {
    HWND wnd = nullptr;
    std::vector<VariableRow> rows;
    std::set<std::u16string> open;  // paths of expanded arrays
    std::vector<Shown> list;        // the rows as shown
    long selected = -1;
    size_t top = 0;
    int x_scroll = 0;
    int name_w = 100;
    std::wstring captions[2];
    bool hex = false;
    bool focused = false;
    bool dragging = false;
    ScrollBar bar_v, bar_h;
    bool bars_posted = false;  // kVarBars is on its way
    HFONT font = nullptr;
    int line_h = 16, ave_w = 8;
};

Vars* vars_of(HWND w) { return reinterpret_cast<Vars*>(GetWindowLongPtrW(w, 0)); }

HFONT font_of(const Vars* v) { return v->font ? v->font : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT)); }

int header_h(const Vars* v) { return v->line_h + 4; }
int indent(const Vars* v) { return v->ave_w * 2; }

int visible_rows(const Vars* v) {
    RECT r;
    GetClientRect(v->wnd, &r);
    return std::max(1, int(r.bottom - header_h(v)) / v->line_h);
}

void flatten(Vars* v, const std::vector<VariableRow>& rows, int depth, const std::u16string& parent) {
    for (const VariableRow& r : rows) {
        std::u16string path = parent + u"/" + r.name;
        v->list.push_back({&r, depth, path});
        if (r.array && v->open.count(path)) flatten(v, r.children, depth + 1, path);
    }
}

int text_width(const Vars* v, const std::u16string& s) {
    HDC dc = GetDC(v->wnd);
    HGDIOBJ old = SelectObject(dc, font_of(v));
    SIZE size = {};
    GetTextExtentPoint32W(dc, reinterpret_cast<const wchar_t*>(s.data()), int(std::min<size_t>(s.size(), 4096)),
                          &size);
    SelectObject(dc, old);
    ReleaseDC(v->wnd, dc);
    return size.cx;
}

int content_width(const Vars* v) {
    size_t widest = 0;
    for (const Shown& s : v->list) widest = std::max(widest, s.row->text(v->hex).size());
    return v->name_w + int(std::min<size_t>(widest, 4096)) * v->ave_w + kPad * 2;
}

// The bars catch up once the view is idle (kVarBars): while a run goes at
// the Fast speed the view is shown new variables at every line.
void update_bars(Vars* v) {
    if (v->bars_posted) return;
    v->bars_posted = true;
    PostMessageW(v->wnd, kVarBars, 0, 0);
}

void set_bars(Vars* v) {
    v->bars_posted = false;
    RECT r;
    GetClientRect(v->wnd, &r);
    v->bar_v.set(v->wnd, SB_VERT, int(v->list.empty() ? 0 : v->list.size() - 1), visible_rows(v), int(v->top));
    v->bar_h.set(v->wnd, SB_HORZ, content_width(v), int(r.right), v->x_scroll);
}

void set_top(Vars* v, long top) {
    long most = long(v->list.size()) - visible_rows(v);
    top = std::max(0L, std::min(top, most));
    v->top = size_t(top);
    update_bars(v);
    InvalidateRect(v->wnd, nullptr, FALSE);
}

void set_x(Vars* v, int x) {
    RECT r;
    GetClientRect(v->wnd, &r);
    v->x_scroll = std::max(0, std::min(x, content_width(v) - int(r.right)));
    update_bars(v);
    InvalidateRect(v->wnd, nullptr, FALSE);
}

void rebuild(Vars* v) {
    std::u16string keep = v->selected >= 0 && size_t(v->selected) < v->list.size() ? v->list[v->selected].path : u"";
    v->list.clear();
    flatten(v, v->rows, 0, u"");
    v->selected = -1;
    for (size_t i = 0; i < v->list.size(); ++i)
        if (!keep.empty() && v->list[i].path == keep) v->selected = long(i);
    set_top(v, long(v->top));
}

void select_row(Vars* v, long row) {
    if (v->list.empty()) return;
    row = std::max(0L, std::min(row, long(v->list.size()) - 1));
    v->selected = row;
    if (size_t(row) < v->top) set_top(v, row);
    if (row >= long(v->top) + visible_rows(v)) set_top(v, row - visible_rows(v) + 1);
    InvalidateRect(v->wnd, nullptr, FALSE);
}

void toggle(Vars* v, long row) {
    if (row < 0 || size_t(row) >= v->list.size() || !v->list[row].row->array) return;
    std::u16string path = v->list[row].path;
    if (!v->open.erase(path)) v->open.insert(path);
    v->selected = row;
    rebuild(v);
}

std::u16string row_text(const Vars* v, size_t row) {
    const Shown& s = v->list[row];
    return s.row->name + u"\t" + s.row->text(v->hex);
}

// The rows as shown, one a line: a space per level, then "name\tvalue".
std::u16string shown_text(const Vars* v) {
    std::u16string out;
    for (size_t i = 0; i < v->list.size(); ++i) {
        if (i) out += u"\r\n";
        out.append(size_t(v->list[i].depth), u' ');
        out += row_text(v, i);
    }
    return out;
}

void copy(Vars* v) {
    if (v->selected < 0) return;
    std::u16string s = row_text(v, size_t(v->selected));
    zv::ui::set_clipboard_text(v->wnd, std::wstring(s.begin(), s.end()));
}

bool near_divider(const Vars* v, int x) { return abs(x + v->x_scroll - v->name_w) <= kGrip; }

void fit_names(Vars* v) {
    int widest = 0;
    for (const Shown& s : v->list) widest = std::max(widest, s.depth * indent(v) + indent(v) + text_width(v, s.row->name));
    v->name_w = std::max(zv::ui::scale(kMinName), widest + kPad * 3);
    update_bars(v);
    InvalidateRect(v->wnd, nullptr, FALSE);
}

void draw_text(HDC dc, const std::u16string& s, RECT r, COLORREF colour) {
    SetTextColor(dc, colour);
    DrawTextW(dc, reinterpret_cast<const wchar_t*>(s.data()), int(std::min<size_t>(s.size(), 4096)), &r,
              DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
}

void paint(Vars* v) {
    zv::ui::PaintBuffer pb(v->wnd);
    HDC dc = pb.dc();
    RECT client = pb.client();
    SetBkMode(dc, TRANSPARENT);
    SelectObject(dc, font_of(v));
    FillRect(dc, &client, GetSysColorBrush(COLOR_WINDOW));
    int x0 = -v->x_scroll, divider = x0 + v->name_w;

    RECT head = {client.left, 0, client.right, header_h(v)};
    FillRect(dc, &head, GetSysColorBrush(COLOR_BTNFACE));
    DrawEdge(dc, &head, BDR_RAISEDINNER, BF_BOTTOM);
    RECT cap = {x0 + kPad, 0, divider - kPad, header_h(v)};
    draw_text(dc, std::u16string(v->captions[0].begin(), v->captions[0].end()), cap, GetSysColor(COLOR_BTNTEXT));
    cap = {divider + kPad, 0, client.right, header_h(v)};
    draw_text(dc, std::u16string(v->captions[1].begin(), v->captions[1].end()), cap, GetSysColor(COLOR_BTNTEXT));

    int y = header_h(v);
    for (size_t i = v->top; i < v->list.size() && y < client.bottom; ++i, y += v->line_h) {
        const Shown& s = v->list[i];
        bool sel = long(i) == v->selected;
        RECT row = {client.left, y, client.right, y + v->line_h};
        if (sel) FillRect(dc, &row, GetSysColorBrush(v->focused ? COLOR_HIGHLIGHT : COLOR_BTNFACE));
        COLORREF colour = GetSysColor(sel ? (v->focused ? COLOR_HIGHLIGHTTEXT : COLOR_BTNTEXT) : COLOR_WINDOWTEXT);
        int x = x0 + kPad + s.depth * indent(v);
        if (s.row->array) {
            // A small box with + or - in front of an array.
            int size = std::min(v->line_h - 6, indent(v) - 4) | 1, top = y + (v->line_h - size) / 2;
            RECT box = {x, top, x + size, top + size};
            FrameRect(dc, &box, GetSysColorBrush(COLOR_BTNSHADOW));
            HPEN pen = CreatePen(PS_SOLID, 1, colour);
            HGDIOBJ old = SelectObject(dc, pen);
            MoveToEx(dc, x + 2, top + size / 2, nullptr);
            LineTo(dc, x + size - 2, top + size / 2);
            if (!v->open.count(s.path)) {
                MoveToEx(dc, x + size / 2, top + 2, nullptr);
                LineTo(dc, x + size / 2, top + size - 2);
            }
            SelectObject(dc, old);
            DeleteObject(pen);
        }
        RECT name = {x + indent(v), y, divider - kPad, y + v->line_h};
        draw_text(dc, s.row->name, name, colour);
        RECT value = {divider + kPad, y, client.right, y + v->line_h};
        draw_text(dc, s.row->text(v->hex), value, colour);
    }
    RECT line = {divider, 0, divider + 1, client.bottom};
    FillRect(dc, &line, GetSysColorBrush(COLOR_BTNSHADOW));
}

long row_at(const Vars* v, int y) {
    if (y < header_h(v)) return -1;
    size_t row = v->top + size_t((y - header_h(v)) / v->line_h);
    return row < v->list.size() ? long(row) : -1;
}

void relayout(Vars* v) {
    HDC dc = GetDC(v->wnd);
    HGDIOBJ old = SelectObject(dc, font_of(v));
    TEXTMETRICW tm;
    if (GetTextMetricsW(dc, &tm)) {
        v->line_h = std::max<int>(tm.tmHeight + 2, 1);
        v->ave_w = std::max<int>(tm.tmAveCharWidth, 1);
    }
    SelectObject(dc, old);
    ReleaseDC(v->wnd, dc);
    set_top(v, long(v->top));
}

void on_key(Vars* v, WPARAM key) {
    switch (key) {
    case VK_UP: select_row(v, v->selected - 1); break;
    case VK_DOWN: select_row(v, v->selected + 1); break;
    case VK_SPACE: toggle(v, v->selected); break;
    case VK_LEFT: set_x(v, v->x_scroll - v->ave_w); break;
    case VK_RIGHT: set_x(v, v->x_scroll + v->ave_w); break;
    case VK_HOME: set_top(v, 0); break;
    case VK_END: set_top(v, long(v->list.size())); break;
    case 'C':
        if (GetKeyState(VK_CONTROL) < 0) copy(v);
        break;
    case VK_TAB: {
        HWND next = GetNextDlgTabItem(GetParent(v->wnd), v->wnd, GetKeyState(VK_SHIFT) < 0);
        if (next && next != v->wnd) SetFocus(next);
        break;
    }
    }
}

void on_scroll(Vars* v, int bar, int code) {
    if (bar == SB_VERT) {
        long page = std::max(1, visible_rows(v) - 1), top = long(v->top);
        switch (code) {
        case SB_LINEUP: set_top(v, top - 1); break;
        case SB_LINEDOWN: set_top(v, top + 1); break;
        case SB_PAGEUP: set_top(v, top - page); break;
        case SB_PAGEDOWN: set_top(v, top + page); break;
        case SB_THUMBTRACK:
        case SB_THUMBPOSITION: set_top(v, track_position(v->wnd, SB_VERT)); break;
        }
    } else {
        RECT r;
        GetClientRect(v->wnd, &r);
        switch (code) {
        case SB_LINELEFT: set_x(v, v->x_scroll - v->ave_w); break;
        case SB_LINERIGHT: set_x(v, v->x_scroll + v->ave_w); break;
        case SB_PAGELEFT: set_x(v, v->x_scroll - r.right); break;
        case SB_PAGERIGHT: set_x(v, v->x_scroll + r.right); break;
        case SB_THUMBTRACK:
        case SB_THUMBPOSITION: set_x(v, track_position(v->wnd, SB_HORZ)); break;
        }
    }
}

LRESULT CALLBACK vars_proc(HWND wnd, UINT msg, WPARAM w, LPARAM l) {
    Vars* v = vars_of(wnd);
    if (!v) {
        if (msg != WM_CREATE) return DefWindowProcW(wnd, msg, w, l);
        v = new (std::nothrow) Vars;
        if (!v) return -1;
        v->wnd = wnd;
        v->name_w = zv::ui::scale(100);
        SetWindowLongPtrW(wnd, 0, reinterpret_cast<LONG_PTR>(v));
        relayout(v);
        return 0;
    }
    POINT p = {short(LOWORD(l)), short(HIWORD(l))};
    switch (msg) {
    case WM_NCDESTROY:
        SetWindowLongPtrW(wnd, 0, 0);
        delete v;
        return 0;
    case WM_PAINT: paint(v); return 0;
    case WM_ERASEBKGND: return 1;
    case WM_SIZE: set_top(v, long(v->top)); return 0;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
        v->focused = msg == WM_SETFOCUS;
        InvalidateRect(wnd, nullptr, FALSE);
        return 0;
    case WM_GETDLGCODE: return DLGC_WANTALLKEYS | DLGC_WANTARROWS;
    case WM_SETCURSOR:
        if (LOWORD(l) == HTCLIENT) {
            POINT c;
            GetCursorPos(&c);
            ScreenToClient(wnd, &c);
            SetCursor(LoadCursorW(nullptr, near_divider(v, c.x) || v->dragging ? IDC_SIZEWE : IDC_ARROW));
            return TRUE;
        }
        break;
    case WM_LBUTTONDOWN: {
        SetFocus(wnd);
        if (near_divider(v, p.x)) {
            v->dragging = true;
            SetCapture(wnd);
            return 0;
        }
        long row = row_at(v, p.y);
        if (row < 0) return 0;
        int box = -v->x_scroll + kPad + v->list[row].depth * indent(v);
        if (v->list[row].row->array && p.x >= box && p.x < box + indent(v)) {
            toggle(v, row);
        } else {
            select_row(v, row);
        }
        return 0;
    }
    case WM_LBUTTONDBLCLK:
        if (near_divider(v, p.x)) {
            fit_names(v);
        } else {
            toggle(v, row_at(v, p.y));
        }
        return 0;
    case WM_MOUSEMOVE:
        if (v->dragging) {
            v->name_w = std::max(kGrip, int(p.x) + v->x_scroll);
            update_bars(v);
            InvalidateRect(wnd, nullptr, FALSE);
        }
        return 0;
    case WM_LBUTTONUP:
        if (v->dragging) ReleaseCapture();
        v->dragging = false;
        return 0;
    case WM_CAPTURECHANGED: v->dragging = false; return 0;
    case WM_KEYDOWN: on_key(v, w); return 0;
    case WM_MOUSEWHEEL: set_top(v, long(v->top) + (GET_WHEEL_DELTA_WPARAM(w) > 0 ? -3 : 3)); return 0;
    case WM_VSCROLL: on_scroll(v, SB_VERT, LOWORD(w)); return 0;
    case WM_HSCROLL: on_scroll(v, SB_HORZ, LOWORD(w)); return 0;
    case WM_COPY: copy(v); return 0;
    case WM_SETFONT:
        v->font = reinterpret_cast<HFONT>(w);
        relayout(v);
        return 0;
    case WM_GETFONT: return reinterpret_cast<LRESULT>(v->font);

    case kVarBars: set_bars(v); return 0;
    case kVarShowScope:
        v->rows = snapshot_variables(reinterpret_cast<const ksc::Scope*>(l));
        rebuild(v);
        InvalidateRect(wnd, nullptr, FALSE);
        return 0;
    case kVarSetNameWidth:
        v->name_w = std::max(kGrip, int(w));
        update_bars(v);
        InvalidateRect(wnd, nullptr, FALSE);
        return 0;
    case kVarGetNameWidth: return v->name_w;
    case kVarSetNameCaption:
    case kVarSetValueCaption:
        v->captions[msg == kVarSetValueCaption] = l ? reinterpret_cast<const wchar_t*>(l) : L"";
        InvalidateRect(wnd, nullptr, FALSE);
        return 0;
    case kVarHexMode:
        v->hex = w != 0;
        update_bars(v);
        InvalidateRect(wnd, nullptr, FALSE);
        return 0;
    case kVarHasSelection: return v->selected >= 0;
    case WM_GETTEXTLENGTH: return LRESULT(shown_text(v).size());
    case WM_GETTEXT: {
        if (!l || w == 0) return 0;
        std::u16string t = shown_text(v);
        size_t n = std::min(t.size(), size_t(w) - 1);
        memcpy(reinterpret_cast<void*>(l), t.data(), n * sizeof(wchar_t));
        reinterpret_cast<wchar_t*>(l)[n] = 0;
        return LRESULT(n);
    }
    }
    return DefWindowProcW(wnd, msg, w, l);
}

}  // namespace

bool variable_view_register(HINSTANCE module) {
    zv::ui::WindowClass wc = {kVariableClass, vars_proc};
    wc.style = CS_DBLCLKS;
    wc.window_extra = sizeof(Vars*);
    return zv::ui::register_window_class(module, wc);
}

}  // namespace zvs
