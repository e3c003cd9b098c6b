// Pattern to tree: code-unit escapes, tokens, and the recursive-descent
// grammar. The grammar runs on an explicit stack of open groups, so the
// nesting depth of a pattern is limited by memory, not by the native stack.
#include "regex_program.h"

namespace deskops::regex {

namespace {

int hex_value(char16_t c) {
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    if (c >= u'A' && c <= u'F') return c - u'A' + 10;
    return -1;
}

// Reads up to `max` hex digits at s[*i].
unsigned read_hex(const char16_t* s, size_t* i, int max) {
    unsigned v = 0;
    for (int d = 0; d < max && hex_value(s[*i]) >= 0; ++d) v = v * 16 + unsigned(hex_value(s[(*i)++]));
    return v;
}

bool is_x(char16_t c) { return c == u'x' || c == u'X'; }

// \uHHHH is one unit; \xHH is the high byte of a unit whose low byte comes
// from a directly following \xHH. A resulting unit 0 ends the pattern.
bool preprocess(const char16_t* p, Buf<char16_t>* out) {
    size_t i = 0;
    while (p[i]) {
        char16_t unit = p[i];
        if (p[i] == u'\\' && (p[i + 1] == u'u' || p[i + 1] == u'U')) {
            i += 2;
            unit = char16_t(read_hex(p, &i, 4));
        } else if (p[i] == u'\\' && is_x(p[i + 1])) {
            i += 2;
            unit = char16_t(read_hex(p, &i, 2) << 8);
            if (p[i] == u'\\' && is_x(p[i + 1]) && hex_value(p[i + 2]) >= 0) {
                i += 2;
                unit = char16_t(unit | read_hex(p, &i, 2));
            }
        } else {
            ++i;
        }
        if (unit == 0) break;
        if (!out->push(unit)) return false;
    }
    const char16_t nul = 0;
    return out->push(nul);
}

enum TokenKind : uint8_t {
    K_END, K_OPEN, K_CLOSE, K_BAR, K_QUANT, K_DOT, K_CARET, K_DOLLAR, K_CLASS, K_LITERAL,
    K_NONE,   // contributes nothing (a backslash at the very end)
    K_ERROR,  // memory ran out
};

enum QuantKind : uint8_t { Q_STAR, Q_PLUS, Q_QUEST, Q_COUNT };

struct Token {
    uint8_t kind;
    uint8_t quant;
    bool lazy;
    char16_t unit;
    char16_t low;
    int32_t cls;
    uint32_t min;
    uint32_t max;
};

uint32_t add_digit(uint32_t v, char16_t c) {
    uint64_t n = uint64_t(v) * 10 + uint32_t(c - u'0');
    return n > INT32_MAX ? INT32_MAX : uint32_t(n);
}

bool is_digit(char16_t c) { return c >= u'0' && c <= u'9'; }

struct Lexer {
    const char16_t* s;
    size_t i = 0;
    Program* prog;
    uint32_t last_min = 0, last_max = 0;  // bounds of the most recent braces
    int32_t last_class = -1;              // the most recent bracketed class
    int32_t escape_classes[6] = {-1, -1, -1, -1, -1, -1};
    Buf<char16_t> tmp;

    Token end() {
        s = u"";
        i = 0;
        return Token{K_END, 0, false, 0, 0, 0, 0, 0};
    }
    Token make(uint8_t kind, size_t advance) {
        i += advance;
        return Token{kind, 0, false, 0, 0, 0, 0, 0};
    }
    Token quant(uint8_t q, bool lazy, size_t advance) {
        Token t = make(K_QUANT, advance);
        t.quant = q;
        t.lazy = lazy;
        t.min = last_min;
        t.max = last_max;
        return t;
    }
    Token literal(const char16_t* at) {
        Token t = make(K_LITERAL, 0);
        t.unit = at[0];
        if (pair_at(at)) t.low = at[1];
        return t;
    }
    Token klass(int32_t cls) {
        if (cls < 0) return make(K_ERROR, 0);
        Token t = make(K_CLASS, 0);
        t.cls = cls;
        return t;
    }

    Token counted() {
        size_t j = i + 1;
        uint32_t min = 0, max;
        while (s[j] && s[j] != u'}' && s[j] != u',') {
            if (is_digit(s[j])) min = add_digit(min, s[j]);
            ++j;
        }
        if (s[j] == u',') {
            ++j;
            max = 0;
            while (s[j] && s[j] != u'}') {
                if (is_digit(s[j])) max = add_digit(max, s[j]);
                ++j;
            }
        } else {
            max = min;
        }
        if (s[j] != u'}') return end();  // unclosed: the pattern ends
        ++j;
        bool lazy = s[j] == u'?';
        if (lazy) ++j;
        last_min = min;
        last_max = max;
        i = j;
        return quant(Q_COUNT, lazy, 0);
    }

