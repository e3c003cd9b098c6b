// Values and nodes: the records every datum of a running script lives in.
// The layout is shared with function libraries, so it must not change:
// on 32-bit Windows a Value is 16 bytes and a Node 20 bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace ksc {

struct Node;

enum ValueKind : int32_t { kInt = 0, kReal = 1, kString = 2, kArray = 3 };

struct Value {
    union {
        int32_t i;
        double r;
        char16_t* s;  // owned, NUL-terminated; may be null (absent text)
        Node* a;      // owned first element; null = empty array
    } data;
    int32_t kind;
    Node* owner;  // the node that frees this value
};

struct Node {
    char16_t* name;   // key or variable name, ASCII-lower-cased, owned
    char16_t* label;  // key as its producer wrote it, owned, optional
    int32_t hash;
    Value* value;
    Node* next;
};

#if defined(_WIN32) && !defined(_WIN64)
static_assert(sizeof(Value) == 16, "Value layout is part of the library interface");
static_assert(sizeof(Node) == 20, "Node layout is part of the library interface");
#endif

// ---- names -------------------------------------------------------------

int32_t name_hash(const char16_t* lowered);
// Copies s with ASCII A-Z folded to lower case (heap); null on failure.
char16_t* lower_dup(const char16_t* s);
char16_t* lower_dup(const char16_t* s, size_t n);
char16_t* str_dup(const char16_t* s);
char16_t* str_dup(const char16_t* s, size_t n);
size_t str_len(const char16_t* s);
// Sets node->name (lower-cased copy of key) and node->hash; frees the old name
// and label. A null or empty key leaves the node without key. False on
// allocation failure.
bool node_set_key(Node* node, const char16_t* key);
// Name lookup: hash first, then the whole lower-cased text.
bool name_equal(const Node* node, const char16_t* lowered, int32_t hash);

// ---- allocation and ownership ------------------------------------------

// A fresh node holds integer 0 in a value it owns. Null when memory runs out.
Node* node_new();
// A node showing another node's value (a reference); does not own it.
Node* node_ref(Value* v);
// Frees name, label, the value when owned (with its text or elements), node.
// The sentinel pointers 0, -1 and -2 are ignored.
void node_free(Node* n);
void node_list_free(Node* head);
// Releases what the value holds (text or elements) and makes it integer 0.
void value_clear(Value* v);

// Assignment copy: dst takes a copy of src, then dst's old contents are
// released. Reals that are whole 32-bit numbers become integers. False on
// allocation failure (dst is then unchanged).
bool value_assign(Value* dst, const Value* src);
// Deep copy of an element list (names and hashes kept, labels dropped
// unless g_copy_labels).
bool list_copy(const Node* src, Node** out);
// Copies of arrays keep their elements' labels: set by walk() while a unit
// in editor mode runs (one run at a time, like the rest of the evaluator).
extern bool g_copy_labels;

// Stores d as an integer when it equals its 32-bit truncation, else as real.
void value_set_number(Value* v, double d);
void value_set_int(Value* v, int32_t i);
void value_set_real(Value* v, double d);
// Takes ownership of s (heap).
void value_set_string(Value* v, char16_t* s);

// ---- element access ----------------------------------------------------

// The element at position pos of the list, or null. Walks are cut short by
// caches (positions.cpp) that follow where scripts go.
Node* list_at(Node* head, int32_t pos);
Node* list_last(Node* head);
// The last element and its position (-1 for an empty list).
Node* list_last(Node* head, int32_t* pos);
int32_t list_length(const Node* head);
// element was linked in at position pos of the list.
void list_appended(Node* head, Node* element, int32_t pos);
// A node is being freed: caches keyed by it as a list's first node go.
void positions_forget(const Node* n);

// Keyed access to an array value (kind kArray). Large arrays get a hash
// index on the side, so keyed inserts and lookups stay fast; the element
// list itself is unchanged.
Node* array_find_key(Value* array, const char16_t* lowered, int32_t hash);
// Appends an element (already carrying its key, if any) to the array.
void array_append(Value* array, Node* element);
// Keys of existing elements were changed in place (setkey).
void array_keys_changed();

// ---- pinned references -------------------------------------------------
// An element reference keeps the element's value alive even when its array is
// released meanwhile (for example `a[0] = a = 5`): such values are parked
// until the last reference to them goes away.
void value_pin(Value* v);
// Called when a non-owning node stops showing v.
void value_unpin(Value* v);
bool value_is_pinned(const Value* v);
// Per-thread bookkeeping is empty again (tests check for leaks this way).
size_t pinned_count();

#if defined(ZV_SANITIZE) || defined(ZV_FUZZ)
// Nodes and values made so far: test harnesses bound a run's work by it.
uint64_t records_made();
#endif

// ---- conversions -------------------------------------------------------

// Formats d exactly as a correctly rounded "%.16f" would.
std::u16string format_real(double d);
std::u16string format_int(int32_t i, bool hex = false);
// Plain text of a value: arrays give the empty string.
std::u16string value_text(const Value* v);
// {...} text form of an array (or the plain form of a scalar, strings quoted
// only inside arrays).
void array_text(const Node* head, bool hex, std::u16string& out);
// Text shown for a result: scalars as value_text (integers in hex when asked),
// arrays in their {...} form.
std::u16string value_display(const Value* v, bool hex);

int32_t read_integer(const char16_t* s);
double read_real(const char16_t* s);
bool value_truthy(const Value* v);
// Number of a value as a double (strings and arrays give 0).
double value_number(const Value* v);

}  // namespace ksc
