// Call resolution: which function a call names.
#include <cstring>
#include <string>

#include "builtins.h"
#include "call.h"
#include "eval.h"
#include "platform.h"
#include "unit.h"

namespace ksc {

uint64_t g_resolve_gen = 1;

void resolution_changed() { ++g_resolve_gen; }

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

static void take(const CallEntry* c, CallSite* out) {
    out->native = c->native;
    out->target = c->target;
    out->run_scope = c->run_scope;
    out->unit = c->unit;
}

// Resolution order: the calling scope's cache, the unit's functions, those
// of imported units (cached in their top scope), libraries in load order,
// built-ins (both cached in the calling scope).
bool resolve_call(Scope* s, const char16_t* name, int32_t hash, CallSite* out) {
    if (CallEntry* c = cache_find(s, name, hash)) {
        take(c, out);
        return true;
    }
    // The unit's own functions are not cached: they are found as fast.
    if (const UserFunc* f = find_user(s->unit, name, hash)) {
        out->native = 0;
        out->target = f->def;
        out->run_scope = nullptr;
        out->unit = s->unit;
        return true;
    }
    ScriptUnit* root = s->unit->root;
    for (ScriptUnit* u = root->next; u; u = u->next) {
        if (!u->top_scope) continue;
        const UserFunc* f = find_user(u, name, hash);
        if (!f) continue;
        CallEntry* c = cache_find(u->top_scope, name, hash);
        if (!c) c = cache_add(u->top_scope, name, hash, false, f->def, u->top_scope, u);
        if (!c) return false;
        take(c, out);
        return true;
    }
    std::string export_name = "_lib_func_";
    for (const char16_t* p = name; *p; ++p) export_name += char(*p);  // call names are ASCII
    for (LoadedLibrary* lib = root->libraries; lib; lib = lib->next) {
        if (void* fn = zv::library_symbol(lib->handle, export_name.c_str())) {
            CallEntry* c = cache_add(s, name, hash, true, fn, nullptr, nullptr);
            if (!c) return false;
            take(c, out);
            return true;
        }
    }
    if (NativeFunc fn = builtin_find(name)) {
        CallEntry* c = cache_add(s, name, hash, true, reinterpret_cast<void*>(fn), nullptr, nullptr);
        if (!c) return false;
        take(c, out);
        return true;
    }
    return false;
}

}  // namespace ksc
