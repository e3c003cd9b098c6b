// The editor's text model against a plain reference: random edit runs,
// edits around the buffers' growth boundaries, undo grouping and the save
// mark.
#include <gtest/gtest.h>

#include <random>

#include "text_model.h"
#include "text_reference.h"

using zvs::TextModel;
using zvs_test::EditOp;
using zvs_test::RefDoc;

namespace {

struct Doc {
    TextModel model;
    RefDoc ref;
    Doc() { EXPECT_TRUE(model.init()); }

    // Applies op to both and reports the first difference.
    ::testing::AssertionResult step(const EditOp& op) {
        std::string diff = zvs_test::apply_op(model, op);
        ref.apply(op);
        if (diff.empty()) diff = zvs_test::mismatch(model, ref);
        if (diff.empty()) return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << diff << " after op " << op.kind << " at " << op.pos;
    }
    ::testing::AssertionResult type(size_t pos, const std::u16string& s) {
        for (size_t i = 0; i < s.size(); ++i)
            if (auto r = step({EditOp::kInsert, pos + i, 0, s.substr(i, 1)}); !r) return r;
        return ::testing::AssertionSuccess();
    }
};

// Random edits, most of them where the previous one ended, as typing does:
// line ends of every kind (inserted between CR and LF too), surrogate
// pairs, runs longer than the insertion buffer, texts past the main
// buffer's spare room, saves, undo and redo runs.
TEST(TextModel, RandomEditsMatchReference) {
    const char16_t alphabet[] = {u'a', u'b', u' ', u'\t', u'\r', u'\n', 0xD83D, 0xDE00, u'あ'};
    for (unsigned seed = 1; seed <= 8; ++seed) {
        std::mt19937 rng(seed);
        auto pick = [&](size_t n) { return size_t(rng() % (n ? n : 1)); };
        Doc doc;
        size_t caret = 0;
        for (int i = 0; i < 1200; ++i) {
            size_t len = doc.ref.text.size();
            if (caret > len) caret = len;
            EditOp op{EditOp::kCommit};
            size_t pos = pick(4) ? caret : pick(len + 1);
            unsigned r = rng() % 100;
            if (r < 45) {
                op.kind = EditOp::kInsert;
                size_t n = pick(20) == 0 ? 200 + pick(120) : 1 + pick(3);
                if (len > 3000) n = 1;
                for (size_t k = 0; k < n; ++k) op.text += alphabet[pick(sizeof alphabet / sizeof *alphabet)];
                caret = pos + n;
            } else if (r < 55) {
                op.kind = EditOp::kOverwrite;
                op.text = std::u16string(1 + pick(2), alphabet[pick(4)]);
                op.len = std::min(len - pos, size_t(pick(3)));
                caret = pos + op.text.size();
            } else if (r < 80) {
                op.kind = EditOp::kErase;
                bool backspace = pick(2) && pos > 0;
                size_t n = 1 + (pick(10) == 0 ? pick(1500) : pick(2));
                if (backspace) {
                    n = std::min(n, pos);
                    pos -= n;
                }
                op.len = std::min(n, len - pos);
                caret = pos;
            } else if (r < 88) {
                op.kind = EditOp::kUndo;
                caret = pick(len + 1);
            } else if (r < 94) {
                op.kind = EditOp::kRedo;
            } else if (r < 97) {
                op.kind = EditOp::kSave;
            }
            op.pos = pos;
            ASSERT_TRUE(doc.step(op)) << "seed " << seed << ", step " << i;
        }
        // Everything undone and redone again still agrees.
        while (doc.ref.can_undo()) ASSERT_TRUE(doc.step({EditOp::kUndo})) << "seed " << seed;
        while (doc.ref.can_redo()) ASSERT_TRUE(doc.step({EditOp::kRedo})) << "seed " << seed;
    }
}

// Typing across the insertion buffer's room, a text around the main
// buffer's spare room, line ends exactly at those offsets, a deletion that
// leaves more than the spare room, then undo back to the start and redo.
TEST(TextModel, EditsAtGrowthBoundaries) {
    for (size_t base : {zvs::kMainSpare - 3, zvs::kMainSpare - 2, zvs::kMainSpare - 1, zvs::kMainSpare}) {
        Doc doc;
        std::u16string first(base - 2, u'x');
        first += u"\r\n";
        ASSERT_TRUE(doc.step({EditOp::kInsert, 0, 0, first}));
        ASSERT_TRUE(doc.step({EditOp::kCommit}));
        std::u16string run;
        for (size_t i = 0; i < zvs::kInsertionRoom + 3; ++i) run += i % 64 == 63 ? u'\n' : u'y';
        ASSERT_TRUE(doc.type(base - 1, run)) << base;  // between the CR and the LF
        ASSERT_TRUE(doc.type(doc.ref.text.size(), u"\r")) << base;
        ASSERT_TRUE(doc.step({EditOp::kInsert, doc.ref.text.size(), 0, u"\n"})) << base;
        ASSERT_TRUE(doc.step({EditOp::kErase, 1, 0 + zvs::kMainSpare + 40})) << base;
        ASSERT_TRUE(doc.step({EditOp::kSave}));
        while (doc.ref.can_undo()) ASSERT_TRUE(doc.step({EditOp::kUndo})) << base;
        EXPECT_TRUE(doc.model.modified());
        while (doc.ref.can_redo()) ASSERT_TRUE(doc.step({EditOp::kRedo})) << base;
        EXPECT_FALSE(doc.model.modified()) << "back at the save mark";
    }
}

// One undo step per typed word, per run of Backspace and per joined group;
// the save mark is reached again by undo and redo, and lost once the undone
// saved state is overwritten by a new edit.
TEST(TextModel, UndoStepsAndSaveMark) {
    Doc doc;
    TextModel& m = doc.model;
    size_t caret = 99;
    ASSERT_TRUE(doc.type(0, u"hello world"));
    ASSERT_TRUE(doc.step({EditOp::kErase, 10, 1}));  // Backspace on the last typed unit
    ASSERT_TRUE(doc.step({EditOp::kErase, 9, 1}));
    ASSERT_TRUE(m.undo(&caret));
    EXPECT_EQ(std::u16string(m.text()), u"") << "typing and its corrections were one pending insertion";
    EXPECT_EQ(caret, 0u);
    ASSERT_TRUE(m.redo(&caret));
    EXPECT_EQ(std::u16string(m.text()), u"hello wor");
    EXPECT_EQ(caret, 9u);

    // A run of Backspace and of Delete: one step each.
    ASSERT_TRUE(m.erase(8, 1) && m.erase(7, 1) && m.erase(6, 1));
    ASSERT_TRUE(m.commit());
    ASSERT_TRUE(m.erase(0, 1) && m.erase(0, 1));
    m.set_modified(false);
    EXPECT_EQ(std::u16string(m.text()), u"llo ");
    ASSERT_TRUE(m.undo(&caret));
    EXPECT_EQ(std::u16string(m.text()), u"hello ");
    EXPECT_EQ(caret, 2u);
    EXPECT_TRUE(m.modified());
    ASSERT_TRUE(m.redo(&caret));
    EXPECT_FALSE(m.modified());

    // Replacing a selection and overwriting: one step each.
    ASSERT_TRUE(m.erase(0, 2));
    m.join_next();
    ASSERT_TRUE(m.insert(0, u"HE", 2));
    ASSERT_TRUE(m.commit());
    ASSERT_TRUE(m.insert(2, u"YY", 2, 2));  // overwrite mode: "o " -> "YY"
    EXPECT_EQ(std::u16string(m.text()), u"HEYY");
    ASSERT_TRUE(m.undo(&caret));
    EXPECT_EQ(std::u16string(m.text()), u"HEo ");
    ASSERT_TRUE(m.undo(&caret));
    EXPECT_EQ(std::u16string(m.text()), u"llo ");
    EXPECT_FALSE(m.modified());
    ASSERT_TRUE(m.redo(&caret) && m.redo(&caret));
    EXPECT_EQ(std::u16string(m.text()), u"HEYY");
    ASSERT_TRUE(m.undo(&caret) && m.undo(&caret) && m.undo(&caret));
    EXPECT_EQ(std::u16string(m.text()), u"hello ");
    EXPECT_TRUE(m.modified());
    ASSERT_TRUE(m.insert(0, u"!", 1));  // the saved state is now out of reach
    ASSERT_TRUE(m.undo(&caret));
    EXPECT_TRUE(m.modified());
    ASSERT_TRUE(m.redo(&caret));
    EXPECT_TRUE(m.modified());

    // Setting the text empties undo and counts as saved.
    ASSERT_TRUE(m.set_text(u"a\r\nb", 4));
    EXPECT_FALSE(m.modified() || m.can_undo() || m.can_redo());
    EXPECT_EQ(m.line_count(), 2u);
    m.set_modified(true);
    EXPECT_TRUE(m.modified());
}

}  // namespace
