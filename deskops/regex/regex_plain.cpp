// The plain matcher: one attempt, exactly as the matching algorithm reads,
// with no guard and no shortcut (the class test walks the class text every
// time). It is the reference the guarded matcher is checked against; it can
// loop forever on repetitions of empty bodies, so callers give it a step
// limit.
#include "regex_matcher.h"

namespace deskops::regex {

namespace {

bool plain_consume(const Program& prog, const Trans& t, const char16_t* s, bool icase, int* len) {
    bool pair = is_high(s[0]) && s[1] != 0;
    *len = pair ? 2 : 1;
    switch (t.kind) {
        case T_ANY: return true;
        case T_LITERAL:
            if (pair) return t.unit == s[0] && t.low == s[1];
            return t.low == 0 && (t.unit == s[0] || (icase && fold(t.unit) == fold(s[0])));
        default: {
            const ClassInfo& ci = prog.classes[size_t(t.aux)];
            return class_test(prog.class_units.data + ci.offset, ci.length, s[0], pair ? s[1] : 0);
        }
    }
}

}  // namespace

int32_t plain_attempt(Matcher& m, int32_t p0, Capture* slots) {
    const Program& prog = *m.prog;
    const char16_t* s = m.s;
    Buf<PlainFrame>& stack = m.plain_stack;
    stack.clear();
    int32_t t = prog.first[kStart];
    int32_t p = p0;
    for (;;) {
        if (m.opt.step_limit && ++m.steps > m.opt.step_limit) return kStepLimit;
        const Trans& tr = prog.trans[size_t(t)];
        if (tr.kind == T_END) {
            // No transition left: back to the frame below.
            if (stack.size == 0) return kAttemptFailed;
            PlainFrame f = stack.back();
            --stack.size;
            t = f.t + 1;
            p = f.p;
            continue;
        }
        int32_t np = p;
        if (tr.kind == T_EPS || tr.kind == T_OPEN || tr.kind == T_CLOSE) {
            // Marks are written on the way and never restored.
            if (tr.kind == T_OPEN) slots[tr.aux].begin = p;
            if (tr.kind == T_CLOSE) slots[tr.aux].end = p;
        } else {
            char16_t c = s[p];
            int len;
            if (c == 0 || (prog.line_end && (c == kCR || c == kLF)) ||
                !plain_consume(prog, tr, s + p, m.opt.ignore_case, &len)) {
                ++t;
                continue;
            }
            np = p + len;
        }
        if (tr.target == kFinal) {
            if (!prog.line_end || at_line_end(s, np)) return np;
            ++t;
            continue;
        }
        if (!stack.push(PlainFrame{t, p})) return kNoMemory;
        t = prog.first[size_t(tr.target)];
        p = np;
    }
}

}  // namespace deskops::regex
