// File helpers of the recorder's data layer: path texts, saves through a
// temporary file that replaces the original in one step, whole-tree copies
// and deletes that never follow links, and system error texts.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "fs.h"
#include "platform.h"

namespace zvb {

using Path = std::u16string;

constexpr char16_t kSep = zv::kDirSep;
// Bytes moved per read or write when a file is copied piecewise.
constexpr size_t kCopyChunk = 1024000;
// Folder levels any walk of the data folder descends at most.
constexpr int kMaxDepth = 64;

Path path_join(const Path& folder, const Path& name);
// The part after the last separator (both separators count on Windows).
Path path_file_name(const Path& path);
// The file name without its last extension ("a.b.zva" gives "a.b").
Path path_stem(const Path& path);
// The last extension with its dot, "" when there is none.
Path path_extension(const Path& path);
bool path_exists(const Path& path);

// The system's text for an error code (fs_last_error() values).
std::u16string error_text(uint32_t code);

// A file written beside its target under a temporary name and put in its
// place by commit(); anything else (failure, destruction) removes the
// temporary file and leaves the target as it was. Writes are buffered.
class AtomicFile {
public:
    AtomicFile() = default;
    ~AtomicFile() { abort(); }
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    bool open(const Path& target);
    bool write(const void* data, size_t n);
    bool commit();
    void abort();
    // The system error of the first failure.
    uint32_t error() const { return error_; }

private:
    bool flush();
    bool fail();

    Path target_, temp_;
    zv::File* file_ = nullptr;
    uint32_t error_ = 0;
    size_t used_ = 0;
    char buffer_[65536];
};

// Copies the next n bytes of `in` to `out` in pieces of kCopyChunk through
// one buffer. False with *error set when `in` ends early or a call fails.
bool copy_bytes(zv::File* in, uint64_t n, AtomicFile& out, uint32_t* error);

// Copies the folder `from` into `to` (created when missing), file by file,
// never overwriting and never following links. after_file, when given, is
// called for every copied file. False on the first failure, with *error set;
// what was copied stays.
typedef void (*CopiedFile)(const Path& path, void* ctx);
bool copy_tree(const Path& from, const Path& to, CopiedFile after_file, void* ctx, uint32_t* error);

// Deletes a file, or a folder with everything in it; links are removed
// themselves. With recycle, the system's recycle bin takes it instead.
bool delete_path(const Path& path, bool recycle);

}  // namespace zvb
