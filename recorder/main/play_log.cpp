#include "play_log.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

namespace zvb {

void PlayLog::write(const std::wstring& path, const std::wstring& message) const {
    if (!enabled_ || folder_.empty()) return;
    SYSTEMTIME t;
    GetLocalTime(&t);
    wchar_t file[32], stamp[32];
    wsprintfW(file, L"\\%04d%02d%02d.log", t.wYear, t.wMonth, t.wDay);
    wsprintfW(stamp, L"%04d/%02d/%02d %02d:%02d:%02d - [", t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond);
    std::wstring line = stamp + path + L"] " + message + L"\r\n";
    int n = WideCharToMultiByte(CP_UTF8, 0, line.data(), int(line.size()), nullptr, 0, nullptr, nullptr);
    std::string bytes(size_t(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, line.data(), int(line.size()), &bytes[0], n, nullptr, nullptr);
    HANDLE h = CreateFileW((folder_ + file).c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return;
    DWORD written;
    WriteFile(h, bytes.data(), DWORD(bytes.size()), &written, nullptr);  // one write: whole lines only
    CloseHandle(h);
}

}  // namespace zvb
