// The program's own message boxes: texts from its string table, caption
// "zarvo-bot".
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <string>

namespace zvs_app {

constexpr UINT kMsgBuildFailed = 2000;  // writing the executable failed
constexpr const wchar_t* kCaption = L"zarvo-bot";

inline void show_app_message(UINT id, UINT icon) {
    const wchar_t* text = nullptr;
    // Length 0 asks for a pointer into the resource itself.
    int n = LoadStringW(GetModuleHandleW(nullptr), id, reinterpret_cast<wchar_t*>(&text), 0);
    std::wstring copy = n > 0 ? std::wstring(text, size_t(n)) : std::wstring();
    MessageBoxW(nullptr, copy.c_str(), kCaption, icon);
}

}  // namespace zvs_app
