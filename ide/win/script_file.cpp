#include "script_file.h"

#include <vector>

#include "platform.h"
#include "utf.h"

namespace zvs {

namespace {

// Closes a file handle at the end of a scope.
struct File {
    HANDLE h;
    ~File() {
        if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
    }
};

}  // namespace

bool read_script_file(const std::wstring& path, std::u16string* text, DWORD* error) {
    File f{CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL, nullptr)};
    LARGE_INTEGER size;
    if (f.h == INVALID_HANDLE_VALUE || !GetFileSizeEx(f.h, &size)) {
        *error = GetLastError();
        return false;
    }
    if (size.QuadPart > 0x7FFFFFFF) {
        *error = ERROR_NOT_ENOUGH_MEMORY;
        return false;
    }
    std::vector<char> bytes(size_t(size.QuadPart));
    size_t got = 0;
    while (got < bytes.size()) {
        DWORD n = 0;
        if (!ReadFile(f.h, bytes.data() + got, DWORD(bytes.size() - got), &n, nullptr)) {
            *error = GetLastError();
            return false;
        }
        if (n == 0) break;
        got += n;
    }
    bytes.resize(got);
    size_t skip = got > 3 && memcmp(bytes.data(), "\xEF\xBB\xBF", 3) == 0 ? 3 : 0;
    size_t units = 0;
    char16_t* decoded = zv::utf8_to_utf16(bytes.data() + skip, got - skip, &units);
    if (!decoded) {
        *error = ERROR_NOT_ENOUGH_MEMORY;
        return false;
    }
    text->assign(decoded, units);
    zv::heap_free(decoded);
    return true;
}

bool write_script_file(const std::wstring& path, const std::u16string& text, DWORD* error) {
    std::string bytes = zv::utf16_to_utf8(text.data(), text.size());
    File f{CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                       nullptr)};
    if (f.h == INVALID_HANDLE_VALUE) {
        *error = GetLastError();
        return false;
    }
    size_t done = 0;
    while (done < bytes.size()) {
        DWORD n = 0;
        if (!WriteFile(f.h, bytes.data() + done, DWORD(bytes.size() - done), &n, nullptr) || n == 0) {
            *error = GetLastError();
            return false;
        }
        done += n;
    }
    return true;
}

}  // namespace zvs
