// Inside the "nEdit" control: its state and the functions its parts share.
// edit_control.cpp handles the messages, edit_view.cpp lays out, scrolls
// and paints, edit_input.cpp turns keys, characters, the mouse and the IME
// into edits.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <string>
#include <vector>

#include "scroll_bar.h"
#include "syntax_colour.h"
#include "text_model.h"

namespace zvs {

struct Edit {
    HWND wnd = nullptr;
    TextModel doc;
    size_t caret = 0;   // where typing goes; one end of the selection
    size_t anchor = 0;  // the other end
    int goal_x = -1;    // x that Up and Down keep to (-1: the caret's own)

    // Font and metrics.
    HFONT font = nullptr;  // not owned (WM_SETFONT), or the default GUI font
    int line_h = 16;
    int ave_w = 8;
    int tab_chars = 4;
    int tab_px = 32;
    int margin_w = 0;  // line-number margin, 0 when off

    // Layout: rows are lines unless words wrap, then each line has its own
    // number of rows.
    bool wrap = false;
    std::vector<size_t> wrap_rows;  // rows per line (wrap only)
    size_t total_rows = 1;
    size_t top_line = 0, top_sub = 0;  // first visible row
    int x_scroll = 0;                  // pixels (no wrap)
    int extent = 0;                    // widest line seen, pixels
    ScrollBar bar_v, bar_h;
    bool bars_posted = false;          // kEditBars is on its way
    RECT format = {};                  // text area in client coordinates
    bool format_set = false;           // EM_SETRECT gave it

    // Flags and settings.
    bool overwrite = false;
    bool read_only = false;
    bool lower_case = false, upper_case = false;
    bool line_numbers = false;
    bool extended = true;  // keyword set of ksc.5
    size_t limit = 0;      // 0: none
    long run_line = -1, error_line = -1;
    bool focused = false;
    bool composing = false;  // between WM_IME_STARTCOMPOSITION and WM_IME_ENDCOMPOSITION

    // Mouse.
    bool dragging = false;
    bool drag_lines = false;  // started in the line-number margin
    size_t drag_line = 0;     // the line a margin drag started on
    int clicks = 0;
    DWORD last_click_time = 0;
    POINT last_click = {};
    bool right_pressed = false;

    // Painting: one row at a time through an off-screen bitmap.
    HDC row_dc = nullptr;
    HBITMAP row_bitmap = nullptr;
    HGDIOBJ row_old = nullptr;
    int row_bitmap_w = 0, row_bitmap_h = 0;

    // Scratch of the line last measured.
    std::u16string line_text;
    std::vector<int> xs;  // x of each unit's start from the line start, one more at the end
    std::vector<int> extents;  // what the font reports for a run
    std::vector<SyntaxClass> classes;
};

// ---- edit_view.cpp ----
void view_init(Edit* e);
void view_free(Edit* e);
// Font metrics, caret, margin, layout of every line, scroll bars, repaint.
void view_relayout(Edit* e);
// After an edit whose new text spans lines [first, last] and that changed
// the line count by `added` (negative when lines went): layout, extent,
// scroll bars, repaint.
void view_text_changed(Edit* e, size_t first, size_t last, long added);
void view_set_top(Edit* e, size_t line, size_t sub);
// Brings the scroll bars up to date (kEditBars).
void view_update_bars(Edit* e);
void view_scroll_rows(Edit* e, long rows);
void view_scroll_x(Edit* e, int x);
void view_on_vscroll(Edit* e, int code);
void view_on_hscroll(Edit* e, int code);
void view_scroll_to_caret(Edit* e);
void view_scroll_line_into_view(Edit* e, size_t line);
void view_place_caret(Edit* e);
void view_make_caret(Edit* e);
void view_invalidate_line(Edit* e, size_t line);
void view_invalidate_lines(Edit* e, size_t first, size_t last);
// The text area in client coordinates (right of the line numbers).
RECT view_text_area(const Edit* e);
void view_paint(Edit* e);
int view_visible_rows(const Edit* e);
// The caret position's x from the text area's left (scrolling included)
// and its row relative to the first visible row (may be negative).
void view_point_of(Edit* e, size_t offset, int* x, long* row);
// The offset nearest to a point of the client area; *margin tells that the
// point lies in the line-number margin.
size_t view_offset_at(Edit* e, POINT p, bool* margin);
// The offset on the row `rows` away from the caret's row, nearest to x.
size_t view_offset_rows_away(Edit* e, long rows, int x);

// ---- edit_input.cpp ----
void input_key(Edit* e, WPARAM key);
void input_char(Edit* e, wchar_t c, bool from_ime);
void input_ime_composition(Edit* e, LPARAM flags);
void input_ime_start(Edit* e);
void input_mouse_down(Edit* e, POINT p, bool right);
void input_mouse_move(Edit* e, POINT p);
void input_mouse_up(Edit* e, bool right, POINT p);
void input_context_menu(Edit* e, POINT screen);

// ---- edit_control.cpp ----
// Replaces [begin, end) by n units of s (case forcing and the text limit
// applied), or with begin == end overwrites `overwrite` units there; one
// undo step, joined to the one before when asked. The caret goes after the
// new text. False when nothing changed.
bool edit_replace(Edit* e, size_t begin, size_t end, const char16_t* s, size_t n, bool join = false,
                  size_t overwrite = 0);
// Sets caret and anchor (kept off the middle of a pair or a CR LF), repaints
// what the selection change touches and scrolls the caret into view.
void edit_select(Edit* e, size_t anchor, size_t caret, bool keep_goal = false);
size_t sel_begin(const Edit* e);
size_t sel_end(const Edit* e);
void edit_copy(Edit* e);
void edit_cut(Edit* e);
void edit_paste(Edit* e);
void edit_clear(Edit* e);
void edit_undo(Edit* e, bool redo);
// Sends EN_UPDATE, lays out and repaints the lines the edit touched (as
// view_text_changed), sends EN_CHANGE.
void edit_changed(Edit* e, size_t first, size_t last, long added);
void edit_notify(Edit* e, WORD code);

}  // namespace zvs
