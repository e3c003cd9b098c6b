// The thirteen built-in functions. The first three (error, print, input) talk
// to the user and are supplied by the host program.
#pragma once

#include "engine.h"

namespace ksc {

struct Builtin {
    const char16_t* name;  // full export-style name, "_lib_func_error", ...
    int32_t hash;
    NativeFunc fn;
};

constexpr int kBuiltinCount = 13;
extern Builtin g_builtins[kBuiltinCount];

// Computes the name hashes (once per program start) and installs the host's
// versions of error, print and input.
void builtins_init(NativeFunc error, NativeFunc print, NativeFunc input);

// The built-in for a lower-cased call name, or null.
NativeFunc builtin_find(const char16_t* name);

// Hands an engine error line to the built-in `error` (never a library's);
// line < 0 passes no line argument.
void builtin_error_sink(Scope* scope, const char16_t* text, int32_t line);

// Helpers shared by built-ins and hosts.
std::u16string joined_text(const Value* v);  // string() of a value
int32_t integer_of(const Value* v);
// Stores a copy of text as the string result of a native function.
bool result_set_text(Node* result, const std::u16string& text);

}  // namespace ksc
