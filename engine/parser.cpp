#include "parser.h"

#include <cstring>
#include <new>

#include "code.h"

#include "error.h"
#include "eval.h"
#include "lexer.h"
#include "platform.h"

namespace ksc {

// Parsing stops with "Nesting too deep" when less native stack than this is
// left; real scripts never come near it.
constexpr size_t kStackReserve = 256 * 1024;

// The nodes and texts of one parsed text live in chunks freed together with
// the text's sequence: no allocation of their own, no heap overhead.
struct SyntaxArena {
    SyntaxArena* next;
    size_t used;
    size_t size;
};

static const size_t kArenaHead = (sizeof(SyntaxArena) + 15) & ~size_t(15);

static void* arena_alloc(SyntaxArena** arena, size_t bytes) {
    bytes = (bytes + 7) & ~size_t(7);
    SyntaxArena* a = *arena;
    if (!a || a->used + bytes > a->size) {
        // Chunks grow with the text: a one-line script takes one small page.
        size_t size = a ? (a->size < 64 * 1024 ? a->size * 2 : a->size) : 2 * 1024;
        if (size < bytes) size = bytes;
        SyntaxArena* c = static_cast<SyntaxArena*>(zv::heap_alloc_raw(kArenaHead + size));
        if (!c) return nullptr;
        c->next = a;
        c->used = 0;
        c->size = size;
        *arena = a = c;
    }
    char* p = reinterpret_cast<char*>(a) + kArenaHead + a->used;
    a->used += bytes;
    return p;
}

static void arena_free(SyntaxArena* a) {
    while (a) {
        SyntaxArena* next = a->next;
        zv::heap_free(a);
        a = next;
    }
}

// Frees what the nodes own besides their memory (compiled code); the head
// of a parsed text frees the memory of all of them.
void syntax_free(SyntaxNode* seq) {
    SyntaxArena* arena = seq && seq->code ? seq->code->arena : nullptr;
    for (SyntaxNode* n = seq; n; n = n->next) {
        if (n->code) {
            for (Code* c : n->code->form) code_free(c);
            zv::heap_free(n->code);
            n->code = nullptr;
            resolution_changed();  // call sites may remember this function
        }
        syntax_free(n->sub);
    }
    arena_free(arena);
}

static int hex_digit(char16_t c) {
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    if (c >= u'A' && c <= u'F') return c - u'A' + 10;
    return -1;
}

// Resolves the escapes of a string literal's body (n units) into the arena.
static char16_t* unescape(SyntaxArena** arena, const char16_t* s, size_t n) {
    char16_t* out = static_cast<char16_t*>(arena_alloc(arena, (n + 1) * sizeof(char16_t)));
    if (!out) return nullptr;
    size_t o = 0;
    for (size_t i = 0; i < n;) {
        char16_t c = s[i++];
        if (c != u'\\' || i >= n) {
            out[o++] = c;
            continue;
        }
        char16_t e = s[i];
        switch (e) {
            case u'"': case u'\'': case u'\\': out[o++] = e; ++i; continue;
            case u'b': out[o++] = u'\b'; ++i; continue;
            case u'n': out[o++] = u'\n'; ++i; continue;
            case u'r': out[o++] = u'\r'; ++i; continue;
            case u't': out[o++] = u'\t'; ++i; continue;
            case u'x': {
                ++i;
                uint32_t v = 0;
                for (int k = 0; k < 4 && i < n && hex_digit(s[i]) >= 0; ++k) v = v * 16 + uint32_t(hex_digit(s[i++]));
                out[o++] = char16_t(v);
                continue;
            }
            default:
                if (e >= u'0' && e <= u'7') {
                    uint32_t v = 0;
                    for (int k = 0; k < 6 && i < n && s[i] >= u'0' && s[i] <= u'7'; ++k) v = v * 8 + uint32_t(s[i++] - u'0');
                    out[o++] = char16_t(v);
                    continue;
                }
                out[o++] = u'\\';  // unknown escape: the backslash stays
        }
    }
    out[o] = 0;
    return out;
}

namespace {

struct Builder {
    SyntaxNode* head = nullptr;
    SyntaxNode* tail = nullptr;
};

struct Parser {
    LexState ls;
    Scope* scope;
    ScriptUnit* unit;
    DirectiveHook hook;
    Builder* out;
    bool failed = false;
    int32_t array_flag = 0;    // SF_IN_ARRAY while parsing an array literal's elements
    bool switch_body = false;  // case/default allowed here
    bool editor = false;       // the root unit's editor mode

