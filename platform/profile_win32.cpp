// Windows side of the profile seam: the system's own profile functions.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <cstring>

#include "platform.h"
#include "profile.h"

namespace zv {

namespace {

const wchar_t* W(const char16_t* s) { return reinterpret_cast<const wchar_t*>(s); }

}  // namespace

int32_t profile_int(const char16_t* file, const char16_t* section, const char16_t* key, int32_t def) {
    return int32_t(GetPrivateProfileIntW(W(section), W(key), def, W(file)));
}

size_t profile_text(const char16_t* file, const char16_t* section, const char16_t* key, const char16_t* def,
                    char16_t* buf, size_t cap) {
    if (cap == 0) return 0;
    return GetPrivateProfileStringW(W(section), W(key), W(def ? def : u""), reinterpret_cast<wchar_t*>(buf),
                                    DWORD(cap), W(file));
}

bool profile_write(const char16_t* file, const char16_t* section, const char16_t* key, const char16_t* value) {
    return WritePrivateProfileStringW(W(section), W(key), W(value), W(file)) != 0;
}

bool profile_section(const char16_t* file, const char16_t* section, ProfileVisitor visit, void* ctx) {
    if (GetFileAttributesW(W(file)) == INVALID_FILE_ATTRIBUTES) return false;
    // The section comes back as "key=value" texts, each NUL-terminated, with
    // a second NUL at the end; a full buffer returns its size minus two.
    DWORD cap = 4096;
    wchar_t* buf = nullptr;
    DWORD n = 0;
    for (;;) {
        buf = static_cast<wchar_t*>(heap_alloc(cap * sizeof(wchar_t)));
        if (!buf) return false;
        n = GetPrivateProfileSectionW(W(section), buf, cap, W(file));
        if (n < cap - 2 || cap >= (1u << 26)) break;
        heap_free(buf);
        cap *= 4;
    }
    for (wchar_t* p = buf; p < buf + n && *p;) {
        size_t len = size_t(lstrlenW(p));
        wchar_t* eq = wcschr(p, L'=');
        const char16_t* value = u"";
        if (eq) {
            *eq = 0;
            value = reinterpret_cast<const char16_t*>(eq + 1);
        }
        if (!visit(reinterpret_cast<const char16_t*>(p), value, ctx)) break;
        p += len + 1;
    }
    heap_free(buf);
    return true;
}

}  // namespace zv
