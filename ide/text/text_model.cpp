#include "text_model.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace zvs {

namespace {

char16_t read_store(const void* ctx, size_t i) { return static_cast<const TextStore*>(ctx)->at(i); }

char16_t* copy_units(const char16_t* s, size_t n) {
    auto* p = static_cast<char16_t*>(malloc((n ? n : 1) * sizeof(char16_t)));
    if (p) memcpy(p, s, n * sizeof(char16_t));
    return p;
}

}  // namespace

bool TextModel::init() { return store_.init() && lines_.build(u"", 0); }

bool TextModel::set_text(const char16_t* s, size_t n) {
    LineIndex lines;
    if (!lines.build(s, n) || !store_.assign(s, n)) return false;  // the old text and index stay
    lines_.swap(lines);
    undo_.clear(false);
    join_request_ = pending_joined_ = false;
    return true;
}

const char16_t* TextModel::text() { return commit() ? store_.committed() : nullptr; }

size_t TextModel::line_end(size_t line) const {
    size_t begin = lines_.start(line);
    if (line + 1 >= lines_.count()) return length();
    size_t e = lines_.start(line + 1);
    if (e > begin && at(e - 1) == u'\n') --e;
    if (e > begin && at(e - 1) == u'\r') --e;
    return e;
}

TextReader TextModel::reader() const { return TextReader{read_store, &store_, store_.length()}; }

void TextModel::update_lines(size_t pos, size_t removed, size_t inserted) {
    lines_.update(pos, removed, inserted, reader());  // room was reserved
}

bool TextModel::pending_edit() const {
    switch (store_.pending()) {
    case TextStore::kInsertion: return store_.pending_inserted() || store_.pending_replaced();
    case TextStore::kDeletion: return store_.pending_deleted() != 0;
    default: return false;
    }
}

bool TextModel::insert(size_t pos, const char16_t* s, size_t n, size_t replace) {
    if (n == 0 && replace == 0) return true;
    if (!lines_.reserve_for(s, n)) return false;
    // An edit that continues the pending one stays in its undo step, joined
    // or not.
    bool oom = false;
    if (!store_.extend_insertion(pos, s, n, replace, &oom)) {
        if (oom || !commit()) return false;
        if (!store_.start_insertion(pos, s, n, replace)) return false;
        pending_joined_ = join_request_;
    }
    join_request_ = false;
    update_lines(pos, replace, n);
    return true;
}

bool TextModel::erase(size_t pos, size_t n) {
    if (n == 0) return true;
    if (!lines_.reserve_for(u"", 0)) return false;
    if (!store_.shrink_insertion(pos, n) && !store_.extend_deletion(pos, n)) {
        if (!commit()) return false;
        store_.start_deletion(pos, n);
        pending_joined_ = join_request_;
    }
    join_request_ = false;
    update_lines(pos, n, 0);
    return true;
}

bool TextModel::commit() {
    TextStore::Pending kind = store_.pending();
    if (kind == TextStore::kNone) return true;
    size_t pos = store_.pending_pos();
    if (!pending_edit()) return store_.commit();  // typed and erased again: nothing to record
    if (!undo_.reserve(2)) return false;
    if (kind == TextStore::kDeletion) {
        size_t n = store_.pending_deleted();
        char16_t* saved = copy_units(store_.committed() + pos, n);
        if (!saved) return false;
        store_.commit();
        undo_.push(kUndoDeletion, pending_joined_, pos, n, saved);
        return true;
    }
    size_t replaced = store_.pending_replaced(), inserted = store_.pending_inserted();
    char16_t* overwritten = nullptr;
    if (replaced) {
        overwritten = copy_units(store_.committed() + pos, replaced);
        if (!overwritten) return false;
    }
    if (!store_.commit()) {
        free(overwritten);
        return false;
    }
    bool joined = pending_joined_;
    if (overwritten) {
        undo_.push(kUndoDeletion, joined, pos, replaced, overwritten);
        joined = true;
    }
    if (inserted) undo_.push(kUndoInsertion, joined, pos, inserted, nullptr);
    return true;
}

bool TextModel::apply(const UndoRecord& rec, bool forward, size_t* caret, Span* span) {
    bool inserts = (rec.kind == kUndoInsertion) == forward;
    if (inserts) {
        if (!lines_.reserve_for(rec.saved, rec.len) || !store_.insert_committed(rec.pos, rec.saved, rec.len))
            return false;
        update_lines(rec.pos, 0, rec.len);
        *caret = rec.pos + rec.len;
    } else {
        if (!lines_.reserve_for(u"", 0)) return false;
        store_.erase_committed(rec.pos, rec.len);
        update_lines(rec.pos, rec.len, 0);
        *caret = rec.pos;
    }
    span->head = std::min(span->head, rec.pos);
    span->tail = std::min(span->tail, length() - *caret);
    return true;
}

void TextModel::report(const Span& span, size_t* begin, size_t* end) const {
    if (begin) *begin = std::min(span.head, length());
    if (end) *end = std::max(length() - std::min(span.tail, length()), std::min(span.head, length()));
}

bool TextModel::undo(size_t* caret, size_t* begin, size_t* end) {
    if (!commit() || !undo_.can_undo()) return false;
    Span span;
    do {
        UndoRecord& rec = undo_.at(undo_.index() - 1);
        if (rec.kind == kUndoInsertion && !rec.saved) {
            rec.saved = copy_units(store_.committed() + rec.pos, rec.len);
            if (!rec.saved) break;
        }
        if (!apply(rec, false, caret, &span)) break;
        undo_.step_back();
        if (!rec.joined) break;
    } while (undo_.can_undo());
    report(span, begin, end);
    return span.head != SIZE_MAX;
}

bool TextModel::redo(size_t* caret, size_t* begin, size_t* end) {
    if (!commit() || !undo_.can_redo()) return false;
    Span span;
    do {
        if (!apply(undo_.at(undo_.index()), true, caret, &span)) break;
        undo_.step_forward();
    } while (undo_.can_redo() && undo_.at(undo_.index()).joined);
    report(span, begin, end);
    return span.head != SIZE_MAX;
}

void TextModel::set_modified(bool modified) {
    if (modified) {
        undo_.mark_modified();
    } else if (commit()) {
        undo_.mark_saved();
    }
}

}  // namespace zvs
