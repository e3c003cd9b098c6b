#include "undo_list.h"

#include <cstdlib>

namespace zvs {

namespace {
constexpr size_t kInitialRecords = 256;
}

UndoList::~UndoList() {
    clear(false);
    free(records_);
}

void UndoList::clear(bool modified) {
    for (size_t i = 0; i < size_; ++i) free(records_[i].saved);
    size_ = index_ = 0;
    mark_ = modified ? kNoMark : 0;
}

bool UndoList::reserve(size_t n) {
    if (index_ + n <= cap_) return true;
    size_t cap = cap_ ? cap_ : kInitialRecords;
    while (cap < index_ + n) cap *= 2;
    auto* p = static_cast<UndoRecord*>(realloc(records_, cap * sizeof(UndoRecord)));
    if (!p) return false;
    records_ = p;
    cap_ = cap;
    return true;
}

bool UndoList::push(UndoKind kind, bool joined, size_t pos, size_t len, char16_t* saved) {
    if (!reserve(1)) {
        free(saved);
        return false;
    }
    for (size_t i = index_; i < size_; ++i) free(records_[i].saved);
    if (mark_ != kNoMark && mark_ > index_) mark_ = kNoMark;  // the saved state was undone and is now gone
    records_[index_] = UndoRecord{uint8_t(kind), uint8_t(joined), pos, len, saved};
    size_ = ++index_;
    return true;
}

}  // namespace zvs
