#include <cerrno>
#include <cstring>

#include "codepage.h"
#include "platform.h"
#include "utf.h"

namespace zv {

static bool is_utf8(uint32_t cp) { return cp == 65001 || cp == kAnsiCodePage; }

bool codepage_to_utf16(uint32_t cp, const char* bytes, std::u16string* out) {
    if (!is_utf8(cp)) {
        errno = EINVAL;
        return false;
    }
    size_t len = 0;
    char16_t* s = utf8_to_utf16(bytes, strlen(bytes), &len);
    if (!s) {
        errno = ENOMEM;
        return false;
    }
    out->assign(s, len);
    heap_free(s);
    return true;
}

bool utf16_to_codepage(uint32_t cp, const char16_t* text, std::string* out) {
    if (!is_utf8(cp)) {
        errno = EINVAL;
        return false;
    }
    *out = utf16_to_utf8(text);
    return true;
}

}  // namespace zv
