#include "text_store.h"

#include <cstdlib>
#include <cstring>

namespace zvs {

namespace {

char16_t* grow(char16_t* p, size_t units) {
    return static_cast<char16_t*>(realloc(p, units * sizeof(char16_t)));
}

void move_units(char16_t* to, const char16_t* from, size_t n) { memmove(to, from, n * sizeof(char16_t)); }

}  // namespace

TextStore::~TextStore() {
    free(main_);
    free(ins_);
}

bool TextStore::init() {
    char16_t* m = grow(nullptr, kMainSpare);
    char16_t* ins = grow(nullptr, kInsertionRoom);
    if (!m || !ins) {
        free(m);
        free(ins);
        return false;
    }
    free(main_);
    free(ins_);
    main_ = m;
    ins_ = ins;
    main_[0] = 0;
    main_len_ = 0;
    main_cap_ = kMainSpare;
    ins_cap_ = kInsertionRoom;
    ins_len_ = ins_replaced_ = del_count_ = 0;
    pending_ = kNone;
    return true;
}

bool TextStore::assign(const char16_t* text, size_t n) {
    char16_t* m = grow(nullptr, n + kMainSpare);
    if (!m) return false;
    move_units(m, text, n);
    m[n] = 0;
    free(main_);
    main_ = m;
    main_len_ = n;
    main_cap_ = n + kMainSpare;
    ins_len_ = ins_replaced_ = del_count_ = 0;
    pending_ = kNone;
    return true;
}

char16_t TextStore::at(size_t i) const {
    if (pending_ == kNone || i < pending_pos_) return main_[i];
    if (pending_ == kDeletion) return main_[i + del_count_];
    if (i < pending_pos_ + ins_len_) return ins_[i - pending_pos_];
    return main_[i - ins_len_ + ins_replaced_];
}

void TextStore::copy(size_t from, size_t n, char16_t* out) const {
    size_t end = from + n;
    if (pending_ == kNone || end <= pending_pos_) {
        memcpy(out, main_ + from, n * sizeof(char16_t));
        return;
    }
    // Up to three pieces: before the pending position, the insertion, after.
    size_t p = pending_pos_;
    if (from < p) {
        memcpy(out, main_ + from, (p - from) * sizeof(char16_t));
        out += p - from;
        from = p;
    }
    size_t shift;  // logical offset -> main offset beyond the insertion
    if (pending_ == kInsertion) {
        size_t ins_end = p + ins_len_;
        if (from < ins_end) {
            size_t k = (end < ins_end ? end : ins_end) - from;
            memcpy(out, ins_ + (from - p), k * sizeof(char16_t));
            out += k;
            from += k;
        }
        shift = ins_replaced_ - ins_len_;  // wraps; the sum below is exact
    } else {
        shift = del_count_;
    }
    if (from < end) memcpy(out, main_ + (from + shift), (end - from) * sizeof(char16_t));
}

bool TextStore::extend_insertion(size_t pos, const char16_t* s, size_t n, size_t replace, bool* oom) {
    *oom = false;
    if (pending_ != kInsertion || pos != pending_pos_ + ins_len_) return false;
    if (ins_len_ + n > ins_cap_) {
        size_t cap = ins_len_ + n + 257;
        char16_t* p = grow(ins_, cap);
        if (!p) {
            *oom = true;
            return false;
        }
        ins_ = p;
        ins_cap_ = cap;
    }
    memcpy(ins_ + ins_len_, s, n * sizeof(char16_t));
    ins_len_ += n;
    ins_replaced_ += replace;
    return true;
}

bool TextStore::start_insertion(size_t pos, const char16_t* s, size_t n, size_t replace) {
    pending_ = kInsertion;
    pending_pos_ = pos;
    ins_len_ = 0;
    ins_replaced_ = 0;
    bool oom;
    if (extend_insertion(pos, s, n, replace, &oom)) return true;
    pending_ = kNone;
    return false;
}

bool TextStore::shrink_insertion(size_t pos, size_t n) {
    if (pending_ != kInsertion || ins_replaced_ != 0) return false;
    if (pos < pending_pos_ || pos + n != pending_pos_ + ins_len_) return false;
    ins_len_ -= n;
    return true;
}

bool TextStore::extend_deletion(size_t pos, size_t n) {
    if (pending_ != kDeletion) return false;
    if (pos == pending_pos_) {  // Delete key: the text closes up at the same place
        del_count_ += n;
        return true;
    }
    if (pos + n == pending_pos_) {  // Backspace: the deletion grows to the left
        pending_pos_ = pos;
        del_count_ += n;
        return true;
    }
    return false;
}

void TextStore::start_deletion(size_t pos, size_t n) {
    pending_ = kDeletion;
    pending_pos_ = pos;
    del_count_ = n;
}

bool TextStore::commit() {
    if (pending_ == kDeletion) {
        size_t p = pending_pos_, n = del_count_;
        pending_ = kNone;
        del_count_ = 0;
        erase_committed(p, n);
        return true;
    }
    if (pending_ == kInsertion) {
        size_t p = pending_pos_;
        size_t new_len = main_len_ + ins_len_ - ins_replaced_;
        if (!reserve_main(new_len)) return false;
        move_units(main_ + p + ins_len_, main_ + p + ins_replaced_, main_len_ - p - ins_replaced_ + 1);
        memcpy(main_ + p, ins_, ins_len_ * sizeof(char16_t));
        main_len_ = new_len;
        pending_ = kNone;
        ins_len_ = ins_replaced_ = 0;
        if (ins_cap_ > kInsertionRoom) {
            char16_t* small = grow(ins_, kInsertionRoom);
            if (small) {
                ins_ = small;
                ins_cap_ = kInsertionRoom;
            }
        }
        return true;
    }
    return true;
}

bool TextStore::insert_committed(size_t pos, const char16_t* s, size_t n) {
    if (!reserve_main(main_len_ + n)) return false;
    move_units(main_ + pos + n, main_ + pos, main_len_ - pos + 1);
    memcpy(main_ + pos, s, n * sizeof(char16_t));
    main_len_ += n;
    return true;
}

void TextStore::erase_committed(size_t pos, size_t n) {
    move_units(main_ + pos, main_ + pos + n, main_len_ - pos - n + 1);
    main_len_ -= n;
    shrink_main();
}

bool TextStore::reserve_main(size_t len) {
    if (len + 1 <= main_cap_) return true;
    char16_t* p = grow(main_, len + kMainSpare);
    if (!p) return false;
    main_ = p;
    main_cap_ = len + kMainSpare;
    return true;
}

void TextStore::shrink_main() {
    if (main_cap_ - main_len_ - 1 <= kMainSpare - 1) return;
    char16_t* p = grow(main_, main_len_ + kMainSpare);
    if (!p) return;  // the larger buffer stays; nothing is lost
    main_ = p;
    main_cap_ = main_len_ + kMainSpare;
}

}  // namespace zvs
