// The compiled form of a syntax sequence: a linear instruction array over a
// contiguous value stack, with variables resolved ahead of time to slots.
//
// A code unit is a function (parameters and body) or a top-level sequence
// (a file's, or one line of line mode). Blocks, loops, switch bodies and
// array literals inside it are flattened into the unit's instructions, with
// explicit instructions to enter and leave their scopes; only calls recurse.
//
// Scoping is dynamic (a function sees its caller's variables), so a name is
// found by looking at run time, but most looks are decided here: every
// static scope of the unit gets a slot for each name its own code may
// create (parameters, `var`, and names an assignment may create because
// they are not certainly visible there), and each reference knows the slots
// it must try, innermost first. Only when none holds the variable does the
// evaluator look by name beyond the unit (the callers' scopes), through a
// cache per reference, and then create the variable or report it undefined.
//
// Two variants of each unit: without step callbacks (the plain one, with
// fused instructions, and without a scope for blocks that can never hold a
// variable: their scope would stay empty, so every look gives the same
// without it) and with them, one instruction sequence per syntax node, the
// callback before each, so a host sees exactly the nodes, scopes and values
// the language defines. The plain one has a polled twin for hosts that run
// free (ScriptUnit::free_run): before each loop's jump back it reads the
// host's flag, and once that is clear the unit goes on in its stepped form.
#pragma once

#include <cstdint>

#include "engine.h"

