// Scope internals shared by the evaluator and the call code.
#pragma once

#include <cstdint>

#include "engine.h"

namespace ksc {

// Every scope life gets a new serial; the epoch moves on whenever a variable
// appears in a scope that a cached look went through. A cached answer is
// valid while both are unchanged.
extern uint64_t g_scope_serial;
extern uint64_t g_var_epoch;

// Scopes with this many variables (a script's top level) get an index by name.
constexpr int32_t kVarIndexFrom = 12;

// Appends a variable (name set, owned by the caller's rules) to the scope.
void scope_link(Scope* s, Node* v);
// Looks from `from` outwards, marking each scope looked through.
Node* scope_find_dynamic(Scope* from, const char16_t* name, int32_t hash);
void scope_drop_cache(Scope* s);
void scope_drop_index(Scope* s);

}  // namespace ksc
