// Character classes: the class test on a class text and the class table.
//
// A class text is a list of items after an optional leading "^" (negation):
// single units, ranges "lo-hi", surrogate pairs, ranges of pairs, and the
// escapes \d \D \s \S \w \W \\ that are expanded when the class is tested.
#include "regex_program.h"

namespace deskops::regex {

namespace {

const char16_t kDigits[] = u"0-9";
const char16_t kNotDigits[] = u"^0-9";
const char16_t kSpace[] = u"\t\r\n ";
const char16_t kNotSpace[] = u"^\t\r\n ";
const char16_t kWord[] = u"0-9a-zA-Z_";
const char16_t kNotWord[] = u"^0-9a-zA-Z_";

size_t text_len(const char16_t* s) {
    size_t n = 0;
    while (s[n]) ++n;
    return n;
}

// An escape item of a class, tested as a class of its own.
bool escape_test(char16_t e, char16_t c, char16_t lo) {
    if (const char16_t* t = escape_class_text(e)) return class_test(t, text_len(t), c, lo);
    char16_t single = e;
    if (e == u'n' || e == u'N') single = kLF;
    if (e == u'r' || e == u'R') single = kCR;
    if (e == u't' || e == u'T') single = kTab;
    return lo == 0 && c == single;
}

}  // namespace

const char16_t* escape_class_text(char16_t letter) {
    switch (letter) {
        case u'd': return kDigits;
        case u'D': return kNotDigits;
        case u's': return kSpace;
        case u'S': return kNotSpace;
        case u'w': return kWord;
        case u'W': return kNotWord;
        default: return nullptr;
    }
}

bool class_test(const char16_t* t, size_t n, char16_t c, char16_t lo) {
    size_t i = 0;
    bool negated = false;
    if (n > 0 && t[0] == u'^') {
        negated = true;
        i = 1;
    }
    bool hit = false;
    while (i < n && !hit) {
        char16_t u = t[i];
        if (u == u'\\' && i + 1 < n) {
            hit = escape_test(t[i + 1], c, lo);
            i += 2;
        } else if (is_high(u) && i + 1 < n && t[i + 1] != 0) {
            char16_t ulo = t[i + 1];
            if (i + 4 < n && t[i + 2] == u'-' && is_high(t[i + 3]) && t[i + 4] != 0) {
                // A range of pairs: each unit between the bounds' units.
                hit = lo != 0 && u <= c && c <= t[i + 3] && ulo <= lo && lo <= t[i + 4];
                i += 5;
            } else {
                hit = lo != 0 && c == u && lo == ulo;
                i += 2;
            }
        } else if (i + 2 < n && t[i + 1] == u'-') {
            hit = lo == 0 && u <= c && c <= t[i + 2];
            i += 3;
        } else {
            hit = lo == 0 && c == u;
            i += 1;
        }
    }
    return hit != negated;
}

bool class_may_accept_high(const char16_t* t, size_t n) {
    if (n > 0 && t[0] == u'^') return true;
    // The items exactly as class_test reads them: a range may end with the
    // backslash of an escape ("~-\\W" is the range ~ to \ and then \W), so
    // skipping escapes by a scan of their own would miss the \W.
    for (size_t i = 0; i < n;) {
        if (t[i] == u'\\' && i + 1 < n) {
            char16_t e = t[i + 1];
            if (e == u'D' || e == u'S' || e == u'W' || e >= 256) return true;
            i += 2;
            continue;
        }
        size_t units = 1;
        if (is_high(t[i]) && i + 1 < n && t[i + 1] != 0)
            units = i + 4 < n && t[i + 2] == u'-' && is_high(t[i + 3]) && t[i + 4] != 0 ? 5 : 2;
        else if (i + 2 < n && t[i + 1] == u'-')
            units = 3;
        for (size_t k = i; k < i + units; ++k)
            if (t[k] >= 256) return true;
        i += units;
    }
    return false;
}

int32_t add_class(Program* prog, const char16_t* text, size_t n) {
    if (prog->class_units.size > UINT32_MAX - n - 1 || prog->classes.size >= INT32_MAX) return -1;
    ClassInfo ci{};
    ci.offset = uint32_t(prog->class_units.size);
    ci.length = uint32_t(n);
    for (char16_t c = 0; c < 256; ++c)
        if (class_test(text, n, c, 0)) ci.low_bits[c >> 5] |= 1u << (c & 31);
    const char16_t nul = 0;
    if (!prog->class_units.append(text, n) || !prog->class_units.push(nul)) return -1;
    if (!prog->classes.push(ci)) return -1;
    return int32_t(prog->classes.size - 1);
}

}  // namespace deskops::regex
