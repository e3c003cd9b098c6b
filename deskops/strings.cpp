// String functions: trim, to_lower, to_upper, str_match, substring,
// in_string, split. Positions and lengths count UTF-16 units.
#include <string>

#include "frame.h"
#include "platform.h"
#include "utf.h"
#include "wildcard.h"

using namespace deskops;

namespace {

bool is_trim_blank(char16_t c) { return c == u'\t' || c == u'\n' || c == u'\r' || c == u' '; }

// Reads the first argument as a string (-2 when missing, 3001 otherwise).
int32_t first_string(Node* args, const char16_t** s, char16_t* errbuf) {
    if (!has_args(args, 1)) return kMissing;
    return read_string(arg(args, 0), s, errbuf) ? kDone : kFailed;
}

// to_lower / to_upper: only ASCII letters change.
int32_t map_ascii(Node* args, Node* result, char16_t* errbuf, char16_t from, char16_t to) {
    const char16_t* s;
    if (int32_t rc = first_string(args, &s, errbuf)) return rc;
    std::u16string out(s);
    for (char16_t& c : out)
        if (c >= from && c <= char16_t(from + 25)) c = char16_t(c - from + to);
    return put_string(result, out, errbuf);
}

}  // namespace

DESKOPS_FUNCTION(trim) {
    const char16_t* s;
    if (int32_t rc = first_string(args, &s, errbuf)) return rc;
    size_t begin = 0, end = zv::u16len(s);
    while (begin < end && is_trim_blank(s[begin])) ++begin;
    while (end > begin && is_trim_blank(s[end - 1])) --end;
    return put_string(result, s + begin, end - begin, errbuf);
}

DESKOPS_FUNCTION(to_lower) { return map_ascii(args, result, errbuf, u'A', u'a'); }

DESKOPS_FUNCTION(to_upper) { return map_ascii(args, result, errbuf, u'a', u'A'); }

DESKOPS_FUNCTION(str_match) {
    if (!has_args(args, 2)) return kMissing;
    const char16_t *pattern, *text;
    if (!read_string(arg(args, 0), &pattern, errbuf) || !read_string(arg(args, 1), &text, errbuf)) return kFailed;
    put_int(result, wildcard_match(pattern, text) ? 1 : 0);
    return kDone;
}

DESKOPS_FUNCTION(substring) {
    if (!has_args(args, 2)) return kMissing;
    const char16_t* s;
    if (!read_string(arg(args, 0), &s, errbuf)) return kFailed;
    // The start must be an integer: a real start is refused.
    const Value* start_arg = arg(args, 1);
    if (!is_integer(start_arg)) return fail(errbuf, kMsgNotNumber);
    int64_t len = int64_t(zv::u16len(s));
    int64_t start = start_arg->data.i;
    int64_t count = is_integer(arg(args, 2)) ? arg(args, 2)->data.i : -1;
    if (start < 0) start += len;
    if (start < 0 || start >= len || count == 0) return put_string(result, u"", 0, errbuf);
    int64_t rest = len - start;
    if (count < 0 || count > rest) count = rest;
    return put_string(result, s + start, size_t(count), errbuf);
}

DESKOPS_FUNCTION(in_string) {
    if (!has_args(args, 2)) return kMissing;
    const char16_t *text, *search;
    if (!read_string(arg(args, 0), &text, errbuf) || !read_string(arg(args, 1), &search, errbuf)) return kFailed;
    const Value* start_arg = arg(args, 2);
    int32_t start = is_integer(start_arg) ? start_arg->data.i : 0;
    std::u16string_view hay(text), needle(search);
    size_t at = std::u16string_view::npos;
    if (start >= 0 && size_t(start) < hay.size() && !needle.empty()) at = hay.find(needle, size_t(start));
    put_int(result, at == std::u16string_view::npos ? -1 : int32_t(at));
    return kDone;
}

DESKOPS_FUNCTION(split) {
    if (!has_args(args, 2)) return kMissing;
    const char16_t *text, *sep;
    if (!read_string(arg(args, 0), &text, errbuf) || !read_string(arg(args, 1), &sep, errbuf)) return kFailed;
    if (!*text) return kDone;  // no pieces: integer 0
    std::u16string_view rest(text), separator(sep);
    ListBuilder b;
    list_start(result->value, &b);
    for (;;) {
        size_t at = separator.empty() ? std::u16string_view::npos : rest.find(separator);
        size_t piece = at == std::u16string_view::npos ? rest.size() : at;
        if (!list_add_string(&b, rest.data(), piece)) return fail_no_memory(errbuf);
        if (at == std::u16string_view::npos) break;
        rest.remove_prefix(at + separator.size());
        if (rest.empty()) break;  // a trailing separator adds no empty piece
    }
    return kDone;
}
