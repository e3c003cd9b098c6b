#include "deskops_call.h"

#include <cstdio>
#include <cstring>

#include "platform.h"
#include "utf.h"

namespace deskops_test {

std::string utf8(const std::u16string& s) { return zv::utf16_to_utf8(s.data(), s.size()); }

std::u16string utf16(const std::string& s) {
    size_t n = 0;
    char16_t* p = zv::utf8_to_utf16(s.data(), s.size(), &n);
    std::u16string out(p, n);
    zv::heap_free(p);
    return out;
}

static char16_t* heap_copy(const std::u16string& s) {
    auto* p = static_cast<char16_t*>(zv::heap_alloc((s.size() + 1) * sizeof(char16_t)));
    memcpy(p, s.c_str(), (s.size() + 1) * sizeof(char16_t));
    return p;
}

static ksc::Node* make_node(const Arg& a) {
    auto* n = static_cast<ksc::Node*>(zv::heap_alloc(sizeof(ksc::Node)));
    auto* v = static_cast<ksc::Value*>(zv::heap_alloc(sizeof(ksc::Value)));
    n->value = v;
    v->owner = n;
    v->kind = a.kind;
    if (a.kind == ksc::kInt) v->data.i = a.i;
    if (a.kind == ksc::kReal) v->data.r = a.r;
    if (a.kind == ksc::kString) v->data.s = heap_copy(utf16(a.s));
    if (a.kind == ksc::kArray) v->data.a = make_list(a.items);
    if (!a.key.empty()) {
        std::u16string name = utf16(a.key);
        uint32_t h = 0;
        for (char16_t& c : name) {
            if (c >= u'A' && c <= u'Z') c = char16_t(c + 32);
            h = uint32_t(c) + 2u * h;
        }
        n->name = heap_copy(name);
        n->label = heap_copy(utf16(a.key));
        n->hash = int32_t(h);
    }
    return n;
}

ksc::Node* make_list(const Args& args) {
    ksc::Node* head = nullptr;
    ksc::Node** tail = &head;
    for (const Arg& a : args) {
        *tail = make_node(a);
        tail = &(*tail)->next;
    }
    return head;
}

static void free_value(ksc::Value* v) {
    if (v->kind == ksc::kString) zv::heap_free(v->data.s);
    if (v->kind == ksc::kArray) free_list(v->data.a);
}

// Iterative over siblings; nesting recurses (tests build shallow arrays,
// deep ones are freed by the test that makes them).
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

static std::string render_scalar(const ksc::Value* v, bool quoted) {
    char buf[400];
    switch (v->kind) {
        case ksc::kInt: snprintf(buf, sizeof buf, "%d", int(v->data.i)); return buf;
        case ksc::kReal: snprintf(buf, sizeof buf, "%.16f", v->data.r); return buf;
        default: {
            std::string s = v->data.s ? utf8(v->data.s) : "";
            return quoted ? "\"" + s + "\"" : s;
        }
    }
}

static std::string render_in(const ksc::Value* v, bool quoted) {
    if (v->kind != ksc::kArray) return render_scalar(v, quoted);
    std::string out = "{";
    for (const ksc::Node* e = v->data.a; e; e = e->next) {
        if (e != v->data.a) out += ",";
        if (e->name) out += "\"" + utf8(e->label ? e->label : e->name) + "\":";
        out += render_in(e->value, true);
    }
    return out + "}";
}

std::string render(const ksc::Value* v) { return render_in(v, false); }

Outcome call(ksc::NativeFunc fn, const Args& args) {
    if (!fn) {
        Outcome missing = {};
        missing.rc = kNoFunction;
        missing.error = "no such function";
        return missing;
    }
    ksc::Node* list = make_list(args);
    ksc::Node* result = make_node(Arg(0));
    char16_t errbuf[ksc::kErrBufSize];
    errbuf[0] = 0;
    Outcome o;
    o.rc = fn(nullptr, list, result, errbuf);
    o.kind = result->value->kind;
    o.value = render(result->value);
    o.error = utf8(errbuf);
    free_list(result);
    free_list(list);
    return o;
}

}  // namespace deskops_test
