// A plain reference for the editor's text model: the text as a string,
// undo steps as whole snapshots. An edit continues the current undo step
// when it continues the pending edit (typing on at its end, erasing what
// was just typed, deleting on at the same place or to its left); anything
// else closes the step. Used by the unit tests and the fuzz target, which
// apply the same operations to both and compare after every one.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "text_model.h"

namespace zvs_test {

struct EditOp {
    enum Kind { kInsert, kOverwrite, kErase, kCommit, kUndo, kRedo, kSave } kind;
    size_t pos;
    size_t len;  // units erased or overwritten
    std::u16string text;

    EditOp(Kind k, size_t p = 0, size_t n = 0, std::u16string t = {}) : kind(k), pos(p), len(n), text(std::move(t)) {}
};

class RefDoc {
public:
    std::u16string text;

    void apply(const EditOp& op) {
        switch (op.kind) {
        case EditOp::kInsert: insert(op.pos, op.text, 0); break;
        case EditOp::kOverwrite: insert(op.pos, op.text, op.len); break;
        case EditOp::kErase: erase(op.pos, op.len); break;
        case EditOp::kCommit: commit(); break;
        case EditOp::kUndo:
            commit();
            if (index_ > 0) text = steps_[--index_];
            break;
        case EditOp::kRedo:
            commit();
            if (index_ + 1 < steps_.size()) text = steps_[++index_];
            break;
        case EditOp::kSave:
            commit();
            saved_ = long(index_);
            break;
        }
    }

    bool modified() const { return pending() || saved_ != long(index_); }
    bool can_undo() const { return pending() || index_ > 0; }
    bool can_redo() const { return !pending() && index_ + 1 < steps_.size(); }

    std::vector<size_t> line_starts() const {
        std::vector<size_t> starts{0};
        for (size_t s = 1; s <= text.size(); ++s) {
            char16_t c = text[s - 1];
            if (c == u'\n' || (c == u'\r' && (s == text.size() || text[s] != u'\n'))) starts.push_back(s);
        }
        return starts;
    }

private:
    enum Pending { kNone, kIns, kDel };

    bool pending() const { return pend_ == kIns ? (count_ || replaced_) : pend_ == kDel && count_; }

    void commit() {
        if (pending()) {
            steps_.resize(index_ + 1);
            if (saved_ > long(index_)) saved_ = -1;
            steps_.push_back(text);
            ++index_;
        }
        pend_ = kNone;
        count_ = replaced_ = 0;
    }

    void insert(size_t pos, const std::u16string& s, size_t replace) {
        if (s.empty() && replace == 0) return;
        if (!(pend_ == kIns && pos == pos_ + count_)) {
            commit();
            pend_ = kIns;
            pos_ = pos;
        }
        text.replace(pos, replace, s);
        count_ += s.size();
        replaced_ += replace;
    }

    void erase(size_t pos, size_t n) {
        if (n == 0) return;
        if (pend_ == kIns && replaced_ == 0 && pos >= pos_ && pos + n == pos_ + count_) {
            count_ -= n;
        } else if (pend_ == kDel && (pos == pos_ || pos + n == pos_)) {
            pos_ = pos;
            count_ += n;
        } else {
            commit();
            pend_ = kDel;
            pos_ = pos;
            count_ = n;
        }
        text.erase(pos, n);
    }

    std::vector<std::u16string> steps_{u""};
    size_t index_ = 0;
    long saved_ = 0;
    Pending pend_ = kNone;
    size_t pos_ = 0, count_ = 0, replaced_ = 0;
};

inline std::u16string whole_text(const zvs::TextModel& model) {
    std::u16string s(model.length(), u'\0');
    model.copy(0, s.size(), &s[0]);
    return s;
}

// Applies op to the model. Undo and redo must report a span outside which
// the text stayed as it was; "" when they do.
inline std::string apply_op(zvs::TextModel& model, const EditOp& op) {
    size_t caret, begin = 0, end = 0;
    std::u16string before;
    bool undoing = op.kind == EditOp::kUndo || op.kind == EditOp::kRedo;
    if (undoing) before = whole_text(model);
    bool done = false;
    switch (op.kind) {
    case EditOp::kInsert: model.insert(op.pos, op.text.data(), op.text.size()); break;
    case EditOp::kOverwrite: model.insert(op.pos, op.text.data(), op.text.size(), op.len); break;
    case EditOp::kErase: model.erase(op.pos, op.len); break;
    case EditOp::kCommit: model.commit(); break;
    case EditOp::kUndo: done = model.undo(&caret, &begin, &end); break;
    case EditOp::kRedo: done = model.redo(&caret, &begin, &end); break;
    case EditOp::kSave: model.set_modified(false); break;
    }
    if (!done) return "";
    std::u16string after = whole_text(model);
    size_t tail = after.size() - end;
    if (begin > end || end > after.size() || caret > after.size() || tail > before.size() || begin > before.size() ||
        before.compare(0, begin, after, 0, begin) != 0 ||
        before.compare(before.size() - tail, tail, after, end, tail) != 0)
        return "undo span [" + std::to_string(begin) + ", " + std::to_string(end) + ") misses a change";
    return "";
}

// What differs between model and reference, or "" when nothing does. Reads
// the model through its pending edit first, then commits nothing.
inline std::string mismatch(const zvs::TextModel& model, const RefDoc& ref) {
    std::u16string got(model.length(), u'\0');
    model.copy(0, got.size(), &got[0]);
    if (got != ref.text) return "text differs";
    for (size_t i = 0; i < got.size(); i += 1 + got.size() / 16)
        if (model.at(i) != ref.text[i]) return "unit " + std::to_string(i) + " differs";
    std::vector<size_t> starts = ref.line_starts();
    if (model.line_count() != starts.size())
        return "line count " + std::to_string(model.line_count()) + ", want " + std::to_string(starts.size());
    for (size_t l = 0; l < starts.size(); ++l) {
        if (model.line_start(l) != starts[l]) return "start of line " + std::to_string(l);
        if (model.line_of(starts[l]) != l) return "line of the start of line " + std::to_string(l);
        size_t end = l + 1 < starts.size() ? starts[l + 1] : got.size();
        if (end > starts[l] && model.line_of(end - 1) != l) return "line of the end of line " + std::to_string(l);
        size_t text_end = end;
        if (l + 1 < starts.size()) {
            if (text_end > starts[l] && got[text_end - 1] == u'\n') --text_end;
            if (text_end > starts[l] && got[text_end - 1] == u'\r') --text_end;
        }
        if (model.line_end(l) != text_end) return "end of line " + std::to_string(l);
    }
    if (model.modified() != ref.modified()) return "modified flag";
    if (model.can_undo() != ref.can_undo()) return "can undo";
    if (model.can_redo() != ref.can_redo()) return "can redo";
    return "";
}

}  // namespace zvs_test
