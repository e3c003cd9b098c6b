// The evaluator: runs code units (code.h) over one contiguous value stack.
//
// A value on the stack is either a temporary (its own Value) or a reference
// to a variable's or an array element's Value, read when the operator that
// takes it runs, so `a + f()` sees what f did to a. References to elements
// pin their value (value.h), so freeing the array meanwhile parks it.
//
// Each run of a code unit gets a frame from a stack of chunks: the records
// of the scopes it enters (one per nesting depth, reused by sibling blocks)
// and its variable slots with the variables themselves, which therefore cost
// no heap call. Script function calls recurse on the native stack; blocks,
// loops and switches inside a unit do not.
#include <cstring>
#include <new>

#include "builtins.h"
#include "call.h"
#include "code.h"
#include "error.h"
#include "eval.h"
#include "platform.h"
#include "positions.h"
#include "scope.h"

namespace ksc {

namespace {

// A walk or a script function call stops with "Nesting too deep" when less
// native stack than this is left.
constexpr size_t kStackReserve = 256 * 1024;

// ---- the value stack ----------------------------------------------------

enum : int32_t {
    OF_PINNED = 1,  // ref is an element's value, pinned by this entry
    OF_MARKER = 2,  // call-arguments marker
    OF_SIZED = 4,   // a temporary text whose length and buffer size are known
};

struct Operand {
    Value tmp;       // the value when ref is null (its owner field is unused)
    Value* ref;      // a variable's or an element's value
    char16_t* name;  // key carried into an array literal or a call (owned)
    int32_t hash;
    int32_t flags;
    // OF_SIZED: text length and buffer size (in code units), so that
    // appending to a text being built does not measure or copy it again.
    uint32_t len;
    uint32_t cap;
};

inline Value* val(Operand* e) { return e->ref ? e->ref : &e->tmp; }

// One stack for every run on this thread of control: a nested run (a host
// or library calling the engine again) works above the current top.
struct ValueStack {
    Operand* data = nullptr;
    int32_t cap = 0;
    int32_t top = 0;  // entries in use below a nested run
};
ValueStack g_vs;

bool vs_reserve(int32_t used, int32_t more) {
    if (used + more <= g_vs.cap) return true;
    int32_t cap = g_vs.cap ? g_vs.cap * 2 : 64;
    while (cap < used + more) cap *= 2;
    Operand* data = static_cast<Operand*>(zv::heap_alloc_raw(size_t(cap) * sizeof(Operand)));
    if (!data) return false;
    if (g_vs.data) {
        memcpy(static_cast<void*>(data), g_vs.data, size_t(used) * sizeof(Operand));
        zv::heap_free(g_vs.data);
    }
    g_vs.data = data;
    g_vs.cap = cap;
    return true;
}

void release_value(Value* v) {
    if (v->kind == kString)
        zv::heap_free(v->data.s);
    else
        node_list_free(v->data.a);
}

inline void release(Operand* e) {
    if (e->ref) {
        if (e->flags & OF_PINNED) value_unpin(e->ref);
    } else if (e->tmp.kind >= kString) {
        release_value(&e->tmp);
    }
    if (e->name) zv::heap_free(e->name);
}

inline void set_int(Operand* e, int32_t i) {
    e->tmp.data.i = i;
    e->tmp.kind = kInt;
    e->ref = nullptr;
    e->name = nullptr;
    e->flags = 0;
}

inline void set_temp(Operand* e, const Value& v) {
    e->tmp.data = v.data;
    e->tmp.kind = v.kind;
    e->ref = nullptr;
    e->name = nullptr;
    e->flags = 0;
}

// ---- frames -------------------------------------------------------------

struct Chunk {
    Chunk* prev;
    size_t size;
    size_t used;
};
Chunk* g_chunk;
Chunk* g_spare_chunk;
constexpr size_t kChunkSize = 16 * 1024;

inline void* arena_push(size_t bytes) {
    bytes = (bytes + 15) & ~size_t(15);
    const size_t head = (sizeof(Chunk) + 15) & ~size_t(15);
    if (!g_chunk || g_chunk->used + bytes > g_chunk->size) {
        Chunk* c = nullptr;
        if (g_spare_chunk && g_spare_chunk->size >= bytes) {
            c = g_spare_chunk;
            g_spare_chunk = nullptr;
        } else {
            size_t size = bytes > kChunkSize ? bytes : kChunkSize;
            c = static_cast<Chunk*>(zv::heap_alloc_raw(head + size));
            if (!c) return nullptr;
            c->size = size;
        }
        c->used = 0;
        c->prev = g_chunk;
        g_chunk = c;
    }
    char* p = reinterpret_cast<char*>(g_chunk) + head + g_chunk->used;
    g_chunk->used += bytes;
    return p;
}

void arena_pop(void* p) {
    const size_t head = (sizeof(Chunk) + 15) & ~size_t(15);
    char* base = reinterpret_cast<char*>(g_chunk) + head;
    g_chunk->used = size_t(static_cast<char*>(p) - base);
    if (g_chunk->used == 0 && g_chunk->prev) {
        Chunk* c = g_chunk;
        g_chunk = c->prev;
        if (g_spare_chunk) zv::heap_free(g_spare_chunk);
        g_spare_chunk = c;
    }
}

// A variable of a frame slot: node and value in one record.
struct SlotVar {
    Node node;
    Value value;
};

struct Frame {
    const Code* code;
    Scope* root;     // the walked scope, or the function's scope
    Scope* dyn;      // where looks by name begin: the walked scope, or the function's parent
    Node** fslots;   // the frame's slots (the root's first)
    SlotVar* vars;   // their variables
    Scope* records;  // scope records by depth
    Value* result;
    void* memory;
    // A function call: its arguments on the value stack.
    int32_t args;
    int32_t nargs;
    Scope* caller;
    const SyntaxNode* call;
};

inline bool frame_open(Frame* fr, const Code* code) {
    size_t scopes = size_t(code->frame_scopes) * sizeof(Scope);
    size_t slots = size_t(code->frame_slots) * sizeof(Node*);
    size_t vars = size_t(code->frame_slots) * sizeof(SlotVar);
    char* p = static_cast<char*>(arena_push(scopes + slots + vars + 16));
    if (!p) return false;
    fr->memory = p;
    fr->code = code;
    fr->records = reinterpret_cast<Scope*>(p);
    for (int32_t i = 0; i < code->frame_scopes; ++i) fr->records[i].frame = 0;
    fr->fslots = reinterpret_cast<Node**>(p + scopes);
    memset(fr->fslots, 0, slots);
    fr->vars = reinterpret_cast<SlotVar*>(p + scopes + slots);
    return true;
}

inline Node*& slot_ref(Frame* fr, int32_t slot) { return fr->fslots[slot]; }

inline bool is_frame_var(const Frame* fr, const Node* v) {
    const char* p = reinterpret_cast<const char*>(v);
    return p >= reinterpret_cast<const char*>(fr->vars) &&
           p < reinterpret_cast<const char*>(fr->vars + fr->code->frame_slots);
}

// A new integer-0 variable in slot `slot` of scope s. The frame's own scopes
// hold their variables in the frame, with the name of the syntax node; the
// walked scope's variables are heap nodes with their own names, since that
// scope outlives the code (line mode, or a library running script in the
// scope that called it).
inline Node* make_var(Frame* fr, Scope* s, int32_t slot, const char16_t* name, int32_t hash) {
    Node* v;
    if (s->frame && !(fr->code->external && s == fr->root)) {
        SlotVar* sv = &fr->vars[slot];
        v = &sv->node;
        v->name = const_cast<char16_t*>(name);
        v->label = nullptr;
        v->hash = hash;
        v->value = &sv->value;
        v->next = nullptr;
        sv->value.data.r = 0;
        sv->value.kind = kInt;
        sv->value.owner = v;
    } else {
        v = node_new();
        if (!v) return nullptr;
        if (!(v->name = str_dup(name))) {
            node_free(v);
            return nullptr;
        }
        v->hash = hash;
    }
    if (s->observed || s->index || s->var_count + 1 >= kVarIndexFrom) {
        scope_link(s, v);
    } else {
        if (s->vars_tail)
            s->vars_tail->next = v;
        else
            s->vars = v;
        s->vars_tail = v;
        ++s->var_count;
    }
    slot_ref(fr, slot) = v;
    return v;
}

// Frees the rest of what a frame scope may hold (rarely anything).
void scope_empty_rest(Scope* s) {
    scope_drop_index(s);
    scope_drop_cache(s);
    pending_drop(s);
    node_list_free(s->stack);
    s->stack = nullptr;
}

// Frees the variables (and what else a scope holds) of a frame scope.
inline void scope_empty(Frame* fr, Scope* s) {
    for (Node* v = s->vars; v;) {
        Node* next = v->next;
        if (is_frame_var(fr, v)) {
            SlotVar* sv = reinterpret_cast<SlotVar*>(v);
            if (v->value == &sv->value && sv->value.kind >= kString) value_clear(&sv->value);
            fr->fslots[sv - fr->vars] = nullptr;
        } else {
            // Made by scope_add() from outside: it may hold a slot too.
            if (const ScopeLayout* l = s->layout) {
                for (int32_t k = 0; k < l->count; ++k) {
                    Node*& slot = fr->fslots[l->first_slot + k];
                    if (slot == v) slot = nullptr;
                }
            }
            node_free(v);
        }
        v = next;
    }
    s->vars = s->vars_tail = nullptr;
    s->var_count = 0;
    if (s->index || s->cache || s->post_inc || s->post_dec || s->stack) scope_empty_rest(s);
}

// A frame scope record for a new scope life.
inline void scope_begin(Scope* c, ScriptUnit* unit, Scope* parent, Node** slots, const ScopeLayout* layout,
                        int32_t base) {
    c->pos = nullptr;
    c->unit = unit;
    c->vars = c->vars_tail = nullptr;
    c->cache = nullptr;
    c->parent = parent;
    c->post_inc = c->post_dec = nullptr;
    c->stack = nullptr;
    c->line_mode = 0;
    c->name = nullptr;
    c->serial = ++g_scope_serial;
    c->parent_serial = parent->serial;
    c->observed = 0;
    c->var_count = 0;
    c->index = nullptr;
    c->slots = slots;
    c->layout = layout;
    c->base = base;
    c->held = 0;
    c->frame = 1;
}

// ---- helpers ------------------------------------------------------------

// The variable's name as the script wrote it (for error messages).
std::u16string written_name(const SyntaxNode* n) {
    const char16_t* p = n->pos;
    const char16_t* e = p;
    while ((*e >= u'a' && *e <= u'z') || (*e >= u'A' && *e <= u'Z') || (*e >= u'0' && *e <= u'9') || *e == u'_')
        ++e;
    if (e == p) return n->text;
    return std::u16string(p, e);
}

// Elements moved instead of copied must look copied: no labels, reals that
// are whole numbers stored as integers.
void settle_moved(Node* list) {
    for (Node* e = list; e; e = e->next) {
        if (e->label) {
            zv::heap_free(e->label);
            e->label = nullptr;
        }
        if (e->value->kind == kReal)
            value_set_number(e->value, e->value->data.r);
        else if (e->value->kind == kArray)
            settle_moved(e->value->data.a);
    }
}

inline bool settle(Scope* s, const SyntaxNode* at) {
    if (!s->post_inc && !s->post_dec) return true;
    s->pos = at->pos;
    return pending_apply(s);
}

// Where the native stack ends for script calls (below: "Nesting too deep").
char* g_stack_limit;

inline bool stack_low() { return static_cast<char*>(__builtin_frame_address(0)) < g_stack_limit; }

// The value stack and scope a step callback sees (step_operand).
int32_t g_step_base = -1;

int run(Frame* fr);

// ---- variables ------------------------------------------------------------

// The variable a reference names, when its first slot is empty: the other
// slots, then by name beyond the unit (cached), then made in the current
// scope, or "Undefined variable" in strict mode.
__attribute__((noinline)) Node* find_var(Frame* fr, Scope* cur, VarSite* site, const SyntaxNode* n) {
    const int32_t* cand = fr->code->cands + site->first_cand;
    for (int32_t k = 1; k < site->cand_count; ++k)
        if (Node* v = slot_ref(fr, cand[k])) return v;
    const char16_t* name = site->node->text;
    int32_t hash = site->node->ival;
    Scope* from = fr->dyn;
    if (from) {
        if (site->serial == from->serial && site->epoch == g_var_epoch) {
            if (site->var) return site->var;
        } else {
            Node* v = scope_find_dynamic(from, name, hash);
            site->serial = from->serial;
            site->epoch = g_var_epoch;
            site->var = v;
            if (v) return v;
        }
    }
    if (cur->unit->strict) {
        cur->pos = n->pos;
        report_error(cur, kErrUndefinedVariable, n->pos, written_name(n).c_str());
        return nullptr;
    }
    Node* v;
    if (site->create != kNoSlot) {
        v = make_var(fr, cur, site->create, name, hash);
    } else {
        // The compiler judged the name certainly visible here.
#if defined(ZV_SANITIZE) || defined(ZV_FUZZ)
        abort();
#endif
        v = scope_add(cur, name, hash);
    }
    if (!v) {
        cur->pos = n->pos;
        report_error(cur, kErrAlloc, n->pos);
    }
    return v;
}

// ---- indexing -------------------------------------------------------------

// arr[idx] into *out (an element reference, pinned when asked, or a copy
// when arr is a temporary). 0 or an error code.
__attribute__((noinline)) int index_value(Operand* arr, Operand* idx, bool pin, Operand* out) {
    Value* a = val(arr);
    Value* i = val(idx);
    Node* elem = nullptr;
    if (i->kind == kArray) return kErrIllegalArrayOperator;
    if (i->kind == kString) {
        const char16_t* text = i->data.s ? i->data.s : u"";
        char16_t* key = nullptr;
        const char16_t* lowered = text;
        for (const char16_t* p = text; *p; ++p) {
            if (*p >= u'A' && *p <= u'Z') {
                if (!(key = lower_dup(text))) return kErrAlloc;
                lowered = key;
                break;
            }
        }
        int32_t hash = name_hash(lowered);
        if (a->kind != kArray) {
            value_clear(a);
            a->kind = kArray;
        }
        elem = array_find_key(a, lowered, hash);
        if (!elem) {
            elem = node_new();
            if (elem && !key) key = str_dup(lowered);
            if (!elem || !key) {
                node_free(elem);
                zv::heap_free(key);
                return kErrAlloc;
            }
            elem->name = key;
            key = nullptr;
            elem->hash = hash;
            array_append(a, elem);
        }
        zv::heap_free(key);
    } else {
        int32_t pos = i->kind == kReal ? truncate_int(i->data.r) : i->data.i;
        if (pos < 0) return kErrNegativeIndex;
        if (a->kind != kArray) {
            value_clear(a);
            a->kind = kArray;
        }
        // Empty arrays grow like any other: a = {}; a[2] = 1 gives {0,0,1}.
        int32_t last_pos;
        Node* last = list_last(a->data.a, &last_pos);
        if (pos <= last_pos) {
            elem = list_at_fast(a->data.a, pos);
        } else {
            for (int32_t k = last_pos + 1; k <= pos; ++k) {
                Node* e = node_new();
                if (!e) return kErrAlloc;
                if (last)
                    last->next = e;
                else
                    a->data.a = e;
                list_appended(a->data.a, e, k);
                last = elem = e;
            }
        }
    }
    if (!arr->ref) {
        // A temporary array: the element is copied out of it.
        Value copy;
        memset(&copy, 0, sizeof copy);
        if (!value_assign(&copy, elem->value)) return kErrAlloc;
        set_temp(out, copy);
    } else {
        out->ref = elem->value;
        out->name = nullptr;
        out->flags = 0;
        if (pin) {
            value_pin(elem->value);
            out->flags = OF_PINNED;
        }
    }
    return 0;
}

// ---- operators ------------------------------------------------------------

// The unary operator op on *e, in place. 0 or an error code.
__attribute__((noinline)) int unary(Scope* cur, int32_t op, Operand* e) {
    Value* v = val(e);
    Value out;
    memset(&out, 0, sizeof out);
    switch (op) {
        case SK_NOT:
            if (v->kind == kArray) return kErrIllegalOperator;
            out.data.i = v->kind == kString ? !(v->data.s && v->data.s[0]) : !value_truthy(v);
            break;
        case SK_NEG:
        case SK_PLUS:
        case SK_BITNOT:
            if (v->kind != kInt && v->kind != kReal) return kErrIllegalOperator;
            if (op == SK_BITNOT)
                out.data.i = ~(v->kind == kInt ? v->data.i : truncate_int(v->data.r));
            else if (v->kind == kInt)
                out.data.i = op == SK_NEG ? int32_t(0u - uint32_t(v->data.i)) : v->data.i;
            else
                value_set_number(&out, op == SK_NEG ? -v->data.r : v->data.r);
            break;
        case SK_PREINC:
        case SK_PREDEC:
            if (!step_number(v, op == SK_PREINC ? 1 : -1)) return kErrIllegalOperator;
            if (!value_assign(&out, v)) return kErrAlloc;
            break;
        case SK_POSTINC:
        case SK_POSTDEC: {
            if (v->kind != kInt && v->kind != kReal) return kErrIllegalOperator;
            if (!e->ref) return 0;  // a temporary: nothing would see the change
            if (!value_assign(&out, v)) return kErrAlloc;
            Node* q = node_ref(v);
            if (!q) return kErrAlloc;
            pending_add(cur, q, op == SK_POSTINC ? 1 : -1);
            break;
        }
        default: return kErrIllegalOperator;
    }
    release(e);
    set_temp(e, out);
    return 0;
}

// Integer x op y for the operators that need nothing else; false for the
// rest (and for the cases the general rules handle: division, remainder by
// 0 or -1, shifts).
inline bool int_binary(int32_t op, int32_t x, int32_t y, int32_t* z) {
    uint32_t ux = uint32_t(x), uy = uint32_t(y);
    switch (op) {
        case SK_ADD: *z = int32_t(ux + uy); return true;
        case SK_SUB: *z = int32_t(ux - uy); return true;
        case SK_MUL: *z = int32_t(ux * uy); return true;
        case SK_LT: *z = x < y; return true;
        case SK_LE: *z = x <= y; return true;
        case SK_GT: *z = x > y; return true;
        case SK_GE: *z = x >= y; return true;
        case SK_EQ: *z = x == y; return true;
        case SK_NE: *z = x != y; return true;
        case SK_MOD:
            if (y == 0 || y == -1) return false;
            *z = x % y;
            return true;
        case SK_BITAND: *z = x & y; return true;
        case SK_BITOR: *z = x | y; return true;
        case SK_BITXOR: *z = x ^ y; return true;
        default: return false;
    }
}

// l op r into *out (a fresh value). 0 or an error code.
inline int binary_fresh(Scope* cur, int32_t op, const Value* l, const Value* r, Value* out) {
    out->kind = kInt;
    if ((l->kind | r->kind) == kInt && int_binary(op, l->data.i, r->data.i, &out->data.i)) return 0;
    out->data.r = 0;
    out->data.i = 0;
    return binary_value(op, l, r, out, cur->unit->ksc5 != 0);
}

// ---- text concatenation ---------------------------------------------------

// A string or number operand as text: pointer and length.
struct Text {
    const char16_t* s;
    size_t n;
    char16_t digits[12];
    std::u16string real;
};

void text_of(const Value* v, Text* t) {
    if (v->kind == kString) {
        t->s = v->data.s ? v->data.s : u"";
        t->n = str_len(t->s);
    } else if (v->kind == kInt) {
        uint32_t u = v->data.i < 0 ? 0u - uint32_t(v->data.i) : uint32_t(v->data.i);
        char16_t* p = t->digits + 12;
        do {
            *--p = char16_t(u'0' + u % 10);
            u /= 10;
        } while (u);
        if (v->data.i < 0) *--p = u'-';
        t->s = p;
        t->n = size_t(t->digits + 12 - p);
    } else {
        t->real = value_text(v);
        t->s = t->real.c_str();
        t->n = t->real.size();
    }
}

// l + r where one is a string and neither an array: the text goes into l.
// A text being built keeps room to grow (half as much again, once long),
// so appending to it copies only what is appended. 0 or an error code.
__attribute__((noinline)) int concat(Operand* l, const Value* lv, const Value* rv) {
    Text rt;
    text_of(rv, &rt);
    if (!l->ref && (l->flags & OF_SIZED)) {
        size_t n = l->len + rt.n;
        char16_t* s = l->tmp.data.s;
        if (n + 1 > l->cap) {
            size_t cap = n + 1 > size_t(l->cap) * 2 ? n + 1 : size_t(l->cap) * 2;
            if (cap > 0x7FFFFFFF) return kErrAlloc;
            char16_t* grown = static_cast<char16_t*>(zv::heap_alloc_raw(cap * sizeof(char16_t)));
            if (!grown) return kErrAlloc;
            memcpy(grown, s, l->len * sizeof(char16_t));
            zv::heap_free(s);
            l->tmp.data.s = s = grown;
            l->cap = uint32_t(cap);
        }
        memcpy(s + l->len, rt.s, rt.n * sizeof(char16_t));
        s[n] = 0;
        l->len = uint32_t(n);
        return 0;
    }
    Text lt;
    text_of(lv, &lt);
    size_t n = lt.n + rt.n;
    size_t cap = n + 1 + (n >= 64 ? n / 2 : 0);
    if (cap > 0x7FFFFFFF) return kErrAlloc;
    char16_t* s = static_cast<char16_t*>(zv::heap_alloc_raw(cap * sizeof(char16_t)));
    if (!s) return kErrAlloc;
    memcpy(s, lt.s, lt.n * sizeof(char16_t));
    memcpy(s + lt.n, rt.s, rt.n * sizeof(char16_t));
    s[n] = 0;
    release(l);
    l->ref = nullptr;
    l->name = nullptr;
    l->tmp.kind = kString;
    l->tmp.data.s = s;
    l->flags = OF_SIZED;
    l->len = uint32_t(n);
    l->cap = uint32_t(cap);
    return 0;
}

inline bool is_concat(int32_t op, const Value* l, const Value* r) {
    return op == SK_ADD && (l->kind == kString || r->kind == kString) && l->kind != kArray && r->kind != kArray;
}

// The binary operator on the left operand entry l (consumed) and the value r:
// the result replaces l. 0 or an error code.
int binary_into(Scope* cur, int32_t op, Operand* l, const Value* r) {
    Value* lv = val(l);
    if (is_concat(op, lv, r)) return concat(l, lv, r);
    // A temporary left operand takes the result in place: every rule reads
    // both operands before it writes the result.
    Value fresh;
    memset(&fresh, 0, sizeof fresh);
    Value* out = &fresh;
    if (!l->ref) {
        out = &l->tmp;
        l->flags &= ~OF_SIZED;
        if (l->name) {
            zv::heap_free(l->name);
            l->name = nullptr;
        }
    }
    int err = binary_value(op, lv, r, out, cur->unit->ksc5 != 0);
    if (err) return err;
    if (l->ref) {
        release(l);
        set_temp(l, fresh);
    }
    return 0;
}

// ---- calls ----------------------------------------------------------------

// A native function: arguments become the library interface's nodes.
// *out gets the result; false after a reported error or a silent stop.
__attribute__((noinline)) bool call_native(Scope* cur, const SyntaxNode* call, NativeFunc fn, Operand* args, int32_t nargs, Operand* out) {
    Node* list = nullptr;
    Node** tail = &list;
    for (int32_t i = 0; i < nargs; ++i) {
        Operand* e = args + i;
        Node* n;
        if (e->ref) {
            n = node_ref(e->ref);
        } else {
            n = node_new();
            if (n) {
                n->value->data = e->tmp.data;
                n->value->kind = e->tmp.kind;
                e->tmp.kind = kInt;  // moved
            }
        }
        if (!n) {
            node_list_free(list);
            cur->pos = call->pos;
            report_error(cur, kErrAlloc, call->pos);
            return false;
        }
        n->name = e->name;
        n->hash = e->hash;
        e->name = nullptr;
        *tail = n;
        tail = &n->next;
    }
    Node* result = node_new();
    if (!result) {
        node_list_free(list);
        report_error(cur, kErrAlloc, call->pos);
        return false;
    }
    char16_t errbuf[kErrBufSize];
    errbuf[0] = 0;
    int32_t rc = fn(cur, list, result, errbuf);
    bool ok = rc >= 0;
    if (ok) {
        // A library may have stored a string or array: the engine owns it now.
        Value* v = result->value;
        out->tmp.data = v->data;
        out->tmp.kind = v->kind;
        out->ref = nullptr;
        out->flags = 0;
        out->name = result->name;
        out->hash = result->hash;
        result->name = nullptr;
        v->kind = kInt;
        v->owner = result;
    } else if (rc == -2) {
        report_error(cur, kErrTooFewArguments, call->pos);
    } else if (rc == -1) {
        errbuf[kErrBufSize - 1] = 0;
        report_error(cur, kErrFunction, call->pos, errbuf);
    }
    node_free(result);
    node_list_free(list);
    return ok;
}

__attribute__((noinline)) Code* code_for(const SyntaxNode* head, bool step, bool function, Scope* s) {
    SyntaxNode* h = const_cast<SyntaxNode*>(head);
    bool line_mode = !function && s->line_mode;
    if (h->code) {
        if (Code* c = h->code->form[step]) {
            if (c->line_mode == line_mode) return c;
            code_free(c);  // the same text, now walked in line mode (or no longer)
            h->code->form[step] = nullptr;
        }
    } else if (!(h->code = static_cast<CodeForms*>(zv::heap_alloc(sizeof(CodeForms))))) {
        s->pos = head->pos;
        report_error(s, kErrAlloc, head->pos);
        return nullptr;
    }
    int error = kErrAlloc;
    const SyntaxNode* where = head;
    Code* c = function ? compile_function(head, step, &error, &where)
                       : compile_top(head, step, line_mode, &error, &where);
    if (!c) {
        s->pos = where->pos;
        report_error(s, error, where->pos);
        return nullptr;
    }
    h->code->form[step] = c;
    return c;
}

// A script function: a frame, the parameters bound by its code, its body.
// *ret gets the value (integer 0 without one), *exited whether `exit` ran.
__attribute__((noinline)) bool call_script(Scope* cur, const SyntaxNode* call, const CallSite* cs, int32_t args, int32_t nargs, Value* ret,
                 bool* exited) {
    if (stack_low()) {
        report_error(cur, kErrTooDeep, call->pos);
        return false;
    }
    const SyntaxNode* def = static_cast<const SyntaxNode*>(cs->target);
    bool step = cur->unit->root->step != nullptr;
    const Code* code = code_for(def, step, true, cur);
    if (!code) return false;
    Frame fr;
    fr.memory = nullptr;
    if (!frame_open(&fr, code) || !vs_reserve(g_vs.top, code->max_stack)) {
        if (fr.memory) arena_pop(fr.memory);
        report_error(cur, kErrAlloc, call->pos);
        return false;
    }
    Scope* f = &fr.records[0];
    scope_begin(f, cs->unit, cs->run_scope ? cs->run_scope : cur, fr.fslots, &code->layouts[0], g_vs.top);
    f->pos = call->pos;
    fr.root = f;
    fr.dyn = f->parent;
    result_init(ret);
    fr.result = ret;
    fr.args = args;
    fr.nargs = nargs;
    fr.caller = cur;
    fr.call = call;
    int rc = run(&fr);
    if (rc == kWalkBreak || rc == kWalkContinue) {
        report_error(cur, kErrSyntax, call->pos);
        rc = kWalkError;
    }
    // Values the body left (a returned value stays on the stack).
    for (Operand* e = g_vs.data + g_vs.top; e-- > g_vs.data + f->base;) release(e);
    g_vs.top = f->base;
    if (f->vars || f->index || f->cache || f->post_inc || f->post_dec || f->stack) scope_empty(&fr, f);
    arena_pop(fr.memory);
    if (rc == kWalkError) {
        value_clear(ret);
        ret->kind = kNoValue;
        return false;
    }
    if (ret->kind == kNoValue) value_set_int(ret, 0);
    *exited = rc == kWalkExit;
    return true;
}

// ---- the run loop ---------------------------------------------------------

int run(Frame* fr) {
    const Code* code = fr->code;
    const Insn* const insns = code->insns;
    const Insn* ip = insns;
    Operand* stack = g_vs.data;
    Operand* sp = stack + g_vs.top;
    Scope* cur = fr->root;
    int rc = kWalkDone;
    int err = 0;

// Calls out of the loop may grow (move) the value stack.
#define SAVE() (g_vs.top = int32_t(sp - stack))
#define RELOAD() (stack = g_vs.data, sp = stack + g_vs.top)
#define BASE() (stack + cur->base)
#define FAIL(code_)          \
    do {                     \
        err = (code_);       \
        goto report;         \
    } while (0)

    // Threaded dispatch: each instruction jumps straight to the next one's code.
    static const void* kDispatch[OP_COUNT];
    if (!kDispatch[OP_HALT]) {
        kDispatch[OP_NOP] = &&L_OP_FAIL;
        kDispatch[OP_HALT] = &&L_OP_HALT;
        kDispatch[OP_STEP] = &&L_OP_STEP;
        kDispatch[OP_JUMP] = &&L_OP_JUMP;
        kDispatch[OP_FAIL] = &&L_OP_FAIL;
        kDispatch[OP_PUSH_INT] = &&L_OP_PUSH_INT;
        kDispatch[OP_PUSH_REAL] = &&L_OP_PUSH_REAL;
        kDispatch[OP_PUSH_STR] = &&L_OP_PUSH_STR;
        kDispatch[OP_PUSH_MARK] = &&L_OP_PUSH_MARK;
        kDispatch[OP_VAR] = &&L_OP_VAR;
        kDispatch[OP_VARDECL] = &&L_OP_VARDECL;
        kDispatch[OP_ASSIGN] = &&L_OP_ASSIGN;
        kDispatch[OP_COMPOUND] = &&L_OP_COMPOUND;
        kDispatch[OP_INDEX] = &&L_OP_INDEX;
        kDispatch[OP_KEY] = &&L_OP_KEY;
        kDispatch[OP_BIN] = &&L_OP_BIN;
        kDispatch[OP_UN] = &&L_OP_UN;
        kDispatch[OP_ANDOR] = &&L_OP_ANDOR;
        kDispatch[OP_SHORT] = &&L_OP_SHORT;
        kDispatch[OP_END] = &&L_OP_END;
        kDispatch[OP_TEST] = &&L_OP_TEST;
        kDispatch[OP_ENTER] = &&L_OP_ENTER;
        kDispatch[OP_LEAVE] = &&L_OP_LEAVE;
        kDispatch[OP_LEAVE_EMPTY] = &&L_OP_LEAVE_EMPTY;
        kDispatch[OP_SETTLE] = &&L_OP_SETTLE;
        kDispatch[OP_MAKE_ARRAY] = &&L_OP_MAKE_ARRAY;
        kDispatch[OP_SWITCH] = &&L_OP_SWITCH;
        kDispatch[OP_CASE] = &&L_OP_CASE;
        kDispatch[OP_SWITCH_END] = &&L_OP_SWITCH_END;
        kDispatch[OP_UNWIND] = &&L_OP_UNWIND;
        kDispatch[OP_ESCAPE] = &&L_OP_ESCAPE;
        kDispatch[OP_RETURN] = &&L_OP_RETURN;
        kDispatch[OP_CALL] = &&L_OP_CALL;
        kDispatch[OP_PARAM] = &&L_OP_PARAM;
        kDispatch[OP_PARAMS] = &&L_OP_PARAMS;
        kDispatch[OP_DEFAULT_SET] = &&L_OP_DEFAULT_SET;
        kDispatch[OP_ASSIGN_STMT] = &&L_OP_ASSIGN_STMT;
        kDispatch[OP_STORE_STMT] = &&L_OP_STORE_STMT;
        kDispatch[OP_INCR_STMT] = &&L_OP_INCR_STMT;
        kDispatch[OP_BIN_K] = &&L_OP_BIN_K;
        kDispatch[OP_BIN_S] = &&L_OP_BIN_S;
        kDispatch[OP_BIN_V] = &&L_OP_BIN_V;
        kDispatch[OP_BIN_VK] = &&L_OP_BIN_VK;
        kDispatch[OP_BIN_VV] = &&L_OP_BIN_VV;
        kDispatch[OP_INDEX_K] = &&L_OP_INDEX_K;
        kDispatch[OP_INDEX_V] = &&L_OP_INDEX_V;
        kDispatch[OP_INDEX_VV] = &&L_OP_INDEX_VV;
        kDispatch[OP_TEST_K] = &&L_OP_TEST_K;
        kDispatch[OP_TEST_VK] = &&L_OP_TEST_VK;
        kDispatch[OP_TEST_VV] = &&L_OP_TEST_VV;
    }
#define NEXT() goto* kDispatch[ip->op]

    NEXT();
    {
        {
            L_OP_HALT:
                if (!settle(cur, ip->node)) goto failed;
                rc = kWalkDone;
                goto out;

            L_OP_STEP: {
                ScriptUnit* root = cur->unit->root;
                cur->pos = ip->node->pos;
                if (root->step) {
                    SAVE();
                    int32_t saved_base = g_step_base;
                    g_step_base = cur->base;
                    int stop = root->step(cur, ip->node, root->step_ctx);
                    g_step_base = saved_base;
                    RELOAD();
                    if (stop) {
                        rc = kWalkExit;
                        goto unwind;
                    }
                }
                ++ip;
                NEXT();
            }

            L_OP_JUMP:
                ip = insns + ip->b;
                NEXT();

            L_OP_FAIL: FAIL(ip->a);

            L_OP_PUSH_INT:
                set_int(sp++, ip->b);
                ++ip;
                NEXT();

            L_OP_PUSH_REAL:
                set_int(sp, 0);
                sp->tmp.data.r = ip->node->rval;
                sp->tmp.kind = kReal;
                ++sp;
                ++ip;
                NEXT();

            L_OP_PUSH_STR: {
                char16_t* text = str_dup(ip->node->text);
                if (!text) FAIL(kErrAlloc);
                set_int(sp, 0);
                sp->tmp.data.s = text;
                sp->tmp.kind = kString;
                ++sp;
                ++ip;
                NEXT();
            }

            L_OP_PUSH_MARK:
                set_int(sp, 0);
                sp->flags = OF_MARKER;
                ++sp;
                ++ip;
                NEXT();

            L_OP_VAR: {
                Node* v = ip->c != kNoSlot ? slot_ref(fr, ip->c) : nullptr;
                if (!v) {
                    SAVE();
                    v = find_var(fr, cur, &code->sites[ip->d], ip->node);
                    if (!v) goto failed;
                }
                sp->ref = v->value;
                sp->name = nullptr;
                sp->flags = 0;
                ++sp;
                if (ip->a) {
                    // Inside an array literal the element takes the name.
                    if (!(sp[-1].name = str_dup(ip->node->text))) FAIL(kErrAlloc);
                    sp[-1].hash = ip->node->ival;
                }
                ++ip;
                NEXT();
            }

            L_OP_VARDECL: {
                VarSite* site = &code->sites[ip->d];
                if (slot_ref(fr, site->create)) {
                    cur->pos = ip->node->pos;
                    report_error(cur, kErrDuplicateVariable, ip->node->pos, written_name(ip->node).c_str());
                    goto failed;
                }
                Node* v = make_var(fr, cur, site->create, ip->node->text, ip->node->ival);
                if (!v) FAIL(kErrAlloc);
                sp->ref = v->value;
                sp->name = nullptr;
                sp->flags = 0;
                ++sp;
                if (ip->a) {
                    if (!(sp[-1].name = str_dup(ip->node->text))) FAIL(kErrAlloc);
                    sp[-1].hash = ip->node->ival;
                }
                ++ip;
                NEXT();
            }

            L_OP_ASSIGN: {
                Operand* v = sp - 1;
                Operand* t = sp - 2;
                Value* tv = val(t);
                if (!v->ref && t->ref && (v->tmp.kind == kString || v->tmp.kind == kArray) &&
                    ((ip->a & AF_MOVE) || ((ip->a & AF_MOVE_LINE) && !cur->line_mode))) {
                    // A statement of its own (`s = s + "x"`): the temporary's
                    // text or elements move into the target instead of being
                    // copied; what remains on the stack shows the target.
                    // Not where a line feed keeps the value: it must not
                    // change with the variable later on.
                    Value old = *tv;
                    if (v->tmp.kind == kArray) settle_moved(v->tmp.data.a);
                    tv->data = v->tmp.data;
                    tv->kind = v->tmp.kind;
                    v->tmp.kind = kInt;
                    value_clear(&old);
                    v->ref = tv;
                    v->flags &= ~OF_SIZED;
                    if (t->flags & OF_PINNED) {
                        v->flags |= OF_PINNED;
                        t->flags &= ~OF_PINNED;
                    }
                } else if (!value_assign(tv, val(v))) {
                    FAIL(kErrAlloc);
                }
                if ((ip->a & AF_IN_ARRAY) && t->name) {
                    zv::heap_free(v->name);
                    v->name = t->name;
                    v->hash = t->hash;
                    t->name = nullptr;
                }
                release(t);
                *t = *v;
                --sp;
                ++ip;
                NEXT();
            }

            L_OP_COMPOUND: {
                // A copy of the target's value goes under the right operand.
                Value copy;
                memset(&copy, 0, sizeof copy);
                if (!value_assign(&copy, val(sp - 2))) FAIL(kErrAlloc);
                sp[0] = sp[-1];
                set_temp(sp - 1, copy);
                ++sp;
                ++ip;
                NEXT();
            }

            L_OP_INDEX: {
                Operand* idx = sp - 1;
                Operand* arr = sp - 2;
                Value* a = val(arr);
                Value* i = val(idx);
                // An element of a variable's (or element's) array, by position.
                if (arr->ref && a->kind == kArray && i->kind == kInt && i->data.i >= 0) {
                    if (Node* e = list_at_fast(a->data.a, i->data.i)) {
                        // An element of a pinned (maybe parked) array is
                        // pinned too: releasing that array may free it.
                        bool pin = ip->a || (arr->flags & OF_PINNED);
                        if (pin) value_pin(e->value);
                        release(idx);
                        release(arr);
                        arr->ref = e->value;
                        arr->name = nullptr;
                        arr->flags = pin ? OF_PINNED : 0;
                        --sp;
                        ++ip;
                        NEXT();
                    }
                }
            }
            index_general: {
                Operand* idx = sp - 1;
                Operand* arr = sp - 2;
                Operand out;
                err = index_value(arr, idx, ip->a || (arr->flags & OF_PINNED), &out);
                if (err) goto report;
                release(idx);
                release(arr);
                *arr = out;
                --sp;
                ++ip;
                NEXT();
            }

            L_OP_KEY: {
                Operand* v = sp - 1;
                Operand* k = sp - 2;
                Value* kv = val(k);
                if (kv->kind == kString && kv->data.s && kv->data.s[0]) {
                    char16_t* name = lower_dup(kv->data.s);
                    if (!name) FAIL(kErrAlloc);
                    zv::heap_free(v->name);
                    v->name = name;
                    v->hash = name_hash(name);
                }
                release(k);
                *k = *v;
                --sp;
                ++ip;
                NEXT();
            }

            L_OP_BIN: {
                Operand* r = sp - 1;
                Operand* l = sp - 2;
                Value* lv = val(l);
                Value* rv = val(r);
                int32_t z;
                if ((lv->kind | rv->kind) == kInt && int_binary(ip->a, lv->data.i, rv->data.i, &z)) {
                    if ((l->flags | r->flags) || l->name || r->name) {
                        release(l);
                        release(r);
                        set_int(l, z);
                    } else {
                        l->ref = nullptr;
                        l->tmp.kind = kInt;
                        l->tmp.data.i = z;
                    }
                    --sp;
                    ++ip;
                    NEXT();
                }
                err = binary_into(cur, ip->a, l, rv);
                if (err) goto report;
                release(r);
                --sp;
                ++ip;
                NEXT();
            }

            L_OP_UN:
                err = unary(cur, ip->a, sp - 1);
                if (err) goto report;
                ++ip;
                NEXT();

            L_OP_ANDOR: {
                Operand* r = sp - 1;
                Operand* l = sp - 2;
                bool lt = value_truthy(val(l)), rt = value_truthy(val(r));
                release(r);
                release(l);
                set_int(l, ip->a == SK_AND ? (lt && rt) : (lt || rt));
                --sp;
                ++ip;
                NEXT();
            }

            L_OP_SHORT:
                if (sp > BASE()) {
                    bool truth = value_truthy(val(sp - 1));
                    if (truth == (ip->a == SK_ORTEST)) {
                        release(sp - 1);
                        set_int(sp - 1, truth ? 1 : 0);
                        ip = insns + ip->b;
                        NEXT();
                    }
                }
                ++ip;
                NEXT();

            L_OP_END:
                if (!settle(cur, ip->node)) goto failed;
                if (ip->a && cur->line_mode) {
                    // Line mode keeps what a line leaves for the host to show.
                    SAVE();
                    if (!vs_reserve(g_vs.top, code->max_stack)) FAIL(kErrAlloc);
                    RELOAD();
                } else {
                    for (Operand* base = BASE(); sp > base;) release(--sp);
                }
                ++ip;
                NEXT();

            L_OP_TEST: {
                bool truth = false;
                if (sp > BASE()) {
                    --sp;
                    truth = value_truthy(val(sp));
                    release(sp);
                }
                if (!settle(cur, ip->node)) goto failed;
                ip = truth ? ip + 1 : insns + ip->b;
                NEXT();
            }

            L_OP_ENTER:
            L_OP_SWITCH: {
                if (ip->op == OP_SWITCH && !settle(cur, ip->node)) goto failed;
                const ScopeLayout* l = &code->layouts[ip->b];
                Scope* c = &fr->records[l->depth];
                if (!(c->frame && c->parent == cur && c->parent_serial == cur->serial)) {
                    // A new scope life. An empty scope re-entered under the
                    // same parent keeps its serial: its looks give the same.
                    scope_begin(c, cur->unit, cur, fr->fslots, l, int32_t(sp - stack));
                } else {
                    c->unit = cur->unit;
                    c->layout = l;
                    c->base = int32_t(sp - stack);
                }
                c->held = ip->op == OP_SWITCH;
                cur = c;
                ++ip;
                NEXT();
            }

            L_OP_LEAVE:
                if (!settle(cur, ip->node)) goto failed;
                for (Operand* base = BASE(); sp > base;) release(--sp);
                if (cur->vars || cur->cache || cur->post_inc || cur->post_dec || cur->index) {
                    scope_empty(fr, cur);
                    cur->frame = 0;  // a new life next time
                }
                cur = cur->parent;
                ++ip;
                NEXT();

            L_OP_SETTLE:
                if (!settle(cur, ip->node)) goto failed;
                ++ip;
                NEXT();

            L_OP_LEAVE_EMPTY:
                if (!settle(cur, ip->node)) goto failed;
                for (Operand* base = BASE(); sp > base;) release(--sp);
                ++ip;
                NEXT();

            L_OP_MAKE_ARRAY: {
                // The values left in the literal's scope, in order, become
                // the elements; references are copied, keys kept.
                Operand* base = BASE();
                Node* head = nullptr;
                Node** tail = &head;
                for (Operand* e = base; e < sp; ++e) {
                    Node* n = node_new();
                    if (!n) break;
                    if (e->ref) {
                        if (!value_assign(n->value, e->ref)) {
                            node_free(n);
                            break;
                        }
                    } else {
                        n->value->data = e->tmp.data;
                        n->value->kind = e->tmp.kind;
                        e->tmp.kind = kInt;
                        if (n->value->kind == kReal) value_set_number(n->value, n->value->data.r);
                    }
                    n->name = e->name;
                    n->hash = e->hash;
                    e->name = nullptr;
                    *tail = n;
                    tail = &n->next;
                }
                bool complete = true;
                for (Operand* e = base; e < sp; ++e)
                    if (e->name || (!e->ref && (e->tmp.kind == kString || e->tmp.kind == kArray))) complete = false;
                while (sp > base) release(--sp);
                if (cur->vars || cur->cache || cur->post_inc || cur->post_dec || cur->index) {
                    scope_empty(fr, cur);
                    cur->frame = 0;
                }
                cur = cur->parent;
                if (!complete) {
                    node_list_free(head);
                    FAIL(kErrAlloc);
                }
                set_int(sp, 0);
                sp->tmp.kind = kArray;
                sp->tmp.data.a = head;
                ++sp;
                ++ip;
                NEXT();
            }

            L_OP_CASE: {
                Operand* base = BASE();
                bool match = sp > base && values_equal(val(sp - 1), val(base - 1));
                while (sp > base) release(--sp);
                ip = match ? insns + ip->b : ip + 1;
                NEXT();
            }

            L_OP_SWITCH_END:
                for (Operand* base = BASE() - cur->held; sp > base;) release(--sp);  // with the switch value
                if (cur->vars || cur->cache || cur->post_inc || cur->post_dec || cur->index) {
                    scope_empty(fr, cur);
                    cur->frame = 0;
                }
                cur = cur->parent;
                ++ip;
                NEXT();

            L_OP_UNWIND:
                while (cur->layout->depth > ip->c) {
                    if (!settle(cur, ip->node)) goto failed;
                    for (Operand* base = BASE() - cur->held; sp > base;) release(--sp);
                    if (cur->vars || cur->cache || cur->post_inc || cur->post_dec || cur->index) {
                        scope_empty(fr, cur);
                        cur->frame = 0;
                    }
                    cur = cur->parent;
                }
                if (!settle(cur, ip->node)) goto failed;
                ip = insns + ip->b;
                NEXT();

            L_OP_ESCAPE:
                rc = ip->a;
                goto unwind;

            L_OP_RETURN:
                if (ip->b && fr->result && sp > BASE()) {
                    Operand* e = sp - 1;
                    Value* v = val(e);
                    if (v->kind == kInt && fr->result->kind <= kInt) {
                        fr->result->data.i = v->data.i;
                        fr->result->kind = kInt;
                    } else if (!code->external && !e->ref && fr->result->kind <= kInt && v->kind != kReal) {
                        // A function's temporary moves out: nothing sees it
                        // (a copy would look the same).
                        if (v->kind == kArray) settle_moved(v->data.a);
                        fr->result->data = v->data;
                        fr->result->kind = v->kind;
                        v->kind = kInt;
                    } else if (!value_assign(fr->result, v)) {
                        FAIL(kErrAlloc);
                    }
                }
                rc = -int(ip->a);
                if (cur == fr->root && !cur->post_inc && !cur->post_dec && !code->flat_count) goto out;
                goto unwind;

            L_OP_CALL: {
                const SyntaxNode* n = ip->node;
                int32_t nargs = ip->c;
                Operand* args = sp - nargs;
                CallSite* cs = &code->calls[ip->b];
                if (cs->gen != g_resolve_gen || (!cur->frame && cs->serial != cur->serial)) {
                    if (!resolve_call(cur, n->text, n->ival, cs)) {
                        cs->gen = 0;
                        while (sp > args - 1) release(--sp);  // the arguments and the marker
                        cur->pos = n->pos;
                        report_error(cur, kErrFunctionNotFound, n->pos);
                        goto failed;
                    }
                    cs->gen = g_resolve_gen;
                    cs->serial = cur->frame ? 0 : cur->serial;
                }
                cur->pos = n->pos;
                Operand result;
                bool exited = false;
                bool ok;
                if (cs->native) {
                    SAVE();
                    ok = call_native(cur, n, reinterpret_cast<NativeFunc>(cs->target), args, nargs, &result);
                    RELOAD();
                } else {
                    Value ret;
                    SAVE();
                    ok = call_script(cur, n, cs, int32_t(args - stack), nargs, &ret, &exited);
                    RELOAD();
                    if (ok) set_temp(&result, ret);
                }
                args = sp - nargs;
                while (sp > args - 1) release(--sp);  // the arguments and the marker
                if (!ok) goto failed;
                if (exited) {
                    // `exit` ran inside: the run ends, its value goes up.
                    if (fr->result && !value_assign(fr->result, &result.tmp)) {
                        release(&result);
                        FAIL(kErrAlloc);
                    }
                    release(&result);
                    rc = kWalkExit;
                    goto unwind;
                }
                *sp++ = result;
                ++ip;
                NEXT();
            }

            L_OP_PARAM: {
                const SyntaxNode* p = ip->node;
                if (fr->fslots[ip->c]) {
                    report_error(cur, kErrDuplicateVariable, p->pos, p->text);
                    goto failed;
                }
                if (ip->x < fr->nargs) {
                    Operand* arg = stack + fr->args + ip->x;
                    Node* v = make_var(fr, cur, ip->c, p->text, p->ival);
                    if ((ip->d & PF_BYREF) && arg->ref) {
                        // Shares the argument's value record: assignments
                        // reach the caller.
                        v->value = arg->ref;
                    } else if (ip->d & PF_BYREF) {
                        // A temporary: the parameter takes it as it is.
                        *v->value = arg->tmp;
                        v->value->owner = v;
                        arg->tmp.kind = kInt;
                    } else if (val(arg)->kind == kInt) {
                        v->value->data.i = val(arg)->data.i;
                    } else if (!value_assign(v->value, val(arg))) {
                        FAIL(kErrAlloc);
                    }
                    ip = insns + ip->b;
                    NEXT();
                }
                make_var(fr, cur, ip->c, p->text, p->ival);
                if (!(ip->d & PF_DEFAULT)) {
                    report_error(fr->caller, kErrTooFewArguments, fr->call->pos);
                    goto failed;
                }
                ++ip;
                NEXT();
            }

            L_OP_PARAMS: {
                Operand* arg = stack + fr->args + ip->x;
                int32_t end = ip->x + ip->b;
                int32_t given = fr->nargs < end ? fr->nargs : end;
                int32_t i = ip->x;
                for (const SyntaxNode* p = ip->node; i < end; ++i, ++arg, p = p->next) {
                    Node* v = make_var(fr, cur, i, p->text, p->ival);
                    if (i >= given) {
                        report_error(fr->caller, kErrTooFewArguments, fr->call->pos);
                        goto failed;
                    }
                    Value* a = val(arg);
                    if (a->kind == kInt) {
                        v->value->data.i = a->data.i;
                    } else if (!value_assign(v->value, a)) {
                        cur->pos = p->pos;
                        report_error(cur, kErrAlloc, p->pos);
                        goto failed;
                    }
                }
                ++ip;
                NEXT();
            }

            L_OP_DEFAULT_SET: {
                Node* v = fr->fslots[ip->c];
                bool ok = sp <= BASE() || value_assign(v->value, val(sp - 1));
                for (Operand* base = BASE(); sp > base;) release(--sp);
                if (!ok) FAIL(kErrAlloc);
                ++ip;
                NEXT();
            }

            // ---- fused instructions (plain variant) ----

#define SITE_VAR(v_, index_, slot_)                                            \
    do {                                                                       \
        v_ = (slot_) != kNoSlot16 ? fr->fslots[slot_] : nullptr;               \
        if (!v_) {                                                             \
            VarSite* site_ = &code->sites[index_];                             \
            if (site_->slot0 != kNoSlot) v_ = fr->fslots[site_->slot0];        \
            if (!v_) {                                                         \
                SAVE();                                                        \
                v_ = find_var(fr, cur, site_, site_->node);                    \
                if (!v_) goto failed;                                          \
            }                                                                  \
        }                                                                      \
    } while (0)
#define TEST_JUMP(truth_) (((ip->a & kTestTrue) ? (truth_) : !(truth_)) ? insns + ip->b : ip + 1)

            L_OP_ASSIGN_STMT: {
                Operand* v = sp - 1;
                Operand* t = sp - 2;
                Value* tv = val(t);
                bool keep = ip->c && cur->line_mode;
                if (!keep && !v->ref && t->ref && (v->tmp.kind == kString || v->tmp.kind == kArray)) {
                    Value old = *tv;
                    if (v->tmp.kind == kArray) settle_moved(v->tmp.data.a);
                    tv->data = v->tmp.data;
                    tv->kind = v->tmp.kind;
                    v->tmp.kind = kInt;
                    value_clear(&old);
                } else if ((tv->kind | val(v)->kind) == kInt && tv != val(v)) {
                    tv->data.i = val(v)->data.i;
                } else if (!value_assign(tv, val(v))) {
                    FAIL(kErrAlloc);
                }
                if (keep) {
                    release(t);
                    *t = *v;
                    --sp;
                    SAVE();
                    if (!vs_reserve(g_vs.top, code->max_stack)) FAIL(kErrAlloc);
                    RELOAD();
                } else {
                    for (Operand* base = BASE(); sp > base;) release(--sp);
                }
                ++ip;
                NEXT();
            }

            L_OP_INCR_STMT: {
                Node* var;
                SITE_VAR(var, ip->d, ip->x);
                Value* v = var->value;
                if (v->kind != kInt && v->kind != kReal) FAIL(kErrIllegalOperator);
                bool keep = ip->c && cur->line_mode;
                if (keep && (ip->a == SK_POSTINC || ip->a == SK_POSTDEC)) {
                    Value copy;
                    memset(&copy, 0, sizeof copy);
                    value_assign(&copy, v);
                    set_temp(sp++, copy);
                }
                if (v->kind == kInt)
                    v->data.i = int32_t(uint32_t(v->data.i) + uint32_t(ip->b));
                else
                    step_number(v, ip->b);
                if (keep && (ip->a == SK_PREINC || ip->a == SK_PREDEC)) {
                    Value copy;
                    memset(&copy, 0, sizeof copy);
                    value_assign(&copy, v);
                    set_temp(sp++, copy);
                }
                if (keep) {
                    SAVE();
                    if (!vs_reserve(g_vs.top, code->max_stack)) FAIL(kErrAlloc);
                    RELOAD();
                }
                ++ip;
                NEXT();
            }

            L_OP_BIN_K: {
                Operand* l = sp - 1;
                Value* lv = val(l);
                int32_t z;
                if (lv->kind == kInt && int_binary(ip->a, lv->data.i, ip->b, &z)) {
                    if (l->flags || l->name) release(l);
                    set_int(l, z);
                    ++ip;
                    NEXT();
                }
                Value k;
                k.kind = kInt;
                k.data.i = ip->b;
                err = binary_into(cur, ip->a, l, &k);
                if (err) goto report;
                ++ip;
                NEXT();
            }

            L_OP_BIN_S: {
                Value k;
                k.kind = kString;
                k.data.s = const_cast<char16_t*>(code->texts[ip->b]);
                err = binary_into(cur, ip->a, sp - 1, &k);
                if (err) goto report;
                ++ip;
                NEXT();
            }

            L_OP_BIN_V: {
                Node* y;
                SITE_VAR(y, ip->d, ip->x);
                Operand* l = sp - 1;
                Value* lv = val(l);
                int32_t z;
                if ((lv->kind | y->value->kind) == kInt && int_binary(ip->a, lv->data.i, y->value->data.i, &z)) {
                    if (l->flags || l->name) release(l);
                    set_int(l, z);
                    ++ip;
                    NEXT();
                }
                err = binary_into(cur, ip->a, l, y->value);
                if (err) goto report;
                ++ip;
                NEXT();
            }

            L_OP_BIN_VK: {
                Node* x;
                SITE_VAR(x, ip->d, ip->x);
                int32_t z;
                if (x->value->kind == kInt && int_binary(ip->a, x->value->data.i, ip->b, &z)) {
                    set_int(sp++, z);
                    ++ip;
                    NEXT();
                }
                Value k;
                k.kind = kInt;
                k.data.i = ip->b;
                set_int(sp, 0);
                sp->ref = x->value;
                err = binary_into(cur, ip->a, sp, &k);
                if (err) {
                    sp->ref = nullptr;
                    goto report;
                }
                ++sp;
                ++ip;
                NEXT();
            }

            L_OP_BIN_VV: {
                Node* x;
                Node* y;
                SITE_VAR(x, ip->d, ip->x);
                SITE_VAR(y, ip->d + 1, ip->c < kNoSlot16 ? ip->c : kNoSlot16);
                int32_t z;
                if ((x->value->kind | y->value->kind) == kInt &&
                    int_binary(ip->a, x->value->data.i, y->value->data.i, &z)) {
                    set_int(sp++, z);
                    ++ip;
                    NEXT();
                }
                set_int(sp, 0);
                sp->ref = x->value;
                err = binary_into(cur, ip->a, sp, y->value);
                if (err) {
                    sp->ref = nullptr;
                    goto report;
                }
                ++sp;
                ++ip;
                NEXT();
            }

            L_OP_INDEX_K:
            L_OP_INDEX_V:
            L_OP_INDEX_VV: {
                Node* x = nullptr;
                if (ip->op == OP_INDEX_VV) SITE_VAR(x, ip->d, ip->x);
                Operand* arr = x ? sp : sp - 1;
                Value* a = x ? x->value : val(arr);
                Value* i;
                Node* y = nullptr;
                Value k;
                if (ip->op == OP_INDEX_K) {
                    k.kind = kInt;
                    k.data.i = ip->b;
                    i = &k;
                } else {
                    if (ip->op == OP_INDEX_VV)
                        SITE_VAR(y, ip->d + 1, ip->c < kNoSlot16 ? ip->c : kNoSlot16);
                    else
                        SITE_VAR(y, ip->d, ip->x);
                    i = y->value;
                }
                if ((x || arr->ref) && a->kind == kArray && i->kind == kInt && i->data.i >= 0) {
                    if (Node* e = list_at_fast(a->data.a, i->data.i)) {
                        bool pin = ip->a || (!x && (arr->flags & OF_PINNED));
                        if (pin) value_pin(e->value);
                        if (!x) release(arr);
                        arr->ref = e->value;
                        arr->name = nullptr;
                        arr->flags = pin ? OF_PINNED : 0;
                        if (x) ++sp;
                        ++ip;
                        NEXT();
                    }
                }
                // Otherwise as OP_INDEX, with the operands on the stack.
                if (x) {
                    set_int(sp, 0);
                    sp->ref = x->value;
                    ++sp;
                }
                if (y) {
                    set_int(sp, 0);
                    sp->ref = y->value;
                } else {
                    set_int(sp, ip->b);
                }
                ++sp;
                goto index_general;
            }

            L_OP_TEST_K: {
                Operand* l = sp - 1;
                Value k, out;
                k.kind = kInt;
                k.data.i = ip->c;
                err = binary_fresh(cur, ip->a & ~kTestTrue, val(l), &k, &out);
                if (err) goto report;
                release(--sp);
                ip = TEST_JUMP(out.data.i);
                NEXT();
            }

            L_OP_TEST_VK: {
                Node* x;
                SITE_VAR(x, ip->d, ip->x);
                Value* v = x->value;
                int32_t z;
                if (v->kind == kInt && int_binary(ip->a & ~kTestTrue, v->data.i, ip->c, &z)) {
                    ip = TEST_JUMP(z);
                    NEXT();
                }
                Value k, out;
                k.kind = kInt;
                k.data.i = ip->c;
                err = binary_fresh(cur, ip->a & ~kTestTrue, v, &k, &out);
                if (err) goto report;
                ip = TEST_JUMP(out.data.i);
                NEXT();
            }

            L_OP_TEST_VV: {
                Node* x;
                Node* y;
                SITE_VAR(x, ip->d, ip->x);
                SITE_VAR(y, ip->d + 1, ip->c < kNoSlot16 ? ip->c : kNoSlot16);
                Value out;
                err = binary_fresh(cur, ip->a & ~kTestTrue, x->value, y->value, &out);
                if (err) goto report;
                ip = TEST_JUMP(out.data.i);
                NEXT();
            }

            L_OP_STORE_STMT: {
                Node* var;
                SITE_VAR(var, ip->d, ip->x);
                Value* tv = var->value;
                Operand* v = sp - 1;
                if (!v->ref && (v->tmp.kind == kString || v->tmp.kind == kArray)) {
                    Value old = *tv;
                    if (v->tmp.kind == kArray) settle_moved(v->tmp.data.a);
                    tv->data = v->tmp.data;
                    tv->kind = v->tmp.kind;
                    v->tmp.kind = kInt;
                    value_clear(&old);
                } else if ((tv->kind | val(v)->kind) == kInt) {
                    tv->data.i = val(v)->data.i;
                } else if (!value_assign(tv, val(v))) {
                    FAIL(kErrAlloc);
                }
                for (Operand* base = BASE(); sp > base;) release(--sp);
                ++ip;
                NEXT();
            }
#undef SITE_VAR
#undef TEST_JUMP
        }
    }

report:
    // An operator that fails has taken its operands off the stack.
    switch (ip->op) {
        case OP_UN:
        case OP_BIN_K:
        case OP_BIN_S:
        case OP_BIN_V:
        case OP_TEST_K:
        case OP_STORE_STMT:
        case OP_COMPOUND: release(--sp); break;
        case OP_BIN:
        case OP_INDEX:
        case OP_INDEX_K:
        case OP_INDEX_V:
        case OP_INDEX_VV:
        case OP_ASSIGN:
        case OP_ASSIGN_STMT:
        case OP_KEY:
            release(--sp);
            release(--sp);
            break;
        default: break;
    }
    cur->pos = ip->node->pos;
    report_error(cur, err, ip->node->pos);
failed:
    rc = kWalkError;
unwind:
    // Every scope of the unit above the root is left; each settles its
    // pending changes unless the run failed, the root too.
    while (cur != fr->root) {
        if (rc != kWalkError && !settle(cur, ip->node)) rc = kWalkError;
        for (Operand* base = BASE() - cur->held; sp > base;) release(--sp);
        scope_empty(fr, cur);
        cur->frame = 0;
        cur = cur->parent;
    }
    if (rc == kWalkError)
        pending_drop(cur);
    else if (!settle(cur, ip->node))
        rc = kWalkError;
    // Ended inside a block that ran without a scope of its own: its values go.
    for (int32_t i = 0; i < code->flat_count; ++i) {
        if (ip - insns >= code->flat[2 * i] && ip - insns < code->flat[2 * i + 1]) {
            for (Operand* base = BASE(); sp > base;) release(--sp);
            break;
        }
    }
    if (rc == kWalkBreak || rc == kWalkContinue) cur->pos = ip->node->pos;
out:
    SAVE();
    return rc;
#undef SAVE
#undef RELOAD
#undef BASE
#undef FAIL
#undef NEXT
}

// A call-arguments marker left behind (a run stopped inside a call) shows
// as a value of this kind, which displays as nothing.
constexpr int32_t kMarkerKind = 4;

// Values a host left in s->stack (top first) go onto the value stack.
bool import_stack(Scope* s) {
    int32_t count = 0;
    for (Node* n = s->stack; n; n = n->next) ++count;
    if (!count) return true;
    if (!vs_reserve(g_vs.top, count)) return false;
    Operand* e = g_vs.data + g_vs.top + count;
    while (Node* n = s->stack) {
        s->stack = n->next;
        --e;
        if (n->value->owner == n && n->value->kind == kMarkerKind) {
            set_int(e, 0);
            e->flags = OF_MARKER;
        } else if (n->value->owner == n) {
            set_temp(e, *n->value);
            n->value->kind = kInt;
        } else {
            set_int(e, 0);
            e->ref = n->value;
            if (value_is_pinned(n->value)) {
                value_pin(n->value);
                e->flags = OF_PINNED;
            }
        }
        e->name = n->name;
        e->hash = n->hash;
        n->name = nullptr;
        node_free(n);
    }
    g_vs.top += count;
    return true;
}

// What remains above base goes to s->stack, top first.
void export_stack(Scope* s, int32_t base) {
    for (Operand* e = g_vs.data + base; e < g_vs.data + g_vs.top; ++e) {
        Node* n;
        if (e->flags & OF_MARKER) {
            if ((n = node_new())) n->value->kind = kMarkerKind;
        } else if (e->ref) {
            n = node_ref(e->ref);
        } else {
            n = node_new();
            if (n) {
                n->value->data = e->tmp.data;
                n->value->kind = e->tmp.kind;
                e->tmp.kind = kInt;
            }
        }
        if (n) {
            n->name = e->name;
            n->hash = e->hash;
            e->name = nullptr;
            n->next = s->stack;
            s->stack = n;
        }
        release(e);
    }
    g_vs.top = base;
}

// Fills the slots of a walked scope from the variables it holds.
void map_slots(Scope* s, Node** slots, const ScopeLayout* l) {
    for (Node* v = s->vars; v; v = v->next) {
        int32_t k = layout_find(l, v->name, v->hash);
        if (k >= 0 && !slots[l->first_slot + k]) slots[l->first_slot + k] = v;
    }
}

}  // namespace

int walk(Scope* s, const SyntaxNode* seq, Value* result) {
    if (!seq) return (s->post_inc || s->post_dec) && !pending_apply(s) ? kWalkError : kWalkDone;
    size_t left = zv::stack_remaining();
    if (left < kStackReserve) {
        report_error(s, kErrTooDeep, seq->pos);
        return kWalkError;
    }
    bool step = s->unit->root->step != nullptr;
    const Code* code = code_for(seq, step, false, s);
    if (!code) return kWalkError;

    char* saved_limit = g_stack_limit;
    g_stack_limit = static_cast<char*>(__builtin_frame_address(0)) - left + kStackReserve;
    int32_t base = g_vs.top;
    Frame fr;
    memset(&fr, 0, sizeof fr);
    if (!import_stack(s) || !vs_reserve(g_vs.top, code->max_stack) || !frame_open(&fr, code)) {
        export_stack(s, base);
        g_stack_limit = saved_limit;
        report_error(s, kErrAlloc, seq->pos);
        return kWalkError;
    }
    // The scope may be running code already (a library calling the engine
    // again): its slots come back afterwards.
    Node** saved_slots = s->slots;
    const ScopeLayout* saved_layout = s->layout;
    int32_t saved_base = s->base;
    const ScopeLayout* root = &code->layouts[0];
    map_slots(s, fr.fslots, root);
    s->slots = fr.fslots;
    s->layout = root;
    s->base = base;
    fr.root = s;
    fr.dyn = s;
    fr.result = result;
    int rc = run(&fr);
    export_stack(s, base);
    arena_pop(fr.memory);
    s->slots = saved_slots;
    s->layout = saved_layout;
    s->base = saved_base;
    if (saved_slots && saved_layout) map_slots(s, saved_slots, saved_layout);
    g_stack_limit = saved_limit;
    return rc;
}

const Value* step_operand(int depth) {
    if (g_step_base < 0 || depth < 0) return nullptr;
    int32_t at = g_vs.top - 1 - depth;
    if (at < g_step_base || (g_vs.data[at].flags & OF_MARKER)) return nullptr;
    return val(g_vs.data + at);
}

}  // namespace ksc
