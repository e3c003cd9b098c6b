// Text storage of the editor control: the committed text in one buffer and
// at most one pending edit, an insertion or a deletion, that a run of typed
// characters or of deletions extends in place. Committing moves the buffer
// once, so typing costs no buffer move per key.
//
// Offsets are UTF-16 code units of the logical text:
//   pending insertion: main[0, pos) + ins + main[pos + replaced, end)
//   pending deletion:  main[0, pos) + main[pos + count, end)
#pragma once

#include <cstddef>

namespace zvs {

// Spare units the main buffer gets when it is (re)allocated, and the most
// it keeps after a deletion before it shrinks.
constexpr size_t kMainSpare = 1025;
// Room of the insertion buffer; it grows to the needed size + 257 and
// returns to this after a commit.
constexpr size_t kInsertionRoom = 256;

class TextStore {
public:
    TextStore() = default;
    ~TextStore();
    TextStore(const TextStore&) = delete;
    TextStore& operator=(const TextStore&) = delete;

    // Allocates the buffers with an empty text. False when memory runs out.
    bool init();
    // Replaces the whole text (no pending edit afterwards).
    bool assign(const char16_t* text, size_t n);

    size_t length() const { return main_len_ + ins_len_ - ins_replaced_ - del_count_; }
    char16_t at(size_t i) const;
    // Copies n units from offset `from` of the logical text.
    void copy(size_t from, size_t n, char16_t* out) const;

    enum Pending { kNone, kInsertion, kDeletion };
    Pending pending() const { return pending_; }
    size_t pending_pos() const { return pending_pos_; }
    // Units the pending insertion holds / replaces; units pending deletion.
    size_t pending_inserted() const { return ins_len_; }
    size_t pending_replaced() const { return ins_replaced_; }
    size_t pending_deleted() const { return del_count_; }
    // The committed text: valid while nothing is pending.
    const char16_t* committed() const { return main_; }

    // Appends to the pending insertion when pos is its end (and no deletion
    // is pending); false when it cannot (the caller commits and starts one)
    // or memory runs out (*oom set).
    bool extend_insertion(size_t pos, const char16_t* s, size_t n, size_t replace, bool* oom);
    // Starts a pending insertion; nothing may be pending.
    bool start_insertion(size_t pos, const char16_t* s, size_t n, size_t replace);
    // Shortens the pending insertion when [pos, pos + n) is its tail and it
    // replaces nothing; false when it cannot.
    bool shrink_insertion(size_t pos, size_t n);
    // Extends the pending deletion when [pos, pos + n) touches it; false
    // when it cannot.
    bool extend_deletion(size_t pos, size_t n);
    // Starts a pending deletion; nothing may be pending.
    void start_deletion(size_t pos, size_t n);
    // Applies the pending edit to the main buffer. False when memory runs
    // out (the pending edit stays).
    bool commit();

    // Direct edits of the committed text (nothing may be pending).
    bool insert_committed(size_t pos, const char16_t* s, size_t n);
    void erase_committed(size_t pos, size_t n);

private:
    bool reserve_main(size_t len);
    void shrink_main();

    char16_t* main_ = nullptr;
    size_t main_len_ = 0;
    size_t main_cap_ = 0;
    Pending pending_ = kNone;
    size_t pending_pos_ = 0;
    char16_t* ins_ = nullptr;
    size_t ins_len_ = 0;
    size_t ins_cap_ = 0;
    size_t ins_replaced_ = 0;
    size_t del_count_ = 0;
};

}  // namespace zvs
