#include "wildcard.h"

namespace deskops {

static char16_t fold(char16_t c) { return c >= u'A' && c <= u'Z' ? char16_t(c + 32) : c; }

// A star tries the rest of the pattern at each following text position,
// shortest run first. Only the latest star needs a retry position: when the
// pattern after it fails, earlier stars could only end later, which the
// latest star's retries already cover. So the walk is iterative and at most
// O(pattern x text), whatever the number of stars.
bool wildcard_match(const char16_t* pattern, const char16_t* text) {
    const char16_t* p = pattern;
    const char16_t* t = text;
    const char16_t* star = nullptr;  // pattern just after the latest star
    const char16_t* retry = nullptr; // text position that star resumes at
    for (;;) {
        if (*p == u'*') {
            while (*p == u'*') ++p;
            if (!*p) return true;  // a final star takes the rest
            star = p;
            retry = t;
            continue;
        }
        if (*t && (*p == u'?' || (*p && fold(*p) == fold(*t)))) {
            ++p;
            ++t;
            continue;
        }
        if (!*p && !*t) return true;
        // Mismatch (or the pattern ended before the text): let the latest
        // star take one more unit.
        if (!star || !*retry) return false;
        p = star;
        t = ++retry;
    }
}

}  // namespace deskops
