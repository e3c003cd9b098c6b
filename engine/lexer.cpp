#include "lexer.h"

#include "error.h"

namespace ksc {

void lex_init(LexState* ls, Scope* scope, const char16_t* text, size_t len, bool ksc5) {
    ls->scope = scope;
    ls->text = text;
    ls->end = text + len;
    ls->start = ls->pos = text;
    ls->token = T_EOF;
    ls->keyword = 0;
    ls->compound_op = 0;
    ls->ival = 0;
    ls->rval = 0;
    ls->text_start = ls->text_end = text;
    ls->expect_operand = true;
    ls->ends_statement = false;
    ls->line = 0;
    ls->ksc5 = ksc5;
    ls->bracket_memo.clear();
}

static int32_t fail(LexState* ls, int code, const char16_t* at) {
    report_error(ls->scope, code, at);
    ls->token = T_ERROR;
    return T_ERROR;
}

// ---- bracket matching ---------------------------------------------------

static char16_t closing_of(char16_t c) { return c == u'(' ? u')' : c == u'{' ? u'}' : u']'; }

// Skips a quoted string starting at p (the quote); returns the position after
// its closing quote, or the end of the text.
static const char16_t* skip_quoted(const char16_t* p) {
    char16_t q = *p++;
    while (*p && *p != q) {
        if (*p == u'\\' && p[1]) ++p;
        ++p;
    }
    return *p ? p + 1 : p;
}

// Scans from the opening bracket at p; calls mark(offset of a bracket, matched)
// for each opening bracket of the same kind passed while in plain code.
template <typename Mark>
static const char16_t* scan_match(const char16_t* p, Mark mark) {
    char16_t open = *p, close = closing_of(open);
    std::vector<const char16_t*> opened;
    for (const char16_t* q = p; *q;) {
        char16_t c = *q;
        if (c == u'"' || c == u'\'') {
            q = skip_quoted(q);
            continue;
        }
        if (c == u'/' && q[1] == u'/') {
            while (*q && *q != u'\r' && *q != u'\n') ++q;
            continue;
        }
        if (c == open) {
            opened.push_back(q);
        } else if (c == close) {
            const char16_t* o = opened.back();
            opened.pop_back();
            mark(o, true);
            if (opened.empty()) return q;
        }
        ++q;
    }
    for (const char16_t* o : opened) mark(o, false);
    return nullptr;
}

const char16_t* lex_find_match(const char16_t* p) {
    return scan_match(p, [](const char16_t*, bool) {});
}

bool lex_has_match(LexState* ls, const char16_t* p) {
    size_t off = size_t(p - ls->text);
    if (ls->bracket_memo.empty()) ls->bracket_memo.assign(size_t(ls->end - ls->text) + 1, 0);
    if (ls->bracket_memo[off] == 0) {
        scan_match(p, [ls](const char16_t* o, bool ok) { ls->bracket_memo[size_t(o - ls->text)] = ok ? 1 : 2; });
    }
    return ls->bracket_memo[off] == 1;
}

// ---- character classes --------------------------------------------------

static bool is_digit(char16_t c) { return c >= u'0' && c <= u'9'; }
static bool is_name_char(char16_t c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || is_digit(c) || c == u'_';
}
static bool is_blank(char16_t c) { return c == u'\t' || c == u'\r' || c == u' ' || c == 0x3000; }

static const char16_t* const kKeywords[] = {u"var",    u"exit",   u"if",   u"else",    u"while",
                                            u"for",    u"do",     u"break", u"continue", u"switch",
                                            u"case",   u"default", u"return", u"function"};
constexpr int kBasicKeywords = 5;
constexpr int kAllKeywords = 14;

static int keyword_of(const char16_t* s, const char16_t* e, bool ksc5) {
    int count = ksc5 ? kAllKeywords : kBasicKeywords;
    for (int k = 0; k < count; ++k) {
        const char16_t* w = kKeywords[k];
        const char16_t* p = s;
        while (p < e && *w) {
            char16_t c = *p;
            if (c >= u'A' && c <= u'Z') c = char16_t(c + 32);
            if (c != *w) break;
            ++p, ++w;
        }
        if (p == e && !*w) return k;
    }
    return -1;
}

// ---- numbers ------------------------------------------------------------

static int32_t read_number(LexState* ls) {
    const char16_t* p = ls->pos;
    if (!ls->ksc5) {
        // Basic dialect: digits and dots, taken by integer reading.
        int32_t v = 0;
        bool in_int = true;
        for (; is_digit(*p) || *p == u'.'; ++p) {
            if (*p == u'.') in_int = false;
            else if (in_int) v = int32_t(uint32_t(v) * 10u + uint32_t(*p - u'0'));
        }
        ls->pos = p;
        ls->ival = v;
        return ls->token = T_INT;
    }
    if (p[0] == u'0' && (p[1] == u'x' || p[1] == u'X')) {
        const char16_t* q = p + 2;
        uint32_t v = 0;
        for (;; ++q) {
            char16_t c = *q;
            int d = is_digit(c) ? c - u'0' : (c >= u'a' && c <= u'f') ? c - u'a' + 10
                                         : (c >= u'A' && c <= u'F') ? c - u'A' + 10 : -1;
            if (d < 0) break;
            v = v * 16u + uint32_t(d);
        }
        if (q == p + 2) return fail(ls, kErrSyntax, ls->start);
        ls->pos = q;
        ls->ival = int32_t(v);
        return ls->token = T_INT;
    }
    const char16_t* q = p;
    while (is_digit(*q)) ++q;
    if (p[0] == u'0' && q > p + 1 && *q != u'.') {
        // Octal: base 8 up to the first 8 or 9 (so 09 is 0).
        uint32_t v = 0;
        for (const char16_t* d = p + 1; d < q && *d < u'8'; ++d) v = v * 8u + uint32_t(*d - u'0');
        ls->pos = q;
        ls->ival = int32_t(v);
        return ls->token = T_INT;
    }
    if (*q == u'.') {
        ++q;
        while (is_digit(*q)) ++q;
        if (*q == u'.') return fail(ls, kErrSyntax, ls->start);
        // Real literal; a leading "." (".5") reads as 0.5.
        ls->rval = read_real(p);
        ls->pos = q;
        return ls->token = T_REAL;
    }
    uint32_t v = 0;
    for (const char16_t* d = p; d < q; ++d) v = v * 10u + uint32_t(*d - u'0');
    ls->pos = q;
    ls->ival = int32_t(v);
    return ls->token = T_INT;
}

// ---- operators ----------------------------------------------------------

static int32_t compound(LexState* ls, int32_t op, int len) {
    ls->pos += len;
    ls->compound_op = op;
    return ls->token = T_COMPOUND;
}

// Operator or punctuation starting at ls->pos. Sets token and advances pos.
static int32_t read_operator(LexState* ls) {
    const char16_t* p = ls->pos;
    const bool operand = ls->expect_operand;
    const bool k5 = ls->ksc5;
    char16_t c = p[0], c1 = p[1];
    auto tok = [ls](int32_t t, int len) {
        ls->pos += len;
        return ls->token = t;
    };
    switch (c) {
        case u'!':
            if (operand) return tok(T_NOT, 1);
            if (c1 == u'=') return tok(T_NE, 2);
            return fail(ls, kErrSyntax, p);
        case u'+':
        case u'-': {
            bool plus = c == u'+';
            if (k5 && c1 == c) return tok(operand ? (plus ? T_PREINC : T_PREDEC) : (plus ? T_POSTINC : T_POSTDEC), 2);
            if (operand) {
                if (!k5 && (c1 == u'+' || c1 == u'-')) return fail(ls, kErrSyntax, p);
                return tok(plus ? T_UPLUS : T_UMINUS, 1);
            }
            if (k5 && c1 == u'=') return compound(ls, plus ? T_ADD : T_SUB, 2);
            return tok(plus ? T_ADD : T_SUB, 1);
        }
        case u'*':
        case u'/':
        case u'%': {
            if (operand) return fail(ls, kErrSyntax, p);
            int32_t t = c == u'*' ? T_MUL : c == u'/' ? T_DIV : T_MOD;
            if (k5 && c1 == u'=') return compound(ls, t, 2);
            return tok(t, 1);
        }
        case u'<':
        case u'>': {
            if (operand) return fail(ls, kErrSyntax, p);
            bool lt = c == u'<';
            if (k5 && c1 == c) {
                if (p[2] == c) {  // <<< >>>
                    if (p[3] == u'=') return compound(ls, lt ? T_SHL3 : T_SHR3, 4);
                    return tok(lt ? T_SHL3 : T_SHR3, 3);
                }
                if (p[2] == u'=') return compound(ls, lt ? T_SHL : T_SHR, 3);
                return tok(lt ? T_SHL : T_SHR, 2);
            }
            if (c1 == u'=') return tok(lt ? T_LE : T_GE, 2);
            return tok(lt ? T_LT : T_GT, 1);
        }
        case u'=':
            if (operand) return fail(ls, kErrSyntax, p);
            if (c1 == u'=') return tok(T_EQ, 2);
            return tok(T_ASSIGN, 1);
        case u'&':
        case u'|': {
            if (operand) return fail(ls, kErrSyntax, p);
            bool amp = c == u'&';
            if (c1 == c) return tok(amp ? T_AND : T_OR, 2);
            if (!k5) return fail(ls, kErrSyntax, p);
            if (c1 == u'=') return compound(ls, amp ? T_BITAND : T_BITOR, 2);
            return tok(amp ? T_BITAND : T_BITOR, 1);
        }
        case u'^':
            if (!k5 || operand) return fail(ls, kErrSyntax, p);
            if (c1 == u'=') return compound(ls, T_BITXOR, 2);
            return tok(T_BITXOR, 1);
        case u'~':
            if (!k5 || !operand) return fail(ls, kErrSyntax, p);
            return tok(T_BITNOT, 1);
        case u':':
            if (!k5) return fail(ls, kErrSyntax, p);
            return tok(T_COLON, 1);
        case u'(':
        case u'{':
            if (!operand) return fail(ls, kErrOperatorRequired, p);
            if (!lex_has_match(ls, p)) return fail(ls, kErrUnbalanced, p);
            return tok(c == u'(' ? T_LPAREN : T_LBRACE, 1);
        case u'[':
            if (operand) return fail(ls, kErrSyntax, p);
            if (!lex_has_match(ls, p)) return fail(ls, kErrUnbalanced, p);
            return tok(T_LBRACKET, 1);
        case u')': return tok(T_RPAREN, 1);
        case u']': return tok(T_RBRACKET, 1);
        case u'}': return tok(T_RBRACE, 1);
        case u',': return tok(T_COMMA, 1);
        case u';': return tok(T_SEMI, 1);
        case u'#': return tok(T_HASH, 1);
        default:
            return fail(ls, operand ? kErrSyntax : kErrOperatorRequired, p);
    }
}

// Whether the token just read leaves the lexer expecting an operand.
static bool operand_follows(int32_t t) {
    switch (t) {
        case T_INT:
        case T_REAL:
        case T_STRING:
        case T_NAME:
        case T_RPAREN:
        case T_RBRACKET:
        case T_RBRACE:
        case T_POSTINC:
        case T_POSTDEC: return false;
        default: return true;
    }
}

int32_t lex_next(LexState* ls) {
    if (ls->token == T_ERROR) return T_ERROR;
    const char16_t* p = ls->pos;
    for (;;) {
        while (is_blank(*p)) ++p;
        if (*p == u'/' && p[1] == u'/') {
            while (*p && *p != u'\r' && *p != u'\n') ++p;
            continue;
        }
        if (*p == u'\n' && ls->expect_operand && !ls->ends_statement) {
            ++ls->line;
            ++p;
            continue;
        }
        break;
    }
    ls->start = ls->pos = p;
    bool operand = ls->expect_operand;
    ls->ends_statement = false;
    int32_t t;
    char16_t c = *p;
    if (c == 0 || p >= ls->end) {
        ls->pos = ls->start = ls->end;
        t = ls->token = T_EOF;
    } else if (c == u'\n') {
        ++ls->line;
        ls->pos = p + 1;
        t = ls->token = T_LF;
    } else if (is_digit(c) || (c == u'.' && is_digit(p[1]))) {
        if (!operand) return fail(ls, kErrOperatorRequired, p);
        t = read_number(ls);
    } else if (ls->ksc5 && (c == u'"' || c == u'\'') && operand) {
        const char16_t* q = p + 1;
        while (*q && *q != c) {
            if (*q == u'\\' && q[1]) ++q;
            ++q;
        }
        if (*q != c) return fail(ls, kErrSyntax, p);
        ls->text_start = p + 1;
        ls->text_end = q;
        ls->pos = q + 1;
        t = ls->token = T_STRING;
    } else if (is_name_char(c) || (ls->ksc5 && c == u'&' && operand)) {
        if (!operand) return fail(ls, kErrOperatorRequired, p);
        const char16_t* q = p;
        while (*q == u'&') ++q;  // by-reference parameter names
        while (is_name_char(*q)) ++q;
        ls->text_start = p;
        ls->text_end = q;
        ls->pos = q;
        int kw = keyword_of(p, q, ls->ksc5);
        if (kw >= 0) {
            ls->keyword = kw;
            t = ls->token = T_KEYWORD;
            ls->ends_statement = kw == KW_EXIT || kw == KW_BREAK || kw == KW_CONTINUE || kw == KW_RETURN;
        } else {
            t = ls->token = T_NAME;
            if (ls->ksc5 && *p != u'&') {
                const char16_t* r = q;
                while (is_blank(*r) && *r != u'\r') ++r;
                if (*r == u'(') t = ls->token = T_CALLNAME;
            }
        }
    } else if (operand && !ls->ksc5 && (c == u'"' || c == u'\'')) {
        return fail(ls, kErrSyntax, p);
    } else {
        t = read_operator(ls);
        if (t == T_ERROR) return t;
    }
    ls->expect_operand = operand_follows(t);
    return t;
}

}  // namespace ksc
