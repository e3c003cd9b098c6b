#include "strings.h"

namespace zv::ui {

namespace {

// A string block holds 16 counted strings; string `id` lives in block
// id / 16 + 1 at position id % 16.
bool find_in_block(HMODULE m, UINT id, WORD lang, std::wstring* out) {
    HRSRC r = FindResourceExW(m, RT_STRING, MAKEINTRESOURCEW(id / 16 + 1), lang);
    if (!r) return false;
    const WORD* p = static_cast<const WORD*>(LockResource(LoadResource(m, r)));
    if (!p) return false;
    const WORD* end = p + SizeofResource(m, r) / 2;
    for (UINT i = 0; i < id % 16 && p < end; ++i) p += 1 + *p;
    if (p >= end || *p == 0 || p + 1 + *p > end) return false;
    out->assign(reinterpret_cast<const wchar_t*>(p + 1), *p);
    return true;
}

std::wstring vformat(const wchar_t* pattern, va_list args) {
    wchar_t buf[1025];
    int n = wvsprintfW(buf, pattern, args);
    return std::wstring(buf, n > 0 ? size_t(n) : 0);
}

}  // namespace

std::wstring load_string(UINT id, HINSTANCE module) {
    HMODULE m = module ? module : GetModuleHandleW(nullptr);
    LANGID lang = LANGIDFROMLCID(GetThreadLocale());
    std::wstring s;
    if (find_in_block(m, id, lang, &s) ||
        find_in_block(m, id, MAKELANGID(PRIMARYLANGID(lang), SUBLANG_DEFAULT), &s))
        return s;
    const wchar_t* text = nullptr;
    int n = LoadStringW(m, id, reinterpret_cast<wchar_t*>(&text), 0);
    if (n > 0 && text) s.assign(text, size_t(n));
    return s;
}

std::wstring format(const wchar_t* pattern, ...) {
    va_list args;
    va_start(args, pattern);
    std::wstring s = vformat(pattern, args);
    va_end(args);
    return s;
}

std::wstring format_string(UINT id, ...) {
    std::wstring pattern = load_string(id);
    va_list args;
    va_start(args, id);
    std::wstring s = vformat(pattern.c_str(), args);
    va_end(args);
    return s;
}

std::wstring system_error_text(DWORD code) {
    wchar_t buf[512] = L"";
    DWORD n = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, buf, 512,
                             nullptr);
    while (n > 0 && (buf[n - 1] == L'\r' || buf[n - 1] == L'\n' || buf[n - 1] == L' ')) --n;
    return std::wstring(buf, n);
}

}  // namespace zv::ui
