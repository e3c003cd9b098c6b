// Windows side of the file-system seam.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include <cstring>

#include "fs.h"
#include "platform.h"
#include "utf.h"

namespace zv {

namespace {

const wchar_t* W(const char16_t* s) { return reinterpret_cast<const wchar_t*>(s); }

size_t copy_out(const wchar_t* s, size_t n, char16_t* buf, size_t cap) {
    if (cap == 0 || n >= cap) return 0;
    memcpy(buf, s, n * sizeof(char16_t));
    buf[n] = 0;
    return n;
}

unsigned kind_of(DWORD attributes) {
    unsigned kind = (attributes & FILE_ATTRIBUTE_DIRECTORY) ? kPathFolder : kPathFile;
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) kind |= kPathLink;
    return kind;
}

}  // namespace

uint32_t fs_last_error() { return GetLastError(); }

size_t fs_error_text(uint32_t code, char16_t* buf, size_t cap) {
    if (cap == 0) return 0;
    DWORD n = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                             reinterpret_cast<wchar_t*>(buf), DWORD(cap), nullptr);
    while (n > 0 && (buf[n - 1] == u'\r' || buf[n - 1] == u'\n' || buf[n - 1] == u' ')) --n;
    if (n == 0) {
        wchar_t text[32];
        wsprintfW(text, L"Error %lu", static_cast<unsigned long>(code));
        return copy_out(text, lstrlenW(text), buf, cap);
    }
    buf[n] = 0;
    return n;
}

// ---- byte streams ------------------------------------------------------------

struct File {
    HANDLE h;
};

File* file_open(const char16_t* path, FileMode mode) {
    DWORD access = GENERIC_READ, share = FILE_SHARE_READ | FILE_SHARE_WRITE, disposition = OPEN_EXISTING;
    if (mode == FileMode::kCreate) {
        access = GENERIC_WRITE;
        share = FILE_SHARE_READ;
        disposition = CREATE_ALWAYS;
    } else if (mode == FileMode::kAppend) {
        access = FILE_APPEND_DATA;
        share = FILE_SHARE_READ;
        disposition = OPEN_ALWAYS;
    }
    HANDLE h = CreateFileW(W(path), access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return nullptr;
    File* f = static_cast<File*>(heap_alloc(sizeof(File)));
    if (!f) {
        CloseHandle(h);
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    f->h = h;
    return f;
}

bool file_read(File* f, void* buf, size_t n, size_t* got) {
    *got = 0;
    char* p = static_cast<char*>(buf);
    while (n > 0) {
        DWORD part = n > 0x40000000 ? 0x40000000 : DWORD(n), done = 0;
        if (!ReadFile(f->h, p, part, &done, nullptr)) return false;
        if (done == 0) break;
        *got += done;
        p += done;
        n -= done;
    }
    return true;
}

bool file_write(File* f, const void* buf, size_t n) {
    const char* p = static_cast<const char*>(buf);
    while (n > 0) {
        DWORD part = n > 0x40000000 ? 0x40000000 : DWORD(n), done = 0;
        if (!WriteFile(f->h, p, part, &done, nullptr)) return false;
        if (done == 0) {
            SetLastError(ERROR_WRITE_FAULT);
            return false;
        }
        p += done;
        n -= done;
    }
    return true;
}

bool file_seek(File* f, uint64_t pos) {
    LARGE_INTEGER to;
    to.QuadPart = LONGLONG(pos);
    return SetFilePointerEx(f->h, to, nullptr, FILE_BEGIN) != 0;
}

bool file_size(File* f, uint64_t* size) {
    LARGE_INTEGER len;
    if (!GetFileSizeEx(f->h, &len)) return false;
    *size = uint64_t(len.QuadPart);
    return true;
}

bool file_sync(File* f) { return FlushFileBuffers(f->h) != 0; }

bool file_close(File* f) {
    if (!f) return true;
    bool ok = CloseHandle(f->h) != 0;
    heap_free(f);
    return ok;
}

// ---- paths -------------------------------------------------------------------

unsigned path_kind(const char16_t* path) {
    DWORD a = GetFileAttributesW(W(path));
    return a == INVALID_FILE_ATTRIBUTES ? 0 : kind_of(a);
}

bool path_created(const char16_t* path, uint64_t* seconds) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(W(path), GetFileExInfoStandard, &data)) return false;
    uint64_t ticks = uint64_t(data.ftCreationTime.dwHighDateTime) << 32 | data.ftCreationTime.dwLowDateTime;
    const uint64_t kEpoch = 116444736000000000ull;  // 1970-01-01 in 100 ns ticks since 1601
    *seconds = ticks > kEpoch ? (ticks - kEpoch) / 10000000u : 0;
    return true;
}

