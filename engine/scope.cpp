// Scopes: variables in creation order, looked up by name.
#include <cstring>
#include <string_view>
#include <unordered_map>

#include "code.h"
#include "eval.h"
#include "platform.h"
#include "scope.h"

namespace ksc {

uint64_t g_scope_serial;
uint64_t g_var_epoch = 1;


struct VarIndex {
    std::unordered_map<std::u16string_view, Node*> by_name;
};

void result_init(Value* v) {
    memset(v, 0, sizeof *v);
    v->kind = kNoValue;
}

void scope_init(Scope* s, ScriptUnit* unit, Scope* parent) {
    memset(s, 0, sizeof *s);
    s->unit = unit;
    s->parent = parent;
    s->serial = ++g_scope_serial;
    s->parent_serial = parent ? parent->serial : 0;
}

void stack_clear(Scope* s) {
    node_list_free(s->stack);
    s->stack = nullptr;
}

void scope_drop_index(Scope* s) {
    delete s->index;
    s->index = nullptr;
}

void scope_clear(Scope* s) {
    stack_clear(s);
    pending_drop(s);
    node_list_free(s->vars);
    s->vars = s->vars_tail = nullptr;
    s->var_count = 0;
    scope_drop_index(s);
    scope_drop_cache(s);
}

void scope_drop_cache(Scope* s) {
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
    if (s->index) {
        auto it = s->index->by_name.find(std::u16string_view(name));
        return it == s->index->by_name.end() ? nullptr : it->second;
    }
    for (Node* v = s->vars; v; v = v->next)
        if (name_equal(v, name, hash)) return v;
    return nullptr;
}

Node* scope_find(Scope* s, const char16_t* name, int32_t hash) {
    for (; s; s = s->parent)
        if (Node* v = scope_find_local(s, name, hash)) return v;
    return nullptr;
}

Node* scope_find_dynamic(Scope* from, const char16_t* name, int32_t hash) {
    for (Scope* s = from; s; s = s->parent) {
        s->observed = 1;
        if (Node* v = scope_find_local(s, name, hash)) return v;
    }
    return nullptr;
}

void scope_link(Scope* s, Node* v) {
    if (s->observed) ++g_var_epoch;
    if (s->vars_tail)
        s->vars_tail->next = v;
    else
        s->vars = v;
    s->vars_tail = v;
    if (++s->var_count == kVarIndexFrom && !s->index) {
        VarIndex* index = new (std::nothrow) VarIndex;
        if (index) {
            for (Node* n = s->vars; n; n = n->next) index->by_name.emplace(std::u16string_view(n->name), n);
            s->index = index;
        }
    } else if (s->index) {
        s->index->by_name.emplace(std::u16string_view(v->name), v);
    }
}

Node* scope_add(Scope* s, const char16_t* name, int32_t hash) {
    Node* v = node_new();
    if (!v) return nullptr;
    if (!(v->name = str_dup(name))) {
        node_free(v);
        return nullptr;
    }
    v->hash = hash;
    scope_link(s, v);
    // Code running in this scope finds the variable in its slot.
    if (const ScopeLayout* l = s->layout) {
        if (s->slots) {
            int32_t k = layout_find(l, name, hash);
            if (k >= 0 && !s->slots[l->first_slot + k]) s->slots[l->first_slot + k] = v;
        }
    }
    return v;
}

void scope_visit_variables(const Scope* s, VariableVisitor visit, void* ctx) {
    for (int depth = 0; s; s = s->parent, ++depth) {
        for (const Node* v = s->vars; v; v = v->next) visit(depth, v->label ? v->label : v->name, v->value, ctx);
    }
}

}  // namespace ksc
