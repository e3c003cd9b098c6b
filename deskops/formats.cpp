// Data formats: json_to_array, array_to_json, base64_encode, base64_decode,
// url_encode, url_decode, header_to_array.
#include <string>

#include "codec.h"
#include "codepage.h"
#include "frame.h"
#include "json.h"
#include "utf.h"

using namespace deskops;

namespace {

int32_t first_string(Node* args, const char16_t** s, char16_t* errbuf) {
    if (!has_args(args, 1)) return kMissing;
    return read_string(arg(args, 0), s, errbuf) ? kDone : kFailed;
}

struct HeaderTarget {
    ListBuilder list;
    bool out_of_memory;
};

bool add_header_field(const HeaderField& f, void* ctx) {
    HeaderTarget* t = static_cast<HeaderTarget*>(ctx);
    Node* e = list_add(&t->list);
    if (!e || !element_set_key(e, f.name, f.name_len) || !value_put_string(e->value, f.value, f.value_len)) {
        t->out_of_memory = true;
        return false;
    }
    return true;
}

}  // namespace

DESKOPS_FUNCTION(json_to_array) {
    const char16_t* text;
    if (int32_t rc = first_string(args, &text, errbuf)) return rc;
    return json_read(text, result->value) ? kDone : fail_no_memory(errbuf);
}

DESKOPS_FUNCTION(array_to_json) {
    if (!has_args(args, 1)) return kMissing;
    const Node* head;
    if (!read_array(arg(args, 0), &head, errbuf, kMsgNotList)) return kFailed;
    size_t len;
    char16_t* text = json_write(head, &len);
    if (!text) return fail_no_memory(errbuf);
    value_take_string(result->value, text);
    return kDone;
}

DESKOPS_FUNCTION(base64_encode) {
    if (!has_args(args, 1)) return kMissing;
    const Value* data = arg(args, 0);
    std::string bytes;
    if (data->kind == ksc::kString) {
        // The string's UTF-16 units, low byte first, without terminator.
        for (const char16_t* p = data->data.s ? data->data.s : u""; *p; ++p) {
            bytes += char(*p & 0xFF);
            bytes += char(*p >> 8);
        }
    } else if (data->kind == ksc::kArray) {
        // As file_write: the low byte of each integer, 0 for other kinds.
        bytes = array_bytes(data->data.a, true);
    } else {
        return fail(errbuf, kMsgNotArrayOrString);
    }
    return put_string(result,
                      deskops::base64_encode(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size()),
                      errbuf);
}

DESKOPS_FUNCTION(base64_decode) {
    const char16_t* text;
    if (int32_t rc = first_string(args, &text, errbuf)) return rc;
    std::string ansi;
    if (!zv::utf16_to_codepage(zv::kAnsiCodePage, text, &ansi)) return fail_system(errbuf);
    std::string bytes = deskops::base64_decode(ansi.c_str());
    return put_bytes(result, reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), errbuf);
}

DESKOPS_FUNCTION(url_encode) {
    const char16_t* text;
    if (int32_t rc = first_string(args, &text, errbuf)) return rc;
    return put_string(result, deskops::url_encode(zv::utf16_to_utf8(text)), errbuf);
}

DESKOPS_FUNCTION(url_decode) {
    const char16_t* text;
    if (int32_t rc = first_string(args, &text, errbuf)) return rc;
    std::string bytes = deskops::url_decode(zv::utf16_to_utf8(text));
    size_t len = 0;
    char16_t* decoded = zv::utf8_to_utf16(bytes.data(), bytes.size(), &len);
    if (!decoded) return fail_no_memory(errbuf);
    value_take_string(result->value, decoded);
    return kDone;
}

DESKOPS_FUNCTION(header_to_array) {
    const char16_t* text;
    if (int32_t rc = first_string(args, &text, errbuf)) return rc;
    HeaderTarget target = {{nullptr}, false};
    list_start(result->value, &target.list);
    long count = header_fields(text, add_header_field, &target);
    if (target.out_of_memory) return fail_no_memory(errbuf);  // the engine frees the part built
    if (count == 0) put_int(result, 0);  // no fields: integer 0 (nothing was allocated)
    return kDone;
}
