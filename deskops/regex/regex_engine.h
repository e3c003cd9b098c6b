// The regular expression engine behind regex_match, regex_match_all and
// regex_replace. Patterns and subjects are NUL-terminated UTF-16 texts; a
// pattern is compiled into a Program (numbered states with ordered
// transitions) and run by a depth-first matcher that takes the first path to
// the final state. Free of any operating-system call.
//
// Two matchers share the compiled program:
//  - the plain matcher follows the matching algorithm step by step; it can
//    run forever on empty repetitions and take exponential time, so it only
//    serves as the reference the other is checked against;
//  - the guarded matcher (the default) gives the same result wherever the
//    plain one terminates, but cuts repetitions that return to a state
//    without consuming anything and remembers (state, position) pairs that
//    are known to fail, so every search ends in polynomial time.
#pragma once

#include <cstddef>
#include <cstdint>

#include "regex_buf.h"

namespace deskops::regex {

// Negative results of search and of the script-level operations.
enum : int {
    kNoMemory = -1,   // memory ran out (or a compile limit was reached)
    kStepLimit = -2,  // the plain matcher reached MatchOptions::step_limit
};

// One capture slot: positions in the subject, -1 while unset.
struct Capture {
    int32_t begin;
    int32_t end;
};

struct Program;

// Upper bounds for the compiled size. A counted repetition multiplies its
// body, so a short pattern can ask for any amount of memory; reaching a
// bound is reported like a failed allocation.
struct CompileLimits {
    size_t max_nodes;
    size_t max_transitions;
};
extern const CompileLimits kDefaultLimits;

// Null when memory runs out or a limit is reached.
Program* compile(const char16_t* pattern, const CompileLimits& limits = kDefaultLimits);
void program_free(Program* program);

// Number of "(" in the pattern plus 1 (slot 0 is the whole match).
int32_t group_count(const Program* program);
// Transitions of the compiled program (work bounds in tests).
size_t program_size(const Program* program);

constexpr uint64_t kMemoAuto = ~uint64_t(0);

struct MatchOptions {
    bool ignore_case = false;
    // The reference matcher instead of the guarded one.
    bool plain = false;
    // Plain matcher only: stop with kStepLimit after this many steps (0: never).
    uint64_t step_limit = 0;
    // Guarded matcher: steps after which failing (state, position) pairs are
    // remembered. kMemoAuto starts it once the work outgrows the subject;
    // 0 remembers from the first step (the tests use that to exercise it).
    uint64_t memo_after = kMemoAuto;
};

// Matching context for one subject. It lives across the searches of one
// script call, so what the guard learnt about the subject is reused.
struct Matcher;

// Null when memory runs out. The program and the text must outlive it.
Matcher* matcher_new(const Program* program, const char16_t* text, const MatchOptions& options);
void matcher_free(Matcher* m);
// Transitions examined so far (benchmarks and tests).
uint64_t matcher_steps(const Matcher* m);

// First match at or after pos: fills slots[0 .. group_count) and returns the
// group count; 0 when there is none; kNoMemory or kStepLimit.
int search(Matcher* m, int32_t pos, Capture* slots);

// ---- the script functions' rules ----------------------------------------

// regex_match from start: 1 with the slots filled, 0 for no match, or an
// error code.
int find(Matcher* m, int32_t start, Capture* slots);

// The matches regex_match_all and regex_replace use, in order: group_count
// slots per match appended to *matches. Returns the number of matches or an
// error code.
int collect(Matcher* m, Buf<Capture>* matches);

// The text with each collected match replaced by its expansion of
// replacement ($$, $0-$9). *out receives the units without a terminator.
bool substitute(const char16_t* text, int32_t groups, const Buf<Capture>& matches,
                const char16_t* replacement, Buf<char16_t>* out);

// Where the text of a slot begins and its length (0 when it ends before it
// begins); false when the slot is unset.
bool slot_span(const Capture& c, int32_t* begin, int32_t* length);

}  // namespace deskops::regex
