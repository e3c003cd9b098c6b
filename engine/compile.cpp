// Compiles syntax sequences into code units (see code.h).
//
// One traversal emits the instructions and collects, per static scope, the
// names its code may create; afterwards the slots are laid out and every
// variable reference learns the slots it must try. A reference may create
// its variable only when the name is not certainly visible at that point:
// an earlier reference or declaration that always runs before it, in its
// own scope or an enclosing one of the unit, already found or made it, and
// variables never disappear from a live scope.
#include <algorithm>
#include <cstring>
#include <new>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "code.h"
#include "error.h"
#include "eval.h"
#include "platform.h"

namespace ksc {

namespace {

using Name = std::u16string_view;

// Compiling stops with "Nesting too deep" when less native stack is left.
constexpr size_t kCompileStackReserve = 128 * 1024;

struct StaticScope {
    int parent;
    int depth;  // scope record in the frame; -1: the walked scope
    int first_slot = 0;
    bool conditional = false;  // nothing in it runs certainly (a switch body)
    std::vector<const char16_t*> names;
    std::vector<int32_t> hashes;
    std::unordered_map<Name, int> slot_of;
    std::unordered_set<Name> certain;  // names certainly visible from here on
};

// The instructions being made, on the process heap: the finished code keeps
// the buffer (no copy at the end). Sized ahead from the node count.
class InsnBuffer {
public:
    ~InsnBuffer() { zv::heap_free(data_); }
    void reserve(size_t n) {
        if (n <= cap_) return;
        Insn* d = static_cast<Insn*>(zv::heap_alloc_raw(n * sizeof(Insn)));
        if (!d) return;  // push_back grows (or fails) later
        if (size_) memcpy(d, data_, size_ * sizeof(Insn));
        zv::heap_free(data_);
        data_ = d;
        cap_ = n;
    }
    bool push_back(const Insn& in) {
        if (size_ == cap_) {
            reserve(cap_ ? cap_ * 2 : 64);
            if (size_ == cap_) return false;
        }
        data_[size_++] = in;
        return true;
    }
    void pop_back() { --size_; }
    void resize(size_t n) { size_ = n; }  // shrinks only
    size_t size() const { return size_; }
    Insn& operator[](size_t i) { return data_[i]; }
    Insn* begin() { return data_; }
    Insn* end() { return data_ + size_; }
    Insn* data() { return data_; }
    Insn* release() {
        Insn* d = data_;
        data_ = nullptr;
        size_ = cap_ = 0;
        return d;
    }

private:
    Insn* data_ = nullptr;
    size_t size_ = 0;
    size_t cap_ = 0;
};

// An upper bound of the instructions a sequence compiles to (without
// recursion: nesting may be deep). Function definitions inside are left
// out: they compile on their own. With steps every node may take two.
size_t estimate_insns(const SyntaxNode* n, bool step) {
    size_t c = 16;
    std::vector<const SyntaxNode*> todo;
    for (;;) {
        for (; n; n = n->next) {
            if (n->kind == SK_FUNCDEF) {
                // Its parameters, then the body block and its end: skipped.
                if (n->next && n->next->kind == SK_BLOCK) n = n->next;
                continue;
            }
            if (step) {
                c += 3;
            } else {
                switch (n->kind) {
                    case SK_LABEL_ELSE:
                    case SK_LABEL_IFEND:
                    case SK_LABEL_LOOP:
                    case SK_LABEL_LOOPEND:
                    case SK_LABEL_JOIN:
                    case SK_COMMA:
                    case SK_CASE_END:
                    case SK_FUNCEND:
                    case SK_BLOCK_CLOSE: break;
                    case SK_BLOCK:
                    case SK_ARRAY:
                    case SK_SWITCH:
                    case SK_WHILETEST:
                    case SK_DOBODY:
                    case SK_CASE: c += 3; break;
                    default: c += 1;
                }
            }
            if (n->sub) todo.push_back(n->sub);
        }
        if (todo.empty()) return c;
        n = todo.back();
        todo.pop_back();
    }
}

struct Site {
    const SyntaxNode* node;
    int scope;
    bool creates;
    int insn;
};

struct Target {  // break and continue destinations
    bool is_switch;
    int depth;           // record depth of the loop's (or switch body's) scope
    int break_label;
    int continue_label;  // -1 for a switch
};

int sk_binary(int32_t kind) { return kind >= SK_MUL && kind <= SK_BITOR; }
int sk_unary(int32_t kind) { return kind >= SK_NOT && kind <= SK_POSTDEC; }

// The last node of a sequence, where what is pending settles and errors
// are placed. A block's closing brace (editor mode) does not count: the
// place stays the block's last statement, as without it.
const SyntaxNode* last_of(const SyntaxNode* n, const SyntaxNode* stop = nullptr) {
    const SyntaxNode* last = nullptr;
    for (; n && n != stop; n = n->next)
        if (n->kind != SK_BLOCK_CLOSE) last = n;
    return last;
}

class Compiler {
public:
    Compiler(int form, bool external, bool line_mode)
        : step_(form == kFormStepped), poll_(form == kFormPolled), external_(external), line_mode_(line_mode) {}

    Code* top(const SyntaxNode* seq);
    Code* function(const SyntaxNode* def);

