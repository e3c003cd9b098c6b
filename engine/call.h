// Call resolution, shared by the evaluator.
#pragma once

#include <cstdint>

#include "code.h"

namespace ksc {

// Moves on with resolution_changed(): call sites remember a target only for
// the generation they found it in.
extern uint64_t g_resolve_gen;

// The function a call from scope s names, in the language's order; the
// calling scope's cache is consulted and filled as the language defines.
// False when there is none.
bool resolve_call(Scope* s, const char16_t* name, int32_t hash, CallSite* out);

}  // namespace ksc
