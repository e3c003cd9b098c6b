// The JSON reader: tokens, string escapes, and values built straight into
// script arrays (appends are O(1), so the work is linear in the text).
#include <charconv>
#include <cstdint>
#include <string>

#include "frame.h"
#include "json.h"
#include "platform.h"

namespace deskops {

namespace {

bool is_blank(char16_t c) { return c == u'\t' || c == u'\n' || c == u'\r' || c == u' ' || c == 0x3000; }
bool is_digit(char16_t c) { return c >= u'0' && c <= u'9'; }
bool is_letter(char16_t c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'); }

int hex_value(char16_t c) {
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    if (c >= u'A' && c <= u'F') return c - u'A' + 10;
    return -1;
}

bool word_is(const char16_t* p, size_t n, const char* word) {
    for (size_t i = 0; i < n; ++i, ++word) {
        char16_t c = p[i] >= u'A' && p[i] <= u'Z' ? char16_t(p[i] + 32) : p[i];
        if (!*word || c != char16_t(*word)) return false;
    }
    return !*word;
}

}  // namespace

JsonToken json_token(const char16_t* p) {
    while (is_blank(*p)) ++p;
    JsonToken t = {kJsonError, p, p + 1, p + 1};
    switch (*p) {
        case 0: t.kind = kJsonEnd; t.end = t.next = p; return t;
        case u':': t.kind = kJsonColon; return t;
        case u',': t.kind = kJsonComma; return t;
        case u'{': t.kind = kJsonObjectOpen; return t;
        case u'}': t.kind = kJsonObjectClose; return t;
        case u'[': t.kind = kJsonArrayOpen; return t;
        case u']': t.kind = kJsonArrayClose; return t;
        case u'"': {
            // A backslash takes the next unit with it, so an escaped quote
            // does not end the string and an escaped backslash before the
            // closing quote does not hide it.
            const char16_t* q = p + 1;
            while (*q && *q != u'"') q += (*q == u'\\' && q[1]) ? 2 : 1;
            if (!*q) {
                t.end = t.next = q;
                return t;  // unterminated
            }
            t.kind = kJsonString;
            t.start = p + 1;
            t.end = q;
            t.next = q + 1;
            return t;
        }
        default: break;
    }
    const char16_t* q = p;
    if (*q == u'-' || is_digit(*q)) {
        if (*q == u'-') ++q;
        size_t digits = 0;
        for (; is_digit(*q); ++q) ++digits;
        t.kind = kJsonInteger;
        if (*q == u'.') {
            t.kind = kJsonReal;
            for (++q; is_digit(*q); ++q) ++digits;
            if (*q == u'.') t.kind = kJsonError;  // a second "."
        }
        if (!digits) t.kind = kJsonError;
        t.end = t.next = q;
        return t;
    }
    if (is_letter(*q)) {
        while (is_letter(*q)) ++q;
        size_t n = size_t(q - p);
        if (word_is(p, n, "null")) t.kind = kJsonNull;
        else if (word_is(p, n, "true")) t.kind = kJsonTrue;
        else if (word_is(p, n, "false")) t.kind = kJsonFalse;
        t.end = t.next = q;
    }
    return t;
}

size_t json_unescape(const char16_t* s, size_t n, char16_t* out) {
    // One pass: what an escape produced is never read again as an escape
    // (so the text \\u0041 stays a backslash followed by u0041).
    size_t o = 0;
    size_t i = 0;
    while (i < n) {
        if (s[i] != u'\\' || i + 1 >= n) {
            out[o++] = s[i++];
            continue;
        }
        char16_t e = s[i + 1];
        char16_t simple = 0;
        switch (e) {
            case u'"': case u'\'': case u'\\': simple = e; break;
            case u'b': simple = 8; break;
            case u'n': simple = u'\n'; break;
            case u'r': simple = u'\r'; break;
            case u't': simple = u'\t'; break;
            default: break;
        }
        if (simple) {
            out[o++] = simple;
            i += 2;
            continue;
        }
        uint32_t v = 0;
        size_t k = i + 1, digits = 0;
        if (e == u'x' || e == u'u' || e == u'U') {
            // Up to four hexadecimal digits; without any the sequence stays
            // as written.
            for (++k; digits < 4 && k < n && hex_value(s[k]) >= 0; ++k, ++digits) v = v * 16 + uint32_t(hex_value(s[k]));
        } else {
            for (; digits < 6 && k < n && s[k] >= u'0' && s[k] <= u'7'; ++k, ++digits) v = v * 8 + uint32_t(s[k] - u'0');
        }
        if (digits) {
            out[o++] = char16_t(v & 0xFFFF);
            i = k;
        } else {
            out[o++] = s[i++];  // any other sequence is left unchanged
        }
    }
    return o;
}

namespace {

enum Status { kOk, kStop, kNoMemory };

// ASCII copy of a number token for std::from_chars, with the digits on both
// sides of the point filled in ("-.5" reads as "-0.5", "1." as "1.0").
double read_real(const char16_t* p, const char16_t* end) {
    std::string s;
    if (*p == u'-') s += *p++;
    const char16_t* dot = p;
    while (dot < end && *dot != u'.') ++dot;
    if (dot == p) s += '0';
    for (const char16_t* q = p; q < end; ++q) s += char(*q);
    if (dot < end && dot + 1 == end) s += '0';
    double d = 0;
    std::from_chars(s.data(), s.data() + s.size(), d);
    return d;
}

// A number without ".": an integer when it fits in 32 bits, else a real so
// that the value is not lost.
void read_integer(const char16_t* p, const char16_t* end, Value* v) {
    bool negative = *p == u'-';
    int64_t n = 0;
    for (const char16_t* q = p + negative; q < end; ++q) {
        n = n * 10 + (*q - u'0');
        if (n > int64_t(INT32_MAX) + 1) {
            v->kind = ksc::kReal;
            v->data.r = read_real(p, end);
            return;
        }
    }
    if (negative) n = -n;
    if (n > INT32_MAX) {
        v->kind = ksc::kReal;
        v->data.r = double(n);
        return;
    }
    v->data.i = int32_t(n);
}

Status read_value(const char16_t** pos, const JsonToken& t, Value* v, int depth);

// Members or elements up to the matching close token. Commas between them
// are optional and may repeat.
Status read_container(const char16_t** pos, bool object, Value* v, int depth) {
    ListBuilder b;
    list_start(v, &b);
    const JsonTokenKind close = object ? kJsonObjectClose : kJsonArrayClose;
    for (;;) {
        JsonToken t = json_token(*pos);
        *pos = t.next;
        if (t.kind == kJsonComma) continue;
        if (t.kind == close) return kOk;
        if (t.kind == kJsonEnd) return kStop;
        Node* e;
        if (object) {
            if (t.kind != kJsonString) return kStop;
            JsonToken colon = json_token(*pos);
            *pos = colon.next;
            if (colon.kind != kJsonColon) return kStop;
            // Member names are taken as written, escapes included.
            if (!(e = list_add(&b)) || !element_set_key(e, t.start, size_t(t.end - t.start))) return kNoMemory;
            t = json_token(*pos);
            *pos = t.next;
        } else if (!(e = list_add(&b))) {
            return kNoMemory;
        }
        Status s = read_value(pos, t, e->value, depth);
        if (s != kOk) return s;
    }
}

Status read_value(const char16_t** pos, const JsonToken& t, Value* v, int depth) {
    switch (t.kind) {
        case kJsonString: {
            size_t n = size_t(t.end - t.start);
            char16_t* s = static_cast<char16_t*>(zv::heap_alloc((n + 1) * sizeof(char16_t)));
            if (!s) return kNoMemory;
            s[json_unescape(t.start, n, s)] = 0;
            value_take_string(v, s);
            return kOk;
        }
        case kJsonInteger: read_integer(t.start, t.end, v); return kOk;
        case kJsonReal:
            v->kind = ksc::kReal;
            v->data.r = read_real(t.start, t.end);
            return kOk;
        case kJsonTrue: v->data.i = 1; return kOk;
        case kJsonFalse:
        case kJsonNull: return kOk;
        case kJsonObjectOpen:
        case kJsonArrayOpen:
            // Deeper nesting is treated as malformed: the reader's recursion,
            // and the engine's when it copies or frees the result, stay bounded.
            if (depth >= kJsonMaxDepth) return kStop;
            return read_container(pos, t.kind == kJsonObjectOpen, v, depth + 1);
        default: return kStop;
    }
}

}  // namespace

bool json_read(const char16_t* text, Value* v) {
    if (*text == 0xFEFF || *text == 0xFFFE) ++text;
    JsonToken t = json_token(text);
    if (t.kind != kJsonObjectOpen && t.kind != kJsonArrayOpen) return true;  // a scalar or nothing: 0
    const char16_t* pos = t.next;
    return read_value(&pos, t, v, 0) != kNoMemory;
}

}  // namespace deskops
