#include "line_index.h"

#include <cstdlib>
#include <cstring>
#include <utility>

namespace zvs {

namespace {

// A line starts at s (0 < s <= length) after LF, or after a CR that no LF follows.
bool starts_line(const TextReader& text, size_t s) {
    char16_t c = text(s - 1);
    return c == u'\n' || (c == u'\r' && (s == text.length || text(s) != u'\n'));
}

bool starts_line(const char16_t* text, size_t n, size_t s) {
    char16_t c = text[s - 1];
    return c == u'\n' || (c == u'\r' && (s == n || text[s] != u'\n'));
}

}  // namespace

LineIndex::~LineIndex() { free(starts_); }

void LineIndex::swap(LineIndex& o) {
    std::swap(starts_, o.starts_);
    std::swap(count_, o.count_);
    std::swap(cap_, o.cap_);
    std::swap(from_, o.from_);
    std::swap(delta_, o.delta_);
}

bool LineIndex::reserve(size_t n) {
    if (n <= cap_) return true;
    size_t cap = n + 257;
    size_t* p = static_cast<size_t*>(realloc(starts_, cap * sizeof(size_t)));
    if (!p) return false;
    starts_ = p;
    cap_ = cap;
    return true;
}

bool LineIndex::reserve_for(const char16_t* s, size_t n) {
    size_t breaks = 0;
    for (size_t i = 0; i < n; ++i) breaks += s[i] == u'\r' || s[i] == u'\n';
    return reserve(count_ + breaks + 1);
}

bool LineIndex::build(const char16_t* text, size_t n) {
    size_t lines = 1;
    for (size_t s = 1; s <= n; ++s) lines += starts_line(text, n, s);
    size_t cap = lines + 257;
    size_t* p = static_cast<size_t*>(malloc(cap * sizeof(size_t)));
    if (!p) return false;
    free(starts_);
    starts_ = p;
    cap_ = cap;
    count_ = 0;
    starts_[count_++] = 0;
    for (size_t s = 1; s <= n; ++s)
        if (starts_line(text, n, s)) starts_[count_++] = s;
    from_ = count_;
    delta_ = 0;
    return true;
}

void LineIndex::settle_at(size_t k) {
    if (delta_ != 0) {
        for (size_t i = from_; i < k; ++i) starts_[i] += delta_;
        for (size_t i = k; i < from_; ++i) starts_[i] -= delta_;
    }
    from_ = k;
}

size_t LineIndex::line_of(size_t offset) const {
    size_t lo = 0, hi = count_;  // start(lo) <= offset < start(hi)
    while (hi - lo > 1) {
        size_t mid = lo + (hi - lo) / 2;
        if (start(mid) <= offset)
            lo = mid;
        else
            hi = mid;
    }
    return lo;
}

bool LineIndex::update(size_t pos, size_t removed, size_t inserted, const TextReader& text) {
    // Starts in [pos, pos + removed] of the old text depend on changed
    // units; those before keep their place and those after move by the size
    // change. Line 0 always starts at 0.
    size_t end = pos + removed;
    size_t i0 = pos == 0 ? 1 : line_of(pos - 1) + 1;
    size_t i1 = i0;
    while (i1 < count_ && start(i1) <= end) ++i1;

    size_t first = pos == 0 ? 1 : pos, last = pos + inserted;
    size_t fresh = 0;
    for (size_t s = first; s <= last; ++s) fresh += starts_line(text, s);

    size_t new_count = count_ - (i1 - i0) + fresh;
    if (!reserve(new_count)) return false;
    settle_at(i0);
    if (fresh != i1 - i0) memmove(starts_ + i0 + fresh, starts_ + i1, (count_ - i1) * sizeof(size_t));
    count_ = new_count;
    size_t k = i0;
    for (size_t s = first; s <= last; ++s)
        if (starts_line(text, s)) starts_[k++] = s - delta_;  // stored below the boundary's delta
    settle_at(i0 + fresh);
    delta_ += inserted - removed;  // modular: a shrink wraps and adds back exactly
    return true;
}

}  // namespace zvs
