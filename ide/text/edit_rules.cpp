#include "edit_rules.h"

#include <algorithm>

namespace zvs {

namespace {

bool is_high(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool is_low(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }
bool is_blank(char16_t c) { return c == u' ' || c == u'\t'; }
bool is_line_end(char16_t c) { return c == u'\r' || c == u'\n'; }

std::u16string line_text(const TextModel& doc, size_t line) {
    size_t begin = doc.line_start(line), end = doc.line_end(line);
    std::u16string s(end - begin, u'\0');
    if (end > begin) doc.copy(begin, end - begin, &s[0]);
    return s;
}

size_t leading_blanks(const std::u16string& s) {
    size_t n = 0;
    while (n < s.size() && is_blank(s[n])) ++n;
    return n;
}

bool contains_caseless(const std::u16string& s, const char16_t* word) {
    size_t n = std::char_traits<char16_t>::length(word);
    for (size_t i = 0; i + n <= s.size(); ++i)
        if (equal_ascii_caseless(s.data() + i, word, n)) return true;
    return false;
}

// 0 blank, 1 word, 2 other mark, 3 line end.
int unit_class(char16_t c) {
    if (is_blank(c)) return 0;
    if (is_line_end(c)) return 3;
    return is_word_unit(c) ? 1 : 2;
}

}  // namespace

char16_t fold_ascii(char16_t c) { return c >= u'A' && c <= u'Z' ? char16_t(c + 32) : c; }

bool equal_ascii_caseless(const char16_t* a, const char16_t* b, size_t n) {
    for (size_t i = 0; i < n; ++i)
        if (fold_ascii(a[i]) != fold_ascii(b[i])) return false;
    return true;
}

bool is_word_unit(char16_t c) {
    return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || c == u'_' ||
           c >= 0x80;
}

size_t char_units(const TextModel& doc, size_t pos) {
    size_t len = doc.length();
    if (pos >= len) return 0;
    char16_t c = doc.at(pos);
    if (pos + 1 < len) {
        char16_t d = doc.at(pos + 1);
        if ((c == u'\r' && d == u'\n') || (is_high(c) && is_low(d))) return 2;
    }
    return 1;
}

size_t next_char(const TextModel& doc, size_t pos) { return pos + char_units(doc, pos); }

size_t prev_char(const TextModel& doc, size_t pos) {
    if (pos == 0) return 0;
    if (pos >= 2) {
        char16_t c = doc.at(pos - 2), d = doc.at(pos - 1);
        if ((c == u'\r' && d == u'\n') || (is_high(c) && is_low(d))) return pos - 2;
    }
    return pos - 1;
}

void word_at(const TextModel& doc, size_t pos, size_t* begin, size_t* end) {
    size_t len = doc.length();
    *begin = *end = pos;
    if (pos >= len) return;
    int cls = unit_class(doc.at(pos));
    if (cls == 3) return;
    size_t b = pos, e = pos;
    while (b > 0 && unit_class(doc.at(b - 1)) == cls) --b;
    while (e < len && unit_class(doc.at(e)) == cls) ++e;
    *begin = b;
    *end = e;
}

std::u16string enter_text(const TextModel& doc, size_t caret) {
    size_t line = doc.line_of(caret), begin = doc.line_start(line);
    std::u16string out = u"\r\n";
    if (caret == begin) return out;
    std::u16string before(caret - begin, u'\0');
    doc.copy(begin, caret - begin, &before[0]);
    out.append(before, 0, leading_blanks(before));
    size_t i = before.size();
    while (i > 0 && is_blank(before[i - 1])) --i;
    if (i > 0 && (before[i - 1] == u'{' || before[i - 1] == u':')) out += u'\t';
    return out;
}

bool align_case_label(const TextModel& doc, size_t caret, TextEdit* edit) {
    size_t line = doc.line_of(caret);
    std::u16string here = line_text(doc, line);
    if (!contains_caseless(here, u"case") && !contains_caseless(here, u"default")) return false;
    for (size_t l = line; l-- > 0;) {
        std::u16string above = line_text(doc, l);
        if (!contains_caseless(above, u"switch")) continue;
        size_t want = leading_blanks(above), have = leading_blanks(here);
        if (above.compare(0, want, here, 0, have) == 0) return false;
        edit->pos = doc.line_start(line);
        edit->removed = have;
        edit->text = above.substr(0, want);
        return true;
    }
    return false;
}

void selected_lines(const TextModel& doc, size_t sel_begin, size_t sel_end, size_t* first, size_t* last) {
    *first = doc.line_of(sel_begin);
    *last = doc.line_of(sel_end);
    if (*last > *first && doc.line_start(*last) == sel_end) --*last;
}

bool spans_lines(const TextModel& doc, size_t begin, size_t end) {
    for (size_t i = begin; i < end; ++i)
        if (is_line_end(doc.at(i))) return true;
    return false;
}

bool find_text(const char16_t* text, size_t len, const char16_t* needle, size_t n, size_t from, bool match_case,
               size_t* found) {
    if (n == 0 || n > len) return false;
    auto match_at = [&](size_t i) {
        if (match_case) {
            for (size_t k = 0; k < n; ++k)
                if (text[i + k] != needle[k]) return false;
            return true;
        }
        return equal_ascii_caseless(text + i, needle, n);
    };
    size_t last = len - n;  // the last place a match can start
    if (from > len) from = len;
    for (size_t pass = 0; pass < 2; ++pass) {
        size_t begin = pass ? 0 : from, end = pass ? std::min(from, last + 1) : last + 1;  // then wrap around
        for (size_t i = begin; i < end; ++i) {
            if (match_at(i)) {
                *found = i;
                return true;
            }
        }
    }
    return false;
}

}  // namespace zvs