    int error = kErrAlloc;
    const SyntaxNode* where = nullptr;

private:
    bool step_;
    bool poll_;  // the polled form
    bool external_;
    bool line_mode_;
    bool failed_ = false;
    InsnBuffer insns_;
    std::vector<StaticScope> scopes_;
    std::vector<Site> sites_;
    std::vector<const SyntaxNode*> calls_;
    std::vector<const char16_t*> texts_;
    std::vector<int> labels_;  // label -> instruction index
    std::unordered_map<const SyntaxNode*, std::pair<int, int>> node_labels_;  // at its step, after it
    std::vector<int> markers_;  // stack depths of open call-argument markers
    std::vector<int> producer_; // by stack depth: the instruction that pushed the value
    // Element references: by stack depth, the index instruction that pushed
    // one (or -1) and the count of calls and assignments before it. Only a
    // call or an assignment can free the array an element lives in, so a
    // reference taken by an operator with none in between needs no pin.
    std::vector<int> pin_insn_;
    std::vector<int> pin_unsafe_;
    int unsafe_ = 0;
    std::vector<int> assign_pins_;  // pins the last assignment may drop when its value is dropped too
    // A loop whose condition is one fused test: its LOOP label -> the test
    // and the label of the body after it, to repeat the test at the end.
    std::unordered_map<const SyntaxNode*, std::pair<int, int>> loop_tests_;
    std::vector<const SyntaxNode*> joins_;  // join labels that end open short-circuit operands
    std::vector<Target> targets_;
    std::vector<int> scope_base_;  // stack depth where each open scope's values begin
    std::vector<int32_t> flat_;    // ranges of blocks without a scope right in the walked scope
    std::vector<int32_t> poll_scopes_;  // by OP_POLL: the static scopes open there, outermost first
    int scope_ = 0;                // current static scope
    int depth_ = 0;                // current record depth
    int max_depth_ = 0;
    int sd_ = 0;                   // value stack depth (static)
    int max_sd_ = 0;
    int conditional_ = 0;          // inside code that may not run
    std::vector<const SyntaxNode*> loop_steps_;  // back jumps ending a for loop's step
    int seq_depth_ = 0;
    int barrier_ = 0;         // no fusing across: an instruction a label points at
    bool may_pend_ = false;   // a post-increment may wait for the next statement end
    const SyntaxNode* root_stmt_ = nullptr;  // statement of the unit's own sequence being compiled

    int emit(uint8_t op, const SyntaxNode* node, uint8_t a = 0, int32_t b = 0, int32_t c = 0, int32_t d = 0) {
        if (!insns_.push_back(Insn{op, a, kNoSlot16, b, c, d, node})) {
            failed_ = true;  // out of memory: finish() reports it
            return -1;
        }
        return int(insns_.size()) - 1;
    }
    void step(const SyntaxNode* n) {
        if (step_) emit(OP_STEP, n);
    }
    // Before the jump back n of a loop: the scopes a move to the stepped
    // form must have (the plain code leaves out those of blocks that can
    // never hold a variable).
    void poll(const SyntaxNode* n) {
        size_t from = poll_scopes_.size();
        for (int k = scope_; k > 0; k = scopes_[size_t(k)].parent) poll_scopes_.push_back(k);
        std::reverse(poll_scopes_.begin() + long(from), poll_scopes_.end());
        emit(OP_POLL, n, 0, 0, int32_t(poll_scopes_.size() - from), int32_t(from));
    }
    int new_label() {
        labels_.push_back(-1);
        return int(labels_.size()) - 1;
    }
    void define(int label) {
        labels_[size_t(label)] = int(insns_.size());
        barrier_ = int(insns_.size());
    }
    // The i-th instruction from the end, when fusing may take it.
    Insn* last(int i = 0) {
        int at = int(insns_.size()) - 1 - i;
        return at >= barrier_ ? &insns_[size_t(at)] : nullptr;
    }
    static bool plain_var(const Insn* in) { return in && in->op == OP_VAR && in->a == 0; }
    static bool comparison(int op) { return op >= SK_LT && op <= SK_NE; }
    void binary(const SyntaxNode* n);
    void fuse_binary(const SyntaxNode* n);
    void test(const SyntaxNode* n, int label);
    void statement_end(const SyntaxNode* n);
    int label_of(const SyntaxNode* n, bool after) {
        auto it = node_labels_.find(n);
        if (it == node_labels_.end()) it = node_labels_.emplace(n, std::make_pair(new_label(), new_label())).first;
        return after ? it->second.second : it->second.first;
    }
    void push(int n = 1) {
        sd_ += n;
        if (sd_ > max_sd_) max_sd_ = sd_;
        if (producer_.size() < size_t(sd_)) {
            producer_.resize(size_t(sd_) + 16);
            pin_insn_.resize(size_t(sd_) + 16, -1);
            pin_unsafe_.resize(size_t(sd_) + 16);
        }
        for (int i = sd_ - n; i < sd_; ++i) {
            producer_[size_t(i)] = int(insns_.size()) - 1;
            pin_insn_[size_t(i)] = -1;
        }
    }
    // The value at depth d is taken by an operator that does not keep it.
    void consume(int d) {
        if (d < 0 || size_t(d) >= pin_insn_.size()) return;
        int at = pin_insn_[size_t(d)];
        if (at >= 0 && pin_unsafe_[size_t(d)] == unsafe_) insns_[size_t(at)].a = 0;
        pin_insn_[size_t(d)] = -1;
    }
    void consume_top(int n) {
        for (int i = 1; i <= n; ++i) consume(sd_ - i);
    }
    // Pops n values; false (and a syntax error at run time) when the
    // sequence would take more than the current scope holds.
    bool pop(const SyntaxNode* at, int n = 1) {
        if (sd_ - n < scope_base_.back()) {
            emit(OP_FAIL, at, kErrSyntax);
            sd_ = scope_base_.back();
            return false;
        }
        sd_ -= n;
        return true;
    }
    bool too_deep(const SyntaxNode* n) {
        if (zv::stack_remaining() >= kCompileStackReserve) return false;
        if (!failed_) {
            failed_ = true;
            error = kErrTooDeep;
            where = n;
        }
        return true;
    }

