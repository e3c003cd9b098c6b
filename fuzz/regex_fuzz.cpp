// Fuzz target: the regular expression engine on a pattern and a subject.
//
// Input: one options byte (bit 0 ignore case, the other bits a start index
// for regex_match), then the pattern as UTF-8, a NUL byte and the subject as
// UTF-8 (without the NUL the pattern is its own subject).
//
// Every input runs regex_match from two starts, the matches of
// regex_match_all and a replacement with the guarded matcher, which must
// finish within a time budget (ZV_REGEX_FUZZ_BUDGET_MS, default 2000 ms; an
// overrun is a finding). Then the plain matcher does the same within a step
// limit; where it finishes, every result must be the guarded one's.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform.h"
#include "regex_engine.h"
#include "utf.h"

namespace rx = deskops::regex;

namespace {

// Bounds that keep one input within the budget: a counted repetition can
// ask for any size, and the work grows with states times subject units.
constexpr rx::CompileLimits kLimits = {1 << 14, 1 << 14};
constexpr size_t kMaxSubject = 2048;
constexpr uint64_t kPlainSteps = 200000;

using Outcome = std::vector<int32_t>;

// regex_match from two starts, all matches with their slots, replacement.
Outcome run(const rx::Program* prog, const char16_t* text, const rx::MatchOptions& options, int32_t start) {
    Outcome out;
    const int32_t groups = rx::group_count(prog);
    std::vector<rx::Capture> slots(static_cast<size_t>(groups));
    for (int32_t from : {0, start}) {
        rx::Matcher* m = rx::matcher_new(prog, text, options);
        if (!m) return {rx::kNoMemory};
        int r = rx::find(m, from, slots.data());
        rx::matcher_free(m);
        out.push_back(r);
        if (r < 0) return out;
        if (r == 1)
            for (const rx::Capture& c : slots) out.insert(out.end(), {c.begin, c.end});
    }
    rx::Matcher* m = rx::matcher_new(prog, text, options);
    if (!m) return {rx::kNoMemory};
    rx::Buf<rx::Capture> all;
    int n = rx::collect(m, &all);
    rx::matcher_free(m);
    out.push_back(n);
    if (n < 0) return out;
    for (size_t i = 0; i < all.size; ++i) out.insert(out.end(), {all[i].begin, all[i].end});
    rx::Buf<char16_t> replaced;
    if (!rx::substitute(text, groups, all, u"$1<$0>$$", &replaced)) return {rx::kNoMemory};
    for (size_t i = 0; i < replaced.size; ++i) out.push_back(replaced[i]);
    return out;
}

long budget_ms() {
    static long budget = [] {
        const char* v = std::getenv("ZV_REGEX_FUZZ_BUDGET_MS");
        return v ? std::atol(v) : 2000L;
    }();
    return budget;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const uint8_t options_byte = data[0];
    const char* rest = reinterpret_cast<const char*>(data + 1);
    size_t n = size - 1;
    const char* nul = static_cast<const char*>(std::memchr(rest, 0, n));
    size_t pattern_len = nul ? size_t(nul - rest) : n;
    char16_t* pattern = zv::utf8_to_utf16(rest, pattern_len);
    char16_t* text = nul ? zv::utf8_to_utf16(nul + 1, n - pattern_len - 1) : zv::utf8_to_utf16(rest, n);
    if (pattern && text && zv::u16len(text) <= kMaxSubject) {
        rx::Program* prog = rx::compile(pattern, kLimits);
        if (prog) {
            rx::MatchOptions guarded;
            guarded.ignore_case = options_byte & 1;
            const int32_t start = int32_t(options_byte >> 1) - 8;

            auto t0 = std::chrono::steady_clock::now();
            Outcome got = run(prog, text, guarded, start);
            auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t0);
            if (ms.count() > budget_ms()) {
                std::fprintf(stderr, "regex_fuzz: %ld ms for one input (budget %ld ms)\n", long(ms.count()),
                             budget_ms());
                std::abort();
            }

            rx::MatchOptions plain = guarded;
            plain.plain = true;
            plain.step_limit = kPlainSteps;
            // run() ends with the code of the operation that failed, if any.
            Outcome want = run(prog, text, plain, start);
            bool finished = want.empty() || want.back() != rx::kStepLimit;
            if (finished && want != got) {
                std::fprintf(stderr, "regex_fuzz: guarded and plain matchers differ\n");
                std::abort();
            }
            rx::program_free(prog);
        }
    }
    zv::heap_free(pattern);
    zv::heap_free(text);
    return 0;
}
