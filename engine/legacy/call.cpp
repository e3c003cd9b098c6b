// The previous evaluator, kept only to compare the new core against (differential runs).
// Calls: resolving a name, binding parameters, running script functions and
// native functions.
#include <cstring>
#include <string>

#include "builtins.h"
#include "error.h"
#include "legacy.h"
#include "platform.h"
#include "unit.h"

namespace ksc {
namespace legacy {

// A script function call stops with "Nesting too deep" when less native stack
// than this is left.
constexpr size_t kCallStackReserve = 256 * 1024;

static CallEntry* cache_find(Scope* s, const char16_t* name, int32_t hash) {
    for (CallEntry* c = s->cache; c; c = c->next)
        if (c->hash == hash && zv::text_equal(c->name, name)) return c;
    return nullptr;
}

static CallEntry* cache_add(Scope* s, const char16_t* name, int32_t hash, bool native, void* target, Scope* run,
                            ScriptUnit* unit) {
    CallEntry* c = static_cast<CallEntry*>(zv::heap_alloc(sizeof(CallEntry)));
    if (!c) return nullptr;
    if (!(c->name = str_dup(name))) {
        zv::heap_free(c);
        return nullptr;
    }
    c->hash = hash;
    c->native = native;
    c->target = target;
    c->run_scope = run;
    c->unit = unit;
    c->next = s->cache;
    s->cache = c;
    return c;
}

static const UserFunc* find_user(const ScriptUnit* u, const char16_t* name, int32_t hash) {
    for (const UserFunc* f = u->functions; f; f = f->next)
        if (f->hash == hash && zv::text_equal(f->name, name)) return f;
    return nullptr;
}

// Resolution order: call cache, the unit's functions, imported units,
// libraries in load order, built-ins.
static CallEntry* resolve(Scope* s, const char16_t* name, int32_t hash) {
    if (CallEntry* c = cache_find(s, name, hash)) return c;
    // The unit's own functions are found as fast as the cache would find
    // them; caching them in every short-lived function scope would only cost.
    if (const UserFunc* f = find_user(s->unit, name, hash)) {
        static CallEntry entry;
        entry.native = 0;
        entry.target = f->def;
        entry.run_scope = nullptr;
        entry.unit = s->unit;
        return &entry;
    }
    ScriptUnit* root = s->unit->root;
    for (ScriptUnit* u = root->next; u; u = u->next) {
        if (!u->top_scope) continue;
        const UserFunc* f = find_user(u, name, hash);
        if (!f) continue;
        CallEntry* c = cache_find(u->top_scope, name, hash);
        return c ? c : cache_add(u->top_scope, name, hash, false, f->def, u->top_scope, u);
    }
    std::string export_name = "_lib_func_";
    for (const char16_t* p = name; *p; ++p) export_name += char(*p);  // call names are ASCII
    for (LoadedLibrary* lib = root->libraries; lib; lib = lib->next) {
        if (void* fn = zv::library_symbol(lib->handle, export_name.c_str()))
            return cache_add(s, name, hash, true, fn, nullptr, nullptr);
    }
    if (NativeFunc fn = builtin_find(name))
        return cache_add(s, name, hash, true, reinterpret_cast<void*>(fn), nullptr, nullptr);
    return nullptr;
}

static bool call_native(Scope* s, const SyntaxNode* call, NativeFunc fn, Node* args, Node** out) {
    Node* result = node_new();
    if (!result) {
        report_error(s, kErrAlloc, call->pos);
        return false;
    }
    char16_t errbuf[kErrBufSize];
    errbuf[0] = 0;
    int32_t rc = fn(s, args, result, errbuf);
    if (rc >= 0) {
        // A library may have stored a string or array: the engine owns it now.
        result->value->owner = result;
        *out = result;
        return true;
    }
    node_free(result);
    if (rc == -2) {
        report_error(s, kErrTooFewArguments, call->pos);
    } else if (rc == -1) {
        errbuf[kErrBufSize - 1] = 0;
        report_error(s, kErrFunction, call->pos, errbuf);
    }
    return false;
}

// Evaluates a parameter's default expression into var.
static bool bind_default(Scope* f, const SyntaxNode* param, Node* var, Value* ret, int* exit_rc) {
    int rc = walk(f, param->sub, ret);
    if (rc != kWalkDone) {
        stack_clear(f);
        if (rc == kWalkExit) *exit_rc = rc;
        return false;
    }
    bool ok = !f->stack || value_assign(var->value, f->stack->value);
    stack_clear(f);
    if (!ok) report_error(f, kErrAlloc, param->pos);
    return ok;
}

static bool call_script(Scope* s, const SyntaxNode* call, const CallEntry* entry, Node* args, Node** out,
                        bool* exited) {
    if (zv::stack_remaining() < kCallStackReserve) {
        report_error(s, kErrTooDeep, call->pos);
        return false;
    }
    const SyntaxNode* def = static_cast<const SyntaxNode*>(entry->target);
    Scope* parent = entry->run_scope ? entry->run_scope : s;
    Scope f;
    scope_init(&f, entry->unit, parent);
    f.pos = call->pos;
    bool ok = true;
    int exit_rc = 0;
    Value ret;
    result_init(&ret);
    const Node* arg = args;
    for (const SyntaxNode* p = def->sub; p && ok; p = p->next) {
        if (scope_find_local(&f, p->text, p->ival)) {
            report_error(&f, kErrDuplicateVariable, p->pos, p->text);
            ok = false;
            break;
        }
        Node* var;
        if (arg && (p->flags & SF_BYREF)) {
            // Shares the argument's value record: assignments reach the caller.
            scope_note_new_variable(&f);
            var = node_ref(arg->value);
            if (var && !(var->name = str_dup(p->text))) {
                node_free(var);
                var = nullptr;
            }
            if (var) {
                var->hash = p->ival;
                if (f.vars_tail)
                    f.vars_tail->next = var;
                else
                    f.vars = var;
                f.vars_tail = var;
            }
        } else {
            var = scope_add(&f, p->text, p->ival);
            if (var && arg && !value_assign(var->value, arg->value)) var = nullptr;
        }
        if (!var) {
            report_error(&f, kErrAlloc, p->pos);
            ok = false;
        } else if (!arg) {
            if (!p->sub) {
                report_error(s, kErrTooFewArguments, call->pos);
                ok = false;
            } else {
                ok = bind_default(&f, p, var, &ret, &exit_rc);
            }
        }
        if (arg) arg = arg->next;
    }
    int rc = exit_rc ? exit_rc : kWalkError;
    if (ok) {
        rc = walk(&f, def->target->sub, &ret);
        if (rc == kWalkBreak || rc == kWalkContinue) {
            report_error(s, kErrSyntax, call->pos);
            rc = kWalkError;
        }
    }
    stack_clear(&f);
    Node* result = rc == kWalkError ? nullptr : node_new();
    if (rc != kWalkError && result) {
        if (ret.kind != kNoValue && !value_assign(result->value, &ret)) {
            node_free(result);
            result = nullptr;
        }
        if (!result) report_error(s, kErrAlloc, call->pos);
    }
    value_clear(&ret);
    scope_clear(&f);
    if (!result) return false;
    if (rc == kWalkExit) {
        // exit ends the whole run, from any depth and from imported files too.
        parent->exit_requested = 1;
        *exited = true;
    }
    *out = result;
    return true;
}

bool call_function(Scope* s, const SyntaxNode* call, Node* args, Node** out, bool* exited) {
    *out = nullptr;
    *exited = false;
    CallEntry* entry = resolve(s, call->text, call->ival);
    bool ok;
    if (!entry) {
        report_error(s, kErrFunctionNotFound, call->pos);
        ok = false;
    } else if (entry->native) {
        ok = call_native(s, call, reinterpret_cast<NativeFunc>(entry->target), args, out);
    } else {
        ok = call_script(s, call, entry, args, out, exited);
    }
    node_list_free(args);
    return ok;
}

}  // namespace legacy
}  // namespace ksc
