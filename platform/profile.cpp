// What both sides of the profile seam share.
#include "profile.h"

namespace zv {

int32_t profile_parse_int(const char16_t* p, int32_t def) {
    if (!*p) return def;
    while (*p == u' ' || *p == u'\t') ++p;
    bool negative = *p == u'-';
    if (*p == u'-' || *p == u'+') ++p;
    uint32_t n = 0;
    if (p[0] == u'0' && (p[1] == u'x' || p[1] == u'X')) {
        for (p += 2;; ++p) {
            char16_t c = *p;
            uint32_t d = c >= u'0' && c <= u'9' ? uint32_t(c - u'0')
                         : (c | 0x20) >= u'a' && (c | 0x20) <= u'f' ? uint32_t((c | 0x20) - u'a' + 10)
                                                                      : 16;
            if (d == 16) break;
            n = n * 16 + d;
        }
    } else {
        for (; *p >= u'0' && *p <= u'9'; ++p) n = n * 10 + uint32_t(*p - u'0');
    }
    return int32_t(negative ? 0u - n : n);
}

}  // namespace zv
