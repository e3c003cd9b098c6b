#include "http_error.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#include <winhttp.h>
#include <winsock2.h>

#include "frame.h"

namespace deskops {

namespace {

constexpr DWORD kUserDefaultLanguage = 0x0400;

// The module's text, cut to the buffer and without trailing line breaks;
// false when the module has none for the code.
bool module_text(const wchar_t* module_name, DWORD code, char16_t* errbuf) {
    HMODULE module = GetModuleHandleW(module_name);
    if (!module) return false;
    wchar_t* text = nullptr;
    // Allocated, so a text longer than the buffer is cut rather than lost.
    DWORD n = FormatMessageW(FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_IGNORE_INSERTS |
                                 FORMAT_MESSAGE_ALLOCATE_BUFFER,
                             module, code, kUserDefaultLanguage, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    if (n == 0 || !text) return false;
    while (n > 0 && (text[n - 1] == L'\r' || text[n - 1] == L'\n' || text[n - 1] == L' ')) --n;
    text[n] = 0;
    set_error(errbuf, reinterpret_cast<const char16_t*>(text));
    LocalFree(text);
    return n > 0;
}

}  // namespace

int32_t fail_winhttp(char16_t* errbuf, uint32_t code) {
    // Some WinHTTP versions pass a socket's time-out through instead of
    // their own code; scripts see one time-out text either way.
    if (code == WSAETIMEDOUT) code = ERROR_WINHTTP_TIMEOUT;
    if (module_text(L"winhttp.dll", code, errbuf)) return kFailed;
    fail_system(errbuf, code);
    if (errbuf[0]) return kFailed;
    // Some systems ship the client without its message table; a failure
    // must never be reported without a word.
    wchar_t text[40];
    // Security-layer codes read better as the hexadecimal numbers they are.
    wsprintfW(text, code >= 0x80000000u ? L"WinHTTP error 0x%08lX" : L"WinHTTP error %lu",
              static_cast<unsigned long>(code));
    set_error(errbuf, reinterpret_cast<const char16_t*>(text));
    return kFailed;
}

int32_t fail_winhttp(char16_t* errbuf) { return fail_winhttp(errbuf, GetLastError()); }

}  // namespace deskops
