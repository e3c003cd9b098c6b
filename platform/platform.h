// The small seam between the portable core and the operating system.
// Everything the engine needs from the OS goes through here; platform_win32.cpp
// implements it with the Windows API, platform_posix.cpp for Linux builds.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zv {

// Memory that may cross the function-library boundary comes from the process
// heap (HeapAlloc on Windows) so a library and the engine can free each
// other's strings and arrays. Returned memory is zero-filled; null on failure.
void* heap_alloc(size_t bytes);
// The same without zero-filling, for buffers about to be written whole.
void* heap_alloc_raw(size_t bytes);
void heap_free(void* p);

// Case-sensitive, locale-aware equality of two UTF-16 texts (lstrcmpW == 0 on
// Windows, ordinal comparison elsewhere).
bool text_equal(const char16_t* a, const char16_t* b);

// True when user-visible texts should be Japanese: the primary language of
// the thread locale is Japanese (0x11). POSIX reads LC_ALL/LC_MESSAGES/LANG.
bool ui_japanese();

// Directory separator the engine writes when it composes paths.
#ifdef _WIN32
constexpr char16_t kDirSep = u'\\';
#else
constexpr char16_t kDirSep = u'/';
#endif

// Reads a whole file into a buffer from heap_alloc (one spare zero byte at
// the end). The file is opened for reading, sharing read and write.
// Returns false when it cannot be opened or read.
bool read_file(const char16_t* path, char** data, size_t* size);

// Enumerates the regular files that match a path pattern with * and ?
// wildcards in its last component, in the order the file system gives them.
// The callback receives the bare file name and returns false to stop.
// Returns false when the directory cannot be searched.
typedef bool (*FileVisitor)(const char16_t* name, void* ctx);
bool find_files(const char16_t* pattern, FileVisitor visit, void* ctx);

// Current directory with a trailing separator, from heap_alloc; null on failure.
char16_t* current_directory();

// Shared libraries (LoadLibraryW / dlopen). The name is passed as the user
// wrote it; Windows appends ".dll" itself, POSIX tries "<name>.so" too.
void* library_load(const char16_t* name);
void* library_symbol(void* lib, const char* name);
void library_free(void* lib);

// Bytes of native stack left below the caller's frame on this thread; the
// engine stops nesting (recursion, deeply nested source) well before it runs
// out.
size_t stack_remaining();

}  // namespace zv
