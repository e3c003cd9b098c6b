// Parses and runs arbitrary UTF-8 input as a script. A step budget, a
// ceiling on the values made and a memory ceiling (checked before every
// node) keep endless loops and runaway growth from being reported as
// findings; they are small so that every input stays cheap and the fuzzer
// gets to try many. Directives only switch modes here: `#import` and
// `#library` would search the disk and load shared libraries.
//
// A first byte below 0x10 selects options: bit 0 basic dialect, bit 1
// strict mode, bit 2 line mode, bit 3 editor mode. An input that finishes
// within the budget with steps runs twice more, and each run must do the
// same (output, errors, result, the values left):
//  - without a step callback and outside editor mode, which runs the plain
//    form of the code (fused instructions, blocks without scopes); after an
//    editor-mode run only letter case may differ (names as written there);
//  - running free in the input's mode (a host with a step callback that
//    wants no steps), asking for steps again after the first or second
//    print() (by the input's length), or never.
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "builtins.h"
#include "error.h"
#include "eval.h"
#include "parser.h"
#include "platform.h"
#include "unit.h"
#include "utf.h"

#if defined(ZV_SANITIZE)
// From the AddressSanitizer runtime (gcc ships no header declaring it).
extern "C" size_t __sanitizer_get_current_allocated_bytes(void);
#endif

using namespace ksc;

namespace {

constexpr int kMaxSteps = 5000;
constexpr int32_t kMaxIndex = 1 << 12;
constexpr size_t kMaxHeapBytes = size_t(16) << 20;  // over what the run began with
// Steps are no measure of work where each copies a large array.
constexpr uint64_t kMaxRecords = uint64_t(1) << 18;
constexpr size_t kMaxOutput = 1 << 16;
constexpr int kEditor = 8;

struct Run {
    std::u16string out;  // what print() and error() got, the result, the values left
    int rc = 0;
    int steps = 0;
    bool stopped = false;  // by the budget
    int prints_to_steps = 0;  // running free: print() calls until steps come again
    uint64_t records_at_start = records_made();
#if defined(ZV_SANITIZE)
    size_t heap_at_start = __sanitizer_get_current_allocated_bytes();
#endif
};
Run* g_run;
std::atomic<bool> g_free_run;

int32_t KSC_STDCALL capture(Scope*, Node* args, Node*, char16_t*) {
    if (!args) return -2;
    if (g_run->out.size() < kMaxOutput) g_run->out += value_display(args->value, false) + u"\n";
    if (--g_run->prints_to_steps == 0) g_free_run = false;
    return 0;
}

int32_t KSC_STDCALL no_input(Scope*, Node*, Node* result, char16_t*) {
    return result_set_text(result, u"") ? 0 : -1;
}

bool directive(Scope* scope, ScriptUnit* unit, int kind, const char16_t* arg, const char16_t* pos) {
    if (kind == kDirOption) return run_directive(scope, unit, kind, arg, pos);
    unit->ksc5 = 1;
    return true;
}

int budget(Scope*, const SyntaxNode* node, void*) {
    if (++g_run->steps > kMaxSteps) return g_run->stopped = true, 1;
    if (records_made() - g_run->records_at_start > kMaxRecords) return g_run->stopped = true, 1;
    // Indexing far beyond the end creates every element in between.
    const Value* i = node && node->kind == SK_INDEX ? step_operand(0) : nullptr;
    if (i && ((i->kind == kInt && i->data.i > kMaxIndex) || (i->kind == kReal && i->data.r > kMaxIndex)))
        return g_run->stopped = true, 1;
#if defined(ZV_SANITIZE)
    size_t heap = __sanitizer_get_current_allocated_bytes();
    if (heap > g_run->heap_at_start && heap - g_run->heap_at_start > kMaxHeapBytes) return g_run->stopped = true, 1;
#endif
    return 0;
}

// free_after: with steps, run free until that many print() calls (0: never).
Run run(const char16_t* text, size_t len, int options, bool step, int free_after = -1) {
    Run r;
    r.prints_to_steps = free_after;
    g_run = &r;
    builtins_init(capture, capture, no_input);
    ScriptUnit* unit = unit_new_root(u"", u"fuzz.ksc", options & 2, !(options & 1));
    Scope* top = scope_new(unit, nullptr);
    if (!top) abort();
    unit->top_scope = top;
    top->line_mode = (options & 4) != 0;
    unit->editor = (options & kEditor) != 0;
    if (step) unit->step = budget;
    if (free_after >= 0) {
        g_free_run = true;
        unit->free_run = &g_free_run;
    }
    unit->text = str_dup(text, len);
    unit->text_len = len;
    bool ok = false;
    unit->sequence = parse_text(top, unit, unit->text, len, directive, &ok);
    if (ok && unit->sequence) {
        Value result;
        result_init(&result);
        r.rc = walk(top, unit->sequence, &result);
        if (result.kind != kNoValue) r.out += u"result " + value_display(&result, false) + u"\n";
        value_clear(&result);
        for (Node* n = top->stack; n; n = n->next) r.out += u"left " + value_display(n->value, false) + u"\n";
        stack_clear(top);
    }
    unit_free(unit);
    if (pinned_count() != 0) abort();  // an element reference outlived its run
    g_run = nullptr;
    return r;
}

std::u16string ascii_lower(std::u16string s) {
    for (char16_t& c : s)
        if (c >= u'A' && c <= u'Z') c = char16_t(c + 32);
    return s;
}

// Two runs that should agree did not: both are shown before the abort.
[[noreturn]] void differ(const char* what, const Run& a, const Run& b) {
    std::fprintf(stderr, "%s differ:\n--- rc %d\n%s--- rc %d\n%s---\n", what, a.rc,
                 zv::utf16_to_utf8(a.out.data(), a.out.size()).c_str(), b.rc,
                 zv::utf16_to_utf8(b.out.data(), b.out.size()).c_str());
    abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    int options = 0;
    if (size > 0 && data[0] < 0x10) {
        options = data[0];
        ++data, --size;
    }
    size_t len = 0;
    char16_t* text = zv::utf8_to_utf16(reinterpret_cast<const char*>(data), size, &len);
    if (!text) return 0;
    Run stepped = run(text, len, options, true);
    // How deep recursion goes before "Nesting too deep" may differ.
    if (!stepped.stopped && stepped.out.find(error_message(kErrTooDeep)) == std::u16string::npos) {
        Run plain = run(text, len, options & ~kEditor, false);
        if (plain.rc != stepped.rc ||
            ((options & kEditor) ? ascii_lower(plain.out) != ascii_lower(stepped.out) : plain.out != stepped.out))
            differ("stepped and plain runs", stepped, plain);
        // Free code has no steps to count: it does what the stepped run did
        // within the budget, and the budget counts only the steps after.
        Run free = run(text, len, options, true, int(len % 3));
        if (!free.stopped && (free.rc != stepped.rc || free.out != stepped.out))
            differ("stepped and free runs", stepped, free);
    }
    zv::heap_free(text);
    return 0;
}
