// Times the DESKOPS functions json_to_array and array_to_json on a JSON file,
// called through their exports as a script would call them. The text is
// decoded to UTF-16 first (scripts hold UTF-16 strings), outside the timing.
//
//   json_bench FILE [REPS]   prints: elements, text units, best seconds of
//                            each function
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "frame.h"
#include "platform.h"
#include "utf.h"

DESKOPS_FUNCTION(json_to_array);
DESKOPS_FUNCTION(array_to_json);

namespace {

void free_list(ksc::Node* head);

void free_node(ksc::Node* n) {
    if (n->value->kind == ksc::kString) zv::heap_free(n->value->data.s);
    if (n->value->kind == ksc::kArray) free_list(n->value->data.a);
    zv::heap_free(n->value);
    zv::heap_free(n->name);
    zv::heap_free(n->label);
    zv::heap_free(n);
}

void free_list(ksc::Node* head) {
    while (head) {
        ksc::Node* next = head->next;
        free_node(head);
        head = next;
    }
}

ksc::Node* new_node() {
    auto* n = static_cast<ksc::Node*>(zv::heap_alloc(sizeof(ksc::Node)));
    auto* v = static_cast<ksc::Value*>(zv::heap_alloc(sizeof(ksc::Value)));
    n->value = v;
    v->owner = n;
    return n;
}

size_t count_elements(const ksc::Node* head) {
    size_t n = 0;
    for (; head; head = head->next) n += 1 + (head->value->kind == ksc::kArray ? count_elements(head->value->data.a) : 0);
    return n;
}

double seconds_since(std::chrono::steady_clock::time_point t0) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: json_bench FILE [REPS]\n");
        return 2;
    }
    int reps = argc > 2 ? std::atoi(argv[2]) : 3;
    std::u16string path;
    for (const char* p = argv[1]; *p; ++p) path += char16_t(static_cast<unsigned char>(*p));
    char* data = nullptr;
    size_t size = 0;
    if (!zv::read_file(path.c_str(), &data, &size)) {
        std::fprintf(stderr, "json_bench: cannot read %s\n", argv[1]);
        return 1;
    }
    size_t units = 0;
    ksc::Node* text = new_node();
    text->value->kind = ksc::kString;
    text->value->data.s = zv::utf8_to_utf16(data, size, &units);
    zv::heap_free(data);

    double best_read = 1e9, best_write = 1e9;
    size_t elements = 0, json_units = 0;
    char16_t errbuf[ksc::kErrBufSize];
    for (int r = 0; r < reps; ++r) {
        ksc::Node* array = new_node();
        auto t0 = std::chrono::steady_clock::now();
        if (_lib_func_json_to_array(nullptr, text, array, errbuf) != 0 || array->value->kind != ksc::kArray) {
            std::fprintf(stderr, "json_bench: json_to_array failed\n");
            return 1;
        }
        best_read = std::min(best_read, seconds_since(t0));
        elements = count_elements(array->value->data.a);

        ksc::Node* json = new_node();
        t0 = std::chrono::steady_clock::now();
        if (_lib_func_array_to_json(nullptr, array, json, errbuf) != 0) {
            std::fprintf(stderr, "json_bench: array_to_json failed\n");
            return 1;
        }
        best_write = std::min(best_write, seconds_since(t0));
        json_units = zv::u16len(json->value->data.s);
        free_node(json);
        free_node(array);
    }
    free_node(text);
    std::printf("%zu %zu %zu %.4f %.4f\n", elements, units, json_units, best_read, best_write);
    return 0;
}
