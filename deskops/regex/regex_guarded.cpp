// The guarded matcher: the plain depth-first search with three additions
// that never change the result of a search the plain matcher finishes.
//
// 1. Cut of empty cycles. Every cycle passes through a loop state (the
//    state of a repetition). Entering a loop state at the position it is
//    already in progress at repeats an exploration that contains itself: the
//    plain matcher never returns from it. The guarded matcher treats that
//    transition as failing.
// 2. Failure memo. Slots are written while matching but never read, so the
//    exploration below a state entered at a position depends on nothing but
//    that (state, position), as long as no cut happens. When the exploration
//    of a join state (one with several ways in) fails, the memo keeps the
//    pair with the net effect of the slot writes it made: each slot side
//    written and its final value. A later visit replays those writes instead
//    of exploring again; since a later write always replaces an earlier one,
//    the slots end up as a new exploration would leave them.
//    Where the plain matcher terminates no cut ever happens (a cut is a
//    cycle it would never leave), so every entry is exact. Where it would
//    not, each (state, position) is explored once while the memo is on and
//    its first outcome stands, which bounds the work by states times
//    positions.
// 3. A loop over one consuming transition without marks (a simple loop)
//    runs in one frame while the memo is off: a greedy one takes its run of
//    characters at once and gives them back one by one, a lazy one takes
//    them one by one. Leaving such a loop where the next unit cannot be
//    consumed after it fails at once, with the marks written that the
//    exploration would have written on its way (all with that position).
//    When that is so all along a greedy run, the run is remembered: an
//    entry further into it fails at once too (the usual case of \w+ tried
//    at every letter of a word).
//
// The memo starts once the work done on the subject outgrows it, so
// ordinary patterns pay nothing for it.
#include "regex_matcher.h"

