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
};

struct Operand {
    Value tmp;       // the value when ref is null (its owner field is unused)
    Value* ref;      // a variable's or an element's value
    char16_t* name;  // key carried into an array literal or a call (owned)
    int32_t hash;
    int32_t flags;
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
    int32_t cap = g_vs.cap ? g_vs.cap * 2 : 256;
    while (cap < used + more) cap *= 2;
    Operand* data = static_cast<Operand*>(zv::heap_alloc(size_t(cap) * sizeof(Operand)));
    if (!data) return false;
    if (g_vs.data) {
        memcpy(static_cast<void*>(data), g_vs.data, size_t(used) * sizeof(Operand));
        zv::heap_free(g_vs.data);
    }
    g_vs.data = data;
    g_vs.cap = cap;
    return true;
}

inline void release(Operand* e) {
    if (!e->ref) {
        if (e->tmp.kind == kString)
            zv::heap_free(e->tmp.data.s);
        else if (e->tmp.kind == kArray)
            node_list_free(e->tmp.data.a);
    } else if (e->flags & OF_PINNED) {
        value_unpin(e->ref);
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
constexpr size_t kChunkSize = 64 * 1024;

void* arena_push(size_t bytes) {
    bytes = (bytes + 15) & ~size_t(15);
    const size_t head = (sizeof(Chunk) + 15) & ~size_t(15);
    if (!g_chunk || g_chunk->used + bytes > g_chunk->size) {
        Chunk* c = nullptr;
        if (g_spare_chunk && g_spare_chunk->size >= bytes) {
            c = g_spare_chunk;
            g_spare_chunk = nullptr;
        } else {
            size_t size = bytes > kChunkSize ? bytes : kChunkSize;
            c = static_cast<Chunk*>(zv::heap_alloc(head + size));
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
    Node** rslots;   // the root's slots
    Node** fslots;   // the frame's slots
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

bool frame_open(Frame* fr, const Code* code) {
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

inline Node*& slot_ref(Frame* fr, int32_t slot) { return slot >= 0 ? fr->fslots[slot] : fr->rslots[~slot]; }

inline bool is_frame_var(const Frame* fr, const Node* v) {
    const char* p = reinterpret_cast<const char*>(v);
    return p >= reinterpret_cast<const char*>(fr->vars) &&
           p < reinterpret_cast<const char*>(fr->vars + fr->code->frame_slots);
}

// A new integer-0 variable in slot `slot` of scope s. Frame slots hold
// their variable in the frame, with the name of the syntax node; the walked
// scope's variables are heap nodes with their own names, since the scope
// outlives the code (line mode).
Node* make_var(Frame* fr, Scope* s, int32_t slot, const char16_t* name, int32_t hash) {
    Node* v;
    if (slot >= 0) {
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
    scope_link(s, v);
    slot_ref(fr, slot) = v;
    return v;
}

// Frees the variables (and what else a scope holds) of a frame scope.
void scope_empty(Frame* fr, Scope* s) {
    for (Node* v = s->vars; v;) {
        Node* next = v->next;
        if (is_frame_var(fr, v)) {
            SlotVar* sv = reinterpret_cast<SlotVar*>(v);
            if (v->value == &sv->value) value_clear(&sv->value);
            fr->fslots[sv - fr->vars] = nullptr;
        } else {
            // Made by scope_add() from outside: it may hold a slot too.
            if (const ScopeLayout* l = s->layout) {
                for (int32_t k = 0; k < l->count; ++k) {
                    Node*& slot = l->depth < 0 ? fr->rslots[l->first_slot + k] : fr->fslots[l->first_slot + k];
                    if (slot == v) slot = nullptr;
                }
            }
            node_free(v);
        }
        v = next;
    }
    s->vars = s->vars_tail = nullptr;
    s->var_count = 0;
    scope_drop_index(s);
    scope_drop_cache(s);
    pending_drop(s);
    node_list_free(s->stack);
    s->stack = nullptr;
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
Node* find_var(Frame* fr, Scope* cur, VarSite* site, const SyntaxNode* n) {
    const int32_t* cand = fr->code->cands + site->first_cand;
    for (int32_t k = 1; k < site->cand_count; ++k)
        if (Node* v = slot_ref(fr, cand[k])) return v;
    Scope* from = fr->dyn;
    if (site->by_name && from) {
        if (site->serial == from->serial && site->epoch == g_var_epoch) {
            if (site->var) return site->var;
        } else {
            Node* v = scope_find_dynamic(from, site->name, site->hash);
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
        v = make_var(fr, cur, site->create, site->name, site->hash);
    } else {
        // The compiler judged the name certainly visible here.
#if defined(ZV_SANITIZE) || defined(ZV_FUZZ)
        abort();
#endif
        v = scope_add(cur, site->name, site->hash);
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
int index_value(Operand* arr, Operand* idx, bool pin, Operand* out) {
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
        elem = list_at(a->data.a, pos);
        if (!elem) {
            int32_t last_pos;
            list_last(a->data.a, &last_pos);
            for (int32_t k = last_pos + 1; k <= pos; ++k) {
                Node* e = node_new();
                if (!e) return kErrAlloc;
                array_append(a, e);
                elem = e;
            }
            list_at(a->data.a, pos);  // remember the new end
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
int unary(Scope* cur, int32_t op, Operand* e) {
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

// ---- calls ----------------------------------------------------------------

// A native function: arguments become the library interface's nodes.
// *out gets the result; false after a reported error or a silent stop.
bool call_native(Scope* cur, const SyntaxNode* call, NativeFunc fn, Operand* args, int32_t nargs, Operand* out) {
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

Code* code_for(const SyntaxNode* head, bool step, bool function, Scope* s) {
    SyntaxNode* h = const_cast<SyntaxNode*>(head);
    if (Code* c = h->code[step]) return c;
    int error = kErrAlloc;
    const SyntaxNode* where = head;
    Code* c = function ? compile_function(head, step, &error, &where) : compile_top(head, step, &error, &where);
    if (!c) {
        s->pos = where->pos;
        report_error(s, error, where->pos);
        return nullptr;
    }
    h->code[step] = c;
    return c;
}

// A script function: a frame, the parameters bound by its code, its body.
// *ret gets the value (integer 0 without one), *exited whether `exit` ran.
bool call_script(Scope* cur, const SyntaxNode* call, const CallSite* cs, int32_t args, int32_t nargs, Value* ret,
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
    if (!frame_open(&fr, code) || !vs_reserve(g_vs.top, code->max_stack)) {
        if (fr.memory) arena_pop(fr.memory);
        report_error(cur, kErrAlloc, call->pos);
        return false;
    }
    Scope* f = &fr.records[0];
    memset(f, 0, sizeof *f);
    f->unit = cs->unit;
    f->parent = cs->run_scope ? cs->run_scope : cur;
    f->serial = ++g_scope_serial;
    f->parent_serial = f->parent->serial;
    f->pos = call->pos;
    f->frame = 1;
    f->slots = fr.fslots;
    f->layout = &code->layouts[0];
    f->base = g_vs.top;
    fr.root = f;
    fr.dyn = f->parent;
    fr.rslots = fr.fslots;
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
    scope_empty(&fr, f);
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

    for (;;) {
        switch (ip->op) {
            case OP_HALT:
                if (!settle(cur, ip->node)) goto failed;
                rc = kWalkDone;
                goto out;

            case OP_STEP: {
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
                break;
            }

            case OP_JUMP: ip = insns + ip->b; break;

            case OP_FAIL: FAIL(ip->a);

            case OP_PUSH_INT:
                set_int(sp++, ip->b);
                ++ip;
                break;

            case OP_PUSH_REAL:
                set_int(sp, 0);
                sp->tmp.data.r = ip->node->rval;
                sp->tmp.kind = kReal;
                ++sp;
                ++ip;
                break;

            case OP_PUSH_STR: {
                char16_t* text = str_dup(ip->node->text);
                if (!text) FAIL(kErrAlloc);
                set_int(sp, 0);
                sp->tmp.data.s = text;
                sp->tmp.kind = kString;
                ++sp;
                ++ip;
                break;
            }

            case OP_PUSH_MARK:
                set_int(sp, 0);
                sp->flags = OF_MARKER;
                ++sp;
                ++ip;
                break;

            case OP_VAR: {
                Node* v = ip->c != kNoSlot ? slot_ref(fr, ip->c) : nullptr;
                if (!v) {
                    SAVE();
                    v = find_var(fr, cur, &code->sites[ip->b], ip->node);
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
                break;
            }

            case OP_VARDECL: {
                VarSite* site = &code->sites[ip->b];
                if (slot_ref(fr, site->create)) {
                    cur->pos = ip->node->pos;
                    report_error(cur, kErrDuplicateVariable, ip->node->pos, written_name(ip->node).c_str());
                    goto failed;
                }
                Node* v = make_var(fr, cur, site->create, site->name, site->hash);
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
                break;
            }

            case OP_ASSIGN: {
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
                break;
            }

            case OP_COMPOUND: {
                // A copy of the target's value goes under the right operand.
                Value copy;
                memset(&copy, 0, sizeof copy);
                if (!value_assign(&copy, val(sp - 2))) FAIL(kErrAlloc);
                sp[0] = sp[-1];
                set_temp(sp - 1, copy);
                ++sp;
                ++ip;
                break;
            }

            case OP_INDEX: {
                Operand* idx = sp - 1;
                Operand* arr = sp - 2;
                Operand out;
                err = index_value(arr, idx, ip->a != 0, &out);
                if (err) goto report;
                release(idx);
                release(arr);
                *arr = out;
                --sp;
                ++ip;
                break;
            }

            case OP_KEY: {
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
                break;
            }

            case OP_BIN: {
                Operand* r = sp - 1;
                Operand* l = sp - 2;
                Value* lv = val(l);
                Value* rv = val(r);
                if ((lv->kind | rv->kind) == kInt && !(l->flags | r->flags) && !l->name && !r->name) {
                    int32_t x = lv->data.i, y = rv->data.i;
                    uint32_t ux = uint32_t(x), uy = uint32_t(y);
                    int32_t z;
                    switch (ip->a) {
                        case SK_ADD: z = int32_t(ux + uy); break;
                        case SK_SUB: z = int32_t(ux - uy); break;
                        case SK_MUL: z = int32_t(ux * uy); break;
                        case SK_LT: z = x < y; break;
                        case SK_LE: z = x <= y; break;
                        case SK_GT: z = x > y; break;
                        case SK_GE: z = x >= y; break;
                        case SK_EQ: z = x == y; break;
                        case SK_NE: z = x != y; break;
                        case SK_MOD:
                            if (y == 0 || y == -1) goto bin_general;
                            z = x % y;
                            break;
                        case SK_BITAND: z = x & y; break;
                        case SK_BITOR: z = x | y; break;
                        case SK_BITXOR: z = x ^ y; break;
                        default: goto bin_general;
                    }
                    l->ref = nullptr;
                    l->tmp.kind = kInt;
                    l->tmp.data.i = z;
                    --sp;
                    ++ip;
                    break;
                }
            bin_general: {
                // A temporary left operand takes the result in place: every
                // rule reads both operands before it writes the result.
                Value fresh;
                memset(&fresh, 0, sizeof fresh);
                Value* out = &fresh;
                if (!l->ref) {
                    out = &l->tmp;
                    if (l->name) {
                        zv::heap_free(l->name);
                        l->name = nullptr;
                    }
                }
                err = binary_value(ip->a, lv, rv, out, cur->unit->ksc5 != 0);
                if (err) goto report;
                if (l->ref) {
                    release(l);
                    set_temp(l, fresh);
                }
                release(r);
                --sp;
                ++ip;
                break;
            }
            }

            case OP_UN:
                err = unary(cur, ip->a, sp - 1);
                if (err) goto report;
                ++ip;
                break;

            case OP_ANDOR: {
                Operand* r = sp - 1;
                Operand* l = sp - 2;
                bool lt = value_truthy(val(l)), rt = value_truthy(val(r));
                release(r);
                release(l);
                set_int(l, ip->a == SK_AND ? (lt && rt) : (lt || rt));
                --sp;
                ++ip;
                break;
            }

            case OP_SHORT:
                if (sp > BASE()) {
                    bool truth = value_truthy(val(sp - 1));
                    if (truth == (ip->a == SK_ORTEST)) {
                        release(sp - 1);
                        set_int(sp - 1, truth ? 1 : 0);
                        ip = insns + ip->b;
                        break;
                    }
                }
                ++ip;
                break;

            case OP_END:
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
                break;

            case OP_TEST: {
                bool truth = false;
                if (sp > BASE()) {
                    --sp;
                    truth = value_truthy(val(sp));
                    release(sp);
                }
                if (!settle(cur, ip->node)) goto failed;
                ip = truth ? ip + 1 : insns + ip->b;
                break;
            }

            case OP_ENTER:
            case OP_SWITCH: {
                if (ip->op == OP_SWITCH && !settle(cur, ip->node)) goto failed;
                const ScopeLayout* l = &code->layouts[ip->b];
                Scope* c = &fr->records[l->depth];
                if (!(c->frame && c->parent == cur && c->parent_serial == cur->serial)) {
                    // A new scope life. An empty scope re-entered under the
                    // same parent keeps its serial: its looks give the same.
                    memset(c, 0, sizeof *c);
                    c->serial = ++g_scope_serial;
                    c->parent = cur;
                    c->parent_serial = cur->serial;
                    c->frame = 1;
                    c->slots = fr->fslots;
                }
                c->unit = cur->unit;
                c->layout = l;
                c->base = int32_t(sp - stack);
                c->held = ip->op == OP_SWITCH;
                cur = c;
                ++ip;
                break;
            }

            case OP_LEAVE:
                if (!settle(cur, ip->node)) goto failed;
                for (Operand* base = BASE(); sp > base;) release(--sp);
                if (cur->vars || cur->cache || cur->post_inc || cur->post_dec || cur->index) {
                    scope_empty(fr, cur);
                    cur->frame = 0;  // a new life next time
                }
                cur = cur->parent;
                ++ip;
                break;

            case OP_SETTLE:
                if (!settle(cur, ip->node)) goto failed;
                ++ip;
                break;

            case OP_MAKE_ARRAY: {
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
                break;
            }

            case OP_CASE: {
                Operand* base = BASE();
                bool match = sp > base && values_equal(val(sp - 1), val(base - 1));
                while (sp > base) release(--sp);
                ip = match ? insns + ip->b : ip + 1;
                break;
            }

            case OP_SWITCH_END:
                for (Operand* base = BASE() - cur->held; sp > base;) release(--sp);  // with the switch value
                if (cur->vars || cur->cache || cur->post_inc || cur->post_dec || cur->index) {
                    scope_empty(fr, cur);
                    cur->frame = 0;
                }
                cur = cur->parent;
                ++ip;
                break;

            case OP_UNWIND:
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
                break;

            case OP_ESCAPE:
                rc = ip->a;
                goto unwind;

            case OP_RETURN:
                if (ip->b && fr->result && sp > BASE()) {
                    if (!value_assign(fr->result, val(sp - 1))) FAIL(kErrAlloc);
                }
                rc = -int(ip->a);
                goto unwind;

            case OP_CALL: {
                const SyntaxNode* n = ip->node;
                int32_t nargs = ip->c;
                Operand* args = sp - nargs;
                CallSite found;
                const CallSite* cs = &code->calls[ip->b];
                if (!(cur->frame && cs->gen == g_resolve_gen)) {
                    // Top-level scopes ask every time: their call caches are
                    // part of the resolution order.
                    if (!resolve_call(cur, n->text, n->ival, &found)) {
                        while (sp > args - 1) release(--sp);  // the arguments and the marker
                        cur->pos = n->pos;
                        report_error(cur, kErrFunctionNotFound, n->pos);
                        goto failed;
                    }
                    if (cur->frame) {
                        found.gen = g_resolve_gen;
                        code->calls[ip->b] = found;
                    }
                    cs = &found;
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
                break;
            }

            case OP_PARAM: {
                const SyntaxNode* p = ip->node;
                if (fr->fslots[ip->c]) {
                    report_error(cur, kErrDuplicateVariable, p->pos, p->text);
                    goto failed;
                }
                if (ip->a < fr->nargs) {
                    Operand* arg = stack + fr->args + ip->a;
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
                    } else if (!value_assign(v->value, val(arg))) {
                        FAIL(kErrAlloc);
                    }
                    ip = insns + ip->b;
                    break;
                }
                make_var(fr, cur, ip->c, p->text, p->ival);
                if (!(ip->d & PF_DEFAULT)) {
                    report_error(fr->caller, kErrTooFewArguments, fr->call->pos);
                    goto failed;
                }
                ++ip;
                break;
            }

            case OP_DEFAULT_SET: {
                Node* v = fr->fslots[ip->c];
                bool ok = sp <= BASE() || value_assign(v->value, val(sp - 1));
                for (Operand* base = BASE(); sp > base;) release(--sp);
                if (!ok) FAIL(kErrAlloc);
                ++ip;
                break;
            }

            default: FAIL(kErrSyntax);
        }
    }

report:
    // An operator that fails has taken its operands off the stack.
    switch (ip->op) {
        case OP_UN:
        case OP_COMPOUND: release(--sp); break;
        case OP_BIN:
        case OP_INDEX:
        case OP_ASSIGN:
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
    if (rc == kWalkBreak || rc == kWalkContinue) cur->pos = ip->node->pos;
out:
    SAVE();
    return rc;
#undef SAVE
#undef RELOAD
#undef BASE
#undef FAIL
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
        if (k >= 0 && !slots[k]) slots[k] = v;
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
    const ScopeLayout* root = &code->layouts[0];
    Node** slots = root->count ? static_cast<Node**>(zv::heap_alloc(size_t(root->count) * sizeof(Node*))) : nullptr;
    if ((root->count && !slots) || !import_stack(s) || !vs_reserve(g_vs.top, code->max_stack) ||
        !frame_open(&fr, code)) {
        zv::heap_free(slots);
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
    if (slots) map_slots(s, slots, root);
    s->slots = slots;
    s->layout = root;
    s->base = base;
    fr.root = s;
    fr.dyn = s;
    fr.rslots = slots;
    fr.result = result;
    int rc = run(&fr);
    export_stack(s, base);
    arena_pop(fr.memory);
    zv::heap_free(slots);
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
