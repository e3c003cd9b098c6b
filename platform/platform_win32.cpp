// Windows side of the platform seam.
#include <windows.h>

#include <cstdint>

#include "platform.h"
#include "utf.h"

namespace zv {

static const wchar_t* W(const char16_t* s) { return reinterpret_cast<const wchar_t*>(s); }

void* heap_alloc(size_t bytes) { return HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, bytes ? bytes : 1); }
void* heap_alloc_raw(size_t bytes) { return HeapAlloc(GetProcessHeap(), 0, bytes ? bytes : 1); }
void heap_free(void* p) {
    if (p) HeapFree(GetProcessHeap(), 0, p);
}

bool text_equal(const char16_t* a, const char16_t* b) { return lstrcmpW(W(a), W(b)) == 0; }

bool ui_japanese() { return (GetThreadLocale() & 0x3FF) == 0x11; }

bool read_file(const char16_t* path, char** data, size_t* size) {
    HANDLE h = CreateFileW(W(path), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    LARGE_INTEGER len;
    if (!GetFileSizeEx(h, &len) || len.QuadPart >= 0x7FFFFFFF) {
        CloseHandle(h);
        return false;
    }
    DWORD n = DWORD(len.QuadPart);
    char* buf = static_cast<char*>(heap_alloc(size_t(n) + 1));
    if (!buf) {
        CloseHandle(h);
        return false;
    }
    DWORD got = 0;
    BOOL ok = n ? ReadFile(h, buf, n, &got, nullptr) : TRUE;
    CloseHandle(h);
    if (!ok || got != n) {
        heap_free(buf);
        return false;
    }
    *data = buf;
    *size = n;
    return true;
}

bool find_files(const char16_t* pattern, FileVisitor visit, void* ctx) {
    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileW(W(pattern), &fd);
    if (h == INVALID_HANDLE_VALUE) return false;
    do {
        if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        if (!visit(reinterpret_cast<const char16_t*>(fd.cFileName), ctx)) break;
    } while (FindNextFileW(h, &fd));
    FindClose(h);
    return true;
}

char16_t* current_directory() {
    DWORD n = GetCurrentDirectoryW(0, nullptr);
    if (!n) return nullptr;
    char16_t* buf = static_cast<char16_t*>(heap_alloc((n + 2) * sizeof(char16_t)));
    if (!buf) return nullptr;
    DWORD len = GetCurrentDirectoryW(n, reinterpret_cast<wchar_t*>(buf));
    if (len == 0 || len >= n) {
        heap_free(buf);
        return nullptr;
    }
    if (buf[len - 1] != u'\\' && buf[len - 1] != u'/') buf[len++] = u'\\';
    buf[len] = 0;
    return buf;
}

void* library_load(const char16_t* name) { return reinterpret_cast<void*>(LoadLibraryW(W(name))); }
void* library_symbol(void* lib, const char* name) {
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(lib), name));
}
void library_free(void* lib) { FreeLibrary(static_cast<HMODULE>(lib)); }

size_t stack_remaining() {
    static thread_local char* low = nullptr;
    if (!low) {
        MEMORY_BASIC_INFORMATION mbi = {};
        if (!VirtualQuery(&mbi, &mbi, sizeof mbi)) return SIZE_MAX;
        low = static_cast<char*>(mbi.AllocationBase);
    }
    char* here = static_cast<char*>(__builtin_frame_address(0));
    return here > low ? size_t(here - low) : 0;
}

}  // namespace zv
