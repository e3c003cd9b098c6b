// The portable part of the library frame: arguments, messages, results and
// the process-wide state.
#include "frame.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform.h"
#include "utf.h"

namespace deskops {

// ---- messages ----------------------------------------------------------------

namespace {

struct BuiltInMessage {
    uint32_t id;
    const char16_t* text;
};

#define DESKOPS_MESSAGE(id, text) {id, u"" text},
const BuiltInMessage kMessages[] = {
#include "messages.inc"
};
#undef DESKOPS_MESSAGE

// The one shared message buffer (the library runs on one script thread).
char16_t g_message[256];

}  // namespace

const char16_t* message_text(Msg id) {
    // The string table first, so a translated table takes effect; the
    // built-in copy serves hosts without one (native builds, test programs).
    if (load_string(library_module(), id, g_message, 255)) return g_message;
    g_message[0] = 0;
    for (const BuiltInMessage& m : kMessages) {
        if (m.id != id) continue;
        size_t n = zv::u16len(m.text);
        if (n > 254) n = 254;
        memcpy(g_message, m.text, n * sizeof(char16_t));
        g_message[n] = 0;
        break;
    }
    return g_message;
}

void set_error(char16_t* errbuf, const char16_t* text) {
    size_t n = 0;
    while (n < kErrBufUnits - 1 && text[n]) ++n;
    memcpy(errbuf, text, n * sizeof(char16_t));
    errbuf[n] = 0;
}

int32_t fail(char16_t* errbuf, Msg id) {
    set_error(errbuf, message_text(id));
    return kFailed;
}

int32_t fail_system(char16_t* errbuf, uint32_t code) {
    system_error_text(code, errbuf, kErrBufUnits);
    return kFailed;
}

int32_t fail_system(char16_t* errbuf) { return fail_system(errbuf, last_error()); }

int32_t fail_no_memory(char16_t* errbuf) { return fail_system(errbuf, no_memory_error()); }

// ---- arguments -----------------------------------------------------------------

bool has_args(const Node* args, int count) {
    for (; count > 0; --count, args = args->next)
        if (!args) return false;
    return true;
}

const Value* arg(const Node* args, int index) {
    for (; args && index > 0; --index) args = args->next;
    return args ? args->value : nullptr;
}

int32_t truncate_real(double d) {
    if (!(d > -2147483649.0 && d < 2147483648.0)) return INT32_MIN;
    return int32_t(d);
}

bool read_number(const Value* v, int32_t* out, char16_t* errbuf, Msg id) {
    if (v && v->kind == ksc::kInt) {
        *out = v->data.i;
        return true;
    }
    if (v && v->kind == ksc::kReal) {
        *out = truncate_real(v->data.r);
        return true;
    }
    fail(errbuf, id);
    return false;
}

bool read_string(const Value* v, const char16_t** out, char16_t* errbuf, Msg id) {
    if (!v || v->kind != ksc::kString) {
        fail(errbuf, id);
        return false;
    }
    *out = v->data.s ? v->data.s : u"";
    return true;
}

std::u16string format_real(double d) {
    char buf[400];  // DBL_MAX has 309 integer digits
    int n = snprintf(buf, sizeof buf, "%.16f", d);
    std::u16string out;
    for (int i = 0; i < n && i < int(sizeof buf) - 1; ++i) out += char16_t(buf[i] == ',' ? '.' : buf[i]);
    return out;
}

static std::u16string format_int(int32_t v) {
    char buf[16];
    int n = snprintf(buf, sizeof buf, "%d", int(v));
    return std::u16string(buf, buf + n);
}

std::u16string text_of(const Value* v) {
    switch (v->kind) {
        case ksc::kInt: return format_int(v->data.i);
        case ksc::kReal: return format_real(v->data.r);
        case ksc::kString: return v->data.s ? std::u16string(v->data.s) : std::u16string();
        default: return std::u16string();
    }
}

bool read_text(const Value* v, std::u16string* out, char16_t* errbuf) {
    if (!v || v->kind == ksc::kArray) {
        fail(errbuf, kMsgNoArray);
        return false;
    }
    *out = text_of(v);
    return true;
}

bool read_flag(const Value* v) { return v && v->kind == ksc::kInt && v->data.i != 0; }

bool read_handle(const Value* v, void** out, char16_t* errbuf, Msg id) {
    int32_t n;
    if (!read_number(v, &n, errbuf, id)) return false;
    // Handles are 32-bit values; sign-extend as the system does.
    *out = reinterpret_cast<void*>(intptr_t(n));
    return true;
}

bool read_array(const Value* v, const Node** out, char16_t* errbuf, Msg id) {
    if (!v || v->kind != ksc::kArray) {
        fail(errbuf, id);
        return false;
    }
    *out = v->data.a;
    return true;
}

bool is_integer(const Value* v) { return v && v->kind == ksc::kInt; }

std::string array_bytes(const Node* head, bool zero_others) {
    std::string out;
    for (const Node* e = head; e; e = e->next) {
        if (e->value->kind == ksc::kInt)
            out += char(e->value->data.i & 0xFF);
        else if (zero_others)
            out += '\0';
    }
    return out;
}

// ---- results ---------------------------------------------------------------------

char16_t* heap_text(const char16_t* s, size_t n) {
    if (n >= SIZE_MAX / sizeof(char16_t) - 1) return nullptr;
    char16_t* p = static_cast<char16_t*>(zv::heap_alloc((n + 1) * sizeof(char16_t)));
    if (!p) return nullptr;
    if (n) memcpy(p, s, n * sizeof(char16_t));
    p[n] = 0;
    return p;
}

int32_t name_hash(const char16_t* lowered, size_t n) {
    uint32_t h = 0;
    for (size_t i = 0; i < n; ++i) h = uint32_t(lowered[i]) + 2u * h;
    return int32_t(h);
}

void put_int(Node* result, int32_t v) {
    result->value->kind = ksc::kInt;
    result->value->data.i = v;
}

void put_real(Node* result, double d) {
    result->value->kind = ksc::kReal;
    result->value->data.r = d;
}

void value_take_string(Value* v, char16_t* s) {
    v->kind = ksc::kString;
    v->data.s = s;
}

bool value_put_string(Value* v, const char16_t* s, size_t n) {
    char16_t* copy = heap_text(s, n);
    if (!copy) return false;
    value_take_string(v, copy);
    return true;
}

int32_t put_string(Node* result, const char16_t* s, size_t n, char16_t* errbuf) {
    return value_put_string(result->value, s, n) ? kDone : fail_no_memory(errbuf);
}

int32_t put_string(Node* result, const std::u16string& s, char16_t* errbuf) {
    return put_string(result, s.data(), s.size(), errbuf);
}

void list_start(Value* v, ListBuilder* b) {
    v->kind = ksc::kArray;
    v->data.a = nullptr;
    b->tail = &v->data.a;
}

Node* list_add(ListBuilder* b) {
    Node* n = static_cast<Node*>(zv::heap_alloc(sizeof(Node)));
    Value* v = static_cast<Value*>(zv::heap_alloc(sizeof(Value)));
    if (!n || !v) {
        zv::heap_free(n);
        zv::heap_free(v);
        return nullptr;
    }
    v->owner = n;  // zero-filled: integer 0
    n->value = v;
    *b->tail = n;
    b->tail = &n->next;
    return n;
}

bool list_add_int(ListBuilder* b, int32_t v) {
    Node* e = list_add(b);
    if (!e) return false;
    e->value->data.i = v;
    return true;
}

bool list_add_string(ListBuilder* b, const char16_t* s, size_t n) {
    Node* e = list_add(b);
    return e && value_put_string(e->value, s, n);
}

bool element_set_key(Node* e, const char16_t* key, size_t n) {
    if (n == 0) return true;
    char16_t* name = heap_text(key, n);
    char16_t* label = heap_text(key, n);
    if (!name || !label) {
        zv::heap_free(name);
        zv::heap_free(label);
        return false;
    }
    for (size_t i = 0; i < n; ++i)
        if (name[i] >= u'A' && name[i] <= u'Z') name[i] = char16_t(name[i] + 32);
    e->name = name;
    e->label = label;
    e->hash = name_hash(name, n);
    return true;
}

int32_t put_bytes(Node* result, const unsigned char* bytes, size_t n, char16_t* errbuf) {
    ListBuilder b;
    list_start(result->value, &b);
    for (size_t i = 0; i < n; ++i)
        if (!list_add_int(&b, bytes[i])) return fail_no_memory(errbuf);
    return kDone;
}

// ---- process-wide state ----------------------------------------------------------------

namespace {

struct LibraryState {
    void* module;
    int32_t dpi_awareness;
    int32_t scale_percent;
    int32_t operation_wait;
    uint32_t random_state;
};
LibraryState g_state = {nullptr, 0, 100, 0, 1};

}  // namespace

void library_start(void* module) {
    g_state.module = module;
    seed_random(tick_count());
    system_start(module);
}

void* library_module() { return g_state.module; }

int32_t dpi_awareness() { return g_state.dpi_awareness; }
int32_t scale_percent() { return g_state.scale_percent; }

void set_display_scale(int32_t awareness, int32_t percent) {
    g_state.dpi_awareness = awareness;
    g_state.scale_percent = percent > 0 ? percent : 100;
}

int32_t mul_div(int32_t a, int32_t b, int32_t c) {
    if (c == 0) return -1;
    int64_t p = int64_t(a) * b;
    bool negative = (p < 0) != (c < 0);
    uint64_t num = uint64_t(p < 0 ? -p : p);
    uint64_t den = uint64_t(c < 0 ? -int64_t(c) : int64_t(c));
    uint64_t q = (num + den / 2) / den;
    int64_t r = negative ? -int64_t(q) : int64_t(q);
    if (r > INT32_MAX || r < INT32_MIN) return -1;
    return int32_t(r);
}

int32_t to_physical(int32_t v) {
    return g_state.dpi_awareness ? mul_div(v, g_state.scale_percent, 100) : v;
}

int32_t to_logical(int32_t v) {
    return g_state.dpi_awareness ? mul_div(v, 100, g_state.scale_percent) : v;
}

// The C runtime's generator keeps its state per thread, so a seed set by the
// thread that loaded the library would not reach a script running on another
// thread (the editor runs each script on a new one). This one is
// process-wide, with the same recurrence and range.
void seed_random(uint32_t seed) { g_state.random_state = seed; }

int32_t next_random() {
    g_state.random_state = g_state.random_state * 214013u + 2531011u;
    return int32_t((g_state.random_state >> 16) & 0x7FFF);
}

int32_t operation_wait() { return g_state.operation_wait; }
void set_operation_wait(int32_t ms) { g_state.operation_wait = ms; }

static uint32_t g_pauses;

void pause_after_operation() {
    ++g_pauses;
    if (g_state.operation_wait > 0) sleep_ms(uint32_t(g_state.operation_wait));
}

uint32_t operation_pauses() { return g_pauses; }

}  // namespace deskops
