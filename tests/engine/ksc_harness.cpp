#include "ksc_harness.h"

#include <atomic>

#include "builtins.h"
#include "eval.h"
#include "platform.h"
#include "unit.h"
#include "utf.h"

using namespace ksc;

namespace ksc_test {

std::u16string u16(const std::string& s) {
    size_t len;
    char16_t* w = zv::utf8_to_utf16(s.data(), s.size(), &len);
    std::u16string out(w, len);
    zv::heap_free(w);
    return out;
}

std::string u8(const std::u16string& s) { return zv::utf16_to_utf8(s.data(), s.size()); }

static RunOutput* g_out;
static const RunOptions* g_options;
static std::deque<std::string> g_input;

static std::atomic<bool> g_free_run;
static int g_prints;

static int32_t KSC_STDCALL cap_print(Scope*, Node* args, Node*, char16_t*) {
    if (!args) return -2;
    g_out->printed += u8(value_text(args->value));
    if (++g_prints == g_options->steps_after_prints) g_free_run = false;
    return 0;
}

static int32_t KSC_STDCALL cap_error(Scope*, Node* args, Node*, char16_t*) {
    if (!args) return -2;
    const Value* v = args->value;
    g_out->errors.push_back(u8(v->kind == kArray ? value_display(v, g_options->hex) : value_text(v)));
    g_out->error_lines.push_back(args->next ? args->next->value->data.i : -1);
    return 0;
}

static int32_t KSC_STDCALL cap_input(Scope*, Node*, Node* result, char16_t*) {
    std::string line;
    if (!g_input.empty()) {
        line = g_input.front();
        g_input.pop_front();
    }
    return result_set_text(result, u16(line)) ? 0 : -1;
}

RunOutput run_ksc(const std::string& source, const RunOptions& options) {
    RunOutput out;
    g_out = &out;
    g_options = &options;
    g_input = options.input;
    builtins_init(cap_error, cap_print, cap_input);

    std::u16string name = options.file_name ? u16(options.file_name) : std::u16string();
    ScriptUnit* unit = unit_new_root(u"", options.file_name ? name.c_str() : nullptr, options.strict, options.ksc5);
    Scope* top = scope_new(unit, nullptr);
    unit->top_scope = top;
    unit->step = options.step;
    unit->step_ctx = options.step_ctx;
    g_prints = 0;
    g_free_run = options.free_run && options.steps_after_prints != 0;
    if (options.free_run) unit->free_run = &g_free_run;
    unit->editor = options.editor;
    top->line_mode = options.line_mode;
    std::u16string text = u16(source);
    out.parsed = unit_parse_text(unit, top, str_dup(text.c_str(), text.size()), text.size()) && unit->sequence;
    if (out.parsed) {
        Value result;
        result_init(&result);
        out.rc = walk(top, unit->sequence, &result);
        if (out.rc != kWalkError && result.kind != kNoValue) {
            out.has_result = true;
            out.result = u8(value_display(&result, options.hex));
        }
        value_clear(&result);
        std::vector<std::string> rev;
        for (Node* n = top->stack; n; n = n->next) rev.push_back(u8(value_display(n->value, options.hex)));
        out.stack.assign(rev.rbegin(), rev.rend());
        stack_clear(top);
    }
    unit_free(unit);
    g_out = nullptr;
    return out;
}

}  // namespace ksc_test
