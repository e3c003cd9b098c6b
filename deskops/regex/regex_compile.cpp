// Tree to program: numbered states with ordered transition lists.
//
// Compiling node N from state a to state b adds transitions; each new
// transition goes to the front of its state's list, so the one added last is
// tried first. The recursion of that scheme runs on an explicit work stack in
// the same order, so deep patterns cannot exhaust the native stack.
// Afterwards the lists are laid out in priority order, and the matchers get
// what they need to know of the states: joins, loops, simple loops with the
// record of what follows them, and the fewest units any match consumes.
#include <initializer_list>
#include <new>

#include "regex_program.h"

namespace deskops::regex {

const CompileLimits kDefaultLimits = {size_t(1) << 22, size_t(1) << 22};

namespace {

struct RawTrans {
    Trans t;
    int32_t next;  // the transition behind it in its state's list
};

enum WorkOp : uint8_t { W_NODE, W_LAZY_TAIL };

struct Work {
    int32_t node;
    int32_t a;
    int32_t b;
    uint8_t op;
};

struct Compiler {
    Program* prog;
    const Buf<Node>* nodes;
    size_t max_transitions;
    Buf<RawTrans> raw;
    Buf<int32_t> heads;
    Buf<uint8_t> kinds;  // per state: 0, or N_STAR / N_LAZY_STAR for loop states
    Buf<Work> work;

    int32_t new_state(uint8_t kind = 0) {
        if (heads.size >= max_transitions || !heads.push(-1) || !kinds.push(kind)) return -1;
        return int32_t(heads.size - 1);
    }
    bool add(int32_t from, uint8_t kind, int32_t to, int32_t aux = 0, char16_t unit = 0, char16_t low = 0) {
        if (raw.size >= max_transitions) return false;
        RawTrans r{Trans{kind, unit, low, to, aux}, heads[size_t(from)]};
        if (!raw.push(r)) return false;
        heads[size_t(from)] = int32_t(raw.size - 1);
        return true;
    }
    bool eps(int32_t from, int32_t to) { return add(from, T_EPS, to); }
    bool push(int32_t node, int32_t a, int32_t b, uint8_t op = W_NODE) { return work.push(Work{node, a, b, op}); }

    bool step(const Work& w) {
        if (w.op == W_LAZY_TAIL) return eps(w.a + 1, w.a) && eps(w.a, w.b);
        const Node& n = (*nodes)[size_t(w.node)];
        int32_t a = w.a, b = w.b;
        switch (n.kind) {
            case N_LITERAL: return add(a, T_LITERAL, b, 0, n.unit, n.low);
            case N_ANY: return add(a, T_ANY, b);
            case N_CLASS: return add(a, T_CLASS, b, n.value);
            case N_EMPTY: return eps(a, b);
            case N_GROUP_OPEN: return add(a, T_OPEN, b, n.value);
            case N_GROUP_CLOSE: return add(a, T_CLOSE, b, n.value);
            case N_LINE_START:
                // Only at the start state; elsewhere the path can never match.
                if (a != kStart) return true;
                prog->line_start = true;
                return eps(a, b);
            case N_LINE_END:
                if (b != kFinal) return true;
                prog->line_end = true;
                return eps(a, b);
            case N_CONCAT: {
                int32_t s = new_state();
                return s >= 0 && push(n.right, s, b) && push(n.left, a, s);
            }
            case N_ALTERNATE: return push(n.right, a, b) && push(n.left, a, b);
            case N_STAR: {
                int32_t s = new_state(N_STAR);
                if (s < 0 || new_state() < 0) return false;
                // The body's transitions from s come later, so they are tried
                // before leaving (greedy).
                return eps(a, s) && eps(s + 1, s) && eps(s, b) && push(n.left, s, s + 1);
            }
            case N_LAZY_STAR: {
                int32_t s = new_state(N_LAZY_STAR);
                if (s < 0 || new_state() < 0) return false;
                // Leaving is added after the body, so it is tried first.
                return eps(a, s) && push(s, s, b, W_LAZY_TAIL) && push(n.left, s, s + 1);
            }
            default: return false;
        }
    }

