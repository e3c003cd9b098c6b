// Editing rules of the script editor that need no window: caret steps that
// keep surrogate pairs and CR LF together, word bounds, automatic and block
// indentation, and the ASCII-caseless comparison keywords and search use.
// They read the document through TextModel, pending edit included, and
// return edits for the control to apply.
#pragma once

#include <cstddef>
#include <string>

#include "text_model.h"

namespace zvs {

// ASCII letters compare without case, every other unit exactly.
char16_t fold_ascii(char16_t c);
bool equal_ascii_caseless(const char16_t* a, const char16_t* b, size_t n);

bool is_word_unit(char16_t c);  // letters, digits, '_' and everything past ASCII

// The caret position one character after / before pos: a surrogate pair and
// a CR LF each count as one character.
size_t next_char(const TextModel& doc, size_t pos);
size_t prev_char(const TextModel& doc, size_t pos);
// Units of the character at pos (0 at the end of the text, 1 or 2).
size_t char_units(const TextModel& doc, size_t pos);

// The word, run of blanks or run of other marks around pos (for a double
// click); empty at a line end.
void word_at(const TextModel& doc, size_t pos, size_t* begin, size_t* end);

// One replacement of the document: `removed` units at pos become `text`.
struct TextEdit {
    size_t pos = 0;
    size_t removed = 0;
    std::u16string text;
};

// What Enter inserts at caret: CR LF, then the leading tabs and spaces of
// the caret's line, one tab more after a "{" or ":" (the last non-blank
// character before the caret); only CR LF at the very start of a line.
std::u16string enter_text(const TextModel& doc, size_t caret);

// After a ":" was typed on the caret's line: when the line contains "case"
// or "default", its leading blanks become those of the nearest line above
// that contains "switch". False when nothing changes.
bool align_case_label(const TextModel& doc, size_t caret, TextEdit* edit);

// The lines a multi-line selection covers (a selection that ends at the
// start of a line leaves that line out), and the whole-line range they span.
void selected_lines(const TextModel& doc, size_t sel_begin, size_t sel_end, size_t* first, size_t* last);

// True when [begin, end) holds a line end (block indentation applies).
bool spans_lines(const TextModel& doc, size_t begin, size_t end);

// First match of needle at or after from, else the first one before from
// (a match that starts before from). False when there is none.
bool find_text(const char16_t* text, size_t len, const char16_t* needle, size_t n, size_t from, bool match_case,
               size_t* found);

}  // namespace zvs