    int32_t tok() const { return ls.token; }
    bool next() { return lex_next(&ls) != T_ERROR || !(failed = true); }

    bool error(int code) {
        if (!failed && ls.token != T_ERROR) report_error(scope, code, ls.start);
        failed = true;
        return false;
    }

    SyntaxArena* arena = nullptr;

    SyntaxNode* emit(int32_t kind, int32_t line) {
        SyntaxNode* n = static_cast<SyntaxNode*>(arena_alloc(&arena, sizeof(SyntaxNode)));
        if (!n) {
            error(kErrAlloc);
            return nullptr;
        }
        memset(n, 0, sizeof *n);
        n->kind = kind;
        n->pos = ls.start;
        n->line = line;
        if (out->tail)
            out->tail->next = n;
        else
            out->head = n;
        out->tail = n;
        return n;
    }
    // A node made while a line feed is the current token ends the line
    // before it (the lexer has counted the feed already), as the step
    // callback must see it.
    SyntaxNode* emit(int32_t kind) { return emit(kind, tok() == T_LF ? ls.line - 1 : ls.line); }
    SyntaxNode* emit_synthetic(int32_t kind) { return emit(kind, -1); }

    bool deep_enough() {
        if (zv::stack_remaining() >= kStackReserve) return false;
        error(kErrTooDeep);
        return true;
    }

    bool expect(int32_t t) { return tok() == t || error(kErrSyntax); }

    // Name of the current T_NAME/T_CALLNAME token, lower-cased, on n. A
    // variable's name (keep_written) in editor mode keeps its written form
    // after the terminator when that differs (SF_WRITTEN).
    bool take_name(SyntaxNode* n, const char16_t* s, const char16_t* e, bool keep_written = false) {
        size_t len = size_t(e - s);
        bool differs = false;
        if (keep_written && editor)
            for (size_t i = 0; i < len && !differs; ++i) differs = s[i] >= u'A' && s[i] <= u'Z';
        size_t units = differs ? 2 * (len + 1) : len + 1;
        char16_t* t = static_cast<char16_t*>(arena_alloc(&arena, units * sizeof(char16_t)));
        if (!t) return error(kErrAlloc);
        for (size_t i = 0; i < len; ++i) t[i] = s[i] >= u'A' && s[i] <= u'Z' ? char16_t(s[i] + 32) : s[i];
        t[len] = 0;
        if (differs) {
            memcpy(t + len + 1, s, len * sizeof(char16_t));
            t[2 * len + 1] = 0;
            n->flags |= SF_WRITTEN;
        }
        n->text = t;
        n->ival = name_hash(t);
        return true;
    }

    // In editor mode the closing brace of a block is a node of its own, on
    // the brace's line, so that stepping pauses there too.
    bool close_block() { return !editor || tok() != T_RBRACE || emit(SK_BLOCK_CLOSE); }

    // ---- expressions ----------------------------------------------------
    bool parse_list();
    bool parse_assign();
    bool parse_compound();
    bool parse_key();
    bool parse_or();
    bool parse_and();
    bool parse_binary(int level);
    bool parse_unary();
    bool parse_primary();
    bool parse_call();
    bool parse_array_literal();
    bool parse_string_literal(SyntaxNode* n);

