#include "folders.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include "store.h"

namespace zvb {

namespace {

std::wstring module_folder() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        DWORD n = GetModuleFileNameW(nullptr, &path[0], DWORD(path.size()));
        if (n < path.size()) {
            path.resize(n);
            break;
        }
        path.resize(path.size() * 2);
    }
    return path.substr(0, path.find_last_of(L'\\') + 1);
}

std::wstring environment(const wchar_t* name) {
    wchar_t buf[MAX_PATH * 2];
    DWORD n = GetEnvironmentVariableW(name, buf, MAX_PATH * 2);
    return n > 0 && n < MAX_PATH * 2 ? std::wstring(buf, n) : std::wstring();
}

}  // namespace

bool make_folders(const std::wstring& path) {
    if (path.empty()) return false;
    DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    size_t cut = path.find_last_of(L"\\/");
    if (cut != std::wstring::npos && cut > 0 && path[cut - 1] != L':') make_folders(path.substr(0, cut));
    return CreateDirectoryW(path.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
}

bool setup_folders(Folders* f, const std::wstring& user_dir) {
    f->program = module_folder();
    wchar_t temp[MAX_PATH + 1] = L"";
    GetTempPathW(MAX_PATH + 1, temp);
    f->temp = temp;
    f->play_script = f->temp + L"zarvo-bot_tmp.ksc";
    f->user = user_dir.empty() ? environment(L"ZARVO_BOT_USER_DIR") : user_dir;
    if (f->user.empty()) {
        std::u16string user = default_user_folder();
        f->user.assign(user.begin(), user.end());
    }
    while (f->user.size() > 3 && (f->user.back() == L'\\' || f->user.back() == L'/')) f->user.pop_back();
    if (f->user.empty() || !make_folders(f->user)) {
        f->user.clear();
        return false;
    }
    f->data = f->user + L"\\data";
    f->settings_file = f->user + L"\\zarvo-bot.ini";
    make_folders(f->data);
    return true;
}

std::wstring log_folder(const Folders& f, const std::wstring& log_path) {
    if (!log_path.empty()) return log_path;
    return f.user.empty() ? std::wstring() : f.user + L"\\log";
}

}  // namespace zvb
