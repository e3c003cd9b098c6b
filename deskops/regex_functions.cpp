// Regular expression functions: regex_match, regex_match_all and
// regex_replace, on the engine in regex/. Each call compiles its pattern
// afresh. Memory running out while compiling or matching is not reported
// separately: the call then finds no match.
#include "frame.h"
#include "regex_engine.h"
#include "utf.h"

using namespace deskops;
namespace rx = deskops::regex;

namespace {

// The program and matcher of one call, released on every way out.
struct Search {
    rx::Program* prog = nullptr;
    rx::Matcher* m = nullptr;

    Search(const char16_t* text, const char16_t* pattern, bool ignore_case) {
        prog = rx::compile(pattern);
        rx::MatchOptions options;
        options.ignore_case = ignore_case;
        if (prog) m = rx::matcher_new(prog, text, options);
    }
    ~Search() {
        if (m) rx::matcher_free(m);
        if (prog) rx::program_free(prog);
    }
    Search(const Search&) = delete;
    Search& operator=(const Search&) = delete;
};

// Optional arguments count only when they are integers; the ignore-case flag
// only when it is exactly 1.
bool ignore_case_flag(const Value* v) { return v && is_integer(v) && v->data.i == 1; }

// Reads the leading string arguments (3001 for any other kind).
int32_t read_strings(Node* args, int count, const char16_t** out, char16_t* errbuf) {
    if (!has_args(args, count)) return kMissing;
    for (int i = 0; i < count; ++i)
        if (!read_string(arg(args, i), &out[i], errbuf)) return kFailed;
    return kDone;
}

bool add_slot_text(ListBuilder* b, const char16_t* text, const rx::Capture& c) {
    int32_t begin, length;
    if (!rx::slot_span(c, &begin, &length)) return list_add_string(b, u"", 0);
    return list_add_string(b, text + begin, size_t(length));
}

}  // namespace

DESKOPS_FUNCTION(regex_match) {
    const char16_t* s[2];
    if (int32_t rc = read_strings(args, 2, s, errbuf)) return rc;
    const char16_t *text = s[0], *pattern = s[1];
    // The flag is read only after an integer start.
    const Value* start_arg = arg(args, 2);
    const bool has_start = start_arg && is_integer(start_arg);
    const int32_t start = has_start ? start_arg->data.i : 0;
    Search search(text, pattern, has_start && ignore_case_flag(arg(args, 3)));
    if (!search.m) return kDone;  // integer 0

    rx::Buf<rx::Capture> slots;
    if (!slots.resize(size_t(rx::group_count(search.prog)), rx::Capture{-1, -1})) return kDone;
    if (rx::find(search.m, start, slots.data) != 1) return kDone;

    ListBuilder top, groups;
    list_start(result->value, &top);
    Node* match = list_add(&top);
    if (!match || !element_set_key(match, u"match", 5)) return fail_no_memory(errbuf);
    list_start(match->value, &groups);
    for (size_t g = 0; g < slots.size; ++g)
        if (!add_slot_text(&groups, text, slots[g])) return fail_no_memory(errbuf);
    Node* index = list_add(&top);
    if (!index || !element_set_key(index, u"index", 5)) return fail_no_memory(errbuf);
    index->value->data.i = slots[0].begin;
    return kDone;
}

DESKOPS_FUNCTION(regex_match_all) {
    const char16_t* s[2];
    if (int32_t rc = read_strings(args, 2, s, errbuf)) return rc;
    const char16_t* text = s[0];
    Search search(text, s[1], ignore_case_flag(arg(args, 2)));
    if (!search.m) return kDone;

    rx::Buf<rx::Capture> matches;
    if (rx::collect(search.m, &matches) <= 0) return kDone;  // integer 0
    const size_t groups = size_t(rx::group_count(search.prog));
    ListBuilder b;
    list_start(result->value, &b);
    for (size_t i = 0; i < matches.size; i += groups)
        if (!add_slot_text(&b, text, matches[i])) return fail_no_memory(errbuf);
    return kDone;
}

DESKOPS_FUNCTION(regex_replace) {
    const char16_t* s[3];
    if (int32_t rc = read_strings(args, 3, s, errbuf)) return rc;
    const char16_t *text = s[0], *replacement = s[2];
    Search search(text, s[1], ignore_case_flag(arg(args, 3)));

    rx::Buf<rx::Capture> matches;
    if (!search.m || rx::collect(search.m, &matches) <= 0) return put_string(result, text, zv::u16len(text), errbuf);
    rx::Buf<char16_t> out;
    if (!rx::substitute(text, rx::group_count(search.prog), matches, replacement, &out))
        return fail_no_memory(errbuf);
    return put_string(result, out.data ? out.data : u"", out.size, errbuf);
}