    // ---- statements -----------------------------------------------------
    bool parse_statements(bool until_brace);
    bool parse_statement();
    bool end_statement();
    bool parse_block_into(SyntaxNode* holder);
    bool parse_block_statement();
    bool parse_condition();
    bool parse_var_list();
    bool parse_if();
    bool parse_while();
    bool parse_do();
    bool parse_for();
    bool parse_switch();
    bool parse_function();
    bool parse_exit(int32_t kind);
    bool parse_directive();
};

static bool is_terminator(int32_t t) {
    return t == T_RPAREN || t == T_RBRACE || t == T_RBRACKET || t == T_LF || t == T_SEMI || t == T_EOF;
}

// Comma list; an empty element between two commas stands for integer 0.
bool Parser::parse_list() {
    bool seen_comma = false;
    for (;;) {
        bool empty = is_terminator(tok()) || tok() == T_COMMA;
        if (!empty && !parse_assign()) return false;
        if (tok() != T_COMMA) return true;
        if (empty && seen_comma) {
            SyntaxNode* zero = emit(SK_INT);
            if (!zero) return false;
        }
        if (!emit(SK_COMMA) || !next()) return false;
        seen_comma = true;
    }
}

bool Parser::parse_assign() {
    if (!parse_compound()) return false;
    if (tok() != T_ASSIGN) return true;
    const char16_t* at = ls.start;
    int32_t line = ls.line;
    if (!next() || !parse_assign()) return false;
    SyntaxNode* n = emit(SK_ASSIGN, line);
    if (!n) return false;
    n->pos = at;
    n->flags = array_flag;
    return true;
}

static int32_t syntax_of(int32_t t) {
    switch (t) {
        case T_MUL: return SK_MUL;
        case T_DIV: return SK_DIV;
        case T_MOD: return SK_MOD;
        case T_ADD: return SK_ADD;
        case T_SUB: return SK_SUB;
        case T_SHL: return SK_SHL;
        case T_SHR: return SK_SHR;
        case T_SHL3: return SK_SHL3;
        case T_SHR3: return SK_SHR3;
        case T_LT: return SK_LT;
        case T_LE: return SK_LE;
        case T_GT: return SK_GT;
        case T_GE: return SK_GE;
        case T_EQ: return SK_EQ;
        case T_NE: return SK_NE;
        case T_BITAND: return SK_BITAND;
        case T_BITXOR: return SK_BITXOR;
        case T_BITOR: return SK_BITOR;
        default: return -1;
    }
}

bool Parser::parse_compound() {
    if (!parse_key()) return false;
    while (tok() == T_COMPOUND) {
        int32_t op = syntax_of(ls.compound_op);
        const char16_t* at = ls.start;
        int32_t line = ls.line;
        if (!next() || !parse_key()) return false;
        SyntaxNode* c = emit(SK_COMPOUND, line);
        SyntaxNode* o = c ? emit(op, line) : nullptr;
        SyntaxNode* a = o ? emit(SK_ASSIGN, line) : nullptr;
        if (!a) return false;
        c->pos = o->pos = a->pos = at;
        a->flags = array_flag;
    }
    return true;
}

bool Parser::parse_key() {
    if (!parse_or()) return false;
    while (tok() == T_COLON) {
        if (!next() || !parse_or()) return false;
        if (!emit(SK_KEY)) return false;
    }
    return true;
}

bool Parser::parse_or() {
    if (!parse_and()) return false;
    while (tok() == T_OR) {
        SyntaxNode* test = emit(SK_ORTEST);
        if (!test || !next() || !parse_and()) return false;
        if (!emit(SK_OR)) return false;
        SyntaxNode* join = emit_synthetic(SK_LABEL_JOIN);
        if (!join) return false;
        test->target = join;
    }
    return true;
}

bool Parser::parse_and() {
    if (!parse_binary(10)) return false;
    while (tok() == T_AND) {
        SyntaxNode* test = emit(SK_ANDTEST);
        if (!test || !next() || !parse_binary(10)) return false;
        if (!emit(SK_AND)) return false;
        SyntaxNode* join = emit_synthetic(SK_LABEL_JOIN);
        if (!join) return false;
        test->target = join;
    }
    return true;
}

// Binary levels 10 (|) down to 3 (* / %), all left-associative.
static bool at_level(int level, int32_t t) {
    switch (level) {
        case 10: return t == T_BITOR;
        case 9: return t == T_BITXOR;
        case 8: return t == T_BITAND;
        case 7: return t == T_EQ || t == T_NE;
        case 6: return t == T_LT || t == T_LE || t == T_GT || t == T_GE;
        case 5: return t == T_SHL || t == T_SHR || t == T_SHL3 || t == T_SHR3;
        case 4: return t == T_ADD || t == T_SUB;
        default: return t == T_MUL || t == T_DIV || t == T_MOD;
    }
}

bool Parser::parse_binary(int level) {
    if (level < 3) return parse_unary();
    if (!parse_binary(level - 1)) return false;
    while (at_level(level, tok())) {
        int32_t op = syntax_of(tok());
        const char16_t* at = ls.start;
        int32_t line = ls.line;
        if (!next() || !parse_binary(level - 1)) return false;
        SyntaxNode* n = emit(op, line);
        if (!n) return false;
        n->pos = at;
    }
    return true;
}

bool Parser::parse_unary() {
    if (deep_enough()) return false;
    // Prefix operators apply right to left: collect them, emit after the operand.
    int32_t ops[64];
    const char16_t* where[64];
    int count = 0;
    for (;;) {
        int32_t k;
        switch (tok()) {
            case T_NOT: k = SK_NOT; break;
            case T_UPLUS: k = SK_PLUS; break;
            case T_UMINUS: k = SK_NEG; break;
            case T_BITNOT: k = SK_BITNOT; break;
            case T_PREINC: k = SK_PREINC; break;
            case T_PREDEC: k = SK_PREDEC; break;
            default: k = -1;
        }
        if (k < 0) break;
        if (count == 64) {
            // A long prefix run: parse the rest as a nested unary operand.
            if (!parse_unary()) return false;
            goto emit_prefixes;
        }
        ops[count] = k;
        where[count++] = ls.start;
        if (!next()) return false;
    }
    if (!parse_primary()) return false;
    while (tok() == T_POSTINC || tok() == T_POSTDEC) {
        if (!emit(tok() == T_POSTINC ? SK_POSTINC : SK_POSTDEC) || !next()) return false;
    }
emit_prefixes:
    while (count > 0) {
        --count;
        SyntaxNode* n = emit(ops[count]);
        if (!n) return false;
        n->pos = where[count];
    }
    return true;
}

// A string literal's body with its escapes resolved once, here.
bool Parser::parse_string_literal(SyntaxNode* n) {
    n->text = unescape(&arena, ls.text_start, size_t(ls.text_end - ls.text_start));
    return n->text || error(kErrAlloc);
}

bool Parser::parse_primary() {
    SyntaxNode* n;
    switch (tok()) {
        case T_INT:
            if (!(n = emit(SK_INT))) return false;
            n->ival = ls.ival;
            if (!next()) return false;
            break;
        case T_REAL:
            if (!(n = emit(SK_REAL))) return false;
            n->rval = ls.rval;
            if (!next()) return false;
            break;
        case T_STRING:
            if (!(n = emit(SK_STRING)) || !parse_string_literal(n) || !next()) return false;
            break;
        case T_NAME:
            if (*ls.text_start == u'&') return error(kErrSyntax);
            if (!(n = emit(SK_VAR)) || !take_name(n, ls.text_start, ls.text_end, true)) return false;
            n->flags |= array_flag;
            if (!next()) return false;
            break;
        case T_CALLNAME:
            if (!parse_call()) return false;
            break;
        case T_LPAREN: {
            int32_t saved = array_flag;
            if (!next() || !parse_key()) return false;
            array_flag = saved;
            if (!expect(T_RPAREN) || !next()) return false;
            break;
        }
        case T_LBRACE:
            if (!parse_array_literal()) return false;
            break;
        default:
            return error(kErrSyntax);
    }
    while (tok() == T_LBRACKET) {
        const char16_t* at = ls.start;
        int32_t saved = array_flag;
        array_flag = 0;
        if (!next() || !parse_or()) return false;
        array_flag = saved;
        if (!expect(T_RBRACKET)) return false;
        if (!(n = emit(SK_INDEX))) return false;
        n->pos = at;
        if (!next()) return false;
    }
    return true;
}

bool Parser::parse_call() {
    const char16_t* s = ls.text_start;
    const char16_t* e = ls.text_end;
    const char16_t* at = ls.start;
    int32_t line = ls.line;
    if (!emit(SK_CALLMARK) || !next() || !expect(T_LPAREN) || !next()) return false;
    int32_t saved = array_flag;
    array_flag = 0;
    if (!parse_list()) return false;
    array_flag = saved;
    if (!expect(T_RPAREN)) return false;
    SyntaxNode* call = emit(SK_CALL, line);
    if (!call || !take_name(call, s, e)) return false;
    call->pos = at;
    return next();
}

bool Parser::parse_array_literal() {
    SyntaxNode* arr = emit(SK_ARRAY);
    if (!arr || !next()) return false;
    Builder inner;
    Builder* saved_out = out;
    int32_t saved_flag = array_flag;
    out = &inner;
    array_flag = SF_IN_ARRAY;
    bool ok = parse_list();
    out = saved_out;
    array_flag = saved_flag;
    arr->sub = inner.head;
    if (!ok) return false;
    return expect(T_RBRACE) && next();
}

// ---- statements ---------------------------------------------------------

bool Parser::end_statement() {
    switch (tok()) {
        case T_LF: {
            SyntaxNode* n = emit(SK_END_LINE, ls.line - 1);
            return n && next();
        }
        case T_SEMI: return emit(SK_END_SEMI) && next();
        case T_RBRACE:
        case T_EOF: return true;
        default: return error(kErrSyntax);
    }
}

// Parses `{ statements }` into holder->sub; afterwards an operand is expected
// again, so `else` or `{` may follow on a later line.
bool Parser::parse_block_into(SyntaxNode* holder) {
    if (tok() != T_LBRACE) return error(kErrBlockExpected);
    if (!next()) return false;
    Builder inner;
    Builder* saved = out;
    bool saved_switch = switch_body;
    int32_t saved_flag = array_flag;
    out = &inner;
    switch_body = false;
    array_flag = 0;
    bool ok = parse_statements(true) && close_block();
    out = saved;
    switch_body = saved_switch;
    array_flag = saved_flag;
    holder->sub = inner.head;
    if (!ok || !expect(T_RBRACE)) return false;
    ls.expect_operand = true;
    return next();
}

bool Parser::parse_block_statement() {
    SyntaxNode* b = emit(SK_BLOCK);
    return b && parse_block_into(b);
}

// `( condition )` at the key-separator level, without assignment.
bool Parser::parse_condition() {
    if (!next() || !expect(T_LPAREN) || !next()) return false;
    if (!parse_key() || !expect(T_RPAREN)) return false;
    ls.expect_operand = true;
    return next();
}

bool Parser::parse_var_list() {
    if (!next()) return false;
    for (;;) {
        if (tok() != T_NAME || *ls.text_start == u'&') return error(kErrSyntax);
        SyntaxNode* n = emit(SK_VARDECL);
        if (!n || !take_name(n, ls.text_start, ls.text_end, true)) return false;
        n->flags |= array_flag;
        if (!next()) return false;
        if (tok() == T_ASSIGN) {
            const char16_t* at = ls.start;
            if (!next() || !parse_assign()) return false;
            SyntaxNode* a = emit(SK_ASSIGN);
            if (!a) return false;
            a->pos = at;
            a->flags = array_flag;
        }
        if (tok() != T_COMMA) return true;
        if (!emit(SK_COMMA) || !next()) return false;
    }
}

bool Parser::parse_if() {
    if (!parse_condition()) return false;
    SyntaxNode* test = emit(SK_IFTEST);
    SyntaxNode* to_else = test ? emit_synthetic(SK_JUMP) : nullptr;
    if (!to_else || !parse_block_statement()) return false;
    SyntaxNode* to_end = emit_synthetic(SK_JUMP);
    SyntaxNode* else_label = to_end ? emit_synthetic(SK_LABEL_ELSE) : nullptr;
    if (!else_label) return false;
    to_else->target = else_label;
    if (tok() == T_KEYWORD && ls.keyword == KW_ELSE) {
        if (!next()) return false;
        if (ls.ksc5 && tok() == T_KEYWORD && ls.keyword == KW_IF) {
            if (!parse_if()) return false;
        } else if (!parse_block_statement()) {
            return false;
        }
    }
    SyntaxNode* end = emit_synthetic(SK_LABEL_IFEND);
    if (!end) return false;
    to_end->target = end;
    return true;
}

bool Parser::parse_while() {
    SyntaxNode* start = emit_synthetic(SK_LABEL_LOOP);
    if (!start || !parse_condition()) return false;
    SyntaxNode* test = emit(SK_WHILETEST);
    if (!test) return false;
    test->flags = SF_HAS_VALUE;
    Builder body;
    Builder* saved = out;
    out = &body;
    bool ok = parse_block_statement();
    out = saved;
    test->sub = body.head;
    if (!ok) return false;
    SyntaxNode* to_end = emit_synthetic(SK_JUMP);
    SyntaxNode* back = to_end ? emit_synthetic(SK_JUMP) : nullptr;
    SyntaxNode* end = back ? emit_synthetic(SK_LABEL_LOOPEND) : nullptr;
    if (!end) return false;
    back->target = start;
    to_end->target = end;
    return true;
}

bool Parser::parse_do() {
    SyntaxNode* start = emit_synthetic(SK_LABEL_LOOP);
    SyntaxNode* body = start ? emit(SK_DOBODY) : nullptr;
    if (!body || !next()) return false;
    Builder inner;
    Builder* saved = out;
    out = &inner;
    bool ok = parse_block_statement();
    out = saved;
    body->sub = inner.head;
    if (!ok || !emit_synthetic(SK_LABEL_JOIN)) return false;
    if (tok() != T_KEYWORD || ls.keyword != KW_WHILE) return error(kErrSyntax);
    if (!next() || !expect(T_LPAREN) || !next() || !parse_key() || !expect(T_RPAREN)) return false;
    // After `do {...} while (cond)` a line feed ends the statement.
    if (!next()) return false;
    SyntaxNode* test = emit(SK_IFTEST);
    SyntaxNode* to_end = test ? emit_synthetic(SK_JUMP) : nullptr;
    SyntaxNode* back = to_end ? emit_synthetic(SK_JUMP) : nullptr;
    SyntaxNode* end = back ? emit_synthetic(SK_LABEL_LOOPEND) : nullptr;
    if (!end) return false;
    back->target = start;
    to_end->target = end;
    body->target = end;
    return end_statement();
}

bool Parser::parse_for() {
    if (!next() || !expect(T_LPAREN) || !next()) return false;
    if (tok() == T_KEYWORD && ls.keyword == KW_VAR) {
        if (!parse_var_list()) return false;
    } else if (tok() != T_SEMI && !parse_list()) {
        return false;
    }
    if (!expect(T_SEMI) || !emit(SK_END_SEMI) || !next()) return false;
    SyntaxNode* start = emit_synthetic(SK_LABEL_LOOP);
    if (!start) return false;
    bool has_cond = tok() != T_SEMI;
    if (has_cond && !parse_key()) return false;
    if (!expect(T_SEMI) || !next()) return false;
    Builder step;
    Builder* saved = out;
    out = &step;
    bool ok = tok() == T_RPAREN || parse_list();
    out = saved;
    if (!ok || !expect(T_RPAREN)) {
        syntax_free(step.head);
        return false;
    }
    ls.expect_operand = true;
    SyntaxNode* test = next() ? emit(SK_WHILETEST) : nullptr;
    if (!test) {
        syntax_free(step.head);
        return false;
    }
    test->flags = has_cond ? SF_HAS_VALUE : 0;
    Builder body;
    out = &body;
    ok = parse_block_statement();
    out = saved;
    test->sub = body.head;
    SyntaxNode* to_end = ok ? emit_synthetic(SK_JUMP) : nullptr;
    if (!to_end) {
        syntax_free(step.head);
        return false;
    }
    if (step.head) {
        out->tail->next = step.head;
        out->tail = step.tail;
    }
    SyntaxNode* semi = emit_synthetic(SK_END_SEMI);
    SyntaxNode* back = semi ? emit_synthetic(SK_JUMP) : nullptr;
    SyntaxNode* end = back ? emit_synthetic(SK_LABEL_LOOPEND) : nullptr;
    if (!end) return false;
    back->target = start;
    to_end->target = end;
    return true;
}

bool Parser::parse_switch() {
    if (!parse_condition()) return false;
    SyntaxNode* sw = emit(SK_SWITCH);
    if (!sw) return false;
    if (tok() != T_LBRACE) return error(kErrBlockExpected);
    if (!next()) return false;
    Builder inner;
    Builder* saved = out;
    bool saved_switch = switch_body;
    out = &inner;
    switch_body = true;
    bool ok = parse_statements(true) && close_block();
    out = saved;
    switch_body = saved_switch;
    sw->sub = inner.head;
    if (!ok || !expect(T_RBRACE)) return false;
    ls.expect_operand = true;
    return next();
}

bool Parser::parse_function() {
    if (!next()) return false;
    if (tok() != T_CALLNAME) return error(kErrSyntax);
    SyntaxNode* skip = emit_synthetic(SK_JUMP);
    SyntaxNode* def = skip ? emit(SK_FUNCDEF) : nullptr;
    if (!def || !take_name(def, ls.text_start, ls.text_end)) return false;
    if (!next() || !expect(T_LPAREN) || !next()) return false;
    Builder params;
    Builder* saved = out;
    out = &params;
    bool ok = true;
    while (ok && tok() != T_RPAREN) {
        if (tok() != T_NAME) {
            ok = error(kErrSyntax);
            break;
        }
        const char16_t* s = ls.text_start;
        bool byref = *s == u'&';
        if (byref) ++s;
        if (*s == u'&' || s == ls.text_end) {
            ok = error(kErrSyntax);
            break;
        }
        SyntaxNode* p = emit(SK_PARAM);
        ok = p && take_name(p, s, ls.text_end, true) && next();
        if (!ok) break;
        if (byref) p->flags |= SF_BYREF;
        if (tok() == T_ASSIGN) {
            Builder def_expr;
            out = &def_expr;
            ok = next() && parse_assign();
            out = &params;
            p->sub = def_expr.head;
            if (!ok) break;
        }
        if (tok() == T_COMMA)
            ok = next();
        else if (tok() != T_RPAREN)
            ok = error(kErrSyntax);
    }
    out = saved;
    def->sub = params.head;
    if (!ok) return false;
    ls.expect_operand = true;
    if (!next()) return false;
    SyntaxNode* body = emit(SK_BLOCK);
    if (!body || !parse_block_into(body)) return false;
    def->target = body;
    SyntaxNode* fend = emit_synthetic(SK_FUNCEND);
    SyntaxNode* after = fend ? emit_synthetic(SK_LABEL_JOIN) : nullptr;
    if (!after) return false;
    skip->target = after;

    UserFunc* f = static_cast<UserFunc*>(zv::heap_alloc(sizeof(UserFunc)));
    if (!f || !(f->name = str_dup(def->text))) {
        zv::heap_free(f);
        return error(kErrAlloc);
    }
    f->hash = def->ival;
    f->def = def;
    UserFunc** tail = &unit->functions;
    while (*tail) tail = &(*tail)->next;
    *tail = f;
    return true;
}

bool Parser::parse_exit(int32_t kind) {
    const char16_t* at = ls.start;
    int32_t line = ls.line;
    if (!next()) return false;
    bool has_value = !is_terminator(tok());
    if (has_value && !parse_assign()) return false;
    SyntaxNode* n = emit(kind, line);
    if (!n) return false;
    n->pos = at;
    n->flags = has_value ? SF_HAS_VALUE : 0;
    return end_statement();
}

static bool starts_with_word(const char16_t* p, const char16_t* word) {
    for (; *word; ++p, ++word) {
        char16_t c = *p;
        if (c >= u'A' && c <= u'Z') c = char16_t(c + 32);
        if (c != *word) return false;
    }
    return true;
}

bool Parser::parse_directive() {
    const char16_t* hash = ls.start;
    const char16_t* word = ls.pos;
    const char16_t* open = word;
    while (*open && *open != u'(') ++open;
    if (*open != u'(') return error(kErrSyntax);
    const char16_t* close = lex_find_match(open);
    if (!close) return error(kErrUnbalanced);
    const char16_t* a = open + 1;
    while (a < close && (*a == u'\t' || *a == u'\n' || *a == u'\r' || *a == u' ')) ++a;
    const char16_t* b = close;
    if (a < close && (*a == u'"' || *a == u'\'')) {
        const char16_t* q = a + 1;
        while (q < close && *q != *a) {
            if (*q == u'\\' && q + 1 < close) ++q;
            ++q;
        }
        ++a;
        b = q;
    } else {
        while (b > a && (b[-1] == u' ' || b[-1] == u'\t' || b[-1] == u'\r' || b[-1] == u'\n')) --b;
    }
    int kind;
    if (starts_with_word(word, u"import"))
        kind = kDirImport;
    else if (starts_with_word(word, u"library"))
        kind = kDirLibrary;
    else if (starts_with_word(word, u"option"))
        kind = kDirOption;
    else
        return error(kErrSyntax);
    char16_t* arg = str_dup(a, size_t(b - a));
    if (!arg) return error(kErrAlloc);
    bool ok = hook ? hook(scope, unit, kind, arg, hash) : true;
    zv::heap_free(arg);
    if (!ok) {
        failed = true;
        return false;
    }
    for (const char16_t* p = ls.pos; p <= close; ++p)
        if (*p == u'\n') ++ls.line;
    ls.pos = close + 1;
    if (unit->ksc5) ls.ksc5 = true;
    ls.expect_operand = true;
    return next();
}

bool Parser::parse_statement() {
    if (deep_enough()) return false;
    switch (tok()) {
        case T_LBRACE: return parse_block_statement();
        case T_HASH: return parse_directive();
        case T_KEYWORD: break;
        default: return parse_list() && end_statement();
    }
    switch (ls.keyword) {
        case KW_VAR: return parse_var_list() && end_statement();
        case KW_IF: return parse_if();
        case KW_WHILE: return parse_while();
        case KW_DO: return parse_do();
        case KW_FOR: return parse_for();
        case KW_SWITCH: return parse_switch();
        case KW_FUNCTION: return parse_function();
        case KW_EXIT: return parse_exit(SK_EXIT);
        case KW_RETURN: return parse_exit(SK_RETURN);
        case KW_BREAK:
        case KW_CONTINUE: {
            SyntaxNode* n = emit(ls.keyword == KW_BREAK ? SK_BREAK : SK_CONTINUE);
            return n && next() && end_statement();
        }
        case KW_CASE: {
            if (!switch_body) return error(kErrSyntax);
            SyntaxNode* c = emit(SK_CASE);
            if (!c || !next() || !parse_or() || !expect(T_COLON)) return false;
            SyntaxNode* e = emit(SK_CASE_END);
            if (!e) return false;
            c->target = e;
            return next();
        }
        case KW_DEFAULT:
            if (!switch_body) return error(kErrSyntax);
            if (!emit(SK_DEFAULT) || !next() || !expect(T_COLON)) return false;
            return next();
        default: return error(kErrSyntax);  // else without if
    }
}

bool Parser::parse_statements(bool until_brace) {
    for (;;) {
        while (tok() == T_LF || tok() == T_SEMI)
            if (!next()) return false;
        if (tok() == T_EOF) return until_brace ? error(kErrUnbalanced) : true;
        if (tok() == T_RBRACE) return until_brace || error(kErrSyntax);
        if (!parse_statement()) return false;
    }
}

}  // namespace

SyntaxNode* parse_text(Scope* scope, ScriptUnit* unit, const char16_t* text, size_t len, DirectiveHook hook,
                       bool* ok) {
    Parser* p = new (std::nothrow) Parser;
    if (!p) {
        *ok = false;
        return nullptr;
    }
    // Functions registered by a parse that fails must not stay behind with
    // pointers into the freed sequence.
    UserFunc** fn_tail = &unit->functions;
    while (*fn_tail) fn_tail = &(*fn_tail)->next;
    Builder seq;
    p->scope = scope;
    p->unit = unit;
    p->hook = hook;
    p->out = &seq;
    p->editor = unit->root && unit->root->editor;
    lex_init(&p->ls, scope, text, len, unit->ksc5 != 0);
    bool good = p->next() && p->parse_statements(false);
    SyntaxArena* arena = p->arena;
    delete p;
    resolution_changed();  // functions may have come or gone
    // The head owns the memory of every node and text of the parse.
    if (good && seq.head) {
        seq.head->code = static_cast<CodeForms*>(zv::heap_alloc(sizeof(CodeForms)));
        if (seq.head->code) {
            seq.head->code->arena = arena;
        } else {
            report_error(scope, kErrAlloc, text);
            good = false;
        }
    }
    if (!good || !seq.head) {
        if (!good) {
            while (UserFunc* f = *fn_tail) {
                *fn_tail = f->next;
                zv::heap_free(f->name);
                zv::heap_free(f);
            }
        }
        syntax_free(seq.head);
        arena_free(arena);
        *ok = good;
        return nullptr;
    }
    *ok = true;
    return seq.head;
}

}  // namespace ksc