    Token bracket() {
        tmp.clear();
        size_t j = i + 1;
        bool ok = true;
        if (s[j] == u'^') ok = tmp.push(s[j++]);
        if (s[j] == u']') ok = ok && tmp.push(s[j++]);
        for (;;) {
            char16_t c = s[j];
            if (c == 0) return end();  // unclosed: the pattern ends
            if (c == u']') {
                ++j;
                break;
            }
            if (c == u'\\') {
                char16_t e = s[j + 1];
                if (e == 0) return end();
                if (escape_class_text(e) || e == u'\\') {
                    ok = ok && tmp.push(c) && tmp.push(e);
                } else if (e == u'n' || e == u'N') {
                    ok = ok && tmp.push(kLF);
                } else if (e == u'r' || e == u'R') {
                    ok = ok && tmp.push(kCR);
                } else if (e == u't' || e == u'T') {
                    ok = ok && tmp.push(kTab);
                } else if (pair_at(s + j + 1)) {
                    ok = ok && tmp.append(s + j + 1, 2);
                    ++j;
                } else {
                    ok = ok && tmp.push(e);
                }
                j += 2;
            } else if (pair_at(s + j)) {
                ok = ok && tmp.append(s + j, 2);
                j += 2;
            } else {
                ok = ok && tmp.push(c);
                ++j;
            }
        }
        if (!ok) return make(K_ERROR, 0);
        i = j;
        last_class = add_class(prog, tmp.data, tmp.size);
        return klass(last_class);
    }

    Token escape() {
        char16_t e = s[i + 1];
        if (e == 0) return make(K_NONE, 1);
        if (const char16_t* text = escape_class_text(e)) {
            int slot = 0;
            while ("dDsSwW"[slot] != char(e)) ++slot;
            int32_t& cls = escape_classes[slot];
            if (cls < 0) {
                size_t n = 0;
                while (text[n]) ++n;
                cls = add_class(prog, text, n);
            }
            i += 2;
            return klass(cls);
        }
        Token t = literal(s + i + 1);
        if (e == u'n' || e == u'N') t.unit = kLF;
        if (e == u'r' || e == u'R') t.unit = kCR;
        if (e == u't' || e == u'T') t.unit = kTab;
        i += t.low ? 3 : 2;
        return t;
    }

    Token next() {
        const char16_t c = s[i], d = c ? s[i + 1] : char16_t(0);
        switch (c) {
            case 0: return end();
            case u'(': return make(K_OPEN, 1);
            case u')': return make(K_CLOSE, 1);
            case u'*': return quant(Q_STAR, d == u'?', d == u'?' ? 2 : 1);
            case u'+': return quant(Q_PLUS, d == u'?', d == u'?' ? 2 : 1);
            case u'?': return quant(Q_QUEST, d == u'?', d == u'?' ? 2 : 1);
            // Outside braces: a counted quantifier with the latest bounds.
            case u'}': return quant(Q_COUNT, d == u'?', d == u'?' ? 2 : 1);
            case u'{': return counted();
            case u'.': return make(K_DOT, 1);
            case u'[': return bracket();
            case u']': {
                // Outside a class: the latest class again (none: matches nothing).
                if (last_class < 0) last_class = add_class(prog, u"", 0);
                Token t = klass(last_class);
                i += 1;
                return t;
            }
            case u'^': return make(K_CARET, 1);
            case u'$': return make(K_DOLLAR, 1);
            case u'|': return make(K_BAR, 1);
            case u'\\': return escape();
            default: {
                Token t = literal(s + i);
                i += t.low ? 2 : 1;
                return t;
            }
        }
    }
};

struct Builder {
    Buf<Node>* nodes;
    size_t max_nodes;
    int32_t empty = -1;

    int32_t make(uint8_t kind, int32_t left = -1, int32_t right = -1, int32_t value = 0) {
        if (left < -1 || right < -1 || nodes->size >= max_nodes) return -2;
        Node n{kind, 0, 0, left, right, value};
        if (!nodes->push(n)) return -2;
        return int32_t(nodes->size - 1);
    }
    int32_t make_empty() {
        if (empty < 0) empty = make(N_EMPTY);
        return empty;
    }
    int32_t concat(int32_t a, int32_t b) { return a < 0 || b < 0 ? -2 : make(N_CONCAT, a, b); }
    // right is tried first
    int32_t alternate(int32_t left, int32_t right) {
        return left < 0 || right < 0 ? -2 : make(N_ALTERNATE, left, right);
    }

