// The previous evaluator, kept only to compare the new core against (differential runs).
// The walk loop: runs syntax sequences node by node.
#include "legacy.h"

#include <cstring>
#include <vector>

#include "error.h"
#include "platform.h"

namespace ksc {
namespace legacy {

constexpr int32_t kMarkerKind = 4;  // internal value kind of a call-arguments marker

void result_init(Value* v) {
    memset(v, 0, sizeof *v);
    v->kind = kNoValue;
}


// ---- scopes -------------------------------------------------------------

// Lookup caches: a scope's serial is never reused, and the epoch moves on
// whenever a variable appears in a scope that some cached lookup went
// through, so a cached answer is valid while both are unchanged.
static uint64_t g_scope_serial;
static uint64_t g_var_epoch = 1;

void scope_init(Scope* s, ScriptUnit* unit, Scope* parent) {
    memset(s, 0, sizeof *s);
    s->unit = unit;
    s->parent = parent;
    s->stop_kind = -1;
    s->serial = ++g_scope_serial;
    s->parent_serial = parent ? parent->serial : 0;
}

void stack_clear(Scope* s) {
    node_list_free(s->stack);
    s->stack = nullptr;
}

void scope_clear(Scope* s) {
    if (!s->stack && !s->vars && !s->cache && !s->post_inc && !s->post_dec) return;
    stack_clear(s);
    pending_drop(s);
    node_list_free(s->vars);
    s->vars = s->vars_tail = nullptr;
    while (CallEntry* c = s->cache) {
        s->cache = c->next;
        zv::heap_free(c->name);
        zv::heap_free(c);
    }
}

Scope* scope_new(ScriptUnit* unit, Scope* parent) {
    Scope* s = static_cast<Scope*>(zv::heap_alloc(sizeof(Scope)));
    if (s) scope_init(s, unit, parent);
    return s;
}

void scope_free(Scope* s) {
    if (!s) return;
    scope_clear(s);
    zv::heap_free(s);
}

Node* scope_find_local(Scope* s, const char16_t* name, int32_t hash) {
    for (Node* v = s->vars; v; v = v->next)
        if (name_equal(v, name, hash)) return v;
    return nullptr;
}

Node* scope_find(Scope* s, const char16_t* name, int32_t hash) {
    for (; s; s = s->parent)
        if (Node* v = scope_find_local(s, name, hash)) return v;
    return nullptr;
}

// (The previous walk cached lookups per node; results are the same without.)
static Node* scope_find_cached(Scope* s, SyntaxNode* n) {
    for (Scope* sc = s; sc; sc = sc->parent) {
        sc->observed = 1;
        if (Node* v = scope_find_local(sc, n->text, n->ival)) return v;
    }
    return nullptr;
}

void scope_note_new_variable(Scope* s) {
    if (s->observed) ++g_var_epoch;
}

void scope_visit_variables(const Scope* s, VariableVisitor visit, void* ctx) {
    for (int depth = 0; s; s = s->parent, ++depth) {
        for (const Node* v = s->vars; v; v = v->next) visit(depth, v->name, v->value, ctx);
    }
}

Node* scope_add(Scope* s, const char16_t* name, int32_t hash) {
    scope_note_new_variable(s);
    Node* v = node_new();
    if (!v) return nullptr;
    if (!(v->name = str_dup(name))) {
        node_free(v);
        return nullptr;
    }
    v->hash = hash;
    if (s->vars_tail)
        s->vars_tail->next = v;
    else
        s->vars = v;
    s->vars_tail = v;
    return v;
}

void stack_push(Scope* s, Node* n) {
    n->next = s->stack;
    s->stack = n;
}

Node* stack_pop(Scope* s) {
    Node* n = s->stack;
    if (n) {
        s->stack = n->next;
        n->next = nullptr;
    }
    return n;
}

// ---- helpers ------------------------------------------------------------

static bool fail(Scope* s, int code, const char16_t* pos, const char16_t* extra = nullptr) {
    report_error(s, code, pos, extra);
    return false;
}

// The variable's name as the script wrote it (for error messages).
static std::u16string written_name(const SyntaxNode* n) {
    const char16_t* p = n->pos;
    const char16_t* e = p;
    while ((*e >= u'a' && *e <= u'z') || (*e >= u'A' && *e <= u'Z') || (*e >= u'0' && *e <= u'9') || *e == u'_')
        ++e;
    if (e == p) return n->text;
    return std::u16string(p, e);
}

static bool push_int(Scope* s, int32_t i) {
    Node* n = node_new();
    if (!n) return false;
    n->value->data.i = i;
    stack_push(s, n);
    return true;
}

// Gives node n the key (name and hash) of `from`.
static bool copy_key(Node* n, const char16_t* name, int32_t hash) {
    char16_t* copy = str_dup(name);
    if (!copy) return false;
    zv::heap_free(n->name);
    zv::heap_free(n->label);
    n->label = nullptr;
    n->name = copy;
    n->hash = hash;
    return true;
}

// Elements moved instead of copied must look copied: no labels, reals that
// are whole numbers stored as integers.
static void settle_moved(Node* list) {
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

// ---- indexing -----------------------------------------------------------

static bool do_index(Scope* s, const SyntaxNode* op) {
    Node* idx = stack_pop(s);
    Node* arr = stack_pop(s);
    if (!idx || !arr) {
        node_free(idx);
        node_free(arr);
        return fail(s, kErrSyntax, op->pos);
    }
    Value* a = arr->value;
    Value* i = idx->value;
    Node* elem = nullptr;
    int err = 0;
    if (i->kind == kArray) {
        err = kErrIllegalArrayOperator;
    } else if (i->kind == kString) {
        char16_t* key = lower_dup(i->data.s ? i->data.s : u"");
        if (!key) {
            err = kErrAlloc;
        } else {
            int32_t hash = name_hash(key);
            if (a->kind != kArray) {
                value_clear(a);
                a->kind = kArray;
            }
            elem = array_find_key(a, key, hash);
            if (!elem) {
                if (!(elem = node_new())) {
                    err = kErrAlloc;
                } else {
                    elem->name = key;
                    key = nullptr;
                    elem->hash = hash;
                    array_append(a, elem);
                }
            }
            zv::heap_free(key);
        }
    } else {
        int32_t pos = i->kind == kReal ? truncate_int(i->data.r) : i->data.i;
        if (pos < 0) {
            err = kErrNegativeIndex;
        } else {
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
                    if (!e) {
                        err = kErrAlloc;
                        break;
                    }
                    array_append(a, e);
                    elem = e;
                }
                if (!err) list_at(a->data.a, pos);  // remember the new end
            }
        }
    }
    node_free(idx);
    if (err) {
        node_free(arr);
        return fail(s, err, op->pos);
    }
    Node* out;
    if (a->owner == arr) {
        // A temporary array: the element is copied out of it.
        out = node_new();
        if (out && !value_assign(out->value, elem->value)) {
            node_free(out);
            out = nullptr;
        }
    } else {
        out = node_ref(elem->value);
        if (out && !value_is_pinned(elem->value)) value_pin(elem->value);
    }
    node_free(arr);
    if (!out) return fail(s, kErrAlloc, op->pos);
    stack_push(s, out);
    return true;
}

// ---- array literal ------------------------------------------------------

static int do_array_literal(Scope* s, const SyntaxNode* n, Value* result) {
    Scope child;
    scope_init(&child, s->unit, s);
    int rc = walk(&child, n->sub, result);
    if (rc != kWalkDone) {
        scope_clear(&child);
        return rc;
    }
    // The stack holds the elements top first; the array wants them in order.
    Node* head = nullptr;
    bool ok = true;
    while (Node* e = stack_pop(&child)) {
        if (e->value->owner != e) {
            Node* copy = node_new();
            if (!copy || !value_assign(copy->value, e->value) || (e->name && !copy_key(copy, e->name, e->hash))) {
                node_free(copy);
                node_free(e);
                ok = false;
                break;
            }
            node_free(e);
            e = copy;
        } else if (e->value->kind == kReal) {
            value_set_number(e->value, e->value->data.r);
        }
        zv::heap_free(e->label);
        e->label = nullptr;
        e->next = head;
        head = e;
    }
    scope_clear(&child);
    Node* out = ok ? node_new() : nullptr;
    if (!out) {
        node_list_free(head);
        return fail(s, kErrAlloc, n->pos), kWalkError;
    }
    out->value->kind = kArray;
    out->value->data.a = head;
    stack_push(s, out);
    return kWalkDone;
}

// ---- switch -------------------------------------------------------------

static bool settle_condition(Scope* s);

static int do_switch(Scope* s, const SyntaxNode* n, Value* result) {
    Node* v = stack_pop(s);
    if (!v) return fail(s, kErrSyntax, n->pos), kWalkError;
    if (!settle_condition(s)) {
        node_free(v);
        return kWalkError;
    }
    Scope body;
    scope_init(&body, s->unit, s);
    const SyntaxNode* start = nullptr;
    const SyntaxNode* fallback = nullptr;
    int rc = kWalkDone;
    for (const SyntaxNode* c = n->sub; c && !start; c = c->next) {
        if (c->kind == SK_DEFAULT && !fallback) fallback = c->next;
        if (c->kind != SK_CASE) continue;
        rc = walk(&body, c->next, result, SK_CASE_END);
        if (rc != kWalkDone) break;
        Node* cv = stack_pop(&body);
        bool match = cv && values_equal(cv->value, v->value);
        node_free(cv);
        stack_clear(&body);
        if (match) start = c->target->next;
    }
    node_free(v);
    if (rc == kWalkDone) {
        if (!start) start = fallback;
        if (start) rc = walk(&body, start, result);
        if (rc == kWalkBreak) rc = kWalkDone;
    }
    scope_clear(&body);
    return rc;
}

// ---- calls --------------------------------------------------------------

static int do_call(Scope* s, const SyntaxNode* n, Value* result) {
    // Pop the arguments down to the marker; they come off in reverse order.
    Node* args = nullptr;
    for (;;) {
        Node* a = stack_pop(s);
        if (!a) break;  // cannot happen: the parser emits the marker first
        if (a->value->kind == kMarkerKind) {
            node_free(a);
            break;
        }
        a->next = args;
        args = a;
    }
    Node* out = nullptr;
    bool exited = false;
    if (!call_function(s, n, args, &out, &exited)) return kWalkError;
    if (exited) {
        if (result && out && out->value->kind != kNoValue) value_assign(result, out->value);
        node_free(out);
        return kWalkExit;
    }
    stack_push(s, out);
    return kWalkDone;
}

// A condition has been taken: post-increments written in it happen now, as
// at a statement end. Otherwise `while (i++ < 10)` would never see i grow,
// since no statement ends in its scope until the loop is over.
static bool settle_condition(Scope* s) {
    return !(s->post_inc || s->post_dec) || pending_apply(s);
}

// ---- blocks -------------------------------------------------------------

// Runs a block in a child scope.
static int run_block(Scope* s, SyntaxNode* n, Value* result) {
    Scope* child = static_cast<Scope*>(zv::heap_alloc(sizeof(Scope)));
    if (!child) return fail(s, kErrAlloc, n->pos), kWalkError;
    scope_init(child, s->unit, s);
    int rc = walk(child, n->sub, result);
    scope_free(child);
    return rc;
}

// ---- the walk -----------------------------------------------------------

static bool run_step(Scope* s, const SyntaxNode* n) {
    ScriptUnit* root = s->unit->root;
    return root->step && root->step(s, n, root->step_ctx) != 0;
}

// A walk stops with "Nesting too deep" when less native stack than this is
// left: blocks nested some ten thousand deep still parse, but every level of
// the walk takes a frame of its own.
constexpr size_t kWalkStackReserve = 256 * 1024;

int walk(Scope* s, const SyntaxNode* n, Value* result, int32_t stop_kind) {
    if (n && zv::stack_remaining() < kWalkStackReserve) {
        report_error(s, kErrTooDeep, n->pos);
        return kWalkError;
    }
    int rc = kWalkDone;
    const bool stepping = s->unit->root->step != nullptr;
    while (n && n->kind != stop_kind) {
        s->pos = n->pos;
        if (stepping && run_step(s, n)) {
            rc = kWalkExit;
            break;
        }
        const SyntaxNode* next = n->next;
        switch (n->kind) {
            case SK_INT: {
                if (!push_int(s, n->ival)) goto alloc_failed;
                break;
            }
            case SK_REAL: {
                Node* v = node_new();
                if (!v) goto alloc_failed;
                v->value->kind = kReal;
                v->value->data.r = n->rval;
                stack_push(s, v);
                break;
            }
            case SK_STRING: {
                Node* v = node_new();
                char16_t* text = v ? str_dup(n->text) : nullptr;
                if (!text) {
                    node_free(v);
                    goto alloc_failed;
                }
                value_set_string(v->value, text);
                stack_push(s, v);
                break;
            }
            case SK_VAR:
            case SK_VARDECL: {
                Node* var;
                if (n->kind == SK_VARDECL) {
                    if (scope_find_local(s, n->text, n->ival)) {
                        rc = kWalkError;
                        fail(s, kErrDuplicateVariable, n->pos, written_name(n).c_str());
                        goto done;
                    }
                    var = scope_add(s, n->text, n->ival);
                } else if (!(var = scope_find_cached(s, const_cast<SyntaxNode*>(n)))) {
                    if (s->unit->strict) {
                        rc = kWalkError;
                        fail(s, kErrUndefinedVariable, n->pos, written_name(n).c_str());
                        goto done;
                    }
                    var = scope_add(s, n->text, n->ival);
                }
                Node* ref = var ? node_ref(var->value) : nullptr;
                if (!ref || ((n->flags & SF_IN_ARRAY) && !copy_key(ref, n->text, n->ival))) {
                    node_free(ref);
                    goto alloc_failed;
                }
                stack_push(s, ref);
                break;
            }
            case SK_ASSIGN: {
                Node* v = stack_pop(s);
                Node* target = stack_pop(s);
                if (!v || !target) {
                    node_free(v);
                    node_free(target);
                    rc = kWalkError;
                    fail(s, kErrSyntax, n->pos);
                    goto done;
                }
                if (v->value->owner == v && target->value->owner != target &&
                    (v->value->kind == kString || v->value->kind == kArray) &&
                    ((next && next->kind == SK_END_SEMI) ||
                     (!s->line_mode && (!next || next->kind == SK_END_LINE)))) {
                    // A statement of its own (`s = s + "x"`): the temporary's
                    // text or elements move into the variable instead of being
                    // copied; what remains on the stack shows the variable.
                    // Not in line mode at a line feed: the kept value must not
                    // change with the variable later on.
                    Node* ref = node_ref(target->value);
                    if (!ref) {
                        node_free(v);
                        node_free(target);
                        goto alloc_failed;
                    }
                    Value old = *target->value;
                    if (v->value->kind == kArray) settle_moved(v->value->data.a);
                    target->value->data = v->value->data;
                    target->value->kind = v->value->kind;
                    v->value->kind = kInt;
                    v->value->data.r = 0;
                    value_clear(&old);
                    ref->name = v->name;
                    ref->hash = v->hash;
                    v->name = nullptr;
                    node_free(v);
                    v = ref;
                } else if (!value_assign(target->value, v->value)) {
                    node_free(v);
                    node_free(target);
                    goto alloc_failed;
                }
                if ((n->flags & SF_IN_ARRAY) && target->name) {
                    zv::heap_free(v->name);
                    v->name = target->name;
                    v->hash = target->hash;
                    target->name = nullptr;
                }
                node_free(target);
                stack_push(s, v);
                break;
            }
            case SK_COMPOUND: {
                // A copy of the target's value goes under the right operand.
                Node* b = stack_pop(s);
                Node* target = s->stack;
                Node* copy = (b && target) ? node_new() : nullptr;
                if (!copy || !value_assign(copy->value, target->value)) {
                    node_free(b);
                    node_free(copy);
                    goto alloc_failed;
                }
                stack_push(s, copy);
                stack_push(s, b);
                break;
            }
            case SK_INDEX:
                if (!do_index(s, n)) {
                    rc = kWalkError;
                    goto done;
                }
                break;
            case SK_KEY: {
                Node* v = stack_pop(s);
                Node* k = stack_pop(s);
                if (k && k->value->kind == kString && k->value->data.s && k->value->data.s[0]) {
                    if (!node_set_key(v, k->value->data.s)) {
                        node_free(k);
                        node_free(v);
                        goto alloc_failed;
                    }
                }
                node_free(k);
                stack_push(s, v);
                break;
            }
            case SK_COMMA:
            case SK_LABEL_ELSE:
            case SK_LABEL_IFEND:
            case SK_LABEL_LOOP:
            case SK_LABEL_LOOPEND:
            case SK_LABEL_JOIN:
            case SK_CASE_END:
            case SK_DEFAULT:
            case SK_FUNCEND:
                break;
            case SK_END_LINE:
            case SK_END_SEMI:
                if ((s->post_inc || s->post_dec) && !pending_apply(s)) {
                    rc = kWalkError;
                    goto done;
                }
                if (!(s->line_mode && n->kind == SK_END_LINE)) stack_clear(s);
                break;
            case SK_ARRAY: {
                int r = do_array_literal(s, n, result);
                if (r != kWalkDone) {
                    rc = r;
                    goto done;
                }
                break;
            }
            case SK_ANDTEST:
            case SK_ORTEST: {
                Node* top = s->stack;
                if (!top) break;
                bool truth = value_truthy(top->value);
                if (truth == (n->kind == SK_ORTEST)) {
                    Node* v = node_new();
                    if (!v) goto alloc_failed;
                    v->value->data.i = truth ? 1 : 0;
                    node_free(stack_pop(s));
                    stack_push(s, v);
                    next = n->target->next;
                }
                break;
            }
            case SK_AND:
            case SK_OR: {
                Node* r = stack_pop(s);
                Node* l = stack_pop(s);
                bool lt = l && value_truthy(l->value), rt = r && value_truthy(r->value);
                node_free(l);
                node_free(r);
                if (!push_int(s, n->kind == SK_AND ? (lt && rt) : (lt || rt))) goto alloc_failed;
                break;
            }
            case SK_IFTEST: {
                Node* c = stack_pop(s);
                bool truth = c && value_truthy(c->value);
                node_free(c);
                if (!settle_condition(s)) {
                    rc = kWalkError;
                    goto done;
                }
                const SyntaxNode* jump = n->next;
                if (truth) {
                    next = jump->next;
                } else {
                    if (stepping && run_step(s, jump->target)) {
                        rc = kWalkExit;
                        goto done;
                    }
                    next = jump->target->next;
                }
                break;
            }
            case SK_JUMP:
                if (stepping && run_step(s, n->target)) {
                    rc = kWalkExit;
                    goto done;
                }
                next = n->target->next;
                break;
            case SK_WHILETEST: {
                const SyntaxNode* exit_jump = n->next;
                if (n->flags & SF_HAS_VALUE) {
                    Node* c = stack_pop(s);
                    bool truth = c && value_truthy(c->value);
                    node_free(c);
                    if (!settle_condition(s)) {
                        rc = kWalkError;
                        goto done;
                    }
                    if (!truth) break;  // on to the exit jump
                }
                int body = walk(s, n->sub, result);
                if (body == kWalkDone || body == kWalkContinue)
                    next = exit_jump->next;
                else if (body == kWalkBreak)
                    next = exit_jump->target->next;
                else {
                    rc = body;
                    goto done;
                }
                break;
            }
            case SK_DOBODY: {
                int body = walk(s, n->sub, result);
                if (body == kWalkBreak)
                    next = n->target->next;
                else if (body != kWalkDone && body != kWalkContinue) {
                    rc = body;
                    goto done;
                }
                break;
            }
            case SK_BLOCK: {
                int body = run_block(s, const_cast<SyntaxNode*>(n), result);
                if (body != kWalkDone) {
                    rc = body;
                    goto done;
                }
                break;
            }
            case SK_SWITCH: {
                int body = do_switch(s, n, result);
                if (body != kWalkDone) {
                    rc = body;
                    goto done;
                }
                break;
            }
            case SK_CASE: next = n->target->next; break;
            case SK_BREAK: rc = kWalkBreak; goto done;
            case SK_CONTINUE: rc = kWalkContinue; goto done;
            case SK_EXIT:
            case SK_RETURN:
                if ((n->flags & SF_HAS_VALUE) && result && s->stack) {
                    if (!value_assign(result, s->stack->value)) goto alloc_failed;
                }
                rc = n->kind == SK_EXIT ? kWalkExit : kWalkReturn;
                goto done;
            case SK_CALLMARK: {
                Node* m = node_new();
                if (!m) goto alloc_failed;
                m->value->kind = kMarkerKind;
                stack_push(s, m);
                break;
            }
            case SK_CALL: {
                int r = do_call(s, n, result);
                if (r != kWalkDone) {
                    rc = r;
                    goto done;
                }
                break;
            }
            case SK_FUNCDEF:  // skipped by the jump in front of it
                next = n->target->next;
                break;
            default:
                if (n->kind >= SK_NOT && n->kind <= SK_POSTDEC) {
                    if (!apply_unary(s, n)) {
                        rc = kWalkError;
                        goto done;
                    }
                } else if (!apply_binary(s, n)) {
                    rc = kWalkError;
                    goto done;
                }
        }
        n = next;
    }
done:
    if (s->post_inc || s->post_dec) {
        if (rc == kWalkError)
            pending_drop(s);
        else if (!pending_apply(s))
            rc = kWalkError;
    }
    return rc;

alloc_failed:
    fail(s, kErrAlloc, n->pos);
    rc = kWalkError;
    goto done;
}

}  // namespace legacy
}  // namespace ksc
