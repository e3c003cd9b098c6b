// The JSON writer. One walk over the array measures the text, a second one
// writes it into a buffer of exactly that size. The walk keeps its own stack
// of open containers, so arrays of any depth are written without recursion.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "frame.h"
#include "json.h"
#include "platform.h"
#include "utf.h"

namespace deskops {

namespace {

struct CountSink {
    uint64_t n = 0;
    void put(char16_t) { ++n; }
    void put(const char16_t*, size_t k) { n += k; }
};

struct WriteSink {
    char16_t* p;
    void put(char16_t c) { *p++ = c; }
    void put(const char16_t* s, size_t k) {
        memcpy(p, s, k * sizeof(char16_t));
        p += k;
    }
};

template <class Sink>
void put_ascii(Sink& sink, const char* s) {
    for (; *s; ++s) sink.put(char16_t(*s));
}

// A string between quotes; BS, TAB, LF, CR, the quote and the backslash are
// escaped, every other unit is written as it is.
template <class Sink>
void put_quoted(Sink& sink, const char16_t* s) {
    sink.put(u'"');
    const char16_t* run = s;
    for (; *s; ++s) {
        char16_t e = 0;
        switch (*s) {
            case 8: e = u'b'; break;
            case u'\t': e = u't'; break;
            case u'\n': e = u'n'; break;
            case u'\r': e = u'r'; break;
            case u'"': e = u'"'; break;
            case u'\\': e = u'\\'; break;
            default: continue;
        }
        sink.put(run, size_t(s - run));
        sink.put(u'\\');
        sink.put(e);
        run = s + 1;
    }
    sink.put(run, size_t(s - run));
    sink.put(u'"');
}

template <class Sink>
void put_scalar(Sink& sink, const Value* v) {
    switch (v->kind) {
        case ksc::kInt: {
            char buf[16];
            snprintf(buf, sizeof buf, "%d", int(v->data.i));
            put_ascii(sink, buf);
            break;
        }
        case ksc::kReal: {
            std::u16string text = format_real(v->data.r);
            sink.put(text.data(), text.size());
            break;
        }
        default: put_quoted(sink, v->data.s ? v->data.s : u""); break;
    }
}

struct OpenContainer {
    const Node* next;  // element to write next
    char16_t close;
    bool first;
};

template <class Sink>
void walk(const Node* head, Sink& sink) {
    std::vector<OpenContainer> open;
    auto start = [&](const Node* first) {
        if (!first) {
            sink.put(u"[]", 2);
            return;
        }
        // An object when the first element has a key.
        bool object = first->name != nullptr;
        sink.put(object ? u'{' : u'[');
        open.push_back({first, object ? u'}' : u']', true});
    };
    start(head);
    while (!open.empty()) {
        OpenContainer& c = open.back();
        const Node* e = c.next;
        if (!e) {
            sink.put(c.close);
            open.pop_back();
            continue;
        }
        c.next = e->next;
        if (!c.first) sink.put(u", ", 2);
        c.first = false;
        if (e->name) {
            // Keys are written as they are, without escapes.
            const char16_t* key = e->label ? e->label : e->name;
            sink.put(u'"');
            sink.put(key, zv::u16len(key));
            sink.put(u"\": ", 3);
        }
        if (e->value->kind == ksc::kArray)
            start(e->value->data.a);  // c may move: not used after this
        else
            put_scalar(sink, e->value);
    }
}

}  // namespace

char16_t* json_write(const Node* head, size_t* len) {
    CountSink count;
    walk(head, count);
    if (count.n >= SIZE_MAX / (2 * sizeof(char16_t))) return nullptr;
    size_t n = size_t(count.n);
    char16_t* text = static_cast<char16_t*>(zv::heap_alloc((n + 1) * sizeof(char16_t)));
    if (!text) return nullptr;
    WriteSink out{text};
    walk(head, out);
    text[n] = 0;
    *len = n;
    return text;
}

}  // namespace deskops
