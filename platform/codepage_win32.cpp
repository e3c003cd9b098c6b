#include <windows.h>

#include "codepage.h"

namespace zv {

bool codepage_to_utf16(uint32_t cp, const char* bytes, std::u16string* out) {
    int n = MultiByteToWideChar(cp, 0, bytes, -1, nullptr, 0);
    if (n <= 0) return false;
    out->assign(size_t(n), u'\0');
    wchar_t* buf = reinterpret_cast<wchar_t*>(&(*out)[0]);
    if (MultiByteToWideChar(cp, 0, bytes, -1, buf, n) != n) return false;
    out->resize(size_t(n) - 1);  // the terminator
    return true;
}

bool utf16_to_codepage(uint32_t cp, const char16_t* text, std::string* out) {
    const wchar_t* w = reinterpret_cast<const wchar_t*>(text);
    int n = WideCharToMultiByte(cp, 0, w, -1, nullptr, 0, nullptr, nullptr);
    if (n <= 0) return false;
    out->assign(size_t(n), '\0');
    if (WideCharToMultiByte(cp, 0, w, -1, &(*out)[0], n, nullptr, nullptr) != n) return false;
    out->resize(size_t(n) - 1);
    return true;
}

}  // namespace zv
