// File-system access for the portable core (the recorder's data layer):
// byte streams, folders, moves and copies, atomic replacement, folder walks
// that report links, and the user's well-known folders. fs_win32.cpp uses
// the Win32 API, fs_posix.cpp the C library. Paths are NUL-terminated UTF-16.
// Every call that fails leaves its reason in fs_last_error().
#pragma once

#include <cstddef>
#include <cstdint>

namespace zv {

// ---- errors ------------------------------------------------------------------

// The reason of this thread's last failed call (GetLastError / errno).
uint32_t fs_last_error();
// The system's text for an error code, without a trailing line break.
// Writes at most cap units including the NUL; returns the length.
size_t fs_error_text(uint32_t code, char16_t* buf, size_t cap);

// ---- byte streams ------------------------------------------------------------

struct File;

enum class FileMode {
    kRead,    // existing file, shared for reading and writing by others
    kCreate,  // create or truncate, write only
    kAppend,  // open or create, every write goes to the end
};

File* file_open(const char16_t* path, FileMode mode);
// Reads up to n bytes; *got < n only at the end of the file.
bool file_read(File* f, void* buf, size_t n, size_t* got);
bool file_write(File* f, const void* buf, size_t n);
bool file_seek(File* f, uint64_t pos);
bool file_size(File* f, uint64_t* size);
// Flushes written data to the disk (FlushFileBuffers / fsync).
bool file_sync(File* f);
// False when data written through f could not be stored.
bool file_close(File* f);

// ---- paths -------------------------------------------------------------------

// What a path names: 0 when nothing is there, otherwise the flags below.
// kPathLink marks a reparse point (junction, symbolic link); kPathFolder is
// set for a link to a folder too.
enum : unsigned { kPathFile = 1, kPathFolder = 2, kPathLink = 4 };
unsigned path_kind(const char16_t* path);

// Creation time of a file or folder in seconds since 1970 (UTC). On POSIX,
// where there is no creation time, the last change of the file's status.
bool path_created(const char16_t* path, uint64_t* seconds);

// One folder level; fails when the parent is missing or the name exists.
bool make_folder(const char16_t* path);
bool remove_file(const char16_t* path);
// An empty folder, or a link to a folder (the link itself, never its target).
bool remove_folder(const char16_t* path);
// Renames or moves a file or folder within one volume. Fails when `to`
// exists, except when it is the same entry spelled in another letter case.
bool move_path(const char16_t* from, const char16_t* to);
bool copy_file(const char16_t* from, const char16_t* to, bool overwrite);
// Puts `from` in place of `to` in one step (same folder, same volume),
// replacing it when it exists; the rename itself is written through.
bool replace_file(const char16_t* from, const char16_t* to);
// Sends a file or a folder with everything in it to the recycle bin,
// silently and with undo (Windows); POSIX deletes it outright. Links inside
// a folder are removed themselves, never followed.
bool recycle_path(const char16_t* path);

// Calls visit for every entry of a folder except "." and ".." in the order
// the file system gives them; visit returns false to stop. False when the
// folder cannot be read.
struct FolderEntry {
    const char16_t* name;
    unsigned kind;  // path_kind flags of the entry
};
typedef bool (*FolderVisitor)(const FolderEntry& entry, void* ctx);
bool list_folder(const char16_t* folder, FolderVisitor visit, void* ctx);

// ---- well-known folders ------------------------------------------------------
// Each writes at most cap units including the NUL and returns the length,
// 0 on failure.

// The user's temporary folder, with a trailing separator.
size_t temp_folder(char16_t* buf, size_t cap);
// The per-user local application-data folder (CSIDL_LOCAL_APPDATA;
// $XDG_DATA_HOME or ~/.local/share on POSIX), without a trailing separator.
size_t local_app_data_folder(char16_t* buf, size_t cap);

uint32_t process_id();

}  // namespace zv