namespace deskops::regex {

namespace {

uint64_t key_of(int32_t state, int32_t pos) { return uint64_t(uint32_t(state)) << 32 | uint32_t(pos); }

size_t slot_of(const Buf<MemoEntry>& memo, uint64_t key) {
    uint64_t h = key * 0x9E3779B97F4A7C15ull;
    return size_t(h >> 32 ^ h) & (memo.size - 1);
}

const MemoEntry* memo_find(const Matcher& m, uint64_t key) {
    if (m.memo.size == 0) return nullptr;
    for (size_t i = slot_of(m.memo, key);; i = (i + 1) & (m.memo.size - 1)) {
        const MemoEntry& e = m.memo[i];
        if (e.key == key) return &e;
        if (e.key == kNoKey) return nullptr;
    }
}

void memo_insert(Buf<MemoEntry>& memo, const MemoEntry& e) {
    size_t i = slot_of(memo, e.key);
    while (memo[i].key != kNoKey) i = (i + 1) & (memo.size - 1);
    memo[i] = e;
}

bool memo_grow(Matcher& m) {
    size_t n = m.memo.size ? m.memo.size * 2 : 1024;
    Buf<MemoEntry> bigger;
    if (n < m.memo.size || !bigger.resize(n, MemoEntry{kNoKey, 0, 0})) return false;
    for (size_t i = 0; i < m.memo.size; ++i)
        if (m.memo[i].key != kNoKey) memo_insert(bigger, m.memo[i]);
    m.memo.swap(bigger);
    return true;
}

// The memo is a shortcut only: when memory runs out it stops, and the search
// goes on without it.
void memo_stop(Matcher& m) {
    m.memo_on = false;
    m.memo_after = ~uint64_t(0);
}

void memo_record(Matcher& m, int32_t state, int32_t pos, uint64_t since, const Capture* slots) {
    uint64_t key = key_of(state, pos);
    // Present when a state was entered again inside its own exploration.
    if (memo_find(m, key)) return;
    if (m.memo_used * 2 >= m.memo.size && !memo_grow(m)) return memo_stop(m);
    size_t offset = m.memo_writes.size;
    if (offset > UINT32_MAX - m.last_write.size) return memo_stop(m);
    for (size_t side = 0; side < m.last_write.size; ++side) {
        if (m.last_write[side] <= since) continue;
        const Capture& c = slots[side / 2];
        if (!m.memo_writes.push(SlotWrite{int32_t(side), side & 1 ? c.end : c.begin})) return memo_stop(m);
    }
    memo_insert(m.memo, MemoEntry{key, uint32_t(offset), uint32_t(m.memo_writes.size - offset)});
    ++m.memo_used;
}

void write_side(Matcher& m, Capture* slots, int32_t side, int32_t value) {
    if (side & 1)
        slots[side / 2].end = value;
    else
        slots[side / 2].begin = value;
    m.last_write[size_t(side)] = ++m.clock;
}

bool is_run(const GuardFrame& f) { return f.run_cur >= 0; }

// Whether leaving a simple loop at x fails without consuming anything.
inline bool exit_blocked(const Matcher& m, int32_t exit, int32_t x) {
    if (exit < 0) return false;
    const ExitInfo& ex = m.prog->exits[size_t(exit)];
    char16_t c = m.s[x];
    if (c < 256 ? (ex.low_bits[c >> 5] >> (c & 31)) & 1 : ex.high) return false;
    return !ex.to_final || (m.prog->line_end && !at_line_end(m.s, x));
}

// The marks a blocked exit writes on its way, all with its position. For a
// series of blocked exits only the last one's values remain.
void write_exit_marks(Matcher& m, Capture* slots, int32_t exit, int32_t x) {
    const Program& prog = *m.prog;
    const ExitInfo& ex = prog.exits[size_t(exit)];
    for (uint32_t i = 0; i < ex.sides_count; ++i) write_side(m, slots, prog.exit_sides[ex.sides_offset + i], x);
}

// Unwinds all frames, newest first, so the in-progress marks are as before
// the attempt.
void unwind(Matcher& m) {
    const Program& prog = *m.prog;
    for (size_t i = m.stack.size; i-- > 0;) {
        const GuardFrame& f = m.stack[i];
        int32_t q = is_run(f) ? f.t : prog.trans[size_t(f.t)].target;
        if (is_run(f) || (prog.flags[size_t(q)] & S_LOOP)) m.loop_pos[size_t(q)] = f.saved_pos;
    }
    m.stack.clear();
}

}  // namespace

int32_t guarded_attempt(Matcher& m, int32_t p0, Capture* slots) {
    const Program& prog = *m.prog;
    const Trans* trans = prog.trans.data;
    const int32_t* first = prog.first.data;
    const uint8_t* flags = prog.flags.data;
    const char16_t* s = m.s;
    const bool line_end = prog.line_end;
    const bool icase = m.opt.ignore_case;
    Buf<GuardFrame>& stack = m.stack;
    int32_t* loop_pos = m.loop_pos.data;

    int32_t t = first[kStart];
    int32_t p = p0;
    for (;;) {
        if (++m.steps > m.memo_after && !m.memo_on) m.memo_on = true;
        const Trans& tr = trans[t];
        int32_t np = p;
        switch (tr.kind) {
            case T_END: {
                // The current state is exhausted: back to the frame below.
                if (stack.size == 0) return kAttemptFailed;
                GuardFrame& f = stack.back();
                if (is_run(f)) {
                    const int32_t q = f.t;
                    if (flags[q] & S_SIMPLE_LOOP) {
                        // One character back in a greedy run, where only leaving
                        // is left; blocked exits are passed at once.
                        const int32_t exit = trans[first[q] + 1].aux;
                        int32_t x = f.run_cur;
                        while (x > f.p && exit_blocked(m, exit, x - 1)) --x;
                        if (x < f.run_cur) write_exit_marks(m, slots, exit, x);
                        if (x > f.p) {
                            loop_pos[q] = f.run_cur = p = x - 1;
                            t = first[q] + 1;
                            continue;
                        }
                    }
                    // A run given back completely, or a lazy one whose body failed.
                    loop_pos[q] = f.saved_pos;
                    t = first[q] + 2;  // the end of the loop state's list
                } else {
                    const Trans& ft = trans[f.t];
                    const int32_t q = ft.target;
                    if (flags[q] & S_LOOP) loop_pos[q] = f.saved_pos;
                    if (m.memo_on && (flags[q] & S_JOIN)) {
                        int32_t pin = f.p;
                        if (ft.kind >= T_LITERAL) pin += pair_at(s + f.p) ? 2 : 1;
                        memo_record(m, q, pin, f.clock, slots);
                    }
                    t = f.t + 1;
                }
                p = f.p;
                --stack.size;
                continue;
            }
            case T_OPEN:
            case T_CLOSE:
                write_side(m, slots, tr.aux * 2 + (tr.kind == T_CLOSE), p);
                break;
            case T_EPS: break;
            default: {
                char16_t c = s[p];
                int len;
                if (c == 0 || (line_end && (c == kCR || c == kLF)) || !consume_test(prog, tr, s + p, icase, &len)) {
                    ++t;
                    continue;
                }
                np = p + len;
            }
        }
        int32_t q = tr.target;
        if (q == kFinal) {
            if (!line_end || at_line_end(s, np)) {
                unwind(m);
                return np;
            }
            ++t;
            continue;
        }
        const uint8_t qf = flags[q];
        if ((qf & S_LAZY_BACK) && stack.size && is_run(stack.back()) && stack.back().t == q - 1) {
            // The body of a lazy run took a character: the run goes on there.
            q = q - 1;
            if (m.memo_on && (flags[q] & S_JOIN)) {
                // Going on is exploring the loop state there: where that is
                // known to fail, so does the rest of the run. (A run begun
                // before the memo started would otherwise try every later
                // position once for each run below it on the stack.)
                if (const MemoEntry* e = memo_find(m, key_of(q, np))) {
                    for (uint32_t i = 0; i < e->count; ++i) {
                        const SlotWrite& w = m.memo_writes[e->offset + i];
                        write_side(m, slots, w.side, w.value);
                    }
                    const GuardFrame& run = stack.back();
                    loop_pos[q] = run.saved_pos;
                    t = first[q] + 2;
                    p = run.p;
                    --stack.size;
                    continue;
                }
            }
            stack.back().run_cur = loop_pos[q] = np;
            goto lazy_run;
        }
        if ((qf & S_LOOP) && loop_pos[q] == np) {
            // Back at a loop state without consuming: cut.
            ++t;
            continue;
        }
        if (m.memo_on && (qf & S_JOIN)) {
            if (const MemoEntry* e = memo_find(m, key_of(q, np))) {
                for (uint32_t i = 0; i < e->count; ++i) {
                    const SlotWrite& w = m.memo_writes[e->offset + i];
                    write_side(m, slots, w.side, w.value);
                }
                ++t;
                continue;
            }
        }
        {
            // Greedy simple loop: its run of characters in one frame.
            int32_t run_end = -1;   // > np: a run frame ends there
            int32_t next_t = first[q];
            int32_t next_p = np;
            if ((qf & S_SIMPLE_LOOP) && !m.memo_on) {
                const Trans& body = trans[first[q]];
                const int32_t exit = trans[first[q] + 1].aux;
                if (np >= m.run_lo[size_t(q)] && np <= m.run_hi[size_t(q)]) {
                    // Known to fail from here: only the marks of leaving remain.
                    if (exit >= 0) write_exit_marks(m, slots, exit, np);
                    ++t;
                    continue;
                }
                int32_t cur = np;
                int len = 0;
                bool body_failed = true;
                for (char16_t c; (c = s[cur]) != 0 && !(line_end && (c == kCR || c == kLF));) {
                    if (!consume_test(prog, body, s + cur, icase, &len)) break;
                    if (len == 2) {
                        body_failed = false;  // a pair: taken the ordinary way
                        break;
                    }
                    ++cur;
                }
                m.steps += uint64_t(cur - np);
                if (body_failed) {
                    // Past the run only leaving is left at each position;
                    // the blocked ones at the end of the run fail at once.
                    int32_t x = cur;
                    while (x >= np && exit_blocked(m, exit, x)) --x;
                    if (x < cur) write_exit_marks(m, slots, exit, x + 1);
                    if (x < np) {
                        // All of it fails, and so does an entry later in the run.
                        m.run_lo[size_t(q)] = np;
                        m.run_hi[size_t(q)] = cur;
                        ++t;
                        continue;
                    }
                    next_t = first[q] + 1;
                    next_p = x;
                    if (x > np) run_end = x;
                } else if (cur > np) {
                    next_p = run_end = cur;
                }
            }
            if (!stack.push(GuardFrame{t, p, -1, 0, m.clock})) {
                unwind(m);
                return kNoMemory;
            }
            if (qf & S_LOOP) {
                stack.back().saved_pos = loop_pos[q];
                loop_pos[q] = np;
            }
            t = next_t;
            p = next_p;
            if (run_end > np) {
                if (!stack.push(GuardFrame{q, np, run_end, np, m.clock})) {
                    unwind(m);
                    return kNoMemory;
                }
                loop_pos[q] = run_end;
            }
            if (!(qf & S_SIMPLE_LAZY) || m.memo_on) continue;
            if (!stack.push(GuardFrame{q, np, np, np, m.clock})) {
                unwind(m);
                return kNoMemory;
            }
        }
    lazy_run: {
        // A lazy run at np: leave where that may succeed, else take one more
        // character; when the body fails too, the run is over.
        GuardFrame& run = stack.back();
        const Trans& body = trans[first[q] + 1];
        const int32_t exit = trans[first[q]].aux;
        int32_t blocked_at = -1;  // the last blocked exit, whose marks remain
        for (;;) {
            if (!exit_blocked(m, exit, np)) {
                if (blocked_at >= 0) write_exit_marks(m, slots, exit, blocked_at);
                t = first[q];
                p = np;
                break;
            }
            blocked_at = np;
            char16_t c = s[np];
            int len;
            if (c == 0 || (line_end && (c == kCR || c == kLF)) || !consume_test(prog, body, s + np, icase, &len)) {
                write_exit_marks(m, slots, exit, blocked_at);
                loop_pos[q] = run.saved_pos;
                t = first[q] + 2;
                p = run.p;
                --stack.size;
                break;
            }
            np += len;
            run.run_cur = loop_pos[q] = np;
            ++m.steps;
        }
    }
    }
}

}  // namespace deskops::regex
