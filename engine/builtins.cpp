#include "builtins.h"

#include <cstring>

#include "eval.h"
#include "platform.h"

namespace ksc {

static int32_t KSC_STDCALL no_host(Scope*, Node* args, Node*, char16_t*) { return args ? 0 : -2; }

bool result_set_text(Node* result, const std::u16string& text) {
    char16_t* s = str_dup(text.data(), text.size());
    if (!s) return false;
    value_set_string(result->value, s);
    return true;
}

std::u16string joined_text(const Value* v) {
    if (v->kind != kArray) return value_text(v);
    std::u16string out;
    for (const Node* e = v->data.a; e; e = e->next)
        if (e->value->kind != kArray) out += value_text(e->value);
    return out;
}

int32_t integer_of(const Value* v) {
    switch (v->kind) {
        case kInt: return v->data.i;
        case kReal: return v->data.r >= 2147483648.0 || v->data.r <= -2147483649.0 || v->data.r != v->data.r
                               ? INT32_MIN
                               : int32_t(v->data.r);
        case kString: return read_integer(v->data.s);
        default: return read_integer(joined_text(v).c_str());
    }
}

#define ARG1 \
    if (!args) return -2; \
    const Value* v = args->value;

static int32_t KSC_STDCALL bi_istype(Scope*, Node* args, Node* result, char16_t*) {
    ARG1
    result->value->data.i = v->kind;
    return 0;
}

static int32_t KSC_STDCALL bi_length(Scope*, Node* args, Node* result, char16_t*) {
    ARG1
    if (v->kind == kArray)
        result->value->data.i = list_length(v->data.a);
    else if (v->kind == kString)
        result->value->data.i = v->data.s ? int32_t(str_len(v->data.s)) : 0;
    else
        result->value->data.i = int32_t(value_text(v).size());
    return 0;
}

static int32_t KSC_STDCALL bi_array(Scope*, Node* args, Node* result, char16_t*) {
    ARG1
    Node* head = nullptr;
    if (v->kind == kArray) {
        if (!list_copy(v->data.a, &head)) return -1;
    } else {
        std::u16string text = value_text(v);
        Node** tail = &head;
        for (char16_t c : text) {
            Node* e = node_new();
            char16_t* s = e ? str_dup(&c, 1) : nullptr;
            if (!s) {
                node_free(e);
                node_list_free(head);
                return -1;
            }
            value_set_string(e->value, s);
            *tail = e;
            tail = &e->next;
        }
    }
    result->value->kind = kArray;
    result->value->data.a = head;
    return 0;
}

static int32_t KSC_STDCALL bi_string(Scope*, Node* args, Node* result, char16_t*) {
    ARG1
    return result_set_text(result, joined_text(v)) ? 0 : -1;
}

static int32_t KSC_STDCALL bi_number(Scope*, Node* args, Node* result, char16_t*) {
    ARG1
    if (v->kind == kInt || v->kind == kReal) {
        *result->value = *v;
        result->value->owner = result;
        return 0;
    }
    std::u16string text = joined_text(v);
    if (text.find(u'.') != std::u16string::npos) {
        result->value->kind = kReal;
        result->value->data.r = read_real(text.c_str());
    } else {
        result->value->data.i = read_integer(text.c_str());
    }
    return 0;
}

static int32_t KSC_STDCALL bi_int(Scope*, Node* args, Node* result, char16_t*) {
    ARG1
    result->value->data.i = integer_of(v);
    return 0;
}

static int32_t KSC_STDCALL bi_code(Scope*, Node* args, Node* result, char16_t*) {
    ARG1
    std::u16string text = joined_text(v);
    int32_t i = args->next ? integer_of(args->next->value) : 0;
    if (i < 0) i = 0;
    result->value->data.i = size_t(i) < text.size() ? text[size_t(i)] : 0;
    return 0;
}

static int32_t KSC_STDCALL bi_char(Scope*, Node* args, Node* result, char16_t*) {
    ARG1
    char16_t c = char16_t(integer_of(v) & 0xFFFF);
    char16_t* s = str_dup(&c, 1);
    if (!s) return -1;
    value_set_string(result->value, s);
    return 0;
}

// The element at the position given by the second argument (negative: first).
static Node* element_at(const Value* a, const Value* index) {
    if (a->kind != kArray) return nullptr;
    int32_t i = integer_of(index);
    return list_at(a->data.a, i < 0 ? 0 : i);
}

static int32_t KSC_STDCALL bi_getkey(Scope*, Node* args, Node* result, char16_t*) {
    if (!args || !args->next) return -2;
    Node* e = element_at(args->value, args->next->value);
    return result_set_text(result, e && e->name ? e->name : u"") ? 0 : -1;
}

static int32_t KSC_STDCALL bi_setkey(Scope*, Node* args, Node*, char16_t*) {
    if (!args || !args->next || !args->next->next) return -2;
    Node* e = element_at(args->value, args->next->value);
    if (!e) return 0;
    const Value* k = args->next->next->value;
    const char16_t* key = k->kind == kString ? k->data.s : nullptr;
    array_keys_changed();
    return node_set_key(e, key) ? 0 : -1;
}

Builtin g_builtins[kBuiltinCount] = {
    {u"_lib_func_error", 0, no_host},     {u"_lib_func_print", 0, no_host},   {u"_lib_func_input", 0, no_host},
    {u"_lib_func_istype", 0, bi_istype},  {u"_lib_func_length", 0, bi_length}, {u"_lib_func_array", 0, bi_array},
    {u"_lib_func_string", 0, bi_string},  {u"_lib_func_number", 0, bi_number}, {u"_lib_func_int", 0, bi_int},
    {u"_lib_func_code", 0, bi_code},      {u"_lib_func_char", 0, bi_char},     {u"_lib_func_getkey", 0, bi_getkey},
    {u"_lib_func_setkey", 0, bi_setkey},
};

void builtins_init(NativeFunc error, NativeFunc print, NativeFunc input) {
    for (Builtin& b : g_builtins) b.hash = name_hash(b.name);
    g_builtins[0].fn = error ? error : no_host;
    g_builtins[1].fn = print ? print : no_host;
    g_builtins[2].fn = input ? input : no_host;
    resolution_changed();
}

NativeFunc builtin_find(const char16_t* name) {
    std::u16string full = u"_lib_func_";
    full += name;
    int32_t hash = name_hash(full.c_str());
    for (const Builtin& b : g_builtins)
        if (b.hash == hash && full == b.name) return b.fn;
    return nullptr;
}

void builtin_error_sink(Scope* scope, const char16_t* text, int32_t line) {
    Node* msg = node_new();
    Node* result = node_new();
    if (!msg || !result || !(msg->value->data.s = str_dup(text))) {
        node_free(msg);
        node_free(result);
        return;
    }
    msg->value->kind = kString;
    if (line >= 0) {
        msg->next = node_new();
        if (msg->next) msg->next->value->data.i = line;
    }
    char16_t errbuf[kErrBufSize];
    errbuf[0] = 0;
    g_builtins[0].fn(scope, msg, result, errbuf);
    node_list_free(msg);
    node_free(result);
}

}  // namespace ksc
