// Calls: native functions through the library interface, script functions
// in a frame of their own.
#include "builtins.h"
#include "error.h"
#include "vm.h"

namespace ksc {
namespace vm {

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

Code* code_for(const SyntaxNode* head, int form, bool function, Scope* s) {
    SyntaxNode* h = const_cast<SyntaxNode*>(head);
    bool line_mode = !function && s->line_mode;
    if (h->code) {
        if (Code* c = h->code->form[form]) {
            if (c->line_mode == line_mode) return c;
            code_free(c);  // the same text, now walked in line mode (or no longer)
            h->code->form[form] = nullptr;
        }
    } else if (!(h->code = static_cast<CodeForms*>(zv::heap_alloc(sizeof(CodeForms))))) {
        s->pos = head->pos;
        report_error(s, kErrAlloc, head->pos);
        return nullptr;
    }
    int error = kErrAlloc;
    const SyntaxNode* where = head;
    Code* c = function ? compile_function(head, form, &error, &where)
                       : compile_top(head, form, line_mode, &error, &where);
    if (!c) {
        s->pos = where->pos;
        report_error(s, error, where->pos);
        return nullptr;
    }
    h->code->form[form] = c;
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
    const Code* code = code_for(def, form_of(cur->unit->root), true, cur);
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

}  // namespace vm
}  // namespace ksc