    int32_t counted(int32_t atom, const Token& q) {
        int32_t tail = q.max != 0 ? make_empty() : make(q.lazy ? N_LAZY_STAR : N_STAR, atom);
        for (uint32_t c = q.max; c > q.min && tail >= 0; --c) {
            int32_t opt = q.lazy ? alternate(atom, make_empty()) : alternate(make_empty(), atom);
            tail = concat(opt, tail);
        }
        for (uint32_t c = 0; c < q.min && tail >= 0; ++c) tail = concat(atom, tail);
        if (q.min == 0) tail = q.lazy ? alternate(tail, make_empty()) : alternate(make_empty(), tail);
        return tail;
    }

    int32_t quantify(int32_t atom, const Token& q) {
        switch (q.quant) {
            case Q_STAR: return make(q.lazy ? N_LAZY_STAR : N_STAR, atom);
            case Q_PLUS: return concat(atom, make(q.lazy ? N_LAZY_STAR : N_STAR, atom));
            case Q_QUEST: return q.lazy ? alternate(atom, make_empty()) : alternate(make_empty(), atom);
            default: return counted(atom, q);
        }
    }
};

// One open alternation: the outermost one, or one per open group.
struct Level {
    int32_t alt;  // alternatives so far, -1 before the first "|"
    int32_t seq;  // atoms of the current sequence, -1 while none
    int32_t group;
};

// Ends the current sequence of a level and folds it into the alternation:
// Alternate(left = new sequence, right = what came before).
bool close_sequence(Builder* b, Level* lv) {
    int32_t seq = lv->seq >= 0 ? lv->seq : b->make_empty();
    lv->alt = lv->alt >= 0 ? b->alternate(seq, lv->alt) : seq;
    lv->seq = -1;
    return lv->alt >= 0;
}

}  // namespace

int32_t parse_pattern(const char16_t* pattern, Program* prog, Buf<Node>* nodes, size_t max_nodes) {
    Buf<char16_t> text;
    if (!preprocess(pattern, &text)) return -1;
    prog->groups = 1;
    for (size_t i = 0; text[i]; ++i)
        if (text[i] == u'(') ++prog->groups;

    Lexer lex;
    lex.s = text.data;
    lex.prog = prog;
    Builder b{nodes, max_nodes};
    Buf<Level> levels;
    if (!levels.push(Level{-1, -1, 0})) return -1;
    int32_t groups = 0;

    Token tok = lex.next();
    for (;;) {
        Level* lv = &levels.back();
        int32_t atom = -1;
        switch (tok.kind) {
            case K_ERROR: return -1;
            case K_OPEN:
                if (!levels.push(Level{-1, -1, ++groups})) return -1;
                tok = lex.next();
                continue;
            case K_BAR:
                if (!close_sequence(&b, lv)) return -1;
                tok = lex.next();
                continue;
            case K_CLOSE:
            case K_END: {
                if (!close_sequence(&b, lv)) return -1;
                if (levels.size == 1) return lv->alt;  // the rest is ignored
                Level done = *lv;
                --levels.size;
                int32_t open = b.make(N_GROUP_OPEN, -1, -1, done.group);
                int32_t close = b.make(N_GROUP_CLOSE, -1, -1, done.group);
                atom = b.concat(open, b.concat(done.alt, close));
                tok = lex.next();  // the ")" is skipped whatever it is
                break;
            }
            case K_DOT: atom = b.make(N_ANY); tok = lex.next(); break;
            case K_CARET: atom = b.make(N_LINE_START); tok = lex.next(); break;
            case K_DOLLAR: atom = b.make(N_LINE_END); tok = lex.next(); break;
            case K_CLASS: atom = b.make(N_CLASS, -1, -1, tok.cls); tok = lex.next(); break;
            case K_LITERAL:
                atom = b.make(N_LITERAL);
                if (atom >= 0) {
                    (*nodes)[size_t(atom)].unit = tok.unit;
                    (*nodes)[size_t(atom)].low = tok.low;
                }
                tok = lex.next();
                break;
            default:  // starts no atom: contributes nothing
                tok = lex.next();
                continue;
        }
        if (atom < 0) return -1;
        if (tok.kind == K_QUANT) {
            atom = b.quantify(atom, tok);
            if (atom < 0) return -1;
            tok = lex.next();
        }
        lv = &levels.back();
        lv->seq = lv->seq >= 0 ? b.concat(lv->seq, atom) : atom;
        if (lv->seq < 0) return -1;
    }
}

}  // namespace deskops::regex
