#include "syntax_colour.h"

#include "edit_rules.h"

namespace zvs {

namespace {

struct Keyword {
    const char16_t* word;
    size_t len;
    bool extended;
};

#define KW(w, ext) {u##w, sizeof(w) - 1, ext}
const Keyword kKeywords[] = {
    KW("var", false),       KW("exit", false),     KW("if", false),         KW("else", false),
    KW("while", false),     KW("for", true),       KW("do", true),          KW("break", true),
    KW("continue", true),   KW("switch", true),    KW("case", true),        KW("default", true),
    KW("return", true),     KW("function", true),  KW("#import", true),     KW("#library", true),
    KW("#option", true),
};
#undef KW

// Length of the keyword that starts at i, or 0. The keyword must not run on
// into a letter, digit or "_".
size_t keyword_at(const char16_t* line, size_t n, size_t i, bool extended) {
    for (const Keyword& k : kKeywords) {
        if (k.extended && !extended) continue;
        if (i + k.len > n || !equal_ascii_caseless(line + i, k.word, k.len)) continue;
        size_t end = i + k.len;
        char16_t after = end < n ? line[end] : u' ';
        bool word_after = (after >= u'0' && after <= u'9') || (after >= u'a' && after <= u'z') ||
                          (after >= u'A' && after <= u'Z') || after == u'_';
        if (!word_after) return k.len;
    }
    return 0;
}

}  // namespace

void colour_line(const char16_t* line, size_t n, bool extended, SyntaxClass* classes) {
    size_t i = 0;
    while (i < n) {
        char16_t c = line[i];
        if (c == u'/' && i + 1 < n && line[i + 1] == u'/') {
            for (; i < n; ++i) classes[i] = kComment;
            return;
        }
        if (extended && (c == u'"' || c == u'\'')) {
            SyntaxClass cls = c == u'"' ? kDoubleQuoted : kSingleQuoted;
            classes[i++] = cls;
            while (i < n) {
                char16_t d = line[i];
                classes[i++] = cls;
                if (d == u'\\' && i < n) {
                    classes[i++] = cls;  // an escaped quote does not end the text
                } else if (d == c) {
                    break;
                }
            }
            continue;
        }
        bool word_before = i > 0 && is_word_unit(line[i - 1]);
        size_t k = word_before ? 0 : keyword_at(line, n, i, extended);
        if (k) {
            for (size_t e = i + k; i < e; ++i) classes[i] = kKeyword;
            continue;
        }
        classes[i++] = kPlain;
    }
}

}  // namespace zvs
