// Tokenises arbitrary input, read as little-endian UTF-16 units, in both
// dialects. The lexer must neither read past the text nor stall: every token
// but the last moves the scan position forward.
//
// An odd trailing byte, when present, plays the parser's part: bit i%8 set
// makes the lexer expect an operand again after token i (as after the `)` of
// a statement head), so both readings of every character get exercised.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "builtins.h"
#include "eval.h"
#include "lexer.h"
#include "platform.h"
#include "unit.h"

using namespace ksc;

static int32_t KSC_STDCALL discard(Scope*, Node*, Node*, char16_t*) { return 0; }

static void lex_all(const uint8_t* data, size_t units, int flags, bool ksc5) {
    ScriptUnit* unit = unit_new_root(u"", u"fuzz.ksc", false, ksc5);
    if (!unit) return;
    Scope* scope = scope_new(unit, nullptr);
    // Exactly the text plus its NUL, so the sanitizer sees any overread.
    char16_t* text = static_cast<char16_t*>(zv::heap_alloc((units + 1) * sizeof(char16_t)));
    if (!scope || !text) abort();
    for (size_t i = 0; i < units; ++i) text[i] = char16_t(data[2 * i] | (data[2 * i + 1] << 8));
    unit->text = text;  // error lines are composed from it
    unit->text_len = units;

    LexState ls;
    lex_init(&ls, scope, text, units, ksc5);
    for (size_t count = 0;; ++count) {
        const char16_t* before = ls.pos;
        int32_t t = lex_next(&ls);
        if (t == T_ERROR || t == T_EOF) break;
        if (ls.pos <= before || ls.pos > ls.end || ls.start < text || ls.start > ls.pos) abort();
        if (count > units) abort();  // more tokens than units: no progress
        if ((t == T_NAME || t == T_CALLNAME || t == T_STRING) &&
            (ls.text_start > ls.text_end || ls.text_end > ls.end || ls.text_start < text))
            abort();
        if (flags >= 0 && ((flags >> (count % 8)) & 1)) ls.expect_operand = true;
    }
    scope_free(scope);
    unit_free(unit);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    builtins_init(discard, discard, discard);
    int flags = size % 2 ? data[size - 1] : -1;
    lex_all(data, size / 2, flags, false);
    lex_all(data, size / 2, flags, true);
    return 0;
}
