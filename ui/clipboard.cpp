#include "clipboard.h"

#include <cstring>

namespace zv::ui {

bool set_clipboard_text(HWND owner, const std::wstring& text) {
    if (!OpenClipboard(owner)) return false;
    EmptyClipboard();
    bool ok = false;
    if (HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE, (text.size() + 1) * sizeof(wchar_t))) {
        if (void* p = GlobalLock(mem)) {
            memcpy(p, text.c_str(), (text.size() + 1) * sizeof(wchar_t));
            GlobalUnlock(mem);
            ok = SetClipboardData(CF_UNICODETEXT, mem) != nullptr;
        }
        if (!ok) GlobalFree(mem);
    }
    CloseClipboard();
    return ok;
}

bool get_clipboard_text(HWND owner, std::wstring* text) {
    if (!OpenClipboard(owner)) return false;
    bool ok = false;
    if (HANDLE mem = GetClipboardData(CF_UNICODETEXT)) {
        if (const auto* p = static_cast<const wchar_t*>(GlobalLock(mem))) {
            size_t room = GlobalSize(mem) / sizeof(wchar_t), n = 0;
            while (n < room && p[n]) ++n;  // a text without its zero ends with the memory
            text->assign(p, n);
            GlobalUnlock(mem);
            ok = true;
        }
    }
    CloseClipboard();
    return ok;
}

}  // namespace zv::ui
