// Line starts of a text whose lines end at CR, LF or CR LF. An edit changes
// only the starts it touches; the shift of every later start is kept as one
// pending delta from an index on and applied to the entries only when edits
// move elsewhere, so typing on a line costs nothing per key for the lines
// below it. Offset -> line is a binary search.
#pragma once

#include <cstddef>

namespace zvs {

// Reads unit i of the text the index describes (i < its length).
struct TextReader {
    char16_t (*at)(const void* ctx, size_t i);
    const void* ctx;
    size_t length;
    char16_t operator()(size_t i) const { return at(ctx, i); }
};

class LineIndex {
public:
    LineIndex() = default;
    ~LineIndex();
    LineIndex(const LineIndex&) = delete;
    LineIndex& operator=(const LineIndex&) = delete;

    // Indexes a whole text. False when memory runs out (the old index stays).
    bool build(const char16_t* text, size_t n);
    // After `removed` units at pos were replaced by `inserted` units; the
    // reader shows the new text. False when memory runs out.
    bool update(size_t pos, size_t removed, size_t inserted, const TextReader& text);

    // Makes room for an insertion of text s (n units), so that its update
    // cannot fail. False when memory runs out.
    bool reserve_for(const char16_t* s, size_t n);

    void swap(LineIndex& other);

    size_t count() const { return count_; }
    size_t start(size_t line) const { return line >= from_ ? starts_[line] + delta_ : starts_[line]; }
    // The line holding offset (the last line for offsets at or past its start).
    size_t line_of(size_t offset) const;

private:
    // Moves the delta's boundary to index k (entries on either side keep
    // their values).
    void settle_at(size_t k);
    bool reserve(size_t n);

    size_t* starts_ = nullptr;
    size_t count_ = 0;
    size_t cap_ = 0;
    size_t from_ = 0;   // entries from this index on ...
    size_t delta_ = 0;  // ... are this much larger (modular) than stored
};

}  // namespace zvs
