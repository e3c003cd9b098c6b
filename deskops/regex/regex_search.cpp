// Search: match attempts at successive positions of the subject.
//
// The guarded search skips positions where an attempt cannot succeed: the
// unit there is none that a consuming transition reachable from the start
// without consuming could accept, and no empty path leads to the final
// state; and it stops where less text is left than any match consumes.
// Failed attempts leave nothing behind (the slots are cleared before each),
// so skipping them changes no result.
#include <cstring>
#include <new>

#include "regex_matcher.h"

namespace deskops::regex {

namespace {

void set_bit(Buf<uint32_t>& bits, char16_t c) { bits[c >> 5] |= 1u << (c & 31); }
bool has_bit(const uint32_t* bits, char16_t c) { return (bits[c >> 5] >> (c & 31)) & 1; }

// Fills m.start_bits, or leaves it empty when every position must be tried.
bool build_start_bits(Matcher& m) {
    const Program& prog = *m.prog;
    Buf<uint8_t> seen;
    Buf<int32_t> todo;
    if (!seen.resize(size_t(prog.states), 0) || !todo.push(kStart)) return false;
    seen[kStart] = 1;
    bool empty_path = false, any = false;
    Buf<uint32_t> bits;
    if (!bits.resize(65536 / 32, 0)) return false;
    while (todo.size && !any) {
        int32_t q = todo.back();
        --todo.size;
        for (const Trans* t = &prog.trans[size_t(prog.first[size_t(q)])]; t->kind != T_END; ++t) {
            switch (t->kind) {
                case T_EPS:
                case T_OPEN:
                case T_CLOSE:
                    if (t->target == kFinal) {
                        empty_path = true;
                    } else if (!seen[size_t(t->target)]) {
                        seen[size_t(t->target)] = 1;
                        if (!todo.push(t->target)) return false;
                    }
                    break;
                case T_ANY: any = true; break;
                case T_LITERAL:
                    set_bit(bits, t->unit);
                    if (m.opt.ignore_case && fold(t->unit) != t->unit) set_bit(bits, fold(t->unit));
                    if (m.opt.ignore_case && t->unit >= u'a' && t->unit <= u'z') set_bit(bits, char16_t(t->unit - 32));
                    break;
                default: {
                    const ClassInfo& ci = prog.classes[size_t(t->aux)];
                    for (int w = 0; w < 8; ++w) bits[size_t(w)] |= ci.low_bits[w];
                    if (class_may_accept_high(class_text(prog, t->aux), ci.length))
                        for (size_t w = 8; w < bits.size; ++w) bits[w] = ~0u;
                }
            }
        }
    }
    // An empty match can only succeed at a line end when the flag is set.
    if (any || (empty_path && !prog.line_end)) return true;
    if (empty_path) {
        set_bit(bits, kCR);
        set_bit(bits, kLF);
    }
    m.start_bits.swap(bits);
    for (int c = 0; c < 256; ++c) m.start_low[c] = c == 0 || has_bit(m.start_bits.data, char16_t(c));
    return true;
}

// Units before the first NUL; four at a time where the sanitizers do not
// watch (a word may reach past the terminator, never past its page).
size_t text_length(const char16_t* s) {
    const char16_t* p = s;
#ifndef ZV_SANITIZE
    while (reinterpret_cast<uintptr_t>(p) & 7) {
        if (!*p) return size_t(p - s);
        ++p;
    }
    for (;;) {
        uint64_t v;
        std::memcpy(&v, p, 8);
        if ((v - 0x0001000100010001ull) & ~v & 0x8000800080008000ull) break;
        p += 4;
    }
#endif
    while (*p) ++p;
    return size_t(p - s);
}

void clear_slots(Capture* slots, int32_t groups) {
    for (int32_t g = 0; g < groups; ++g) slots[g] = Capture{-1, -1};
}

int32_t advance(const Matcher& m, int32_t p) {
    if (m.prog->line_start) return next_line(m.s, p);
    return p + (pair_at(m.s + p) ? 2 : 1);
}

}  // namespace

Matcher* matcher_new(const Program* program, const char16_t* text, const MatchOptions& options) {
    Matcher* m = new (std::nothrow) Matcher;
    if (!m) return nullptr;
    m->prog = program;
    m->s = text;
    m->opt = options;
    size_t len = text_length(text);
    m->len = int32_t(len);
    bool ok = len < size_t(INT32_MAX) - 4 && m->loop_pos.resize(size_t(program->states), -1) &&
              m->run_lo.resize(size_t(program->states), 1) && m->run_hi.resize(size_t(program->states), 0) &&
              m->last_write.resize(size_t(program->groups) * 2, 0);
    if (ok && !options.plain) ok = build_start_bits(*m);
    if (!ok) {
        delete m;
        return nullptr;
    }
    // Ordinary patterns take a few steps per unit; far more means nested
    // repetitions at work, and from then on the memo pays.
    m->memo_after = options.memo_after != kMemoAuto ? options.memo_after : 4096 + 32 * uint64_t(len);
    m->memo_on = m->memo_after == 0;
    return m;
}

void matcher_free(Matcher* m) { delete m; }
uint64_t matcher_steps(const Matcher* m) { return m->steps; }

int search(Matcher* m, int32_t pos, Capture* slots) {
    const char16_t* s = m->s;
    const int32_t groups = m->prog->groups;
    const uint32_t* bits = m->start_bits.size ? m->start_bits.data : nullptr;
    const uint8_t* low = m->start_low;
    const bool by_line = m->prog->line_start;
    int32_t p = pos;
    while (s[p]) {
        if (bits) {
            if (!by_line) {
                // Pass units no match begins with; the same positions as the
                // one-by-one advance, without attempts.
                for (char16_t c = s[p];; c = s[p]) {
                    if (c < 256) {
                        if (low[c]) break;
                        ++p;
                    } else {
                        if (has_bit(bits, c)) break;
                        p += is_high(c) && s[p + 1] ? 2 : 1;
                    }
                }
                if (!s[p]) break;
            } else if (!has_bit(bits, s[p])) {
                p = advance(*m, p);
                continue;
            }
        }
        // Too little text left for any match.
        if (m->len - p < m->prog->min_length) return 0;
        clear_slots(slots, groups);
        int32_t end = m->opt.plain ? plain_attempt(*m, p, slots) : guarded_attempt(*m, p, slots);
        if (end >= 0) {
            slots[0] = Capture{p, end};
            return groups;
        }
        if (end != kAttemptFailed) return end;
        p = advance(*m, p);
    }
    return 0;
}

}  // namespace deskops::regex
