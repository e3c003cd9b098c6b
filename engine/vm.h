// The evaluator's own records, shared by its parts (vm.cpp: the run loop
// and walk(); vm_frames.cpp, vm_ops.cpp, vm_calls.cpp).
//
// A value on the stack is either a temporary (its own Value) or a reference
// to a variable's or an array element's Value, read when the operator that
// takes it runs, so `a + f()` sees what f did to a. References to elements
// are pinned (value.h) where something could free their array before they
// are used.
//
// Each run of a code unit gets a frame from a stack of chunks: the records
// of the scopes it enters (one per nesting depth, reused by sibling blocks)
// and its variable slots with the variables themselves, which therefore cost
// no heap call. Script function calls recurse on the native stack; blocks,
// loops and switches inside a unit do not.
#pragma once

#include <cstring>
#include <string>

#include "code.h"
#include "eval.h"
#include "platform.h"
#include "scope.h"

namespace ksc {
namespace vm {

// ---- the value stack ----------------------------------------------------

enum : int32_t {
    OF_PINNED = 1,  // ref is an element's value, pinned by this entry
    OF_MARKER = 2,  // call-arguments marker
    OF_SIZED = 4,   // a temporary text whose length and buffer size are known
    OF_LABELED = 8, // name is followed, past its terminator, by the key as written
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
extern ValueStack g_vs;

// Defined in vm_frames.cpp.
bool vs_reserve(int32_t used, int32_t more);
void release_value(Value* v);
void arena_pop(void* p);
void scope_empty_rest(Scope* s);

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
extern Chunk* g_chunk;
extern Chunk* g_spare_chunk;
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
// scope that called it). label: the name as written (editor mode), shown
// by the syntax node like the name in a frame, copied for a heap node.
inline Node* make_var(Frame* fr, Scope* s, int32_t slot, const char16_t* name, int32_t hash,
                      const char16_t* label) {
    Node* v;
    if (s->frame && !(fr->code->external && s == fr->root)) {
        SlotVar* sv = &fr->vars[slot];
        v = &sv->node;
        v->name = const_cast<char16_t*>(name);
        v->label = const_cast<char16_t*>(label);
        v->hash = hash;
        v->value = &sv->value;
        v->next = nullptr;
        sv->value.data.r = 0;
        sv->value.kind = kInt;
        sv->value.owner = v;
    } else {
        v = node_new();
        if (!v) return nullptr;
        if (!(v->name = str_dup(name)) || (label && !(v->label = str_dup(label)))) {
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

inline bool settle(Scope* s, const SyntaxNode* at) {
    if (!s->post_inc && !s->post_dec) return true;
    s->pos = at->pos;
    return pending_apply(s);
}

// A walk or a script function call stops with "Nesting too deep" when less
// native stack than this is left; g_stack_limit is where that point lies.
constexpr size_t kStackReserve = 256 * 1024;
extern char* g_stack_limit;

inline bool stack_low() { return static_cast<char*>(__builtin_frame_address(0)) < g_stack_limit; }

// The value stack and scope a step callback sees (step_operand).
extern int32_t g_step_base;

// The run loop (vm.cpp).
int run(Frame* fr);

// Variables, values and operators (vm_ops.cpp).
std::u16string written_name(const SyntaxNode* n);
void settle_moved(Node* list);
Node* find_var(Frame* fr, Scope* cur, VarSite* site, const SyntaxNode* n);
// In editor mode a new keyed element keeps its key as written.
int index_value(Operand* arr, Operand* idx, bool pin, const Scope* cur, Operand* out);
// Keys carried on the stack (out of the run loop, which stays small): a
// variable's name inside an array literal, a key given by `k : v`; in
// editor mode a key whose case differs carries its written form after the
// name (OF_LABELED), which label_element() gives the array element made
// from the operand. False when memory runs out.
bool array_key(Operand* e, const SyntaxNode* n);
bool key_operand(Operand* v, const char16_t* key, const Scope* cur);
bool label_element(Node* element, const Operand* e);
int unary(Scope* cur, int32_t op, Operand* e);
int binary_into(Scope* cur, int32_t op, Operand* l, const Value* r);

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

// Calls (vm_calls.cpp).
bool call_native(Scope* cur, const SyntaxNode* call, NativeFunc fn, Operand* args, int32_t nargs, Operand* out);
Code* code_for(const SyntaxNode* head, int form, bool function, Scope* s);

// The form a unit starting now runs in (kFormPlain, kFormStepped, kFormPolled).
inline int form_of(const ScriptUnit* root) {
    if (!root->step) return kFormPlain;
    return root->free_run && root->free_run->load(std::memory_order_acquire) ? kFormPolled : kFormStepped;
}
bool call_script(Scope* cur, const SyntaxNode* call, const CallSite* cs, int32_t args, int32_t nargs, Value* ret,
                 bool* exited);

}  // namespace vm
}  // namespace ksc
