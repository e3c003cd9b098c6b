// The evaluator's run loop: runs code units (code.h) over one contiguous
// value stack (vm.h), and walk(), where hosts start it.
#include "builtins.h"
#include "call.h"
#include "error.h"
#include "positions.h"
#include "vm.h"

namespace ksc {
namespace vm {

// ---- the run loop ---------------------------------------------------------

// The host cleared its free-run flag: the unit goes on in its stepped form
// from the jump back `poll` of a loop (the next pass). Both forms have the
// same slots and scope records; the plain one leaves out the records of
// blocks that can never hold a variable, so those open here begin now,
// empty, as the stepped code would have begun them. Gives the instruction
// to go on at in *code, or -1 when the stepped form cannot be had (memory:
// reported) and 0 when it does not match (the plain form goes on).
static int to_stepped(Frame* fr, const Insn* poll, Scope** cur, int32_t sp, const Code** code) {
    const Code* plain = *code;
    const Code* stepped = code_for(plain->head, kFormStepped, !plain->external, fr->root);
    if (!stepped) return -1;
    bool same = stepped->frame_slots == plain->frame_slots && stepped->frame_scopes == plain->frame_scopes &&
                stepped->layout_count == plain->layout_count;
    const Insn* back = nullptr;
    for (int32_t i = 0; same && i < stepped->insn_count && !back; ++i)
        if (stepped->insns[i].op == OP_JUMP && stepped->insns[i].node == poll->node) back = &stepped->insns[i];
    if (!same || !back) {
#if defined(ZV_SANITIZE) || defined(ZV_FUZZ)
        abort();  // the forms disagree: the compiler must not let that happen
#endif
        return 0;
    }
    if (!vs_reserve(g_vs.top, stepped->max_stack)) {
        report_error(*cur, kErrAlloc, poll->node->pos);
        return -1;
    }
    Scope* p = fr->root;
    for (int32_t k = 0; k < poll->c; ++k) {
        const ScopeLayout* l = &stepped->layouts[plain->poll_scopes[poll->d + k]];
        Scope* r = &fr->records[l->depth];
        bool live = false;
        for (Scope* s = *cur; s != fr->root && !live; s = s->parent) live = s == r;
        if (!live) {
            scope_begin(r, p->unit, p, fr->fslots, l, sp);
        } else if (r->parent != p) {
            // A live scope inside blocks that had none: they come between.
            r->parent = p;
            r->parent_serial = p->serial;
        }
        p = r;
    }
    *cur = p;
    *code = stepped;
    fr->code = stepped;
    return int(back->b) + 1;
}

// The host's step callback before node; step_operand() sees the values the
// scope's code has on the stack meanwhile. Non-zero: the host stops the run.
static int host_step(ScriptUnit* root, Scope* cur, const SyntaxNode* node) {
    int32_t saved_base = g_step_base;
    g_step_base = cur->base;
    int stop = root->step(cur, node, root->step_ctx);
    g_step_base = saved_base;
    return stop;
}

int run(Frame* fr) {
    const Code* code = fr->code;
    const Insn* insns = code->insns;
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
        kDispatch[OP_POLL] = &&L_OP_POLL;
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
                    int stop = host_step(root, cur, ip->node);
                    RELOAD();
                    if (stop) {
                        rc = kWalkExit;
                        goto unwind;
                    }
                }
                ++ip;
                NEXT();
            }

            L_OP_POLL: {
                if (cur->unit->root->free_run->load(std::memory_order_acquire)) {
                    ++ip;
                    NEXT();
                }
                SAVE();
                int at = to_stepped(fr, ip, &cur, int32_t(sp - stack), &code);
                RELOAD();
                if (at < 0) goto failed;
                if (!at) {
                    ++ip;
                    NEXT();
                }
                insns = code->insns;
                ip = insns + (at - 1);
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
                    if (!array_key(sp - 1, ip->node)) FAIL(kErrAlloc);
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
                Node* v = make_var(fr, cur, site->create, ip->node->text, ip->node->ival, syntax_written(ip->node));
                if (!v) FAIL(kErrAlloc);
                sp->ref = v->value;
                sp->name = nullptr;
                sp->flags = 0;
                ++sp;
                if (ip->a && !array_key(sp - 1, ip->node)) FAIL(kErrAlloc);
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
                    v->flags = (v->flags & ~OF_LABELED) | (t->flags & OF_LABELED);
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
                err = index_value(arr, idx, ip->a || (arr->flags & OF_PINNED), cur, &out);
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
                if (kv->kind == kString && kv->data.s && kv->data.s[0] && !key_operand(v, kv->data.s, cur))
                    FAIL(kErrAlloc);
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
                    if ((e->flags & OF_LABELED) && !label_element(n, e)) {
                        node_free(n);
                        break;
                    }
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
                if (code->polled && cs->native) {
                    // A native function may take long: a host that ended
                    // free running meanwhile hears of it now, not at the
                    // next pass of a loop.
                    ScriptUnit* root = cur->unit->root;
                    if (root->step && !root->free_run->load(std::memory_order_acquire)) {
                        SAVE();
                        int stop = host_step(root, cur, n);
                        RELOAD();
                        if (stop) {
                            rc = kWalkExit;
                            goto unwind;
                        }
                    }
                }
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
                    Node* v = make_var(fr, cur, ip->c, p->text, p->ival, syntax_written(p));
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
                make_var(fr, cur, ip->c, p->text, p->ival, syntax_written(p));
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
                    Node* v = make_var(fr, cur, i, p->text, p->ival, syntax_written(p));
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
                } else {
                    // A statement end drops what earlier lines of line mode kept.
                    for (Operand* base = BASE(); sp > base;) release(--sp);
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

}  // namespace vm

using namespace vm;

int walk(Scope* s, const SyntaxNode* seq, Value* result) {
    if (!seq) return (s->post_inc || s->post_dec) && !pending_apply(s) ? kWalkError : kWalkDone;
    size_t left = zv::stack_remaining();
    if (left < kStackReserve) {
        report_error(s, kErrTooDeep, seq->pos);
        return kWalkError;
    }
    const Code* code = code_for(seq, form_of(s->unit->root), false, s);
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
    bool saved_copy_labels = g_copy_labels;
    g_copy_labels = s->unit->root->editor != 0;
    int rc = run(&fr);
    g_copy_labels = saved_copy_labels;
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