namespace ksc {

enum Op : uint8_t {
    OP_NOP,         // removed before the code runs
    OP_HALT,        // end of the unit: settle the root's pending changes
    OP_STEP,        // step callback with node
    OP_JUMP,        // b: target
    OP_FAIL,        // a: error code at node (ill-formed sequences)
    OP_PUSH_INT,    // b: value
    OP_PUSH_REAL,   // node->rval
    OP_PUSH_STR,    // node->text, copied
    OP_PUSH_MARK,   // call-arguments marker
    OP_VAR,         // d: site; a: in array literal; c: first slot (or kNoSlot)
    OP_VARDECL,     // b: site; a: in array literal
    OP_ASSIGN,      // a: AF_ flags
    OP_COMPOUND,    // copy of the target's value under the right operand
    OP_INDEX,       // a: 1 = pin the element reference (the compiler drops pins nothing needs)
    OP_KEY,
    OP_BIN,         // a: SK_ operator
    OP_UN,          // a: SK_ operator
    OP_ANDOR,       // a: SK_AND or SK_OR
    OP_SHORT,       // a: SK_ANDTEST or SK_ORTEST; b: target
    OP_END,         // a: 1 for a line feed
    OP_TEST,        // pop a condition, settle, jump to b when false
    OP_ENTER,       // b: layout
    OP_LEAVE,       // settle (node for its position), drop the values, free the scope
    OP_LEAVE_EMPTY, // the end of a block kept without a scope: settle, drop its values
    OP_SETTLE,      // apply the current scope's pending changes (node for the position)
    OP_MAKE_ARRAY,  // the array literal's values become an array; leave its scope
    OP_SWITCH,      // settle, enter the body scope (b: layout) over the switch value
    OP_CASE,        // compare the case value with the switch value; b: target on match
    OP_SWITCH_END,  // leave the body scope, drop the switch value
    OP_UNWIND,      // leave scopes down to record depth c (settling that one too), jump to b
    OP_ESCAPE,      // a: walk result (break/continue) leaving the unit; node: for the root's position
    OP_RETURN,      // a: walk result (-2 exit, -3 return); b: 1 with a value
    OP_CALL,        // b: call site
    OP_PARAM,       // x: argument index; b: target after the default; c: slot; d: PF_ flags
    OP_PARAMS,      // b plain parameters without defaults from argument x on, in slots x...
    OP_DEFAULT_SET, // c: slot; the default's value goes into the parameter
    OP_POLL,        // polled form, before a loop's jump back (node): while the host's free-run flag
                    // is clear, go on in the stepped form; c scopes open here, their layouts at
                    // poll_scopes[d ...], outermost first
    // Fused instructions of the plain variant. Variable operands are sites
    // (d; a second one is d + 1) with their first slots (x, c), looked up
    // where the fused nodes would. Tests jump to b when false, or when true
    // with a | kTestTrue (a loop's condition repeated at its end).
    OP_ASSIGN_STMT, // OP_ASSIGN then OP_END (a: AF_ flags, c: 1 for a line feed); node: the assignment
    OP_STORE_STMT,  // the same with the target (site d, slot x) certainly there, found at the end
    OP_INCR_STMT,   // `v++`, `v--`, `++v`, `--v` alone: site d (slot x) changes by b (node: the operator)
    OP_BIN_K,       // operator a with the integer b as right operand
    OP_BIN_S,       // operator a with the string literal texts[b] as right operand (read in place)
    OP_BIN_V,       // operator a with site d (slot x) as right operand
    OP_BIN_VK,      // operator a on site d (slot x) and the integer b
    OP_BIN_VV,      // operator a on sites d and d + 1 (slots x, c)
    OP_INDEX_K,     // OP_INDEX with the integer b as index (a: pin)
    OP_INDEX_V,     // OP_INDEX with site d (slot x) as index
    OP_INDEX_VV,    // OP_INDEX of site d (slot x) by site d + 1 (slot c)
    OP_TEST_K,      // comparison a of the top and the integer c
    OP_TEST_VK,     // comparison a of site d (slot x) and the integer c
    OP_TEST_VV,     // comparison a of sites d and d + 1 (slots x, c)
    OP_COUNT
};

constexpr int32_t kNoSlot = -1;

// OP_ASSIGN flags.
enum : uint16_t {
    AF_IN_ARRAY = 1,   // the target's name goes to the value
    AF_MOVE = 2,       // a `;` follows: a temporary text or array may move into the target
    AF_MOVE_LINE = 4,  // a line feed or the end follows: may move unless the scope keeps values
};

// Tests: jump when the condition holds (instead of when it fails).
constexpr uint8_t kTestTrue = 0x80;

// OP_PARAM flags.
enum : int32_t { PF_BYREF = 1, PF_DEFAULT = 2 };

struct Insn {
    uint8_t op;
    uint8_t a;
    uint16_t x;  // a variable's slot for fused instructions (kNoSlot16: look through the site)
    int32_t b;
    int32_t c;
    int32_t d;
    const SyntaxNode* node;
};

constexpr uint16_t kNoSlot16 = 0xFFFF;

// A static scope of a unit: the names its own code may create.
struct ScopeLayout {
    int32_t depth;       // index of its scope record in a frame; -1: the walked scope itself
    int32_t first_slot;  // in the frame (the walked scope's slots come first)
    int32_t count;
    const char16_t* const* names;  // count names (owned by the syntax nodes)
    const int32_t* hashes;
    // Name -> slot index, for the walked scope only (open addressing,
    // capacity a power of two, -1 = empty).
    const int32_t* table;
    int32_t table_mask;
};

// A variable reference: the slots it tries, where it makes a missing variable.
struct VarSite {
    const SyntaxNode* node;  // SK_VAR or SK_VARDECL: name (text), hash (ival), position
    int32_t create;          // slot where a missing variable is made, or kNoSlot
    int32_t slot0;           // first slot to try, or kNoSlot
    int32_t first_cand;      // candidate slots: cands[first_cand ...], innermost first
    int32_t cand_count;
    // Cache of the look by name beyond the unit: the variable found (or
    // none) from the scope with this serial, valid while no variable
    // appeared since in a scope some cached look went through.
    uint64_t serial;
    uint64_t epoch;
    Node* var;
};

struct CallSite {
    uint64_t gen;  // resolution generation the target was found in; 0 = none yet
    // Found from a host's scope (top level): its serial. Such a scope's call
    // cache is part of the resolution order, so the target holds for it only.
    uint64_t serial;
    int32_t native;
    void* target;  // NativeFunc, or the SK_FUNCDEF node
    Scope* run_scope;
    ScriptUnit* unit;
};

struct Code {
    Insn* insns;
    int32_t insn_count;
    ScopeLayout* layouts;  // [0] is the unit's root scope
    int32_t layout_count;
    VarSite* sites;
    int32_t site_count;
    int32_t* cands;
    CallSite* calls;
    int32_t call_count;
    const char16_t* const* texts;  // string literals fused into instructions (the syntax nodes')
    int32_t frame_slots;   // slots (and variable records) of a frame
    int32_t frame_scopes;  // scope records of a frame
    int32_t max_stack;     // value stack entries the unit may need
    int32_t external;      // top-level code: the root is the walked scope
    // Instruction ranges [from, to) of blocks run without a scope right in
    // the walked scope: what they leave goes with them when a run ends there.
    const int32_t* flat;
    int32_t flat_count;
    int32_t line_mode;     // top-level code for a scope that keeps values at line feeds
    int32_t polled;        // the polled form (OP_POLL, and steps after native calls)
    const int32_t* poll_scopes;
    const SyntaxNode* head;  // the sequence or the SK_FUNCDEF node
    void* block;           // one allocation behind the arrays
};

// Compiles a top-level sequence or a function (SK_FUNCDEF). Null when
// memory runs out or the nesting is too deep for the native stack (*error
// tells which, at which node).
// form: kFormPlain, kFormStepped or kFormPolled.
Code* compile_top(const SyntaxNode* seq, int form, bool line_mode, int* error, const SyntaxNode** where);
Code* compile_function(const SyntaxNode* def, int form, int* error, const SyntaxNode** where);
void code_free(Code* code);

// Slot of name in the walked scope's layout, or -1.
int32_t layout_find(const ScopeLayout* layout, const char16_t* name, int32_t hash);

}  // namespace ksc