    // Lists in priority order, each closed by a sentinel; state flags.
    bool flatten() {
        Program& p = *prog;
        p.states = int32_t(heads.size);
        if (!p.first.reserve(heads.size) || !p.trans.reserve(raw.size + heads.size)) return false;
        Buf<int32_t> indegree;
        if (!indegree.resize(heads.size, 0) || !p.flags.resize(heads.size, 0)) return false;
        for (size_t s = 0; s < heads.size; ++s) {
            p.first.push(int32_t(p.trans.size));
            for (int32_t r = heads[s]; r >= 0; r = raw[size_t(r)].next) {
                p.trans.push(raw[size_t(r)].t);
                ++indegree[size_t(raw[size_t(r)].t.target)];
            }
            p.trans.push(Trans{T_END, 0, 0, -1, 0});
        }
        for (size_t s = 0; s < heads.size; ++s) {
            uint8_t f = 0;
            if (indegree[s] >= 2) f |= S_JOIN;
            if (kinds[s]) f |= S_LOOP;
            p.flags[s] = f;
        }
        for (size_t s = 0; s < heads.size; ++s) {
            if (kinds[s] == N_STAR && simple_loop(int32_t(s), false)) p.flags[s] |= S_SIMPLE_LOOP;
            if (kinds[s] == N_LAZY_STAR && simple_loop(int32_t(s), true)) {
                p.flags[s] |= S_SIMPLE_LAZY;
                p.flags[s + 1] |= S_LAZY_BACK;
            }
        }
        return describe_simple_loops();
    }

    // Fewest consuming transitions on a path from start to final (each takes
    // a unit at least): a 0-1 breadth-first search over the states.
    bool measure() {
        Program& p = *prog;
        Buf<int32_t> dist, deque;
        if (!dist.resize(size_t(p.states), INT32_MAX) || !deque.resize(size_t(p.states) * 2 + 2, 0)) return false;
        size_t head = size_t(p.states) + 1, tail = head;  // the front grows down, the back up
        dist[kStart] = 0;
        deque[tail++] = kStart;
        while (head < tail) {
            int32_t q = deque[head++];
            for (const Trans* t = &p.trans[size_t(p.first[size_t(q)])]; t->kind != T_END; ++t) {
                int32_t w = t->kind >= T_LITERAL ? 1 : 0;
                int32_t d = dist[size_t(q)] + w;
                if (d >= dist[size_t(t->target)]) continue;
                dist[size_t(t->target)] = d;
                if (w)
                    deque[tail++] = t->target;
                else
                    deque[--head] = t->target;
            }
        }
        p.min_length = dist[kFinal] == INT32_MAX ? INT32_MAX : dist[kFinal];
        return true;
    }

    // Greedy: s [consume to s+1, leave]; lazy: s [leave, consume to s+1];
    // s+1: [back to s]; no group marks.
    bool simple_loop(int32_t s, bool lazy) const {
        const Program& p = *prog;
        const Trans* t = &p.trans[size_t(p.first[size_t(s)])];
        const Trans* back = &p.trans[size_t(p.first[size_t(s) + 1])];
        const Trans& body = t[lazy ? 1 : 0];
        const Trans& leave = t[lazy ? 0 : 1];
        bool consuming = body.kind == T_LITERAL || body.kind == T_ANY || body.kind == T_CLASS;
        return t[0].kind != T_END && t[1].kind != T_END && t[2].kind == T_END && consuming &&
               body.target == s + 1 && leave.kind == T_EPS && back[0].kind == T_EPS && back[0].target == s &&
               back[1].kind == T_END;
    }

