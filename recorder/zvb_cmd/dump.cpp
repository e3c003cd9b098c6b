// zvb_cmd dump: every record of an operation file, one field per line, as
// stored (no reading fix-ups), and how the file ends when it is broken.
#include <cstdint>
#include <cstring>
#include <string>

#include "operation_codes.h"
#include "operation_file.h"
#include "platform.h"
#include "zvb_cmd.h"

namespace zvb_cmd {

namespace {

std::u16string number(int64_t v) {
    std::string s = std::to_string(v);
    return std::u16string(s.begin(), s.end());
}

// A text field up to its NUL (at most 256 units); control characters are
// written as escapes so that one field stays one line.
std::u16string text_value(const char16_t* text) {
    std::u16string out;
    for (size_t i = 0; i < zvb::kTextUnits && text[i]; ++i) {
        char16_t c = text[i];
        if (c == u'\n') {
            out += u"\\n";
        } else if (c == u'\r') {
            out += u"\\r";
        } else if (c == u'\t') {
            out += u"\\t";
        } else if (c < 0x20) {
            static const char16_t kHex[] = u"0123456789ABCDEF";
            out += u"\\x";
            out += kHex[c >> 4];
            out += kHex[c & 15];
        } else {
            out += c;
        }
    }
    return out;
}

std::u16string field_value(const zvb::OperationRecord& r, const zvb::FieldInfo& f, bool japanese) {
    const uint8_t* at = zvb::record_bytes(&r) + f.offset;
    int32_t v[4];
    memcpy(v, at, f.kind == zvb::FieldKind::kText ? 0 : f.kind == zvb::FieldKind::kRect ? 16 : f.kind == zvb::FieldKind::kPoint ? 8 : 4);
    switch (f.kind) {
    case zvb::FieldKind::kU32: return number(uint32_t(v[0]));
    case zvb::FieldKind::kI32: {
        std::u16string text = number(v[0]);
        if (f.offset == offsetof(zvb::OperationRecord, code))
            if (const zvb::OperationCode* c = zvb::operation_code(v[0]))
                text += u" (" + std::u16string(japanese ? c->label : c->name) + u")";
        return text;
    }
    case zvb::FieldKind::kRect:
        return number(v[0]) + u", " + number(v[1]) + u", " + number(v[2]) + u", " + number(v[3]);
    case zvb::FieldKind::kPoint: return number(v[0]) + u", " + number(v[1]);
    case zvb::FieldKind::kText: return text_value(reinterpret_cast<const char16_t*>(at));
    }
    return {};
}

}  // namespace

int run_dump(Tool& tool, const Args& args) {
    char* data = nullptr;
    size_t size = 0;
    if (!zv::read_file(args[0].c_str(), &data, &size))
        return fail(tool, u"cannot read \"" + args[0] + u"\"", u"「" + args[0] + u"」を読めません");
    const uint8_t* bytes = reinterpret_cast<const uint8_t*>(data);
    size_t pos = 0, index = 0;
    zvb::OperationRecord r;
    zvb::RecordStep step;
    std::u16string text;
    for (;;) {
        size_t at = pos;
        step = zvb::next_record(bytes, size, &pos, &r);
        if (step != zvb::RecordStep::kRecord) {
            pos = at;
            break;
        }
        text += (tool.japanese ? u"レコード " : u"record ") + number(int64_t(++index)) +
                (tool.japanese ? u" (オフセット " : u" (offset ") + number(int64_t(at)) + u")\n";
        for (size_t i = 0; i < zvb::kRecordFieldCount; ++i) {
            const zvb::FieldInfo& f = zvb::kRecordFields[i];
            const char16_t* caption = tool.japanese && f.caption ? f.caption : f.name;
            text += u"  " + std::u16string(caption) + u": " + field_value(r, f, tool.japanese) + u"\n";
        }
        out(text);
        text.clear();
    }
    if (step == zvb::RecordStep::kTruncated) {
        text = tool.japanese ? u"オフセット " + number(int64_t(pos)) + u" のレコードが途中で終わっています (残り " +
                                   number(int64_t(size - pos)) + u" バイト)\n"
                             : u"the record at offset " + number(int64_t(pos)) + u" is cut short (" +
                                   number(int64_t(size - pos)) + u" bytes left)\n";
    } else if (step == zvb::RecordStep::kBadSize) {
        uint32_t length;
        memcpy(&length, bytes + pos, 4);
        text = tool.japanese ? u"オフセット " + number(int64_t(pos)) + u" のレコードサイズ " + number(length) +
                                   u" は不正です。以降は読めません\n"
                             : u"the record at offset " + number(int64_t(pos)) + u" has the impossible size " +
                                   number(length) + u"; nothing after it can be read\n";
    }
    out(text + (tool.japanese ? u"レコード数: " : u"records: ") + number(int64_t(index)) + u"\n");
    zv::heap_free(data);
    return 0;
}

}  // namespace zvb_cmd
