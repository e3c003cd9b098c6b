// The document of the editor control: text storage with its pending edit,
// the line index and the undo list kept in step. Every operation either
// completes or, when memory runs out, returns false and leaves the document
// as it was. Offsets are UTF-16 code units.
#pragma once

#include <cstddef>
#include <cstdint>

#include "line_index.h"
#include "text_store.h"
#include "undo_list.h"

namespace zvs {

class TextModel {
public:
    bool init();
    // Replaces the text; undo is emptied and the text counts as unmodified.
    bool set_text(const char16_t* s, size_t n);

    size_t length() const { return store_.length(); }
    char16_t at(size_t i) const { return store_.at(i); }
    void copy(size_t from, size_t n, char16_t* out) const { store_.copy(from, n, out); }
    // The whole text, zero-terminated, after committing; null when memory
    // runs out. Valid until the next edit.
    const char16_t* text();

    size_t line_count() const { return lines_.count(); }
    size_t line_start(size_t line) const { return lines_.start(line); }
    size_t line_of(size_t offset) const { return lines_.line_of(offset); }
    // Offset where the line's text ends (before its CR, LF or CR LF).
    size_t line_end(size_t line) const;

    // Inserts n units at pos, replacing `replace` units after it (overwrite
    // mode). Consecutive insertions extend one pending edit.
    bool insert(size_t pos, const char16_t* s, size_t n, size_t replace = 0);
    bool erase(size_t pos, size_t n);
    // The next edit is undone and redone together with the one before it
    // (an edit that continues the pending one is part of it anyway).
    void join_next() { join_request_ = true; }
    // Turns the pending edit into an undo record.
    bool commit();

    bool can_undo() const { return pending_edit() || undo_.can_undo(); }
    bool can_redo() const { return !pending_edit() && undo_.can_redo(); }
    // Each puts *caret where the last undone or redone edit was and, when
    // asked, [*begin, *end) around everything it changed in the resulting
    // text. False when there is nothing to do or memory runs out.
    bool undo(size_t* caret, size_t* begin = nullptr, size_t* end = nullptr);
    bool redo(size_t* caret, size_t* begin = nullptr, size_t* end = nullptr);
    void empty_undo() {
        commit();
        undo_.clear(modified());
    }

    bool modified() const { return pending_edit() || !undo_.at_mark(); }
    void set_modified(bool modified);

    size_t undo_records() const { return undo_.size(); }

private:
    bool pending_edit() const;
    TextReader reader() const;
    void update_lines(size_t pos, size_t removed, size_t inserted);
    // The changed span of a run of records: everything before `head` and
    // the last `tail` units of the text stayed as they were.
    struct Span {
        size_t head = SIZE_MAX;
        size_t tail = SIZE_MAX;
    };
    bool apply(const UndoRecord& rec, bool forward, size_t* caret, Span* span);
    void report(const Span& span, size_t* begin, size_t* end) const;

    TextStore store_;
    LineIndex lines_;
    UndoList undo_;
    bool join_request_ = false;  // for the next pending edit
    bool pending_joined_ = false;
};

}  // namespace zvs
