// The clipboard's Unicode text: reading it and replacing it.
#include <cstring>

#include "frame_win32.h"

using namespace deskops;

namespace {

// Another program may hold the clipboard open for a moment (a paste in
// progress, a clipboard manager copying what was just set): an unattended
// script must not fail on that, so it is tried for up to half a second.
bool open_clipboard() {
    for (int tries = 1;; ++tries) {
        if (OpenClipboard(nullptr)) return true;
        if (tries == 50) return false;
        Sleep(10);
    }
}

}  // namespace

DESKOPS_FUNCTION(get_clipboard) {
    // Every failure reads as an empty clipboard.
    std::u16string text;
    if (IsClipboardFormatAvailable(CF_UNICODETEXT) && open_clipboard()) {
        HANDLE data = GetClipboardData(CF_UNICODETEXT);
        const wchar_t* locked = data ? static_cast<const wchar_t*>(GlobalLock(data)) : nullptr;
        if (locked) {
            // Bounded by the block: another program may have put text
            // without a terminator there.
            size_t limit = GlobalSize(data) / sizeof(wchar_t);
            size_t n = 0;
            while (n < limit && locked[n]) ++n;
            text.assign(reinterpret_cast<const char16_t*>(locked), n);
            GlobalUnlock(data);
        }
        CloseClipboard();
    }
    return put_string(result, text, errbuf);
}

DESKOPS_FUNCTION(set_clipboard) {
    if (!has_args(args, 1)) return kMissing;
    std::u16string text;
    if (!read_text(arg(args, 0), &text, errbuf)) return kFailed;
    if (!open_clipboard()) return fail_system(errbuf);
    HGLOBAL memory = nullptr;
    void* locked = nullptr;
    if (!EmptyClipboard() || !(memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, (text.size() + 1) * 2)) ||
        !(locked = GlobalLock(memory))) {
        DWORD error = GetLastError();
        if (memory) GlobalFree(memory);
        CloseClipboard();
        return fail_system(errbuf, error);
    }
    memcpy(locked, text.data(), text.size() * 2);
    GlobalUnlock(memory);
    bool taken = SetClipboardData(CF_UNICODETEXT, memory) != nullptr;
    // The memory belongs to the clipboard only when it took it.
    if (!taken) GlobalFree(memory);
    CloseClipboard();
    put_int(result, taken ? 1 : 0);
    pause_after_operation();
    return kDone;
}
