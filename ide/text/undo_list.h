// Unlimited undo and redo: a list of committed edits with a current index.
// Records before the index can be undone, those from it on redone; a new
// edit discards the redo part. An insertion's text is saved only when it is
// first undone (until then it is in the document); a deletion saves the
// removed text. The save mark is the index at which the document was last
// declared unmodified (none when that state can no longer be reached).
#pragma once

#include <cstddef>
#include <cstdint>

namespace zvs {

enum UndoKind : uint8_t { kUndoInsertion = 1, kUndoDeletion = 2 };

struct UndoRecord {
    uint8_t kind;
    uint8_t joined;   // undone and redone together with the record before it
    size_t pos;
    size_t len;
    char16_t* saved;  // the record's text, or null (insertion not yet undone)
};

class UndoList {
public:
    UndoList() = default;
    ~UndoList();
    UndoList(const UndoList&) = delete;
    UndoList& operator=(const UndoList&) = delete;

    static constexpr size_t kNoMark = SIZE_MAX;

    // Appends a record after discarding the redo part; takes over `saved`.
    // False when memory runs out (saved is freed, the list unchanged).
    bool push(UndoKind kind, bool joined, size_t pos, size_t len, char16_t* saved);
    void clear(bool modified);
    // Makes room for n more records, so that the next n pushes cannot fail.
    bool reserve(size_t n);

    size_t size() const { return size_; }
    size_t index() const { return index_; }
    bool can_undo() const { return index_ > 0; }
    bool can_redo() const { return index_ < size_; }
    UndoRecord& at(size_t i) { return records_[i]; }
    void step_back() { --index_; }
    void step_forward() { ++index_; }

    void mark_saved() { mark_ = index_; }
    void mark_modified() { mark_ = kNoMark; }
    bool at_mark() const { return mark_ == index_; }

private:
    UndoRecord* records_ = nullptr;
    size_t size_ = 0;
    size_t cap_ = 0;
    size_t index_ = 0;
    size_t mark_ = 0;
};

}  // namespace zvs
