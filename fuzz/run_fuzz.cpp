// Parses and runs arbitrary UTF-8 input as a script. The host built-ins
// discard what they get; a step budget and a memory ceiling (checked before
// every node) keep endless loops and runaway growth from being reported as
// findings. Directives only switch modes here: `#import` and `#library`
// would search the disk and load shared libraries.
//
// A first byte below 0x08 selects options: bit 0 basic dialect, bit 1
// strict mode, bit 2 line mode.
#include <cstdint>
#include <cstdlib>

#include "builtins.h"
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

constexpr int kMaxSteps = 20000;
constexpr int32_t kMaxIndex = 1 << 16;
constexpr size_t kMaxHeapBytes = size_t(64) << 20;

int32_t KSC_STDCALL discard(Scope*, Node* args, Node*, char16_t*) { return args ? 0 : -2; }

int32_t KSC_STDCALL no_input(Scope*, Node*, Node* result, char16_t*) {
    return result_set_text(result, u"") ? 0 : -1;
}

bool directive(Scope* scope, ScriptUnit* unit, int kind, const char16_t* arg, const char16_t* pos) {
    if (kind == kDirOption) return run_directive(scope, unit, kind, arg, pos);
    unit->ksc5 = 1;
    return true;
}

int budget(Scope*, const SyntaxNode* node, void* ctx) {
    int* steps = static_cast<int*>(ctx);
    if (++*steps > kMaxSteps) return 1;
    // Indexing far beyond the end creates every element in between.
    const Value* i = node && node->kind == SK_INDEX ? step_operand(0) : nullptr;
    if (i && ((i->kind == kInt && i->data.i > kMaxIndex) || (i->kind == kReal && i->data.r > kMaxIndex))) return 1;
#if defined(ZV_SANITIZE)
    if (__sanitizer_get_current_allocated_bytes() > kMaxHeapBytes) return 1;
#endif
    return 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    builtins_init(discard, discard, no_input);
    int options = 0;
    if (size > 0 && data[0] < 0x08) {
        options = data[0];
        ++data, --size;
    }
    size_t len = 0;
    char16_t* text = zv::utf8_to_utf16(reinterpret_cast<const char*>(data), size, &len);
    if (!text) return 0;

    ScriptUnit* unit = unit_new_root(u"", u"fuzz.ksc", options & 2, !(options & 1));
    Scope* top = unit ? scope_new(unit, nullptr) : nullptr;
    if (!top) abort();
    unit->top_scope = top;
    top->line_mode = (options & 4) != 0;
    int steps = 0;
    unit->step = budget;
    unit->step_ctx = &steps;

    unit->text = text;
    unit->text_len = len;
    bool ok = false;
    unit->sequence = parse_text(top, unit, text, len, directive, &ok);
    if (ok && unit->sequence) {
        Value result;
        result_init(&result);
        walk(top, unit->sequence, &result);
        value_clear(&result);
        stack_clear(top);
    }
    unit_free(unit);
    if (pinned_count() != 0) abort();  // an element reference outlived its run
    return 0;
}
