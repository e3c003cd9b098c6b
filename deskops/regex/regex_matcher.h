// The matching context of one subject: the state of both matchers and the
// guarded matcher's memory of failing (state, position) pairs.
#pragma once

#include <cstdint>

#include "regex_program.h"

namespace deskops::regex {

// Result of one match attempt besides an end position >= 0.
constexpr int32_t kAttemptFailed = -10;

// A frame of the plain matcher: the transition taken and the position it
// was taken at.
struct PlainFrame {
    int32_t t;
    int32_t p;
};

// A frame of the guarded matcher. A normal frame is the plain frame plus
// the guard's bookkeeping for the state it entered; a run frame (run_cur >=
// 0, t = the loop state) stands for the frames of a greedy single-character
// loop that consumed p .. run_cur.
struct GuardFrame {
    int32_t t;
    int32_t p;
    int32_t run_cur;
    int32_t saved_pos;  // loop frames: the position the state was in progress at before
    uint64_t clock;     // slot-write clock when the frame was entered
};

// The slot writes a failing exploration made, replayed on a memo hit.
struct SlotWrite {
    int32_t side;  // 2 * group + (0 begin, 1 end)
    int32_t value;
};

struct MemoEntry {
    uint64_t key;  // state << 32 | position; kNoKey when free
    uint32_t offset;
    uint32_t count;
};

constexpr uint64_t kNoKey = ~uint64_t(0);

struct Matcher {
    const Program* prog;
    const char16_t* s;
    int32_t len;
    MatchOptions opt;
    uint64_t steps = 0;

    // Search: units that can begin a match (empty: any unit can), and the
    // same for units below 256 as a table that also stops at NUL.
    Buf<uint32_t> start_bits;
    uint8_t start_low[256];

    Buf<PlainFrame> plain_stack;
    Buf<GuardFrame> stack;
    Buf<int32_t> loop_pos;     // per state: position it is in progress at, or -1
    // Per greedy simple loop: entered anywhere in [run_lo, run_hi], its whole
    // exploration fails at once (the run ends at run_hi, and leaving fails
    // at every position of it).
    Buf<int32_t> run_lo, run_hi;
    Buf<uint64_t> last_write;  // per slot side: clock of its latest write
    uint64_t clock = 0;

    bool memo_on = false;
    uint64_t memo_after = 0;
    Buf<MemoEntry> memo;
    size_t memo_used = 0;
    Buf<SlotWrite> memo_writes;
};

int32_t plain_attempt(Matcher& m, int32_t p0, Capture* slots);
int32_t guarded_attempt(Matcher& m, int32_t p0, Capture* slots);

// Past the next line break and any run of CR and LF after it.
inline int32_t next_line(const char16_t* s, int32_t p) {
    while (s[p] && s[p] != kCR && s[p] != kLF) ++p;
    while (s[p] == kCR || s[p] == kLF) ++p;
    return p;
}

inline bool at_line_end(const char16_t* s, int32_t p) { return s[p] == 0 || s[p] == kCR || s[p] == kLF; }

}  // namespace deskops::regex
