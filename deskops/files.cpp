// File and directory functions: listing, status and query functions, and
// reading or writing whole files as bytes or as text (UTF-8, the ANSI code
// page, UTF-16 LE). Windows only: they use the Win32 file API, whose results
// and error texts are what scripts see.
//
// Buffers come from the process heap and are checked, never from
// containers that throw: a file too large for the 32-bit address space must
// end in the system's out-of-memory text, not in a crash.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <cstdint>
#include <cstring>

#include "frame.h"
#include "platform.h"
#include "utf.h"

using namespace deskops;

namespace {

const wchar_t* wide(const char16_t* s) { return reinterpret_cast<const wchar_t*>(s); }

// The one-argument functions that take a path: -2, 3001 or the path.
int32_t read_path_arg(const Node* args, const char16_t** path, char16_t* errbuf) {
    if (!has_args(args, 1)) return kMissing;
    return read_string(arg(args, 0), path, errbuf) ? kDone : kFailed;
}

int32_t put_status(Node* result, BOOL ok) {
    put_int(result, ok ? 1 : 0);
    return kDone;
}

// ---- listing ---------------------------------------------------------------------

int32_t list_entries(const Node* args, Node* result, char16_t* errbuf, bool directories) {
    const char16_t* pattern;
    if (int32_t rc = read_path_arg(args, &pattern, errbuf)) return rc;
    WIN32_FIND_DATAW entry;
    HANDLE find = FindFirstFileW(wide(pattern), &entry);
    if (find == INVALID_HANDLE_VALUE) return fail_system(errbuf);
    ListBuilder list;
    list_start(result->value, &list);
    bool any = false;
    do {
        if (((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) != directories) continue;
        const char16_t* name = reinterpret_cast<const char16_t*>(entry.cFileName);
        if (!list_add_string(&list, name, zv::u16len(name))) {
            FindClose(find);
            return fail_no_memory(errbuf);
        }
        any = true;
    } while (FindNextFileW(find, &entry));
    FindClose(find);
    if (!any) put_int(result, 0);
    return kDone;
}

// ---- queries -----------------------------------------------------------------------

// The first entry the system finds for the path (wildcards allowed).
bool find_entry(const char16_t* path, WIN32_FIND_DATAW* entry) {
    HANDLE find = FindFirstFileW(wide(path), entry);
    if (find == INVALID_HANDLE_VALUE) return false;
    FindClose(find);
    return true;
}

// Seconds since 1970-01-01 UTC, truncated to 32 bits.
int32_t unix_seconds(const FILETIME& t) {
    uint64_t ticks = uint64_t(t.dwHighDateTime) << 32 | t.dwLowDateTime;
    return int32_t(uint32_t(ticks / 10000000u - 11644473600u));
}

int32_t file_time(const Node* args, Node* result, char16_t* errbuf, bool creation) {
    const char16_t* path;
    if (int32_t rc = read_path_arg(args, &path, errbuf)) return rc;
    WIN32_FIND_DATAW entry;
    put_int(result, !find_entry(path, &entry) ? -1
                    : creation                ? unix_seconds(entry.ftCreationTime)
                                              : unix_seconds(entry.ftLastWriteTime));
    return kDone;
}

// ---- reading ---------------------------------------------------------------------------

struct FileBytes {
    char* data;   // process heap, zero-filled beyond size
    size_t size;
};

// Reads the whole file with `spare` zero bytes after it. The whole 64-bit
// size counts: a file that cannot fit in memory fails with the system's
// out-of-memory text rather than being read short or overflowing the size.
int32_t read_whole_file(const char16_t* path, size_t spare, FileBytes* out, char16_t* errbuf) {
    HANDLE file = CreateFileW(wide(path), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return fail_system(errbuf);
    LARGE_INTEGER size;
    if (!GetFileSizeEx(file, &size)) {
        DWORD error = GetLastError();
        CloseHandle(file);
        return fail_system(errbuf, error);
    }
    // The converters take int lengths; nothing that large fits a 32-bit
    // process anyway.
    if (uint64_t(size.QuadPart) > uint64_t(INT32_MAX) - 8) {
        CloseHandle(file);
        return fail_no_memory(errbuf);
    }
    size_t n = size_t(size.QuadPart);
    char* data = static_cast<char*>(zv::heap_alloc(n + spare));
    if (!data) {
        CloseHandle(file);
        return fail_no_memory(errbuf);
    }
    size_t done = 0;
    while (done < n) {
        DWORD got = 0;
        if (!ReadFile(file, data + done, DWORD(n - done), &got, nullptr)) {
            DWORD error = GetLastError();
            zv::heap_free(data);
            CloseHandle(file);
            return fail_system(errbuf, error);
        }
        if (got == 0) break;  // the file shrank meanwhile
        done += got;
    }
    CloseHandle(file);
    out->data = data;
    out->size = done;
    return kDone;
}

// Decodes NUL-terminated bytes of a code page into a string the result
// takes over.
int32_t put_decoded(Node* result, UINT code_page, const char* bytes, char16_t* errbuf) {
    int units = MultiByteToWideChar(code_page, 0, bytes, -1, nullptr, 0);
    if (units <= 0) return fail_system(errbuf);
    char16_t* text = static_cast<char16_t*>(zv::heap_alloc(size_t(units) * sizeof(char16_t)));
    if (!text) return fail_no_memory(errbuf);
    if (MultiByteToWideChar(code_page, 0, bytes, -1, reinterpret_cast<wchar_t*>(text), units) != units) {
        DWORD error = GetLastError();
        zv::heap_free(text);
        return fail_system(errbuf, error);
    }
    value_take_string(result->value, text);
    return kDone;
}

enum class TextFormat { kUtf8, kAnsi, kUtf16 };

int32_t read_text_file(const Node* args, Node* result, char16_t* errbuf, TextFormat format) {
    const char16_t* path;
    if (int32_t rc = read_path_arg(args, &path, errbuf)) return rc;
    FileBytes file;
    // UTF-16 needs a whole zero unit after an odd last byte too.
    if (int32_t rc = read_whole_file(path, format == TextFormat::kUtf16 ? 4 : 1, &file, errbuf)) return rc;
    if (format == TextFormat::kUtf16) {
        // The bytes are the units as they stand, up to the first zero unit;
        // a byte-order mark stays as U+FEFF. The buffer becomes the string.
        value_take_string(result->value, reinterpret_cast<char16_t*>(file.data));
        return kDone;
    }
    const char* text = file.data;
    // A UTF-8 byte-order mark is dropped, also when it is all the file holds.
    if (format == TextFormat::kUtf8 && file.size >= 3 && memcmp(text, "\xEF\xBB\xBF", 3) == 0) text += 3;
    int32_t rc = put_decoded(result, format == TextFormat::kUtf8 ? CP_UTF8 : CP_ACP, text, errbuf);
    zv::heap_free(file.data);
    return rc;
}

int32_t read_byte_file(const Node* args, Node* result, char16_t* errbuf) {
    const char16_t* path;
    if (int32_t rc = read_path_arg(args, &path, errbuf)) return rc;
    FileBytes file;
    if (int32_t rc = read_whole_file(path, 1, &file, errbuf)) return rc;
    int32_t rc = put_bytes(result, reinterpret_cast<const unsigned char*>(file.data), file.size, errbuf);
    zv::heap_free(file.data);
    return rc;
}

// ---- writing ---------------------------------------------------------------------------

// Writes the bytes with one write call; the result is the count written.
int32_t write_file(const char16_t* path, const void* data, size_t size, bool append, Node* result,
                   char16_t* errbuf) {
    HANDLE file = CreateFileW(wide(path), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_WRITE, nullptr,
                              append ? OPEN_ALWAYS : CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return fail_system(errbuf);
    LARGE_INTEGER zero = {};
    DWORD written = 0;
    BOOL ok = (!append || SetFilePointerEx(file, zero, nullptr, FILE_END)) &&
              WriteFile(file, data, DWORD(size), &written, nullptr);
    DWORD error = GetLastError();
    CloseHandle(file);
    if (!ok) return fail_system(errbuf, error);
    put_int(result, int32_t(written));
    return kDone;
}

int32_t write_text_file(const Node* args, Node* result, char16_t* errbuf, TextFormat format) {
    if (!has_args(args, 2)) return kMissing;
    const char16_t* path;
    const char16_t* text;
    if (!read_string(arg(args, 0), &path, errbuf) || !read_string(arg(args, 1), &text, errbuf)) return kFailed;
    bool append = read_flag(arg(args, 2));
    if (format == TextFormat::kUtf16)  // the string's own units, little-endian as in memory
        return write_file(path, text, zv::u16len(text) * sizeof(char16_t), append, result, errbuf);

    // The text in UTF-8 or the ANSI code page, without terminator;
    // unmappable characters become the system's default character.
    UINT code_page = format == TextFormat::kUtf8 ? CP_UTF8 : CP_ACP;
    int n = WideCharToMultiByte(code_page, 0, wide(text), -1, nullptr, 0, nullptr, nullptr);
    if (n <= 0) return fail_system(errbuf);
    char* bytes = static_cast<char*>(zv::heap_alloc(size_t(n)));
    if (!bytes) return fail_no_memory(errbuf);
    int32_t rc = WideCharToMultiByte(code_page, 0, wide(text), -1, bytes, n, nullptr, nullptr) == n
                     ? write_file(path, bytes, size_t(n) - 1, append, result, errbuf)
                     : fail_system(errbuf);
    zv::heap_free(bytes);
    return rc;
}

int32_t write_byte_file(const Node* args, Node* result, char16_t* errbuf) {
    if (!has_args(args, 2)) return kMissing;
    const char16_t* path;
    const Node* head;
    if (!read_string(arg(args, 0), &path, errbuf) || !read_array(arg(args, 1), &head, errbuf, kMsgNotList))
        return kFailed;
    // The low byte of every integer element, 0 for any other element.
    size_t n = 0;
    for (const Node* e = head; e; e = e->next) ++n;
    char* bytes = static_cast<char*>(zv::heap_alloc(n ? n : 1));
    if (!bytes) return fail_no_memory(errbuf);
    size_t i = 0;
    for (const Node* e = head; e; e = e->next, ++i)
        bytes[i] = e->value->kind == ksc::kInt ? char(e->value->data.i & 0xFF) : '\0';
    int32_t rc = write_file(path, bytes, n, read_flag(arg(args, 2)), result, errbuf);
    zv::heap_free(bytes);
    return rc;
}

}  // namespace

// ---- directories ---------------------------------------------------------------------

DESKOPS_FUNCTION(get_current_directory) {
    // Asked for its length first, so a long directory is not cut.
    DWORD units = GetCurrentDirectoryW(0, nullptr);
    if (!units) return fail_system(errbuf);
    char16_t* dir = static_cast<char16_t*>(zv::heap_alloc(units * sizeof(char16_t)));
    if (!dir) return fail_no_memory(errbuf);
    DWORD n = GetCurrentDirectoryW(units, reinterpret_cast<wchar_t*>(dir));
    if (n == 0 || n >= units) {
        DWORD error = n ? ERROR_INSUFFICIENT_BUFFER : GetLastError();
        zv::heap_free(dir);
        return fail_system(errbuf, error);
    }
    value_take_string(result->value, dir);
    return kDone;
}

DESKOPS_FUNCTION(set_current_directory) {
    const char16_t* path;
    if (int32_t rc = read_path_arg(args, &path, errbuf)) return rc;
    return put_status(result, SetCurrentDirectoryW(wide(path)));
}

DESKOPS_FUNCTION(directory_list) { return list_entries(args, result, errbuf, true); }
DESKOPS_FUNCTION(dir_list) { return list_entries(args, result, errbuf, true); }
DESKOPS_FUNCTION(file_list) { return list_entries(args, result, errbuf, false); }

DESKOPS_FUNCTION(directory_create) {
    const char16_t* path;
    if (int32_t rc = read_path_arg(args, &path, errbuf)) return rc;
    return put_status(result, CreateDirectoryW(wide(path), nullptr));
}

DESKOPS_FUNCTION(directory_remove) {
    const char16_t* path;
    if (int32_t rc = read_path_arg(args, &path, errbuf)) return rc;
    return put_status(result, RemoveDirectoryW(wide(path)));
}

// ---- status and queries ------------------------------------------------------------------

DESKOPS_FUNCTION(file_exists) {
    const char16_t* path;
    if (int32_t rc = read_path_arg(args, &path, errbuf)) return rc;
    return put_status(result, GetFileAttributesW(wide(path)) != INVALID_FILE_ATTRIBUTES);
}

DESKOPS_FUNCTION(get_file_size) {
    const char16_t* path;
    if (int32_t rc = read_path_arg(args, &path, errbuf)) return rc;
    HANDLE file = CreateFileW(wide(path), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        put_int(result, -1);
        return kDone;
    }
    put_int(result, int32_t(GetFileSize(file, nullptr)));  // the low 32 bits
    CloseHandle(file);
    return kDone;
}

DESKOPS_FUNCTION(get_file_create_time) { return file_time(args, result, errbuf, true); }
DESKOPS_FUNCTION(get_file_update_time) { return file_time(args, result, errbuf, false); }

DESKOPS_FUNCTION(get_file_attributes) {
    const char16_t* path;
    if (int32_t rc = read_path_arg(args, &path, errbuf)) return rc;
    WIN32_FIND_DATAW entry;
    put_int(result, find_entry(path, &entry) ? int32_t(entry.dwFileAttributes) : 0);
    return kDone;
}

DESKOPS_FUNCTION(file_copy) {
    if (!has_args(args, 2)) return kMissing;
    const char16_t* from;
    const char16_t* to;
    if (!read_string(arg(args, 0), &from, errbuf) || !read_string(arg(args, 1), &to, errbuf)) return kFailed;
    return put_status(result, CopyFileW(wide(from), wide(to), read_flag(arg(args, 2))));
}

DESKOPS_FUNCTION(file_move) {
    if (!has_args(args, 2)) return kMissing;
    const char16_t* from;
    const char16_t* to;
    if (!read_string(arg(args, 0), &from, errbuf) || !read_string(arg(args, 1), &to, errbuf)) return kFailed;
    return put_status(result, MoveFileW(wide(from), wide(to)));
}

DESKOPS_FUNCTION(file_delete) {
    const char16_t* path;
    if (int32_t rc = read_path_arg(args, &path, errbuf)) return rc;
    return put_status(result, DeleteFileW(wide(path)));
}

// ---- reading and writing ---------------------------------------------------------------------

DESKOPS_FUNCTION(file_read) { return read_byte_file(args, result, errbuf); }
DESKOPS_FUNCTION(file_read_bin) { return read_byte_file(args, result, errbuf); }
DESKOPS_FUNCTION(file_read_text) { return read_text_file(args, result, errbuf, TextFormat::kUtf8); }
DESKOPS_FUNCTION(file_read_ascii) { return read_text_file(args, result, errbuf, TextFormat::kAnsi); }
DESKOPS_FUNCTION(file_read_unicode) { return read_text_file(args, result, errbuf, TextFormat::kUtf16); }

DESKOPS_FUNCTION(file_write) { return write_byte_file(args, result, errbuf); }
DESKOPS_FUNCTION(file_write_bin) { return write_byte_file(args, result, errbuf); }
DESKOPS_FUNCTION(file_write_text) { return write_text_file(args, result, errbuf, TextFormat::kUtf8); }
DESKOPS_FUNCTION(file_write_ascii) { return write_text_file(args, result, errbuf, TextFormat::kAnsi); }
DESKOPS_FUNCTION(file_write_unicode) { return write_text_file(args, result, errbuf, TextFormat::kUtf16); }