    int open_scope(bool conditional) {
        StaticScope s;
        s.parent = scope_;
        s.depth = ++depth_;
        s.conditional = conditional;
        if (depth_ > max_depth_) max_depth_ = depth_;
        scopes_.push_back(std::move(s));
        scope_ = int(scopes_.size()) - 1;
        scope_base_.push_back(sd_);
        return scope_;
    }
    void close_scope() {
        StaticScope& s = scopes_[size_t(scope_)];
        s.certain.clear();
        s.certain.rehash(0);
        scope_ = s.parent;
        --depth_;
        sd_ = scope_base_.back();
        scope_base_.pop_back();
    }

    bool certainly_visible(Name name) const {
        for (int s = scope_; s >= 0; s = scopes_[size_t(s)].parent)
            if (scopes_[size_t(s)].certain.count(name)) return true;
        return false;
    }
    void add_name(int scope, const char16_t* name, int32_t hash) {
        StaticScope& s = scopes_[size_t(scope)];
        if (s.slot_of.emplace(Name(name), int(s.names.size())).second) {
            s.names.push_back(name);
            s.hashes.push_back(hash);
        }
    }
    void note_certain(const char16_t* name) {
        StaticScope& s = scopes_[size_t(scope_)];
        if (!conditional_ && !s.conditional) s.certain.insert(Name(name));
    }

