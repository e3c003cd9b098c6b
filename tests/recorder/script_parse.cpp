#include "script_parse.h"

#include "builtins.h"
#include "eval.h"
#include "parser.h"
#include "unit.h"
#include "utf.h"

namespace zvb::test {

namespace {

std::string* g_errors;

int32_t KSC_STDCALL keep_error(ksc::Scope*, ksc::Node* args, ksc::Node*, char16_t*) {
    if (!args) return -2;
    std::u16string text = ksc::value_text(args->value);
    *g_errors += zv::utf16_to_utf8(text.data(), text.size()) + "\n";
    return 0;
}

int32_t KSC_STDCALL ignore(ksc::Scope*, ksc::Node* args, ksc::Node*, char16_t*) { return args ? 0 : -2; }

// #import and #library load nothing here; #option still switches modes.
bool directive(ksc::Scope* scope, ksc::ScriptUnit* unit, int kind, const char16_t* arg, const char16_t* pos) {
    return kind == ksc::kDirOption ? ksc::run_directive(scope, unit, kind, arg, pos) : true;
}

}  // namespace

std::string ksc_parse_errors(const std::string& script) {
    std::string errors;
    g_errors = &errors;
    ksc::builtins_init(keep_error, ignore, ignore);
    size_t len = 0;
    char16_t* text = zv::utf8_to_utf16(script.data(), script.size(), &len);
    ksc::ScriptUnit* unit = ksc::unit_new_root(u"", u"generated.ksc", false, true);
    ksc::Scope* top = ksc::scope_new(unit, nullptr);
    unit->top_scope = top;
    unit->text = text;
    unit->text_len = len;
    bool ok = false;
    unit->sequence = ksc::parse_text(top, unit, text, len, directive, &ok);
    if (!ok && errors.empty()) errors = "parse failed\n";
    ksc::unit_free(unit);
    g_errors = nullptr;
    return errors;
}

}  // namespace zvb::test
