// Internal records of the regular expression engine: the pattern tree, the
// compiled program and the class table, shared by the compiler and both
// matchers.
#pragma once

#include <cstdint>

#include "regex_engine.h"
#include "regex_buf.h"

namespace deskops::regex {

constexpr char16_t kCR = 0x0D, kLF = 0x0A, kTab = 0x09;

inline bool is_high(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
// A character is a pair when a high surrogate is followed by a non-zero unit.
inline bool pair_at(const char16_t* s) { return is_high(s[0]) && s[1] != 0; }
inline char16_t fold(char16_t c) { return c >= u'A' && c <= u'Z' ? char16_t(c + 32) : c; }

// ---- class table -----------------------------------------------------------

struct ClassInfo {
    uint32_t offset;  // into Program::class_units
    uint32_t length;
    uint32_t low_bits[8];  // the class test for units 0..255, precomputed
};

// The class test on a character (lo = 0 for a single unit).
bool class_test(const char16_t* text, size_t n, char16_t c, char16_t lo);
// Whether the class can accept some unit >= 256 (or a pair): false only when
// that is certain.
bool class_may_accept_high(const char16_t* text, size_t n);
// Texts of the class escapes \d \D \s \S \w \W; null for other letters.
const char16_t* escape_class_text(char16_t letter);

// ---- pattern tree ----------------------------------------------------------

enum NodeKind : uint8_t {
    N_LITERAL, N_ANY, N_LINE_START, N_LINE_END, N_CLASS, N_CONCAT, N_ALTERNATE,
    N_STAR, N_LAZY_STAR, N_EMPTY, N_GROUP_OPEN, N_GROUP_CLOSE,
};

// Node indexes; the copies a quantifier makes of its atom share the atom's
// subtree (compiling visits every occurrence, so sharing equals copying).
struct Node {
    uint8_t kind;
    char16_t unit;
    char16_t low;   // low surrogate of a pair literal, else 0
    int32_t left;   // body of Star/LazyStar
    int32_t right;
    int32_t value;  // group number, or class index
};

// ---- program ---------------------------------------------------------------

enum TransKind : uint8_t {
    T_END,  // sentinel after each state's list
    T_EPS,
    T_OPEN,   // epsilon writing the begin of group `aux`
    T_CLOSE,  // epsilon writing the end of group `aux`
    T_LITERAL,
    T_ANY,
    T_CLASS,  // aux: class index
};

struct Trans {
    uint8_t kind;
    char16_t unit;
    char16_t low;
    int32_t target;
    int32_t aux;
};

enum StateFlags : uint8_t {
    S_JOIN = 1,         // entered by two transitions or more
    S_LOOP = 2,         // the state of a repetition (every cycle passes one)
    S_SIMPLE_LOOP = 4,  // greedy loop over one consuming transition, no marks
    S_SIMPLE_LAZY = 8,  // the same, lazy
    S_LAZY_BACK = 16,   // the state after the body of a simple lazy loop
};

// What leaving a simple loop at a position leads to, for failing fast: when
// the unit there is none the states after the loop could consume first, and
// no path without consuming reaches the final state, leaving fails at once
// after writing the marks on its way (all with that position).
struct ExitInfo {
    uint32_t low_bits[8];  // units 0..255 that may be consumed first
    bool high;             // ... and whether any unit >= 256 may be
    bool to_final;         // the final state is reachable without consuming
    uint32_t sides_offset; // into Program::exit_sides
    uint32_t sides_count;
};

constexpr int32_t kStart = 0;
constexpr int32_t kFinal = 1;

struct Program {
    Buf<Trans> trans;     // the lists of all states, each closed by T_END
    Buf<int32_t> first;   // first transition of each state
    Buf<uint8_t> flags;   // StateFlags per state
    Buf<ClassInfo> classes;
    Buf<char16_t> class_units;
    Buf<ExitInfo> exits;        // per simple loop; its leaving transition's aux
    Buf<int32_t> exit_sides;
    int32_t states = 0;
    int32_t groups = 1;
    int32_t min_length = 0;  // units any match consumes at least
    bool line_start = false;
    bool line_end = false;
};

inline const char16_t* class_text(const Program& p, int32_t cls) {
    return p.class_units.data + p.classes[size_t(cls)].offset;
}

// Adds a class text to the table; returns its index or -1.
int32_t add_class(Program* prog, const char16_t* text, size_t n);

// Pattern to tree: preprocessing, tokens and grammar. Returns the root node
// index (-1 when memory runs out); *groups receives the group count.
int32_t parse_pattern(const char16_t* pattern, Program* prog, Buf<Node>* nodes,
                      size_t max_nodes);

// Whether a consuming transition accepts the character at s (already known
// not to be NUL and, with the line-end flag, not CR or LF). *len receives
// the character's units.
inline bool consume_test(const Program& prog, const Trans& t, const char16_t* s, bool icase, int* len) {
    if (pair_at(s)) {
        *len = 2;
        switch (t.kind) {
            case T_ANY: return true;
            case T_LITERAL: return t.unit == s[0] && t.low == s[1];
            default: {
                const ClassInfo& ci = prog.classes[size_t(t.aux)];
                return class_test(prog.class_units.data + ci.offset, ci.length, s[0], s[1]);
            }
        }
    }
    *len = 1;
    char16_t c = s[0];
    switch (t.kind) {
        case T_ANY: return true;
        case T_LITERAL:
            if (t.low) return false;
            return t.unit == c || (icase && fold(t.unit) == fold(c));
        default: {
            const ClassInfo& ci = prog.classes[size_t(t.aux)];
            if (c < 256) return (ci.low_bits[c >> 5] >> (c & 31)) & 1;
            return class_test(prog.class_units.data + ci.offset, ci.length, c, 0);
        }
    }
}

}  // namespace deskops::regex
