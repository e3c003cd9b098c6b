// Differential run (temporary, while the new core replaces the previous
// walk): each input runs with the previous evaluator and with the new core,
// both with a step callback that records every step (node, line, the
// variables the scope shows, the top operand); then with the new core
// without callback. Output, errors, results, leftover values and the steps
// must agree. Options as in run_fuzz (first byte below 0x08).
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "builtins.h"
#include "eval.h"
#include "legacy.h"
#include "parser.h"
#include "platform.h"
#include "unit.h"
#include "utf.h"

using namespace ksc;

namespace {

constexpr int kMaxSteps = 20000;
constexpr int32_t kMaxIndex = 1 << 16;
constexpr size_t kMaxText = 1 << 16;
constexpr size_t kShown = 64;  // longer texts and arrays show in steps by size only

struct Record {
    std::u16string out;
    std::vector<std::u16string> steps;
    int rc = 0;
    bool stopped = false;
    int count = 0;
    bool legacy = false;
};
Record* g_rec;

int32_t KSC_STDCALL cap_print(Scope*, Node* args, Node*, char16_t*) {
    if (!args) return -2;
    if (g_rec->out.size() < kMaxText) g_rec->out += u"P:" + value_text(args->value);
    return 0;
}

int32_t KSC_STDCALL cap_error(Scope*, Node* args, Node*, char16_t*) {
    if (!args) return -2;
    if (g_rec->out.size() < kMaxText) {
        g_rec->out += u"E:" + value_display(args->value, false);
        if (args->next) g_rec->out += u"@" + format_int(args->next->value->data.i);
        g_rec->out += u"\n";
    }
    return 0;
}

int32_t KSC_STDCALL no_input(Scope*, Node*, Node* result, char16_t*) {
    return result_set_text(result, u"in") ? 0 : -1;
}

bool directive(Scope* scope, ScriptUnit* unit, int kind, const char16_t* arg, const char16_t* pos) {
    if (kind == kDirOption) return run_directive(scope, unit, kind, arg, pos);
    unit->ksc5 = 1;
    return true;
}

size_t size_of(const Value* v, size_t limit) {
    size_t n = 0;
    if (v->kind == kString && v->data.s)
        while (n <= limit && v->data.s[n]) ++n;
    if (v->kind == kArray)
        for (const Node* e = v->data.a; e && n <= limit; e = e->next) ++n;
    return n;
}

bool too_big(const Value* v) { return v && size_of(v, kMaxText) > kMaxText; }

std::u16string shown(const Value* v) {
    size_t n = size_of(v, kShown);
    if (n > kShown) return u"big" + format_int(int32_t(v->kind));
    return value_display(v, false);
}

const Value* operand(Scope* s, int depth) {
    if (!g_rec->legacy) return step_operand(depth);
    Node* n = s->stack;
    for (int i = 0; n && i < depth; ++i) n = n->next;
    return n && n->value->kind <= kArray ? n->value : nullptr;  // not a call marker
}

int record(Scope* s, const SyntaxNode* node, void*) {
    if (++g_rec->count > kMaxSteps) return g_rec->stopped = true, 1;
    const Value* top = operand(s, 0);
    if (node && node->kind == SK_INDEX && top &&
        ((top->kind == kInt && top->data.i > kMaxIndex) || (top->kind == kReal && top->data.r > kMaxIndex)))
        return g_rec->stopped = true, 1;
    if (too_big(top) || too_big(operand(s, 1))) return g_rec->stopped = true, 1;
    std::u16string line = node ? format_int(node->kind) + u"@" + format_int(node->line) : u"end";
    scope_visit_variables(
        s,
        [](int depth, const char16_t* name, const Value* v, void* ctx) {
            std::u16string* l = static_cast<std::u16string*>(ctx);
            if (depth > 3) return;  // deep recursion would make this quadratic
            *l += u" " + format_int(depth) + name + u"=";
            *l += shown(v);
        },
        &line);
    if (top) line += u" top=" + shown(top);
    g_rec->steps.push_back(line);
    return 0;
}

// 0: previous walk, 1: new core with steps, 2: new core without.
Record run(const char16_t* text, size_t len, int options, int mode) {
    Record rec;
    rec.legacy = mode == 0;
    g_rec = &rec;
    builtins_init(cap_error, cap_print, no_input);
    ScriptUnit* unit = unit_new_root(u"", u"fuzz.ksc", options & 2, !(options & 1));
    Scope* top = scope_new(unit, nullptr);
    unit->top_scope = top;
    top->line_mode = (options & 4) != 0;
    if (mode < 2) unit->step = record;
    unit->text = str_dup(text, len);
    unit->text_len = len;
    bool ok = false;
    unit->sequence = parse_text(top, unit, unit->text, len, directive, &ok);
    if (ok && unit->sequence) {
        Value result;
        result_init(&result);
        rec.rc = mode == 0 ? legacy::walk(top, unit->sequence, &result) : walk(top, unit->sequence, &result);
        if (result.kind != kNoValue) rec.out += u"R:" + value_display(&result, false);
        value_clear(&result);
        for (Node* n = top->stack; n; n = n->next) rec.out += u"S:" + value_display(n->value, false);
        stack_clear(top);
        if (mode < 2 && !rec.stopped) record(top, nullptr, nullptr);
    } else {
        rec.out += u"parse failed";
    }
    unit_free(unit);
    if (pinned_count() != 0) abort();
    g_rec = nullptr;
    return rec;
}

void differ(const char* what, const Record& a, const Record& b, const char16_t* text, size_t len) {
    std::fprintf(stderr, "differential: %s differ\nscript: %s\n", what, zv::utf16_to_utf8(text, len).c_str());
    std::fprintf(stderr, "previous rc %d: %s\nnew rc %d: %s\n", a.rc, zv::utf16_to_utf8(a.out.data(), a.out.size()).c_str(),
                 b.rc, zv::utf16_to_utf8(b.out.data(), b.out.size()).c_str());
    size_t n = a.steps.size() < b.steps.size() ? a.steps.size() : b.steps.size();
    for (size_t i = 0; i < n; ++i) {
        if (a.steps[i] != b.steps[i]) {
            std::fprintf(stderr, "step %zu:\n  previous: %s\n  new:      %s\n", i,
                         zv::utf16_to_utf8(a.steps[i].data(), a.steps[i].size()).c_str(),
                         zv::utf16_to_utf8(b.steps[i].data(), b.steps[i].size()).c_str());
            break;
        }
    }
    std::fprintf(stderr, "steps: previous %zu, new %zu\n", a.steps.size(), b.steps.size());
    abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    int options = 0;
    if (size > 0 && data[0] < 0x08) {
        options = data[0];
        ++data, --size;
    }
    size_t len = 0;
    char16_t* text = zv::utf8_to_utf16(reinterpret_cast<const char*>(data), size, &len);
    if (!text) return 0;
    Record old = run(text, len, options, 0);
    Record stepped = run(text, len, options, 1);
    // How deep recursion goes before "Nesting too deep" depends on the native
    // stack each evaluator uses per level.
    if (old.out.find(u"Nesting too deep") != std::u16string::npos ||
        stepped.out.find(u"Nesting too deep") != std::u16string::npos) {
        zv::heap_free(text);
        return 0;
    }
    if (old.rc != stepped.rc || old.out != stepped.out) differ("results", old, stepped, text, len);
    if (old.steps != stepped.steps) differ("steps", old, stepped, text, len);
    if (!stepped.stopped) {
        Record plain = run(text, len, options, 2);
        if (plain.rc != stepped.rc || plain.out != stepped.out) differ("plain results", stepped, plain, text, len);
    }
    zv::heap_free(text);
    return 0;
}
