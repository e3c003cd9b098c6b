// Unary and binary operators, dispatched on the kinds of their operands.
#include <cmath>
#include <cstring>

#include "error.h"
#include "eval.h"
#include "platform.h"

namespace ksc {

int32_t truncate_int(double d) {
    if (!(d > -2147483649.0 && d < 2147483648.0)) return INT32_MIN;
    return int32_t(d);
}

static uint32_t truncate_uint(double d) {
    if (!(d > -9.2e18 && d < 9.2e18)) return 0x80000000u;
    return uint32_t(int64_t(d));
}

static bool texts_equal(const char16_t* a, const char16_t* b) {
    if (!a) a = u"";
    if (!b) b = u"";
    return a[0] == b[0] && zv::text_equal(a, b);
}

static bool arrays_equal(const Node* a, const Node* b) {
    for (; a && b; a = a->next, b = b->next)
        if (!values_equal(a->value, b->value)) return false;
    return !a && !b;
}

bool values_equal(const Value* a, const Value* b) {
    if (a->kind == kArray || b->kind == kArray)
        return a->kind == kArray && b->kind == kArray && arrays_equal(a->data.a, b->data.a);
    if (a->kind == kString || b->kind == kString) {
        if (a->kind == kString && b->kind == kString) return texts_equal(a->data.s, b->data.s);
        return texts_equal(value_text(a).c_str(), value_text(b).c_str());
    }
    if (a->kind == kReal || b->kind == kReal) return value_number(a) == value_number(b);
    return a->data.i == b->data.i;
}

// Result of a binary operator: out is a fresh value or one of the operands
// (every rule reads both operands before it writes); returns 0 or an error code.
int binary_value(int32_t op, const Value* l, const Value* r, Value* out, bool ksc5) {
    if (l->kind == kArray || r->kind == kArray) {
        if (op == SK_EQ || op == SK_NE) {
            bool eq = values_equal(l, r);
            value_set_int(out, (op == SK_EQ) == eq);
            return 0;
        }
        if (op != SK_ADD) return kErrIllegalArrayOperator;
        Node* head = nullptr;
        const Node* first = l->kind == kArray ? l->data.a : nullptr;
        const Node* second = r->kind == kArray ? r->data.a : nullptr;
        if (l->kind == kArray && r->kind == kArray) {
            Node* tail_list = nullptr;
            if (!list_copy(first, &head) || !list_copy(second, &tail_list)) {
                node_list_free(head);
                return kErrAlloc;
            }
            if (head)
                list_last(head)->next = tail_list;
            else
                head = tail_list;
        } else if (!list_copy(first ? first : second, &head)) {
            return kErrAlloc;
        }
        value_clear(out);
        out->kind = kArray;
        out->data.a = head;
        return 0;
    }
    if (l->kind == kString || r->kind == kString) {
        if (op == SK_EQ || op == SK_NE) {
            bool eq = values_equal(l, r);
            value_set_int(out, (op == SK_EQ) == eq);
            return 0;
        }
        if (op != SK_ADD) return kErrIllegalOperator;
        // Numbers become text; strings are joined straight from their buffers.
        std::u16string ltext, rtext;
        const char16_t* a = l->kind == kString ? (l->data.s ? l->data.s : u"") : (ltext = value_text(l)).c_str();
        const char16_t* b = r->kind == kString ? (r->data.s ? r->data.s : u"") : (rtext = value_text(r)).c_str();
        size_t na = str_len(a), nb = str_len(b);
        char16_t* s = static_cast<char16_t*>(zv::heap_alloc((na + nb + 1) * sizeof(char16_t)));
        if (!s) return kErrAlloc;
        memcpy(s, a, na * sizeof(char16_t));
        memcpy(s + na, b, nb * sizeof(char16_t));
        value_set_string(out, s);
        return 0;
    }
    if (l->kind == kReal || r->kind == kReal) {
        double a = value_number(l), b = value_number(r);
        switch (op) {
            case SK_LT: value_set_int(out, a < b); return 0;
            case SK_LE: value_set_int(out, a <= b); return 0;
            case SK_GT: value_set_int(out, a > b); return 0;
            case SK_GE: value_set_int(out, a >= b); return 0;
            case SK_EQ: value_set_int(out, a == b); return 0;
            case SK_NE: value_set_int(out, a != b); return 0;
            case SK_ADD: value_set_number(out, a + b); return 0;
            case SK_SUB: value_set_number(out, a - b); return 0;
            case SK_MUL: value_set_number(out, a * b); return 0;
            case SK_DIV:
                if (b == 0) return kErrDivisionByZero;
                value_set_number(out, a / b);
                return 0;
            default: break;
        }
        int32_t x = truncate_int(a), y = truncate_int(b);
        switch (op) {
            case SK_MOD:
                if (y == 0) return kErrDivisionByZero;
                value_set_int(out, y == -1 ? 0 : x % y);
                return 0;
            case SK_BITAND: value_set_int(out, x & y); return 0;
            case SK_BITOR: value_set_int(out, x | y); return 0;
            case SK_BITXOR: value_set_int(out, x ^ y); return 0;
            case SK_SHL: value_set_int(out, int32_t(uint32_t(x) << (y & 31))); return 0;
            case SK_SHR: value_set_int(out, x >> (y & 31)); return 0;
            case SK_SHL3: value_set_int(out, int32_t(truncate_uint(a) << (y & 31))); return 0;
            case SK_SHR3: value_set_int(out, int32_t(truncate_uint(a) >> (y & 31))); return 0;
            default: return kErrIllegalOperator;
        }
    }
    int32_t x = l->data.i, y = r->data.i;
    uint32_t ux = uint32_t(x), uy = uint32_t(y);
    switch (op) {
        case SK_LT: value_set_int(out, x < y); return 0;
        case SK_LE: value_set_int(out, x <= y); return 0;
        case SK_GT: value_set_int(out, x > y); return 0;
        case SK_GE: value_set_int(out, x >= y); return 0;
        case SK_EQ: value_set_int(out, x == y); return 0;
        case SK_NE: value_set_int(out, x != y); return 0;
        case SK_ADD: value_set_int(out, int32_t(ux + uy)); return 0;
        case SK_SUB: value_set_int(out, int32_t(ux - uy)); return 0;
        case SK_MUL: value_set_int(out, int32_t(ux * uy)); return 0;
        case SK_DIV:
            if (y == 0) return kErrDivisionByZero;
            // The smallest integer divided by -1 wraps to itself, as all
            // 32-bit integer arithmetic here wraps.
            if (y == -1) {
                value_set_int(out, int32_t(0u - ux));
                return 0;
            }
            if (ksc5 && x % y != 0)
                value_set_number(out, double(x) / double(y));
            else
                value_set_int(out, x / y);
            return 0;
        case SK_MOD:
            if (y == 0) return kErrDivisionByZero;
            value_set_int(out, y == -1 ? 0 : x % y);
            return 0;
        case SK_BITAND: value_set_int(out, x & y); return 0;
        case SK_BITOR: value_set_int(out, x | y); return 0;
        case SK_BITXOR: value_set_int(out, x ^ y); return 0;
        case SK_SHL:
        case SK_SHL3: value_set_int(out, int32_t(ux << (uy & 31))); return 0;
        case SK_SHR: value_set_int(out, x >> (uy & 31)); return 0;
        case SK_SHR3: value_set_int(out, int32_t(ux >> (uy & 31))); return 0;
        default: return kErrIllegalOperator;
    }
}

// Adds delta to a number in place (integers wrap, reals are normalised).
bool step_number(Value* v, int32_t delta) {
    if (v->kind == kInt)
        v->data.i = int32_t(uint32_t(v->data.i) + uint32_t(delta));
    else if (v->kind == kReal)
        value_set_number(v, v->data.r + delta);
    else
        return false;
    return true;
}

// ---- pending post-increments -------------------------------------------
// The queued reference nodes are chained through their own `next` links.

bool pending_add(Scope* s, Node* n, int32_t delta) {
    Node** list = delta > 0 ? &s->post_inc : &s->post_dec;
    n->next = *list;
    *list = n;
    return true;
}

static bool apply_list(Scope* s, Node** list, int32_t delta, bool ok) {
    while (Node* n = *list) {
        *list = n->next;
        n->next = nullptr;
        if (ok && !step_number(n->value, delta)) {
            report_error(s, kErrIllegalOperator, s->pos);
            ok = false;
        }
        node_free(n);
    }
    return ok;
}

bool pending_apply(Scope* s) {
    bool ok = apply_list(s, &s->post_inc, 1, true);
    return apply_list(s, &s->post_dec, -1, ok);
}

void pending_drop(Scope* s) {
    node_list_free(s->post_inc);
    node_list_free(s->post_dec);
    s->post_inc = s->post_dec = nullptr;
}

}  // namespace ksc
