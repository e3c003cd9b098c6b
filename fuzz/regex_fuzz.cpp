// Fuzz target: the regular expression engine on a pattern and a subject.
//
// Input: one options byte (bit 0 ignore case, the other bits a start index
// for regex_match), then the pattern as UTF-8, a NUL byte and the subject as
// UTF-8 (without the NUL the pattern is its own subject).
//
// Every input runs regex_match from two starts, the matches of
// regex_match_all and a replacement with the guarded matcher. Its work must
// stay within a budget that grows with program size times subject length
// (an overrun is a finding: the guard is meant to rule out anything worse),
// and its time within ZV_REGEX_FUZZ_BUDGET_MS (default 30000) as a backstop.
// Then the plain matcher does the same within a step limit; where it
// finishes, every result must be the guarded one's.
//
// The limits on program size, subject length and reference steps set the
// cost of one input. regex_fuzz keeps them small so that the fuzzer tries
// thousands of inputs a second; regex_slow_fuzz (the same source built with
// ZV_REGEX_FUZZ_SLOW) allows programs of 16,384 transitions, subjects of
// 2,048 units and ten times the reference steps, for long runs on counted
// repetitions.
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

// A counted repetition can ask for any size: bound the program.
#if defined(ZV_REGEX_FUZZ_SLOW)
constexpr rx::CompileLimits kLimits = {1 << 14, 1 << 14};
constexpr size_t kMaxSubject = 2048;
constexpr uint64_t kPlainSteps = 200000;
#else
constexpr rx::CompileLimits kLimits = {1 << 10, 1 << 10};
constexpr size_t kMaxSubject = 128;
constexpr uint64_t kPlainSteps = 20000;
#endif

using Outcome = std::vector<int32_t>;

struct Run {
    Outcome out;
    uint64_t max_steps = 0;  // of one matcher
};

// regex_match from two starts, all matches with their slots, replacement.
Run run(const rx::Program* prog, const char16_t* text, const rx::MatchOptions& options, int32_t start) {
    Run r;
    const int32_t groups = rx::group_count(prog);
    std::vector<rx::Capture> slots(static_cast<size_t>(groups));
    auto done = [&r](rx::Matcher* m) {
        if (rx::matcher_steps(m) > r.max_steps) r.max_steps = rx::matcher_steps(m);
        rx::matcher_free(m);
    };
    for (int32_t from : {0, start}) {
        rx::Matcher* m = rx::matcher_new(prog, text, options);
        if (!m) return Run{{rx::kNoMemory}, r.max_steps};
        int code = rx::find(m, from, slots.data());
        done(m);
        r.out.push_back(code);
        if (code < 0) return r;
        if (code == 1)
            for (const rx::Capture& c : slots) r.out.insert(r.out.end(), {c.begin, c.end});
    }
    rx::Matcher* m = rx::matcher_new(prog, text, options);
    if (!m) return Run{{rx::kNoMemory}, r.max_steps};
    rx::Buf<rx::Capture> all;
    int n = rx::collect(m, &all);
    done(m);
    r.out.push_back(n);
    if (n < 0) return r;
    for (size_t i = 0; i < all.size; ++i) r.out.insert(r.out.end(), {all[i].begin, all[i].end});
    rx::Buf<char16_t> replaced;
    if (!rx::substitute(text, groups, all, u"$1<$0>$$", &replaced)) return Run{{rx::kNoMemory}, r.max_steps};
    for (size_t i = 0; i < replaced.size; ++i) r.out.push_back(replaced[i]);
    return r;
}

long budget_ms() {
    static long budget = [] {
        const char* v = std::getenv("ZV_REGEX_FUZZ_BUDGET_MS");
        return v ? std::atol(v) : 30000L;
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
    size_t len = text ? zv::u16len(text) : 0;
    if (pattern && text && len <= kMaxSubject) {
        rx::Program* prog = rx::compile(pattern, kLimits);
        if (prog) {
            rx::MatchOptions guarded;
            guarded.ignore_case = options_byte & 1;
            const int32_t start = int32_t(options_byte >> 1) - 8;

            auto t0 = std::chrono::steady_clock::now();
            Run got = run(prog, text, guarded, start);
            auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t0);
            // Before the memo starts: 4096 + 32 per unit; after it, each
            // (state, position) is explored about once.
            const uint64_t bound = 4096 + 32 * (len + 1) + 8 * uint64_t(rx::program_size(prog)) * (len + 2);
            if (got.max_steps > bound || ms.count() > budget_ms()) {
                std::fprintf(stderr, "regex_fuzz: %llu steps (bound %llu), %ld ms (budget %ld ms)\n",
                             (unsigned long long)got.max_steps, (unsigned long long)bound, long(ms.count()),
                             budget_ms());
                std::abort();
            }

            rx::MatchOptions plain = guarded;
            plain.plain = true;
            plain.step_limit = kPlainSteps;
            // run() ends with the code of the operation that failed, if any.
            Run want = run(prog, text, plain, start);
            bool finished = want.out.empty() || want.out.back() != rx::kStepLimit;
            if (finished && want.out != got.out) {
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
