#include "file_util.h"

#include <cstring>
#include <string>
#include <vector>

#include "errors.h"
#include "names.h"

namespace zvb {

namespace {

bool is_sep(char16_t c) {
#ifdef _WIN32
    return c == u'\\' || c == u'/';
#else
    return c == u'/';
#endif
}

}  // namespace

Path path_join(const Path& folder, const Path& name) {
    if (folder.empty()) return name;
    Path p = folder;
    if (!is_sep(p.back())) p += kSep;
    return p + name;
}

Path path_file_name(const Path& path) {
    size_t i = path.size();
    while (i > 0 && !is_sep(path[i - 1])) --i;
    return path.substr(i);
}

Path path_stem(const Path& path) {
    Path name = path_file_name(path);
    size_t dot = name.rfind(u'.');
    return dot == Path::npos || dot == 0 ? name : name.substr(0, dot);
}

Path path_extension(const Path& path) {
    Path name = path_file_name(path);
    size_t dot = name.rfind(u'.');
    return dot == Path::npos || dot == 0 ? Path() : name.substr(dot);
}

bool path_exists(const Path& path) { return zv::path_kind(path.c_str()) != 0; }

std::u16string error_text(uint32_t code) {
    if (const char16_t* own = own_error_text(code)) return own;
    char16_t buf[512];
    size_t n = zv::fs_error_text(code, buf, 512);
    return std::u16string(buf, n);
}

// ---- AtomicFile --------------------------------------------------------------

bool AtomicFile::fail() {
    if (!error_) error_ = zv::fs_last_error();
    if (!error_) error_ = kErrorWriteFailed;
    abort();
    return false;
}

bool AtomicFile::open(const Path& target) {
    abort();
    error_ = 0;
    used_ = 0;
    target_ = target;
    // Beside the target, so the final rename stays on one volume; the
    // process id keeps the recorder and zvb_cmd apart.
    std::string suffix = ".~" + std::to_string(zv::process_id()) + ".tmp";
    temp_ = target + Path(suffix.begin(), suffix.end());
    file_ = zv::file_open(temp_.c_str(), zv::FileMode::kCreate);
    if (!file_) {
        error_ = zv::fs_last_error();
        temp_.clear();
        return false;
    }
    return true;
}

bool AtomicFile::flush() {
    if (used_ && !zv::file_write(file_, buffer_, used_)) return fail();
    used_ = 0;
    return true;
}

bool AtomicFile::write(const void* data, size_t n) {
    if (!file_) return false;
    if (used_ + n > sizeof buffer_) {
        if (!flush()) return false;
        if (n > sizeof buffer_) return zv::file_write(file_, data, n) || fail();
    }
    memcpy(buffer_ + used_, data, n);
    used_ += n;
    return true;
}

bool AtomicFile::commit() {
    if (!file_) return false;
    if (!flush() || !zv::file_sync(file_)) return fail();
    zv::File* f = file_;
    file_ = nullptr;
    if (!zv::file_close(f) || !zv::replace_file(temp_.c_str(), target_.c_str())) {
        error_ = zv::fs_last_error();
        zv::remove_file(temp_.c_str());
        temp_.clear();
        return false;
    }
    temp_.clear();
    return true;
}

void AtomicFile::abort() {
    if (file_) {
        zv::file_close(file_);
        file_ = nullptr;
    }
    if (!temp_.empty()) {
        zv::remove_file(temp_.c_str());
        temp_.clear();
    }
}

// ---- copies and deletes ------------------------------------------------------

bool copy_bytes(zv::File* in, uint64_t n, AtomicFile& out, uint32_t* error) {
    if (n == 0) return true;
    size_t cap = n < kCopyChunk ? size_t(n) : kCopyChunk;
    char* buf = static_cast<char*>(zv::heap_alloc(cap));
    if (!buf) {
        *error = kErrorNoMemory;
        return false;
    }
    bool ok = true;
    while (n > 0 && ok) {
        size_t part = n < cap ? size_t(n) : cap, got = 0;
        if (!zv::file_read(in, buf, part, &got)) {
            *error = zv::fs_last_error();
            ok = false;
        } else if (got != part) {
            *error = kErrorTruncated;
            ok = false;
        } else if (!out.write(buf, part)) {
            *error = out.error();
            ok = false;
        }
        n -= part;
    }
    zv::heap_free(buf);
    return ok;
}

namespace {

struct Listing {
    std::vector<std::pair<Path, unsigned>> entries;
};

bool collect(const zv::FolderEntry& e, void* ctx) {
    static_cast<Listing*>(ctx)->entries.emplace_back(e.name, e.kind);
    return true;
}

bool copy_level(const Path& from, const Path& to, CopiedFile after_file, void* ctx, uint32_t* error, int depth) {
    if (depth > kMaxDepth) {
        *error = kErrorTooDeep;
        return false;
    }
    if (!(zv::path_kind(to.c_str()) & zv::kPathFolder) && !zv::make_folder(to.c_str())) {
        *error = zv::fs_last_error();
        return false;
    }
    Listing list;
    if (!zv::list_folder(from.c_str(), collect, &list)) {
        *error = zv::fs_last_error();
        return false;
    }
    for (const auto& e : list.entries) {
        if (e.second & zv::kPathLink) continue;
        Path src = path_join(from, e.first), dst = path_join(to, e.first);
        if (e.second & zv::kPathFolder) {
            if (!copy_level(src, dst, after_file, ctx, error, depth + 1)) return false;
        } else {
            if (!zv::copy_file(src.c_str(), dst.c_str(), false)) {
                *error = zv::fs_last_error();
                return false;
            }
            if (after_file) after_file(dst, ctx);
        }
    }
    return true;
}

bool remove_level(const Path& path, int depth) {
    unsigned kind = zv::path_kind(path.c_str());
    if (!(kind & zv::kPathFolder)) return zv::remove_file(path.c_str());
    if (kind & zv::kPathLink) return zv::remove_folder(path.c_str());
    if (depth > kMaxDepth) return false;
    Listing list;
    zv::list_folder(path.c_str(), collect, &list);
    for (const auto& e : list.entries) remove_level(path_join(path, e.first), depth + 1);
    return zv::remove_folder(path.c_str());
}

}  // namespace

bool copy_tree(const Path& from, const Path& to, CopiedFile after_file, void* ctx, uint32_t* error) {
    // A folder copied into itself would grow while it is walked.
    Path inner = path_join(from, Path());
    if (to.size() >= inner.size() && name_starts_with(to, inner)) {
        *error = kErrorInsideItself;
        return false;
    }
    return copy_level(from, to, after_file, ctx, error, 0);
}

bool delete_path(const Path& path, bool recycle) {
    if (recycle) return zv::recycle_path(path.c_str());
    return remove_level(path, 0);
}

}  // namespace zvb
