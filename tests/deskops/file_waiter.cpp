// zv_file_waiter <dir>: writes its process id to <dir>\started.txt, then
// waits (at most a minute) until <dir>\go exists and ends. Tests start it to
// watch a process they control the end of. No window, no console.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <string>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR command_line, int) {
    std::wstring dir = command_line;
    if (dir.size() >= 2 && dir.front() == L'"' && dir.back() == L'"') dir = dir.substr(1, dir.size() - 2);
    std::string id = std::to_string(GetCurrentProcessId());
    HANDLE started = CreateFileW((dir + L"\\started.txt").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (started == INVALID_HANDLE_VALUE) return 1;
    DWORD written = 0;
    WriteFile(started, id.data(), DWORD(id.size()), &written, nullptr);
    CloseHandle(started);
    std::wstring go = dir + L"\\go";
    for (int i = 0; i < 6000; ++i, Sleep(10))
        if (GetFileAttributesW(go.c_str()) != INVALID_FILE_ATTRIBUTES) return 0;
    return 2;
}
