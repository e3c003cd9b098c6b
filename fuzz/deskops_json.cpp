// Fuzz target: the DESKOPS JSON reader on arbitrary text (bytes taken as
// UTF-8), and the writer on whatever the reader built.
#include <cstddef>
#include <cstdint>

#include "engine.h"
#include "json.h"
#include "platform.h"
#include "utf.h"

namespace {

void free_list(ksc::Node* head);

void free_value(ksc::Value* v) {
    if (v->kind == ksc::kString) zv::heap_free(v->data.s);
    if (v->kind == ksc::kArray) free_list(v->data.a);
}

void free_list(ksc::Node* head) {
    while (head) {
        ksc::Node* next = head->next;
        free_value(head->value);
        zv::heap_free(head->value);
        zv::heap_free(head->name);
        zv::heap_free(head->label);
        zv::heap_free(head);
        head = next;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    char16_t* text = zv::utf8_to_utf16(reinterpret_cast<const char*>(data), size);
    if (!text) return 0;
    ksc::Value v = {};
    if (deskops::json_read(text, &v) && v.kind == ksc::kArray) {
        size_t len = 0;
        char16_t* json = deskops::json_write(v.data.a, &len);
        if (!json || json[len] != 0) __builtin_trap();
        zv::heap_free(json);
    }
    free_value(&v);
    zv::heap_free(text);
    return 0;
}