bool make_folder(const char16_t* path) { return CreateDirectoryW(W(path), nullptr) != 0; }
bool remove_file(const char16_t* path) { return DeleteFileW(W(path)) != 0; }
bool remove_folder(const char16_t* path) { return RemoveDirectoryW(W(path)) != 0; }
bool move_path(const char16_t* from, const char16_t* to) { return MoveFileExW(W(from), W(to), 0) != 0; }

bool copy_file(const char16_t* from, const char16_t* to, bool overwrite) {
    return CopyFileW(W(from), W(to), overwrite ? FALSE : TRUE) != 0;
}

bool replace_file(const char16_t* from, const char16_t* to) {
    return MoveFileExW(W(from), W(to), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

bool recycle_path(const char16_t* path) {
    // The shell wants a full path in a list that ends with two NULs.
    wchar_t full[MAX_PATH + 2];
    DWORD n = GetFullPathNameW(W(path), MAX_PATH, full, nullptr);
    if (n == 0 || n >= MAX_PATH) {
        if (n >= MAX_PATH) SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return false;
    }
    full[n + 1] = 0;
    SHFILEOPSTRUCTW op = {};
    op.wFunc = FO_DELETE;
    op.pFrom = full;
    op.fFlags = FOF_ALLOWUNDO | FOF_NOCONFIRMATION | FOF_SILENT | FOF_NOERRORUI;
    int rc = SHFileOperationW(&op);
    if (rc != 0 || op.fAnyOperationsAborted) {
        SetLastError(rc ? DWORD(rc) : ERROR_CANCELLED);
        return false;
    }
    return true;
}

bool list_folder(const char16_t* folder, FolderVisitor visit, void* ctx) {
    size_t n = u16len(folder);
    wchar_t* pattern = static_cast<wchar_t*>(heap_alloc((n + 3) * sizeof(wchar_t)));
    if (!pattern) return false;
    memcpy(pattern, folder, n * sizeof(wchar_t));
    if (n && pattern[n - 1] != L'\\' && pattern[n - 1] != L'/') pattern[n++] = L'\\';
    pattern[n++] = L'*';
    pattern[n] = 0;
    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileW(pattern, &fd);
    heap_free(pattern);
    if (h == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_FILE_NOT_FOUND;
    do {
        const wchar_t* name = fd.cFileName;
        if (name[0] == L'.' && (name[1] == 0 || (name[1] == L'.' && name[2] == 0))) continue;
        FolderEntry entry = {reinterpret_cast<const char16_t*>(name), kind_of(fd.dwFileAttributes)};
        if (!visit(entry, ctx)) break;
    } while (FindNextFileW(h, &fd));
    FindClose(h);
    return true;
}

// ---- well-known folders ------------------------------------------------------

size_t temp_folder(char16_t* buf, size_t cap) {
    wchar_t path[MAX_PATH + 1];
    DWORD n = GetTempPathW(MAX_PATH + 1, path);
    if (n == 0 || n > MAX_PATH) return 0;
    return copy_out(path, n, buf, cap);
}

size_t local_app_data_folder(char16_t* buf, size_t cap) {
    wchar_t path[MAX_PATH];
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA | CSIDL_FLAG_CREATE, nullptr, 0, path))) return 0;
    return copy_out(path, size_t(lstrlenW(path)), buf, cap);
}

uint32_t process_id() { return GetCurrentProcessId(); }

}  // namespace zv
