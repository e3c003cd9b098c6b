// Measuring and wrapping a line of text for the editor and the console.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <vector>

namespace zvs {

// xs[i] = x of unit i from the line start in the DC's font, xs[n] = the
// width; a tab reaches the next multiple of tab_px. With `from` > 0, xs
// already holds the first from + 1 entries (the text grew at its end).
// scratch is reused.
void measure_text(HDC dc, const char16_t* s, size_t n, int tab_px, std::vector<int>& xs, std::vector<int>& scratch,
                  size_t from = 0);

// Row starts of a measured line for rows of `width` pixels (the first is
// 0): a row ends after its last blank when it has one, at least one
// character goes on each row, and a surrogate pair is never split. With
// resume, breaks holds the rows of a shorter version of the line: only its
// last row is laid out again.
void wrap_text(const char16_t* s, size_t n, const std::vector<int>& xs, int width, std::vector<size_t>& breaks,
               bool resume = false);

// Moves a row, given as a line and a row of it, by `rows` (negative: up),
// stopping at the first and the last row; rows_of(line) is a line's number
// of rows, lines the number of lines.
template <class RowsOf>
void walk_rows(size_t lines, const RowsOf& rows_of, size_t* line, size_t* sub, long rows) {
    for (; rows > 0; --rows) {
        if (*sub + 1 < rows_of(*line)) {
            ++*sub;
        } else if (*line + 1 < lines) {
            ++*line;
            *sub = 0;
        } else {
            return;
        }
    }
    for (; rows < 0; ++rows) {
        if (*sub > 0) {
            --*sub;
        } else if (*line > 0) {
            --*line;
            size_t n = rows_of(*line);
            *sub = n ? n - 1 : 0;
        } else {
            return;
        }
    }
}

}  // namespace zvs
