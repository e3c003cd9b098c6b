#include "command_line.h"

namespace zvb {

PlayRequest parse_command_line(const std::wstring& text) {
    PlayRequest r;
    size_t i = 0, n = text.size();
    auto skip_spaces = [&] {
        while (i < n && (text[i] == L' ' || text[i] == L'\t')) ++i;
    };
    skip_spaces();
    // "/n"; a slash followed by anything else is dropped alone and what
    // follows it belongs to the name.
    if (i < n && text[i] == L'/') {
        bool option = i + 1 < n && text[i + 1] == L'n';
        r.no_interrupt = option;
        i += option ? 2 : 1;
        skip_spaces();
    }
    if (i < n && text[i] == L'"') {
        size_t end = text.find(L'"', i + 1);
        r.name = text.substr(i + 1, end == std::wstring::npos ? std::wstring::npos : end - i - 1);
    } else {
        r.name = text.substr(i);
    }
    while (!r.name.empty() && (r.name.back() == L' ' || r.name.back() == L'\t')) r.name.pop_back();
    return r;
}

std::wstring arguments_of(const wchar_t* command_line) {
    const wchar_t* p = command_line;
    if (*p == L'"') {
        ++p;
        while (*p && *p != L'"') ++p;
        if (*p) ++p;
    } else {
        while (*p && *p != L' ' && *p != L'\t') ++p;
    }
    while (*p == L' ' || *p == L'\t') ++p;
    return p;
}

}  // namespace zvb
