#include "hand_over.h"

namespace zvb {

LRESULT send_copy_data(HWND window, ULONG_PTR id, const void* data, size_t bytes) {
    COPYDATASTRUCT cd = {id, DWORD(bytes), const_cast<void*>(data)};
    DWORD_PTR answer = 0;
    if (!SendMessageTimeoutW(window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&cd), SMTO_NORMAL, 30000, &answer))
        return 0;
    return LRESULT(answer);
}

HWND find_instance(const std::wstring& user_folder, int wait_ms) {
    DWORD start = GetTickCount();
    for (;;) {
        for (HWND w = FindWindowExW(nullptr, nullptr, L"zarvo-bot_main", nullptr); w;
             w = FindWindowExW(nullptr, w, L"zarvo-bot_main", nullptr)) {
            if (!GetPropW(w, kInstanceProperty)) continue;
            if (user_folder.empty() ||
                send_copy_data(w, kCopyIsUserFolder, user_folder.c_str(), (user_folder.size() + 1) * 2) == 1)
                return w;
        }
        if (int(GetTickCount() - start) >= wait_ms) return nullptr;
        Sleep(50);
    }
}

}  // namespace zvb
