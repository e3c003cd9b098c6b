// Value and Node records: allocation, ownership, copying, element access.
#include "value.h"

#if defined(__SSE2__) && !defined(ZV_SANITIZE)
#include <emmintrin.h>
#endif

#include <cstring>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform.h"

namespace ksc {

// The engine runs on one thread at a time (each host runs scripts on a single
// thread), so the recycling lists and bookkeeping below are plain globals.

// ---- recycling ---------------------------------------------------------
// Evaluator pushes create and drop nodes constantly; recycled records avoid a
// heap call for each. Sanitizer builds skip recycling so every use after
// free is still caught.
#if defined(ZV_SANITIZE)
constexpr bool kRecycle = false;
#else
constexpr bool kRecycle = true;
#endif

struct FreeRecord {
    FreeRecord* next;
};
static FreeRecord* g_free_nodes;
static FreeRecord* g_free_values;
static size_t g_free_node_count, g_free_value_count;
constexpr size_t kMaxRecycled = 1 << 16;

#if defined(ZV_SANITIZE) || defined(ZV_FUZZ)
static uint64_t g_records_made;
uint64_t records_made() { return g_records_made; }
#endif

template <typename T>
static T* take_record(FreeRecord*& list, size_t& count) {
#if defined(ZV_SANITIZE) || defined(ZV_FUZZ)
    ++g_records_made;
#endif
    if (kRecycle && list) {
        FreeRecord* r = list;
        list = r->next;
        --count;
        memset(static_cast<void*>(r), 0, sizeof(T));
        return reinterpret_cast<T*>(r);
    }
    return static_cast<T*>(zv::heap_alloc(sizeof(T)));
}

static void give_record(void* p, FreeRecord*& list, size_t& count) {
    if (kRecycle && count < kMaxRecycled) {
        FreeRecord* r = static_cast<FreeRecord*>(p);
        r->next = list;
        list = r;
        ++count;
        return;
    }
    zv::heap_free(p);
}

static Value* value_alloc() { return take_record<Value>(g_free_values, g_free_value_count); }
static void value_dealloc(Value* v) { give_record(v, g_free_values, g_free_value_count); }
static Node* node_alloc() { return take_record<Node>(g_free_nodes, g_free_node_count); }
static void node_dealloc(Node* n) { give_record(n, g_free_nodes, g_free_node_count); }

// Side index of the keys of one large array (the one used last). Elements
// are only ever appended by the engine and lists are freed whole, so the
// index stays right until its first element is freed or keys are renamed.
static struct KeyIndex {
    Node* head = nullptr;
    // First element of each key, by the key text (which the nodes own).
    std::unordered_map<std::u16string_view, Node*> first;
} g_key_index;
constexpr int32_t kIndexAbove = 32;  // shorter arrays are simply scanned

void array_keys_changed() {
    g_key_index.head = nullptr;
    g_key_index.first.clear();
}

static void pos_cache_forget(const Node* n) {
    positions_forget(n);
    if (n == g_key_index.head) array_keys_changed();
}

// ---- names -------------------------------------------------------------

size_t str_len(const char16_t* s) {
    const char16_t* p = s;
#if !defined(ZV_SANITIZE)
    // Four code units at a time once aligned: an aligned read never leaves
    // the page the terminator lies in. (The sanitizers would see the bytes
    // past the terminator, so those builds take the plain loop.)
    while (reinterpret_cast<uintptr_t>(p) & 7) {
        if (!*p) return size_t(p - s);
        ++p;
    }
#if defined(__SSE2__)
    // Eight at a time from a 16-byte boundary.
    if (reinterpret_cast<uintptr_t>(p) & 8) {
        uint64_t x;
        memcpy(&x, p, sizeof x);
        if ((x - 0x0001000100010001ull) & ~x & 0x8000800080008000ull) {
            while (*p) ++p;
            return size_t(p - s);
        }
        p += 4;
    }
    const __m128i zero = _mm_setzero_si128();
    for (;; p += 8) {
        __m128i x = _mm_load_si128(reinterpret_cast<const __m128i*>(p));
        if (_mm_movemask_epi8(_mm_cmpeq_epi16(x, zero))) break;
    }
#else
    const uint64_t* w = reinterpret_cast<const uint64_t*>(p);
    for (;; ++w) {
        uint64_t x;
        memcpy(&x, w, sizeof x);
        if ((x - 0x0001000100010001ull) & ~x & 0x8000800080008000ull) break;
    }
    p = reinterpret_cast<const char16_t*>(w);
#endif
#endif
    while (*p) ++p;
    return size_t(p - s);
}

int32_t name_hash(const char16_t* s) {
    uint32_t h = 0;
    for (; *s; ++s) h = uint32_t(*s) + 2u * h;
    return int32_t(h);
}

char16_t* str_dup(const char16_t* s, size_t n) {
    char16_t* d = static_cast<char16_t*>(zv::heap_alloc_raw((n + 1) * sizeof(char16_t)));
    if (!d) return nullptr;
    memcpy(d, s, n * sizeof(char16_t));
    d[n] = 0;
    return d;
}

char16_t* str_dup(const char16_t* s) { return str_dup(s, str_len(s)); }

char16_t* lower_dup(const char16_t* s, size_t n) {
    char16_t* d = str_dup(s, n);
    if (!d) return nullptr;
    for (size_t i = 0; i < n; ++i)
        if (d[i] >= u'A' && d[i] <= u'Z') d[i] = char16_t(d[i] + 32);
    return d;
}

char16_t* lower_dup(const char16_t* s) { return lower_dup(s, str_len(s)); }

bool node_set_key(Node* node, const char16_t* key) {
    char16_t* name = nullptr;
    if (key && *key) {
        name = lower_dup(key);
        if (!name) return false;
    }
    zv::heap_free(node->name);
    zv::heap_free(node->label);
    node->name = name;
    node->label = nullptr;
    node->hash = name ? name_hash(name) : 0;
    return true;
}

// Identical texts are equal under any comparison, so the platform's
// (possibly locale-aware and slow) comparison is asked only when they differ.
static bool same_text(const char16_t* a, const char16_t* b) {
    const char16_t* p = a;
    const char16_t* q = b;
    while (*p && *p == *q) ++p, ++q;
    return *p == *q || zv::text_equal(a, b);
}

bool name_equal(const Node* node, const char16_t* lowered, int32_t hash) {
    return node->hash == hash && node->name && same_text(node->name, lowered);
}

// ---- pinned references -------------------------------------------------

struct Pin {
    Value* value;
    int32_t count;
};
static std::vector<Pin> g_pins;
// Values whose owner went away while pinned: owner is set to this marker.
static Node g_parked_marker;

void value_pin(Value* v) {
    for (Pin& p : g_pins)
        if (p.value == v) {
            ++p.count;
            return;
        }
    g_pins.push_back(Pin{v, 1});
}

bool value_is_pinned(const Value* v) {
    for (const Pin& p : g_pins)
        if (p.value == v) return true;
    return false;
}

size_t pinned_count() { return g_pins.size(); }

static void value_release(Value* v);

void value_unpin(Value* v) {
    for (size_t i = 0; i < g_pins.size(); ++i) {
        if (g_pins[i].value != v) continue;
        if (--g_pins[i].count == 0) {
            g_pins[i] = g_pins.back();
            g_pins.pop_back();
            if (v->owner == &g_parked_marker) {
                value_clear(v);
                value_dealloc(v);
            }
        }
        return;
    }
}

// ---- freeing -----------------------------------------------------------

// Frees a value its owner is giving up: parked instead when still pinned.
static void value_release(Value* v) {
    if (!g_pins.empty() && value_is_pinned(v)) {
        v->owner = &g_parked_marker;
        return;
    }
    if (v->kind == kString || v->kind == kArray) value_clear(v);
    value_dealloc(v);
}

void node_free(Node* n) {
    if (n == nullptr || n == reinterpret_cast<Node*>(-1) || n == reinterpret_cast<Node*>(-2)) return;
    pos_cache_forget(n);
    if (n->name) zv::heap_free(n->name);
    if (n->label) zv::heap_free(n->label);
    if (Value* v = n->value) {
        if (v->owner == n)
            value_release(v);
        else if (!g_pins.empty())
            value_unpin(v);
    }
    node_dealloc(n);
}

void node_list_free(Node* head) {
    while (head) {
        Node* next = head->next;
        node_free(head);
        head = next;
    }
}

void value_clear(Value* v) {
    if (v->kind == kString)
        zv::heap_free(v->data.s);
    else if (v->kind == kArray)
        node_list_free(v->data.a);
    v->data.r = 0;
    v->data.i = 0;
    v->kind = kInt;
}

Node* node_new() {
    Node* n = node_alloc();
    if (!n) return nullptr;
    Value* v = value_alloc();
    if (!v) {
        node_dealloc(n);
        return nullptr;
    }
    v->owner = n;
    n->value = v;
    return n;
}

Node* node_ref(Value* v) {
    Node* n = node_alloc();
    if (!n) return nullptr;
    n->value = v;
    if (!g_pins.empty() && value_is_pinned(v)) value_pin(v);
    return n;
}

// ---- copying -----------------------------------------------------------

static bool value_copy_into(Value* dst, const Value* src);

bool g_copy_labels = false;

bool list_copy(const Node* src, Node** out) {
    Node* head = nullptr;
    Node** tail = &head;
    for (; src; src = src->next) {
        Node* n = node_new();
        if (!n) {
            node_list_free(head);
            return false;
        }
        *tail = n;
        tail = &n->next;
        if (src->name) {
            n->name = str_dup(src->name);
            if (!n->name) {
                node_list_free(head);
                return false;
            }
            n->hash = src->hash;
        }
        if (src->label && g_copy_labels && !(n->label = str_dup(src->label))) {
            node_list_free(head);
            return false;
        }
        if (!value_copy_into(n->value, src->value)) {
            node_list_free(head);
            return false;
        }
    }
    *out = head;
    return true;
}

// Copies src into a fresh (integer 0) dst.
static bool value_copy_into(Value* dst, const Value* src) {
    switch (src->kind) {
        case kString:
            if (src->data.s) {
                char16_t* s = str_dup(src->data.s);
                if (!s) return false;
                dst->data.s = s;
            }
            dst->kind = kString;
            return true;
        case kArray: {
            Node* list;
            if (!list_copy(src->data.a, &list)) return false;
            dst->data.a = list;
            dst->kind = kArray;
            return true;
        }
        case kReal:
            value_set_number(dst, src->data.r);
            return true;
        default:
            dst->data.i = src->data.i;
            dst->kind = kInt;
            return true;
    }
}

bool value_assign(Value* dst, const Value* src) {
    if (dst == src) {
        if (src->kind == kReal) value_set_number(dst, src->data.r);
        return true;
    }
    Value fresh;
    memset(&fresh, 0, sizeof fresh);
    if (!value_copy_into(&fresh, src)) return false;
    // Take the new contents first, then release the old ones: src may live
    // inside dst's old array (a = a[0]).
    Value old = *dst;
    dst->data = fresh.data;
    dst->kind = fresh.kind;
    if (old.kind == kString) {
        zv::heap_free(old.data.s);
    } else if (old.kind == kArray) {
        for (Node* e = old.data.a; e;) {
            Node* next = e->next;
            node_free(e);
            e = next;
        }
    }
    return true;
}

void value_set_int(Value* v, int32_t i) {
    value_clear(v);
    v->data.i = i;
    v->kind = kInt;
}

void value_set_real(Value* v, double d) {
    value_clear(v);
    v->data.r = d;
    v->kind = kReal;
}

void value_set_number(Value* v, double d) {
    // Whole numbers within the 32-bit range are stored as integers.
    if (d >= -2147483648.0 && d <= 2147483647.0 && d == double(int32_t(d)))
        value_set_int(v, int32_t(d));
    else
        value_set_real(v, d);
}

void value_set_string(Value* v, char16_t* s) {
    value_clear(v);
    v->data.s = s;
    v->kind = kString;
}

// ---- element access ----------------------------------------------------

Node* array_find_key(Value* array, const char16_t* lowered, int32_t hash) {
    Node* head = array->data.a;
    if (head && head == g_key_index.head) {
        auto it = g_key_index.first.find(std::u16string_view(lowered));
        return it == g_key_index.first.end() ? nullptr : it->second;
    }
    int32_t count = 0;
    Node* found = nullptr;
    for (Node* e = head; e; e = e->next, ++count) {
        if (!found && e->hash == hash && name_equal(e, lowered, hash)) {
            found = e;
            if (count < kIndexAbove) return found;
        }
    }
    if (count > kIndexAbove) {
        array_keys_changed();
        g_key_index.first.reserve(size_t(count));
        for (Node* e = head; e; e = e->next)
            if (e->name) g_key_index.first.emplace(std::u16string_view(e->name), e);
        g_key_index.head = head;
    }
    return found;
}

void array_append(Value* array, Node* element) {
    Node* head = array->data.a;
    if (!head) {
        array->data.a = element;
        list_appended(element, element, 0);
        return;
    }
    int32_t pos;
    Node* last = list_last(head, &pos);
    last->next = element;
    list_appended(head, element, pos + 1);
    if (head == g_key_index.head && element->name)
        g_key_index.first.emplace(std::u16string_view(element->name), element);
}

// ---- truth and numbers -------------------------------------------------

bool value_truthy(const Value* v) {
    switch (v->kind) {
        case kInt: return v->data.i != 0;
        case kReal: return v->data.r != 0;
        case kString: return v->data.s && v->data.s[0];
        default: return v->data.a != nullptr;
    }
}

double value_number(const Value* v) {
    if (v->kind == kInt) return v->data.i;
    if (v->kind == kReal) return v->data.r;
    return 0;
}

}  // namespace ksc
