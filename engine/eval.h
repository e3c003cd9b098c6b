// The evaluator: runs syntax sequences in a scope. Each sequence is compiled
// once, on its first run, into the form code.h describes; vm.cpp runs it.
#pragma once

#include "engine.h"

namespace ksc {

// Walk results.
enum WalkResult { kWalkDone = 0, kWalkBreak = 1, kWalkContinue = 2, kWalkError = -1, kWalkExit = -2, kWalkReturn = -3 };

// A result slot starts as kNoValue: `exit`/`return` without a value leave it so.
constexpr int32_t kNoValue = -1;
void result_init(Value* v);

// Runs seq (a unit's whole sequence, or one line of line mode) in scope s
// until its end. Values left on the stack stay in s->stack for the caller.
// `result` (optional) receives the value of `exit`/`return`.
int walk(Scope* s, const SyntaxNode* seq, Value* result);

// Scopes made by hosts. A scope may live on the C++ stack: init, use, clear.
void scope_init(Scope* s, ScriptUnit* unit, Scope* parent);
void scope_clear(Scope* s);  // frees variables, stack, call cache, pending
Scope* scope_new(ScriptUnit* unit, Scope* parent);
void scope_free(Scope* s);
void stack_clear(Scope* s);

Node* scope_find(Scope* s, const char16_t* lowered, int32_t hash);
Node* scope_find_local(Scope* s, const char16_t* lowered, int32_t hash);
// Appends a new integer-0 variable; null on allocation failure.
Node* scope_add(Scope* s, const char16_t* lowered, int32_t hash);

// For debuggers (the script editor's variable view), called from the step
// callback while the run is paused there: visits every variable visible from
// s, the scope's own first (in creation order), then each enclosing scope's,
// outwards; depth is 0 for s itself. The value stays valid until the run
// goes on. The name is as the script wrote it when the run keeps that
// (editor mode), else lower-cased.
typedef void (*VariableVisitor)(int depth, const char16_t* name, const Value* value, void* ctx);
void scope_visit_variables(const Scope* s, VariableVisitor visit, void* ctx);

// From inside a step callback: the value `depth` places below the top of the
// running scope's value stack (0 = top), or null. Before an index node the
// top is the index about to be used.
const Value* step_operand(int depth);

// Kind-dispatched equality used by switch (a on the left).
bool values_equal(const Value* a, const Value* b);
// Result of a binary operator (SK_ kind) on two values into out, which may
// be one of them; 0 or an error code.
int binary_value(int32_t op, const Value* l, const Value* r, Value* out, bool ksc5);
// Adds delta to a number in place; false for strings and arrays.
bool step_number(Value* v, int32_t delta);

// Queues a post-increment/decrement of the value n shows (n is consumed).
bool pending_add(Scope* s, Node* n, int32_t delta);
bool pending_apply(Scope* s);
void pending_drop(Scope* s);

// Truncation of a double to a 32-bit integer as the x86 instruction does it:
// out-of-range values give the smallest integer.
int32_t truncate_int(double d);

// Call resolution changes (functions registered, libraries loaded, units
// imported or freed, host built-ins installed): remembered call targets
// are looked up again.
void resolution_changed();

}  // namespace ksc
