// Variables, values and operators on the evaluator's stack.
#include "error.h"
#include "positions.h"
#include "vm.h"

namespace ksc {
namespace vm {

// The variable's name as the script wrote it (for error messages).
std::u16string written_name(const SyntaxNode* n) {
    const char16_t* p = n->pos;
    const char16_t* e = p;
    while ((*e >= u'a' && *e <= u'z') || (*e >= u'A' && *e <= u'Z') || (*e >= u'0' && *e <= u'9') || *e == u'_')
        ++e;
    if (e == p) return n->text;
    return std::u16string(p, e);
}

// "key\0Key\0": the key lower-cased, then as written.
static char16_t* labeled_key(const char16_t* written) {
    size_t n = str_len(written);
    char16_t* key = static_cast<char16_t*>(zv::heap_alloc_raw((2 * n + 2) * sizeof(char16_t)));
    if (!key) return nullptr;
    for (size_t i = 0; i < n; ++i) {
        char16_t c = written[i];
        key[i] = c >= u'A' && c <= u'Z' ? char16_t(c + 32) : c;
        key[n + 1 + i] = c;
    }
    key[n] = key[2 * n + 1] = 0;
    return key;
}

bool array_key(Operand* e, const SyntaxNode* n) {
    const char16_t* written = syntax_written(n);
    e->name = written ? labeled_key(written) : str_dup(n->text);
    e->hash = n->ival;
    if (written) e->flags |= OF_LABELED;
    return e->name != nullptr;
}

bool key_operand(Operand* v, const char16_t* key, const Scope* cur) {
    bool labeled = false;
    if (cur->unit->root->editor)
        for (const char16_t* p = key; *p && !labeled; ++p) labeled = *p >= u'A' && *p <= u'Z';
    char16_t* name = labeled ? labeled_key(key) : lower_dup(key);
    if (!name) return false;
    zv::heap_free(v->name);
    v->name = name;
    v->hash = name_hash(name);
    v->flags = (v->flags & ~OF_LABELED) | (labeled ? OF_LABELED : 0);
    return true;
}

bool label_element(Node* element, const Operand* e) {
    if (!e->name) return true;
    return (element->label = str_dup(e->name + str_len(e->name) + 1)) != nullptr;
}

// Elements moved instead of copied must look copied: no labels (unless
// copies keep them), reals that are whole numbers stored as integers.
void settle_moved(Node* list) {
    for (Node* e = list; e; e = e->next) {
        if (e->label && !g_copy_labels) {
            zv::heap_free(e->label);
            e->label = nullptr;
        }
        if (e->value->kind == kReal)
            value_set_number(e->value, e->value->data.r);
        else if (e->value->kind == kArray)
            settle_moved(e->value->data.a);
    }
}

// ---- variables ------------------------------------------------------------

// The variable a reference names, when its first slot is empty: the other
// slots, then by name beyond the unit (cached), then made in the current
// scope, or "Undefined variable" in strict mode.
Node* find_var(Frame* fr, Scope* cur, VarSite* site, const SyntaxNode* n) {
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
            Node* v;
            if (site->serial != 0 && site->serial == from->parent_serial && site->epoch == g_var_epoch) {
                // One scope deeper than the remembered look (a function
                // calling itself): only the new scope is searched, beyond it
                // the look gives what it gave, so deep recursion that uses
                // its callers' variables stays linear.
                from->observed = 1;
                v = scope_find_local(from, name, hash);
                if (!v) v = site->var;
            } else {
                v = scope_find_dynamic(from, name, hash);
            }
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
        v = make_var(fr, cur, site->create, name, hash, syntax_written(site->node));
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
int index_value(Operand* arr, Operand* idx, bool pin, const Scope* cur, Operand* out) {
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
            // The key as written, where it differs from its lower-cased form.
            if (lowered != text && cur->unit->root->editor && !(elem->label = str_dup(text))) {
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

// ---- text concatenation ---------------------------------------------------

// A string or number operand as text: pointer and length.
namespace {

struct Text {
    const char16_t* s;
    size_t n;
    char16_t digits[12];
    std::u16string real;
};

}  // namespace

static void text_of(const Value* v, Text* t) {
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
static int concat(Operand* l, const Value* lv, const Value* rv) {
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

static inline bool is_concat(int32_t op, const Value* l, const Value* r) {
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
        l->flags &= ~(OF_SIZED | OF_LABELED);
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

}  // namespace vm
}  // namespace ksc
