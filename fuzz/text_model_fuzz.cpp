// Edit runs on the script editor's text model, checked after every
// operation against a plain string with snapshot undo (the reference the
// unit tests use). Each operation takes four bytes: kind, position (two
// bytes, taken modulo the text length + 1), and a count that is the number
// of units inserted or erased; inserted units come from a small alphabet of
// line ends, tabs, letters and surrogate halves, picked by the count byte's
// high bits and the position.
#include <cstdint>
#include <cstdlib>
#include <cstdio>

#include "text_reference.h"

using zvs_test::EditOp;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const char16_t alphabet[] = {u'a', u'\r', u'\n', u'\t', 0xD83D, 0xDE00, u' ', u'{', u'あ'};
    zvs::TextModel model;
    if (!model.init()) abort();
    zvs_test::RefDoc ref;
    for (size_t i = 0; i + 4 <= size && i < 4 * 4096; i += 4) {
        size_t len = ref.text.size();
        size_t pos = size_t(data[i + 1] | data[i + 2] << 8) % (len + 1);
        size_t count = data[i + 3] & 0x1F;
        EditOp op(EditOp::Kind(data[i] % 7), pos);
        switch (op.kind) {
        case EditOp::kInsert:
        case EditOp::kOverwrite:
            for (size_t k = 0; k <= count; ++k) op.text += alphabet[(data[i + 3] >> 5 ^ (k + pos)) % 9];
            // Past the insertion buffer's room; while the text is short, so
            // that the checks after every edit stay cheap.
            if ((data[i] & 0x80) && len < 2048) op.text.append(300, u'x');
            if (op.kind == EditOp::kOverwrite) op.len = std::min(len - pos, count % 3);
            break;
        case EditOp::kErase: op.len = std::min(len - pos, (data[i] & 0x80) ? count * 64 : count); break;
        default: break;
        }
        std::string diff = zvs_test::apply_op(model, op);
        ref.apply(op);
        if (diff.empty()) diff = zvs_test::mismatch(model, ref);
        if (!diff.empty()) {
            fprintf(stderr, "operation %zu (kind %d at %zu): %s\n", i / 4, int(op.kind), pos, diff.c_str());
            abort();
        }
    }
    return 0;
}
