// The rules of regex_match, regex_match_all and regex_replace on top of the
// search: where each search starts, what happens to empty matches, and how
// replacement texts are expanded.
#include "regex_matcher.h"

namespace deskops::regex {

namespace {

bool empty_at(const Capture& whole, int32_t p) { return whole.begin == p && whole.end == p; }

}  // namespace

bool slot_span(const Capture& c, int32_t* begin, int32_t* length) {
    if (c.begin < 0 || c.end < 0) return false;
    *begin = c.begin;
    *length = c.end > c.begin ? c.end - c.begin : 0;
    return true;
}

int find(Matcher* m, int32_t start, Capture* slots) {
    if (start < 0 || start >= m->len) return 0;
    int r = search(m, start, slots);
    if (r <= 0) return r;
    if (empty_at(slots[0], start)) {
        // An empty match right at the start: one more search further on.
        int32_t p = start + 1;
        if (!m->s[p]) return 0;
        if (m->prog->line_start) {
            p = next_line(m->s, p);
            if (!m->s[p]) return 0;
        }
        r = search(m, p, slots);
        if (r <= 0) return r;
    }
    return 1;
}

int collect(Matcher* m, Buf<Capture>* matches) {
    const int32_t groups = m->prog->groups;
    Buf<Capture> slots;
    if (!slots.resize(size_t(groups), Capture{-1, -1})) return kNoMemory;
    const char16_t* s = m->s;
    int count = 0;
    int32_t p = 0;
    for (;;) {
        int r = search(m, p, slots.data);
        if (r < 0) return r;
        if (r == 0) break;
        if (empty_at(slots[0], p)) {
            // Passed over: the search moves on by one unit.
            if (!s[++p]) break;
        } else {
            if (!matches->append(slots.data, slots.size)) return kNoMemory;
            ++count;
            p = slots[0].end;
        }
        if (m->prog->line_start) {
            p = next_line(s, p);
            if (!s[p]) break;
        }
    }
    return count;
}

bool substitute(const char16_t* text, int32_t groups, const Buf<Capture>& matches, const char16_t* replacement,
                Buf<char16_t>* out) {
    size_t len = 0;
    while (text[len]) ++len;
    int32_t done = 0;
    for (size_t i = 0; i + size_t(groups) <= matches.size; i += size_t(groups)) {
        const Capture* slots = matches.data + i;
        if (!out->append(text + done, size_t(slots[0].begin - done))) return false;
        for (const char16_t* r = replacement; *r; ++r) {
            if (r[0] == u'$' && r[1] == u'$') {
                if (!out->push(u'$')) return false;
                ++r;
            } else if (r[0] == u'$' && r[1] >= u'0' && r[1] <= u'9') {
                int32_t d = r[1] - u'0', b, n;
                if (d < groups && slot_span(slots[d], &b, &n) && !out->append(text + b, size_t(n))) return false;
                ++r;
            } else if (!out->push(r[0])) {
                return false;
            }
        }
        done = slots[0].end;
    }
    return out->append(text + done, len - size_t(done));
}

}  // namespace deskops::regex