    // The exit record of a simple loop leaving to state b; false when the
    // states after it are too many or contain a loop (a cut could happen).
    bool describe_exit(int32_t b, ExitInfo* ex, Buf<int32_t>* todo, Buf<int32_t>* seen) {
        Program& p = *prog;
        *ex = ExitInfo{};
        ex->sides_offset = uint32_t(p.exit_sides.size);
        todo->clear();
        seen->clear();
        if (b == kFinal) {
            ex->to_final = true;
            return true;
        }
        if (!todo->push(b) || !seen->push(b)) return false;
        while (todo->size) {
            int32_t q = todo->back();
            --todo->size;
            if (p.flags[size_t(q)] & S_LOOP) return false;
            for (const Trans* t = &p.trans[size_t(p.first[size_t(q)])]; t->kind != T_END; ++t) {
                switch (t->kind) {
                    case T_OPEN:
                    case T_CLOSE: {
                        int32_t side = t->aux * 2 + (t->kind == T_CLOSE);
                        bool known = false;
                        for (uint32_t i = 0; i < ex->sides_count; ++i)
                            known = known || p.exit_sides[ex->sides_offset + i] == side;
                        if (!known) {
                            if (!p.exit_sides.push(side)) return false;
                            ++ex->sides_count;
                        }
                    }
                        [[fallthrough]];
                    case T_EPS: {
                        if (t->target == kFinal) {
                            ex->to_final = true;
                            break;
                        }
                        bool known = false;
                        for (size_t i = 0; i < seen->size; ++i) known = known || (*seen)[i] == t->target;
                        if (known) break;
                        if (seen->size >= 64) return false;
                        if (!seen->push(t->target) || !todo->push(t->target)) return false;
                        break;
                    }
                    case T_LITERAL: {
                        // Both cases: the exit record serves either setting.
                        char16_t u = t->unit, lo = fold(u), up = u >= u'a' && u <= u'z' ? char16_t(u - 32) : u;
                        for (char16_t c : {u, lo, up}) {
                            if (c < 256)
                                ex->low_bits[c >> 5] |= 1u << (c & 31);
                            else
                                ex->high = true;
                        }
                        break;
                    }
                    case T_ANY:
                        for (uint32_t& w : ex->low_bits) w = ~0u;
                        ex->high = true;
                        break;
                    default: {
                        const ClassInfo& ci = p.classes[size_t(t->aux)];
                        for (int w = 0; w < 8; ++w) ex->low_bits[w] |= ci.low_bits[w];
                        if (class_may_accept_high(class_text(p, t->aux), ci.length)) ex->high = true;
                    }
                }
            }
        }
        return true;
    }

    bool describe_simple_loops() {
        Program& p = *prog;
        Buf<int32_t> todo, seen;
        for (int32_t s = 0; s < p.states; ++s) {
            uint8_t f = p.flags[size_t(s)];
            if (!(f & (S_SIMPLE_LOOP | S_SIMPLE_LAZY))) continue;
            Trans& leave = p.trans[size_t(p.first[size_t(s)]) + ((f & S_SIMPLE_LAZY) ? 0 : 1)];
            leave.aux = -1;
            ExitInfo ex;
            if (!describe_exit(leave.target, &ex, &todo, &seen)) {
                p.exit_sides.size = ex.sides_offset;
                continue;
            }
            if (!p.exits.push(ex)) return false;
            leave.aux = int32_t(p.exits.size - 1);
        }
        return true;
    }
};

}  // namespace

Program* compile(const char16_t* pattern, const CompileLimits& limits) {
    Program* prog = new (std::nothrow) Program;
    if (!prog) return nullptr;
    Buf<Node> nodes;
    int32_t root = parse_pattern(pattern, prog, &nodes, limits.max_nodes);
    Compiler c;
    c.prog = prog;
    c.nodes = &nodes;
    c.max_transitions = limits.max_transitions;
    bool ok = root >= 0 && c.new_state() == kStart && c.new_state() == kFinal && c.push(root, kStart, kFinal);
    // Shared subtrees are compiled once per occurrence; bound that work too.
    size_t budget = limits.max_transitions * 4 + nodes.size;
    while (ok && c.work.size) {
        Work w = c.work.back();
        --c.work.size;
        ok = budget-- > 0 && c.step(w);
    }
    if (ok) ok = c.flatten() && c.measure();
    if (!ok) {
        delete prog;
        return nullptr;
    }
    return prog;
}

void program_free(Program* program) { delete program; }

int32_t group_count(const Program* program) { return program->groups; }
size_t program_size(const Program* program) { return program->trans.size; }

}  // namespace deskops::regex
