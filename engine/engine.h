// Core records of the script engine: syntax nodes, scopes, script units and
// the native function signature shared with function libraries.
#pragma once

#include <atomic>
#include <cstdint>

#include "value.h"

#if defined(_WIN32) && !defined(_WIN64)
#define KSC_STDCALL __stdcall
#else
#define KSC_STDCALL
#endif

namespace ksc {

struct Scope;
struct ScriptUnit;

// Native function: built-ins and library exports `_lib_func_<name>`.
// Returns 0 or positive on success, -1 with a text in errbuf (256 units),
// -2 for missing arguments, other negatives to stop silently.
typedef int32_t(KSC_STDCALL* NativeFunc)(Scope* scope, Node* args, Node* result, char16_t* errbuf);
constexpr int kErrBufSize = 256;

enum SyntaxKind : int32_t {
    SK_INT, SK_REAL, SK_STRING, SK_VAR, SK_VARDECL, SK_CALL, SK_CALLMARK, SK_INDEX,
    // unary
    SK_NOT, SK_NEG, SK_PLUS, SK_BITNOT, SK_PREINC, SK_PREDEC, SK_POSTINC, SK_POSTDEC,
    // binary, in the order of the operator table
    SK_MUL, SK_DIV, SK_MOD, SK_ADD, SK_SUB, SK_SHL, SK_SHR, SK_SHL3, SK_SHR3,
    SK_LT, SK_LE, SK_GT, SK_GE, SK_EQ, SK_NE, SK_BITAND, SK_BITXOR, SK_BITOR, SK_AND, SK_OR,
    SK_ASSIGN, SK_COMPOUND, SK_KEY, SK_COMMA, SK_END_LINE, SK_END_SEMI, SK_ARRAY,
    SK_ANDTEST, SK_ORTEST, SK_IFTEST, SK_WHILETEST, SK_JUMP,
    SK_LABEL_ELSE, SK_LABEL_IFEND, SK_LABEL_LOOP, SK_LABEL_LOOPEND, SK_LABEL_JOIN,
    SK_SWITCH, SK_CASE, SK_CASE_END, SK_DEFAULT, SK_BREAK, SK_CONTINUE, SK_RETURN, SK_EXIT,
    SK_FUNCDEF, SK_PARAM, SK_FUNCEND, SK_BLOCK, SK_DOBODY,
    SK_BLOCK_CLOSE,  // a block's closing brace (editor mode): only a step
};

// Flags of a syntax node.
enum : int32_t {
    SF_IN_ARRAY = 1,   // variable/assignment directly inside an array literal
    SF_HAS_VALUE = 2,  // exit/return with a value; while-test with a condition
    SF_BYREF = 4,      // &parameter
    // The name as written, where it differs from the lower-cased text,
    // follows the text's terminator (editor mode; see syntax_written()).
    SF_WRITTEN = 8,
};

struct Code;

// The compiled forms of the code a syntax node heads (a top-level sequence,
// or a function with SK_FUNCDEF): [0] without, [1] with step callbacks, [2]
// without them but looking at the host's free-run flag at every loop's jump
// back. The head of a parsed text also owns the memory all its nodes and
// texts live in.
enum { kFormPlain, kFormStepped, kFormPolled, kFormCount };
struct CodeForms {
    Code* form[kFormCount];
    struct SyntaxArena* arena;
};

struct SyntaxNode {
    int32_t kind;
    int32_t flags;
    int32_t ival;           // integer literal; hash of a name; operator of SK_COMPOUND
    int32_t line;           // zero-based; -1 for synthetic nodes
    char16_t* text;         // owned: lower-cased name or string-literal body
    double rval;            // real literal
    const char16_t* pos;    // into the script text, for error lines
    SyntaxNode* next;
    SyntaxNode* sub;        // owned nested sequence
    SyntaxNode* target;     // jump target (not owned)
    CodeForms* code;        // owned, made on the first run
};

void syntax_free(SyntaxNode* seq);

// The name of a variable, declaration or parameter node as the script wrote
// it, when the parser kept it (editor mode, letter case differs); else null.
inline const char16_t* syntax_written(const SyntaxNode* n) {
    return (n->flags & SF_WRITTEN) ? n->text + str_len(n->text) + 1 : nullptr;
}

struct CallEntry {
    char16_t* name;  // lower-cased, owned
    int32_t hash;
    int32_t native;  // 1: target is a NativeFunc
    void* target;    // SyntaxNode* of SK_FUNCDEF, or NativeFunc
    Scope* run_scope;  // scope the function runs with (null: the caller's)
    ScriptUnit* unit;  // unit that defines a script function
    CallEntry* next;
};

struct UserFunc {
    char16_t* name;  // lower-cased, owned
    int32_t hash;
    SyntaxNode* def;  // SK_FUNCDEF
    UserFunc* next;
};

struct Scope {
    const char16_t* pos;  // source position of the node being run
    ScriptUnit* unit;
    Node* vars;  // creation order
    Node* vars_tail;
    CallEntry* cache;
    Scope* parent;
    Node* post_inc;  // variables to increment at the next statement end
    Node* post_dec;  // ... and to decrement (reference nodes, newest first)
    Node* stack;     // values a finished walk left behind, top first
    int32_t line_mode;
    const char16_t* name;  // "stdin" in line mode
    uint64_t serial;       // unique per scope life: keys the lookup caches
    uint64_t parent_serial;
    int32_t observed;      // a cached lookup went through this scope
    int32_t var_count;
    struct VarIndex* index;  // by name, once a scope holds many variables
    // While compiled code runs in this scope: its variable slots, the static
    // scope it stands for, and where its values begin on the evaluator stack.
    Node** slots;
    const struct ScopeLayout* layout;
    int32_t base;
    int32_t held;   // values below base that go with the scope (a switch value)
    int32_t frame;  // made by the evaluator inside a frame (not by a host)
};

// Step callback: called with (scope, node) before each node; non-zero stops.
// After a unit's top level finished it is called with (scope, null).
typedef int (*StepCallback)(Scope* scope, const SyntaxNode* node, void* ctx);

struct ScriptUnit {
    char16_t* name;       // file name, null in line mode
    char16_t* directory;  // with trailing separator
    char16_t* text;
    size_t text_len;
    int32_t default_strict;
    int32_t strict;
    int32_t ksc5;
    SyntaxNode* sequence;
    UserFunc* functions;
    struct LoadedLibrary* libraries;  // root only, in load order
    Scope* top_scope;
    StepCallback step;
    void* step_ctx;
    // Free running (root only; null: never). While the flag is set, a host
    // with a step callback wants no steps: code runs without them, as
    // without a callback, and the callback is called only after each call
    // of a native function. Once the flag is clear, steps come again from
    // the next pass of a loop, the next script function called, or right
    // after a native function returns, whichever comes first. The host may
    // change the flag from any thread.
    const std::atomic<bool>* free_run;
    ScriptUnit* root;
    ScriptUnit* next;  // imported units hang off the root
    // Editor mode, the engine of the script editor and the standalone
    // runner, set on the root before its text is parsed and read there for
    // every unit of the run: each block's closing brace is a syntax node of
    // its own (a step on that line), and variables and keys the script
    // makes, and copies of arrays, keep their names as written in the
    // nodes' labels. The console runner leaves it off.
    int32_t editor;
};

}  // namespace ksc
