// The previous evaluator (walks syntax sequences node by node), kept only for
// differential runs against the new core.
#pragma once

#include "engine.h"

namespace ksc {
namespace legacy {

enum WalkResult { kWalkDone = 0, kWalkBreak = 1, kWalkContinue = 2, kWalkError = -1, kWalkExit = -2, kWalkReturn = -3 };
constexpr int32_t kNoValue = -1;
void result_init(Value* v);


// Runs seq in scope s until its end (or a node of kind stop_kind). Values
// left on the stack stay in s->stack for the caller. `result` (optional)
// receives the value of `exit`/`return`.
int walk(Scope* s, const SyntaxNode* seq, Value* result, int32_t stop_kind = -1);

// Scopes. A scope may live on the C++ stack: init, use, clear.
void scope_init(Scope* s, ScriptUnit* unit, Scope* parent);
void scope_clear(Scope* s);  // frees variables, stack, call cache, pending
Scope* scope_new(ScriptUnit* unit, Scope* parent);
void scope_free(Scope* s);
void stack_clear(Scope* s);

Node* scope_find(Scope* s, const char16_t* lowered, int32_t hash);
Node* scope_find_local(Scope* s, const char16_t* lowered, int32_t hash);
// Every new variable goes through here (keeps the lookup caches honest).
void scope_note_new_variable(Scope* s);
// Appends a new integer-0 variable; null on allocation failure.
Node* scope_add(Scope* s, const char16_t* lowered, int32_t hash);

// For debuggers (the script editor's variable view), called from the step
// callback while the run is paused there: visits every variable visible from
// s, the scope's own first (in creation order), then each enclosing scope's,
// outwards; depth is 0 for s itself. The value stays valid until the run
// goes on.
typedef void (*VariableVisitor)(int depth, const char16_t* name, const Value* value, void* ctx);
void scope_visit_variables(const Scope* s, VariableVisitor visit, void* ctx);

// Pushes n onto the scope's stack / pops the top (null when empty).
void stack_push(Scope* s, Node* n);
Node* stack_pop(Scope* s);

// Resolves and runs the call node `call` with the argument list `args`
// (consumed). On success *out is the result node. *exited tells that `exit`
// ran inside the function. Returns false after a reported error or silent stop.
bool call_function(Scope* s, const SyntaxNode* call, Node* args, Node** out, bool* exited);

// Applies an operator node to the stack (binary: two operands). Reports errors.
bool apply_binary(Scope* s, const SyntaxNode* op);
bool apply_unary(Scope* s, const SyntaxNode* op);
// Kind-dispatched equality used by switch (a on the left).
bool values_equal(const Value* a, const Value* b);

// Queues a post-increment/decrement of the value n shows (n is consumed).
bool pending_add(Scope* s, Node* n, int32_t delta);
bool pending_apply(Scope* s);
void pending_drop(Scope* s);

// Truncation of a double to a 32-bit integer as the x86 instruction does it:
// out-of-range values give the smallest integer.
int32_t truncate_int(double d);

}  // namespace legacy
}  // namespace ksc