    void variable(const SyntaxNode* n);
    void call(const SyntaxNode* n);
    void sequence(const SyntaxNode* n, const SyntaxNode* stop = nullptr);
    const SyntaxNode* node(const SyntaxNode* n);
    const SyntaxNode* while_test(const SyntaxNode* n);
    const SyntaxNode* switch_statement(const SyntaxNode* n);
    void jump_out(const SyntaxNode* n, bool is_break);
    void parameters(const SyntaxNode* def);
    Code* finish(const SyntaxNode* head);
};

void Compiler::variable(const SyntaxNode* n) {
    step(n);
    bool decl = n->kind == SK_VARDECL;
    bool creates = decl || !certainly_visible(Name(n->text));
    if (creates) add_name(scope_, n->text, n->ival);
    note_certain(n->text);
    sites_.push_back(Site{n, scope_, creates, 0});
    int site = int(sites_.size()) - 1;
    sites_.back().insn = emit(decl ? OP_VARDECL : OP_VAR, n, (n->flags & SF_IN_ARRAY) ? 1 : 0, 0, kNoSlot, site);
    push();
}

void Compiler::call(const SyntaxNode* n) {
    step(n);
    ++unsafe_;
    calls_.push_back(n);
    int mark = markers_.empty() ? scope_base_.back() : markers_.back();
    if (!markers_.empty()) markers_.pop_back();
    if (mark < scope_base_.back()) mark = scope_base_.back();
    int nargs = sd_ - mark - 1;
    if (nargs < 0) {
        emit(OP_FAIL, n, kErrSyntax);
        nargs = 0;
    } else {
        emit(OP_CALL, n, 0, int32_t(calls_.size()) - 1, nargs);
    }
    sd_ = mark;
    push();
}

// A binary operator; without steps its operands may fuse into it: an
// integer literal on the right, and variables read where they would be
// pushed (right before).
void Compiler::binary(const SyntaxNode* n) {
    step(n);
    if (!step_) consume_top(2);
    if (pop(n, 2)) fuse_binary(n);
    // After fusing: the value's producer is the instruction that is last now
    // (an assignment looks there for a variable to store into).
    push();
}

void Compiler::fuse_binary(const SyntaxNode* n) {
    uint8_t op = uint8_t(n->kind);
    Insn* k = step_ ? nullptr : last(0);
    if (k && k->op == OP_PUSH_INT) {
        Insn* v = last(1);
        if (plain_var(v)) {
            *v = Insn{OP_BIN_VK, uint8_t(op), kNoSlot16, k->b, 0, v->d, n};
            insns_.pop_back();
        } else {
            *k = Insn{OP_BIN_K, uint8_t(op), kNoSlot16, k->b, 0, 0, n};
        }
        return;
    }
    if (!step_ && plain_var(last(0)) && plain_var(last(1))) {
        Insn* v = last(1);
        *v = Insn{OP_BIN_VV, uint8_t(op), kNoSlot16, 0, 0, v->d, n};
        insns_.pop_back();
        return;
    }
    if (!step_ && plain_var(last(0))) {
        Insn* v = last(0);
        *v = Insn{OP_BIN_V, uint8_t(op), kNoSlot16, 0, 0, v->d, n};
        return;
    }
    if (k && k->op == OP_PUSH_STR) {
        texts_.push_back(k->node->text);
        *k = Insn{OP_BIN_S, uint8_t(op), kNoSlot16, int32_t(texts_.size()) - 1, 0, 0, n};
        return;
    }
    emit(OP_BIN, n, op);
}

// A condition; without steps a comparison right before it fuses into it
// when nothing can be pending (the test would settle it).
void Compiler::test(const SyntaxNode* n, int label) {
    if (!step_) consume(sd_);  // (already popped)
    Insn* c = step_ || may_pend_ ? nullptr : last(0);
    if (c && comparison(c->a) && (c->op == OP_BIN_K || c->op == OP_BIN_VK || c->op == OP_BIN_VV)) {
        int32_t k = c->b;
        c->op = c->op == OP_BIN_K ? OP_TEST_K : c->op == OP_BIN_VK ? OP_TEST_VK : OP_TEST_VV;
        c->b = label;
        c->c = k;
    } else {
        emit(OP_TEST, n, 0, label);
    }
    may_pend_ = false;
}

// A statement end; without steps an assignment or an increment standing
// alone fuses with it.
void Compiler::statement_end(const SyntaxNode* n) {
    step(n);
    uint8_t line = n->kind == SK_END_LINE ? 1 : 0;
    bool alone = sd_ == scope_base_.back() + 1;
    Insn* a = step_ || may_pend_ ? nullptr : last(0);
    if (a && a->op == OP_ASSIGN)
        for (int at : assign_pins_) insns_[size_t(at)].a = 0;  // nothing keeps the references
    assign_pins_.clear();
    if (a && a->op == OP_ASSIGN && a->d >= 0) {
        // The target was certainly there: found when the value is stored.
        Insn& target = insns_[size_t(a->d)];
        int32_t site = target.d;
        target.op = OP_NOP;
        a->op = OP_STORE_STMT;
        a->c = line;
        a->d = site;
    } else if (a && a->op == OP_ASSIGN) {
        a->op = OP_ASSIGN_STMT;
        a->c = line;
    } else if (!step_ && alone && last(0) && last(0)->op == OP_UN && plain_var(last(1))) {
        int32_t kind = last(0)->a;
        if (kind >= SK_PREINC && kind <= SK_POSTDEC) {
            Insn* v = last(1);
            int32_t delta = kind == SK_PREINC || kind == SK_POSTINC ? 1 : -1;
            *v = Insn{OP_INCR_STMT, uint8_t(kind), kNoSlot16, delta, line, v->d, last(0)->node};
            insns_.pop_back();
        } else {
            emit(OP_END, n, line);
        }
    } else {
        emit(OP_END, n, line);
    }
    may_pend_ = false;
    sd_ = scope_base_.back();
}

// break and continue: to a loop or switch of this unit, or out of it.
void Compiler::jump_out(const SyntaxNode* n, bool is_break) {
    step(n);
    for (size_t i = targets_.size(); i-- > 0;) {
        const Target& t = targets_[i];
        if (t.is_switch && !is_break) continue;  // continue passes switches by
        emit(OP_UNWIND, n, 0, is_break ? t.break_label : t.continue_label, t.depth);
        return;
    }
    // Out of the unit: the root's position becomes its statement that holds
    // this one, as a host reporting the stray jump expects.
    emit(OP_ESCAPE, root_stmt_ ? root_stmt_ : n, uint8_t(is_break ? 1 : 2));
}

const SyntaxNode* Compiler::while_test(const SyntaxNode* n) {
    const SyntaxNode* exit_jump = n->next;
    step(n);
    int cont = new_label();
    // Without steps the exit jump is only a jump: the condition goes straight
    // to its target.
    int exit_label = step_ ? new_label() : label_of(exit_jump->target, true);
    if (n->flags & SF_HAS_VALUE) {
        if (pop(n)) test(n, exit_label);
        // A condition that is one test right after the loop label is
        // repeated at the loop's end, jumping back when it holds.
        const SyntaxNode* loop = exit_jump->next;
        while (loop && loop->kind != SK_JUMP) loop = loop->next;  // (the step, then the jump back)
        Insn* t = last(0);
        int at = int(insns_.size()) - 1;
        if (!step_ && loop && loop->target && loop->target->kind == SK_LABEL_LOOP && t &&
            at == labels_[size_t(label_of(loop->target, true))] && (t->op == OP_TEST_VK || t->op == OP_TEST_VV)) {
            int body = new_label();
            define(body);
            loop_tests_[loop->target] = std::make_pair(at, body);
        }
    }
    int body_end = new_label();
    targets_.push_back(Target{false, depth_, label_of(exit_jump->target, true), body_end});
    sequence(n->sub);
    targets_.pop_back();
    define(body_end);
    if (n->sub && (n->sub->next || n->sub->kind != SK_BLOCK)) emit(OP_SETTLE, last_of(n->sub));
    may_pend_ = false;
    if (step_) {
        emit(OP_JUMP, n, 0, cont);
        define(exit_label);
        node(exit_jump);  // the exit jump, stepped as the walk steps it
    }
    define(cont);
    // A for loop's step, between the exit jump and the jump back, runs only
    // after a body that went to its end: names it makes are not certain
    // after the loop (`for (; 0; x) {}` never makes x).
    if (exit_jump->next && exit_jump->next->kind != SK_JUMP) {
        const SyntaxNode* back = exit_jump->next;
        while (back && back->kind != SK_JUMP) back = back->next;
        if (back) {
            ++conditional_;
            loop_steps_.push_back(back);
        }
    }
    return exit_jump->next;
}

const SyntaxNode* Compiler::switch_statement(const SyntaxNode* n) {
    step(n);
    if (!pop(n)) return n->next;
    push();  // the switch value stays below the body's values
    int body = open_scope(true);
    emit(OP_SWITCH, n, 0, body);
    may_pend_ = false;
    int final_label = new_label();
    // The cases, in order, until one matches; then the first default.
    std::vector<std::pair<const SyntaxNode*, int>> starts;  // case or default -> label
    const SyntaxNode* fallback = nullptr;
    ++conditional_;
    for (const SyntaxNode* c = n->sub; c; c = c->next) {
        if (c->kind == SK_DEFAULT && !fallback) fallback = c;
        if (c->kind != SK_CASE) continue;
        sequence(c->next, c->target);
        const SyntaxNode* last = last_of(c->next, c->target);
        if (last) emit(OP_SETTLE, last);
        may_pend_ = false;
        int start = new_label();
        starts.emplace_back(c, start);
        emit(OP_CASE, c, 0, start);
        sd_ = scope_base_.back();
    }
    --conditional_;
    int fallback_label = fallback ? new_label() : final_label;
    emit(OP_JUMP, n, 0, fallback_label);
    // The body from the chosen label on: later labels are passed over.
    targets_.push_back(Target{true, depth_, final_label, -1});
    size_t next_start = 0;
    const SyntaxNode* c = n->sub;
    while (c && !failed_) {
        if (c->kind == SK_CASE) {
            step(c);
            if (next_start < starts.size() && starts[next_start].first == c) define(starts[next_start++].second);
            c = c->target->next;
            continue;
        }
        if (c->kind == SK_DEFAULT) {
            step(c);
            if (c == fallback) define(fallback_label);
            c = c->next;
            continue;
        }
        c = node(c);
    }
    targets_.pop_back();
    const SyntaxNode* last = last_of(n->sub);
    if (last) emit(OP_SETTLE, last);
    define(final_label);
    close_scope();
    emit(OP_SWITCH_END, n);
    pop(n);
    return n->next;
}

// Compiles one node (with the nodes it owns) and returns the next to compile.
const SyntaxNode* Compiler::node(const SyntaxNode* n) {
    switch (n->kind) {
        case SK_INT:
            step(n);
            emit(OP_PUSH_INT, n, 0, n->ival);
            push();
            break;
        case SK_REAL:
            step(n);
            emit(OP_PUSH_REAL, n);
            push();
            break;
        case SK_STRING:
            step(n);
            emit(OP_PUSH_STR, n);
            push();
            break;
        case SK_VAR:
        case SK_VARDECL: variable(n); break;
        case SK_CALLMARK:
            step(n);
            emit(OP_PUSH_MARK, n);
            markers_.push_back(sd_);
            push();
            break;
        case SK_CALL: call(n); break;
        case SK_INDEX: {
            step(n);
            if (!step_) consume_top(2);
            int at = -1;
            if (pop(n, 2)) {
                Insn* i = step_ ? nullptr : last(0);
                if (plain_var(i) && plain_var(last(1))) {
                    Insn* v = last(1);
                    *v = Insn{OP_INDEX_VV, 1, kNoSlot16, 0, 0, v->d, n};
                    insns_.pop_back();
                    at = int(insns_.size()) - 1;
                } else if (plain_var(i)) {
                    *i = Insn{OP_INDEX_V, 1, kNoSlot16, 0, 0, i->d, n};
                    at = int(insns_.size()) - 1;
                } else if (i && i->op == OP_PUSH_INT) {
                    *i = Insn{OP_INDEX_K, 1, kNoSlot16, i->b, 0, 0, n};
                    at = int(insns_.size()) - 1;
                } else {
                    at = emit(OP_INDEX, n, 1);
                }
            }
            push();
            if (at >= 0 && !step_) {
                pin_insn_[size_t(sd_ - 1)] = at;
                pin_unsafe_[size_t(sd_ - 1)] = unsafe_;
            }
            break;
        }
        case SK_KEY:
            step(n);
            if (pop(n, 2)) emit(OP_KEY, n);
            push();
            break;
        case SK_ASSIGN: {
            step(n);
            uint8_t flags = (n->flags & SF_IN_ARRAY) ? AF_IN_ARRAY : 0;
            if (n->next && n->next->kind == SK_END_SEMI) flags |= AF_MOVE;
            if (!n->next || n->next->kind == SK_END_LINE || n->next->kind == SK_BLOCK_CLOSE) flags |= AF_MOVE_LINE;
            // A statement `x = value` whose x is certainly there may find x
            // only when it stores (not directly in a walked scope: there the
            // pushed target shows if the run ends in the value).
            int target = -1;
            if (!step_ && sd_ - 2 == scope_base_.back() && sd_ >= 2 && scopes_[size_t(scope_)].depth >= 0) {
                int at = producer_[size_t(sd_ - 2)];
                if (at >= 0 && insns_[size_t(at)].op == OP_VAR && insns_[size_t(at)].a == 0 &&
                    !sites_[size_t(insns_[size_t(at)].d)].creates)
                    target = at;
            }
            // Should the value be dropped right after, neither reference is kept.
            assign_pins_.clear();
            for (int d = sd_ - 2; d < sd_ && !step_; ++d)
                if (d >= 0 && pin_insn_[size_t(d)] >= 0 && pin_unsafe_[size_t(d)] == unsafe_)
                    assign_pins_.push_back(pin_insn_[size_t(d)]);
            ++unsafe_;
            if (pop(n, 2)) emit(OP_ASSIGN, n, flags, 0, 0, target);
            push();
            break;
        }
        case SK_COMPOUND:
            step(n);
            ++unsafe_;
            if (pop(n, 2)) emit(OP_COMPOUND, n);
            push(3);
            break;
        case SK_AND:
        case SK_OR:
            step(n);
            if (!step_) consume_top(2);
            if (pop(n, 2)) emit(OP_ANDOR, n, uint8_t(n->kind));
            push();
            break;
        case SK_ANDTEST:
        case SK_ORTEST:
            step(n);
            emit(OP_SHORT, n, uint8_t(n->kind), label_of(n->target, true));
            ++conditional_;  // the right operand may not run
            joins_.push_back(n->target);
            break;
        case SK_LABEL_JOIN:
            if (!joins_.empty() && joins_.back() == n) {
                joins_.pop_back();
                --conditional_;
            }
            define(label_of(n, false));
            step(n);
            define(label_of(n, true));
            break;
        case SK_LABEL_ELSE:
        case SK_LABEL_IFEND:
        case SK_LABEL_LOOP:
        case SK_LABEL_LOOPEND:
            define(label_of(n, false));
            step(n);
            define(label_of(n, true));
            break;
        case SK_COMMA:
        case SK_DEFAULT:
        case SK_FUNCEND:
        case SK_CASE_END:
        case SK_BLOCK_CLOSE: step(n); break;
        case SK_END_LINE:
        case SK_END_SEMI: statement_end(n); break;
        case SK_ARRAY: {
            step(n);
            open_scope(false);
            emit(OP_ENTER, n, 0, scope_);
            sequence(n->sub);
            const SyntaxNode* last = last_of(n->sub);
            if (last) emit(OP_SETTLE, last);
            emit(OP_MAKE_ARRAY, n);
            close_scope();
            push();
            break;
        }
        case SK_BLOCK: {
            step(n);
            int parent = scope_;
            int base = sd_;
            open_scope(false);
            int enter = emit(OP_ENTER, n, 0, scope_);
            sequence(n->sub);
            const SyntaxNode* last = last_of(n->sub);
            // A block that can never hold a variable needs no scope of its
            // own, unless its statement ends would clear values its parent
            // keeps (line mode).
            bool keeps = scopes_[size_t(parent)].depth < 0 && line_mode_;
            if (!step_ && !keeps && scopes_[size_t(scope_)].names.empty()) {
                if (enter >= 0) insns_[size_t(enter)].op = OP_NOP;
                if (sd_ != base || may_pend_) emit(OP_LEAVE_EMPTY, last ? last : n);
                if (scopes_[size_t(parent)].depth < 0 && enter >= 0) {
                    flat_.push_back(enter);
                    flat_.push_back(int32_t(insns_.size()));
                }
            } else {
                emit(OP_LEAVE, last ? last : n);
            }
            may_pend_ = false;
            close_scope();
            break;
        }
        case SK_IFTEST: {
            step(n);
            const SyntaxNode* jump = n->next;
            if (pop(n)) test(n, label_of(jump->target, false));
            return jump->next;
        }
        case SK_JUMP: {
            if (!loop_steps_.empty() && loop_steps_.back() == n) {
                loop_steps_.pop_back();
                --conditional_;
            }
            step(n);
            if (n->next && n->next->kind == SK_FUNCDEF) return n->target;  // over a function definition
            if (poll_ && n->target && n->target->kind == SK_LABEL_LOOP) poll(n);
            auto loop = loop_tests_.find(n->target);
            if (loop != loop_tests_.end()) {
                Insn t = insns_[size_t(loop->second.first)];
                t.a |= kTestTrue;
                t.b = loop->second.second;
                if (!insns_.push_back(t)) failed_ = true;
                loop_tests_.erase(loop);
                break;
            }
            emit(OP_JUMP, n, 0, label_of(n->target, false));
            break;
        }
        case SK_WHILETEST: return while_test(n);
        case SK_DOBODY: {
            step(n);
            int body_end = new_label();
            targets_.push_back(Target{false, depth_, label_of(n->target, true), body_end});
            sequence(n->sub);
            targets_.pop_back();
            define(body_end);
            if (n->sub && (n->sub->next || n->sub->kind != SK_BLOCK)) emit(OP_SETTLE, last_of(n->sub));
            break;
        }
        case SK_SWITCH: return switch_statement(n);
        case SK_BREAK:
        case SK_CONTINUE: jump_out(n, n->kind == SK_BREAK); break;
        case SK_EXIT:
        case SK_RETURN:
            step(n);
            emit(OP_RETURN, n, uint8_t(n->kind == SK_EXIT ? -kWalkExit : -kWalkReturn),
                 (n->flags & SF_HAS_VALUE) ? 1 : 0);
            break;
        case SK_CASE:
            // Only met inside a switch body, which switch_statement compiles.
            step(n);
            return n->target->next;
        default:
            if (sk_unary(n->kind)) {
                step(n);
                if (!step_ && n->kind != SK_POSTINC && n->kind != SK_POSTDEC) consume_top(1);
                if (pop(n)) emit(OP_UN, n, uint8_t(n->kind));
                if (n->kind == SK_POSTINC || n->kind == SK_POSTDEC) may_pend_ = true;
                push();
            } else if (sk_binary(n->kind)) {
                binary(n);
            } else {
                step(n);  // nothing to do at run time
            }
    }
    return n->next;
}

void Compiler::sequence(const SyntaxNode* n, const SyntaxNode* stop) {
    if (n && too_deep(n)) return;
    ++seq_depth_;
    while (n && n != stop && !failed_) {
        if (seq_depth_ == 1) root_stmt_ = n;
        n = node(n);
    }
    --seq_depth_;
}

// Binding the parameters: each takes its argument, or its default, which
// runs in the function's scope once the parameter exists.
void Compiler::parameters(const SyntaxNode* def) {
    int index = 0;
    for (const SyntaxNode* p = def->sub; p && !failed_; p = p->next, ++index) {
        // A repeated name (or one a default made) finds its slot taken at
        // run time: "Duplicate variable declaration".
        add_name(0, p->text, p->ival);
        int slot = scopes_[0].slot_of[Name(p->text)];
        int32_t flags = ((p->flags & SF_BYREF) ? PF_BYREF : 0) | (p->sub ? PF_DEFAULT : 0);
        if (!step_ && !flags && slot == index && index < kNoSlot16) {
            // Plain parameters in a row bind in one instruction.
            Insn* prev = last(0);
            if (prev && prev->op == OP_PARAMS && prev->x + prev->b == index) {
                ++prev->b;
            } else {
                int at = emit(OP_PARAMS, p, 0, 1);
                if (at >= 0) insns_[size_t(at)].x = uint16_t(index);
            }
            scopes_[0].certain.insert(Name(p->text));
            continue;
        }
        int after = new_label();
        int at = emit(OP_PARAM, p, 0, after, slot, flags);
        if (at >= 0) insns_[size_t(at)].x = uint16_t(index);
        if (p->sub) {
            ++conditional_;
            ++seq_depth_;
            sequence(p->sub);
            --seq_depth_;
            --conditional_;
            const SyntaxNode* last = last_of(p->sub);
            if (last) emit(OP_SETTLE, last);
            emit(OP_DEFAULT_SET, p, 0, 0, slot);
            sd_ = scope_base_.back();
        }
        define(after);
        // From here on the parameter is certainly there.
        scopes_[0].certain.insert(Name(p->text));
    }
}

Code* Compiler::top(const SyntaxNode* seq) {
    StaticScope root;
    root.parent = -1;
    root.depth = external_ ? -1 : 0;
    depth_ = root.depth;
    max_depth_ = depth_;
    scopes_.push_back(std::move(root));
    scope_base_.push_back(0);
    insns_.reserve(estimate_insns(seq, step_));
    sequence(seq);
    const SyntaxNode* last = last_of(seq);
    emit(OP_HALT, last ? last : seq);
    return finish(seq);
}

Code* Compiler::function(const SyntaxNode* def) {
    StaticScope root;
    root.parent = -1;
    root.depth = 0;
    scopes_.push_back(std::move(root));
    scope_base_.push_back(0);
    insns_.reserve(estimate_insns(def->sub, step_) + estimate_insns(def->target ? def->target->sub : nullptr, step_));
    parameters(def);
    const SyntaxNode* body = def->target ? def->target->sub : nullptr;
    sequence(body);
    const SyntaxNode* last = last_of(body);
    emit(OP_HALT, last ? last : def);
    return finish(def);
}

// Lays out the slots, resolves the references and the labels, and copies
// everything into one allocation.
Code* Compiler::finish(const SyntaxNode* head) {
    if (failed_) return nullptr;
    // Slots: a scope's follow its parent's; sibling scopes share theirs,
    // since they never live at the same time.
    int frame_slots = 0;
    for (size_t i = 0; i < scopes_.size(); ++i) {
        StaticScope& s = scopes_[i];
        if (s.parent < 0) {
            s.first_slot = 0;
        } else {
            const StaticScope& p = scopes_[size_t(s.parent)];
            s.first_slot = p.first_slot + int(p.names.size());
        }
        if (s.first_slot + int(s.names.size()) > frame_slots) frame_slots = s.first_slot + int(s.names.size());
    }
    auto encode = [&](int scope, int index) -> int32_t { return int32_t(scopes_[size_t(scope)].first_slot + index); };

    // One block: code, layouts (with names, hashes, the walked scope's name
    // table), sites, candidates, call sites, ranges, texts; the instructions
    // stay where they were made.
    size_t cand_total = 0;
    for (const Site& st : sites_) {
        Name name(st.node->text);
        for (int k = st.scope; k >= 0; k = scopes_[size_t(k)].parent)
            cand_total += scopes_[size_t(k)].slot_of.count(name);
    }
    size_t names_total = 0;
    for (const StaticScope& st : scopes_) names_total += st.names.size();
    const StaticScope& root = scopes_[0];
    size_t table_size = 0;
    if (root.depth < 0) {
        table_size = 8;
        while (table_size < root.names.size() * 2) table_size *= 2;
    }
    auto align = [](size_t n) { return (n + 15) & ~size_t(15); };
    size_t off_layouts = align(sizeof(Code));
    size_t off_names = off_layouts + align(scopes_.size() * sizeof(ScopeLayout));
    size_t off_hashes = off_names + align(names_total * sizeof(const char16_t*));
    size_t off_table = off_hashes + align(names_total * sizeof(int32_t));
    size_t off_sites = off_table + align(table_size * sizeof(int32_t));
    size_t off_cands = off_sites + align(sites_.size() * sizeof(VarSite));
    size_t off_calls = off_cands + align(cand_total * sizeof(int32_t));
    size_t off_flat = off_calls + align(calls_.size() * sizeof(CallSite));
    size_t off_texts = off_flat + align(flat_.size() * sizeof(int32_t));
    size_t off_polls = off_texts + align(texts_.size() * sizeof(const char16_t*));
    size_t total = off_polls + align(poll_scopes_.size() * sizeof(int32_t));
    char* block = static_cast<char*>(zv::heap_alloc(total));
    if (!block) {
        error = kErrAlloc;
        where = head;
        return nullptr;
    }
    Code* code = reinterpret_cast<Code*>(block);
    VarSite* sites = reinterpret_cast<VarSite*>(block + off_sites);
    int32_t* cands = reinterpret_cast<int32_t*>(block + off_cands);
    size_t cand_count = 0;
    for (size_t i = 0; i < sites_.size(); ++i) {
        const Site& st = sites_[i];
        VarSite& vs = sites[i];
        vs.node = st.node;
        vs.create = kNoSlot;
        vs.first_cand = int32_t(cand_count);
        Name name(st.node->text);
        for (int k = st.scope; k >= 0; k = scopes_[size_t(k)].parent) {
            auto it = scopes_[size_t(k)].slot_of.find(name);
            if (it == scopes_[size_t(k)].slot_of.end()) continue;
            int32_t slot = encode(k, it->second);
            if (k == st.scope && st.creates) vs.create = slot;
            cands[cand_count++] = slot;
        }
        vs.cand_count = int32_t(cand_count) - vs.first_cand;
        vs.slot0 = vs.cand_count ? cands[vs.first_cand] : kNoSlot;
    }
    size_t sites_count = sites_.size();
    std::vector<Site>().swap(sites_);
    for (StaticScope& st : scopes_) {
        std::unordered_map<Name, int>().swap(st.slot_of);
        std::unordered_set<Name>().swap(st.certain);
    }
    auto slot16 = [](int32_t slot) { return slot >= 0 && slot < kNoSlot16 ? uint16_t(slot) : kNoSlot16; };
    for (Insn& in : insns_) {
        switch (in.op) {
            case OP_VAR: in.c = sites[size_t(in.d)].slot0; break;
            case OP_STORE_STMT:
            case OP_INCR_STMT:
            case OP_BIN_V:
            case OP_INDEX_V:
            case OP_BIN_VK:
            case OP_TEST_VK: in.x = slot16(sites[size_t(in.d)].slot0); break;
            case OP_BIN_VV:
            case OP_INDEX_VV:
            case OP_TEST_VV:
                in.x = slot16(sites[size_t(in.d)].slot0);
                in.c = sites[size_t(in.d) + 1].slot0;
                break;
            default: break;
        }
    }

    // Drop the no-ops; labels move with the instructions after them.
    std::vector<int32_t> moved(insns_.size() + 1);
    size_t kept = 0;
    for (size_t i = 0; i < insns_.size(); ++i) {
        moved[i] = int32_t(kept);
        if (insns_[i].op != OP_NOP) insns_[kept++] = insns_[i];
    }
    moved[insns_.size()] = int32_t(kept);
    insns_.resize(kept);
    for (int& pos : labels_)
        if (pos >= 0) pos = moved[size_t(pos)];
    // Nested ranges lie inside the outermost: only those count.
    std::vector<int32_t> flat;
    for (size_t i = 0; i < flat_.size(); i += 2) {
        int32_t from = moved[size_t(flat_[i])], to = moved[size_t(flat_[i + 1])];
        while (!flat.empty() && flat[flat.size() - 2] >= from) flat.resize(flat.size() - 2);
        flat.push_back(from);
        flat.push_back(to);
    }
    for (Insn& in : insns_) {
        switch (in.op) {
            case OP_JUMP:
            case OP_SHORT:
            case OP_TEST:
            case OP_TEST_K:
            case OP_TEST_VK:
            case OP_TEST_VV:
            case OP_CASE:
            case OP_UNWIND:
            case OP_PARAM: {
                int pos = labels_[size_t(in.b)];
                in.b = pos >= 0 ? pos : int32_t(insns_.size()) - 1;  // (never: every label is placed)
                break;
            }
            default: break;
        }
    }

    // What only the compiling needed goes.
    std::unordered_map<const SyntaxNode*, std::pair<int, int>>().swap(node_labels_);
    std::vector<int>().swap(labels_);
    std::vector<int32_t>().swap(moved);

    code->block = block;
    code->head = head;
    code->external = external_;
    code->line_mode = line_mode_;
    code->insn_count = int32_t(insns_.size());
    code->insns = insns_.release();
    code->layouts = reinterpret_cast<ScopeLayout*>(block + off_layouts);
    code->layout_count = int32_t(scopes_.size());
    const char16_t** names = reinterpret_cast<const char16_t**>(block + off_names);
    int32_t* hashes = reinterpret_cast<int32_t*>(block + off_hashes);
    for (size_t i = 0; i < scopes_.size(); ++i) {
        const StaticScope& s = scopes_[i];
        ScopeLayout& l = code->layouts[i];
        l.depth = s.depth;
        l.first_slot = s.first_slot;
        l.count = int32_t(s.names.size());
        l.names = names;
        l.hashes = hashes;
        l.table = nullptr;
        l.table_mask = 0;
        for (size_t k = 0; k < s.names.size(); ++k) {
            *names++ = s.names[k];
            *hashes++ = s.hashes[k];
        }
    }
    if (table_size) {
        int32_t* table = reinterpret_cast<int32_t*>(block + off_table);
        for (size_t i = 0; i < table_size; ++i) table[i] = -1;
        ScopeLayout& l = code->layouts[0];
        for (int32_t k = 0; k < l.count; ++k) {
            size_t at = size_t(uint32_t(l.hashes[k])) & (table_size - 1);
            while (table[at] >= 0) at = (at + 1) & (table_size - 1);
            table[at] = k;
        }
        l.table = table;
        l.table_mask = int32_t(table_size - 1);
    }
    code->sites = sites;
    code->site_count = int32_t(sites_count);
    code->cands = cands;
    code->calls = reinterpret_cast<CallSite*>(block + off_calls);
    code->call_count = int32_t(calls_.size());
    for (size_t i = 0; i < calls_.size(); ++i) memset(&code->calls[i], 0, sizeof(CallSite));
    int32_t* flat_out = reinterpret_cast<int32_t*>(block + off_flat);
    if (!flat.empty()) memcpy(flat_out, flat.data(), flat.size() * sizeof(int32_t));
    code->flat = flat_out;
    const char16_t** texts = reinterpret_cast<const char16_t**>(block + off_texts);
    if (!texts_.empty()) memcpy(texts, texts_.data(), texts_.size() * sizeof(const char16_t*));
    code->texts = texts;
    int32_t* polls = reinterpret_cast<int32_t*>(block + off_polls);
    if (!poll_scopes_.empty()) memcpy(polls, poll_scopes_.data(), poll_scopes_.size() * sizeof(int32_t));
    code->poll_scopes = polls;
    code->polled = poll_;
    code->flat_count = int32_t(flat.size() / 2);
    code->frame_slots = frame_slots;
    code->frame_scopes = max_depth_ + 1;
    code->max_stack = max_sd_ + 4;
    return code;
}

}  // namespace

int32_t layout_find(const ScopeLayout* l, const char16_t* name, int32_t hash) {
    if (l->table) {
        for (size_t at = size_t(uint32_t(hash)) & size_t(l->table_mask);; at = (at + 1) & size_t(l->table_mask)) {
            int32_t k = l->table[at];
            if (k < 0) return -1;
            if (l->hashes[k] == hash && zv::text_equal(l->names[k], name)) return k;
        }
    }
    for (int32_t k = 0; k < l->count; ++k)
        if (l->hashes[k] == hash && zv::text_equal(l->names[k], name)) return k;
    return -1;
}

Code* compile_top(const SyntaxNode* seq, int form, bool line_mode, int* error, const SyntaxNode** where) {
    Compiler c(form, true, line_mode);
    Code* code = c.top(seq);
    if (!code) {
        *error = c.error;
        *where = c.where ? c.where : seq;
    }
    return code;
}

Code* compile_function(const SyntaxNode* def, int form, int* error, const SyntaxNode** where) {
    Compiler c(form, false, false);
    Code* code = c.function(def);
    if (!code) {
        *error = c.error;
        *where = c.where ? c.where : def;
    }
    return code;
}

void code_free(Code* code) {
    if (!code) return;
    zv::heap_free(code->insns);
    zv::heap_free(code->block);
}

}  // namespace ksc
