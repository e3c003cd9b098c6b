#include "embedded_script.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include "platform.h"

namespace zvs_app {

void scramble(char16_t* text, size_t n) {
    for (size_t i = 0; i < n; ++i) text[i] = char16_t(text[i] ^ kScriptKey);
}

char16_t* embedded_script(size_t* len, bool* no_memory) {
    *no_memory = false;
    HRSRC found = FindResourceExW(nullptr, kScriptResourceType, MAKEINTRESOURCEW(kScriptResourceId),
                                  kScriptResourceLanguage);
    if (!found) return nullptr;
    HGLOBAL loaded = LoadResource(nullptr, found);
    const char16_t* data = loaded ? static_cast<const char16_t*>(LockResource(loaded)) : nullptr;
    if (!data) return nullptr;
    // The script's length comes from the resource's size, which holds the
    // scrambled units and one terminator. Scanning for the first zero unit
    // instead would cut the script at any U+5A3C, which scrambles to zero.
    size_t n = SizeofResource(nullptr, found) / sizeof(char16_t);
    if (n && data[n - 1] == 0) --n;
    char16_t* text = static_cast<char16_t*>(zv::heap_alloc((n + 1) * sizeof(char16_t)));
    if (!text) {
        *no_memory = true;
        return nullptr;
    }
    for (size_t i = 0; i < n; ++i) text[i] = data[i];
    text[n] = 0;
    scramble(text, n);
    *len = n;
    return text;
}

}  // namespace zvs_app
