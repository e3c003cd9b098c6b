// POSIX side of the file-system seam: the native build of the portable core.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "fs.h"
#include "platform.h"
#include "utf.h"

namespace zv {

namespace {

std::string U8(const char16_t* s) { return utf16_to_utf8(s); }

size_t copy_out(const std::string& s, char16_t* buf, size_t cap) {
    size_t len = 0;
    char16_t* w = utf8_to_utf16(s.data(), s.size(), &len);
    if (!w || cap == 0 || len >= cap) {
        heap_free(w);
        return 0;
    }
    memcpy(buf, w, (len + 1) * sizeof(char16_t));
    heap_free(w);
    return len;
}

unsigned kind_of(const std::string& path) {
    struct stat st;
    if (lstat(path.c_str(), &st) != 0) return 0;
    if (!S_ISLNK(st.st_mode)) return S_ISDIR(st.st_mode) ? kPathFolder : kPathFile;
    struct stat target;
    bool folder = stat(path.c_str(), &target) == 0 && S_ISDIR(target.st_mode);
    return (folder ? kPathFolder : kPathFile) | kPathLink;
}

bool remove_tree(const std::string& path) {
    struct stat st;
    if (lstat(path.c_str(), &st) != 0) return false;
    if (!S_ISDIR(st.st_mode)) return unlink(path.c_str()) == 0;
    DIR* d = opendir(path.c_str());
    if (!d) return false;
    bool ok = true;
    while (struct dirent* e = readdir(d)) {
        if (!strcmp(e->d_name, ".") || !strcmp(e->d_name, "..")) continue;
        ok = remove_tree(path + "/" + e->d_name) && ok;
    }
    closedir(d);
    return rmdir(path.c_str()) == 0 && ok;
}

}  // namespace

uint32_t fs_last_error() { return uint32_t(errno); }

size_t fs_error_text(uint32_t code, char16_t* buf, size_t cap) {
    return copy_out(strerror(int(code)), buf, cap);
}

// ---- byte streams ------------------------------------------------------------

struct File {
    int fd;
};

File* file_open(const char16_t* path, FileMode mode) {
    int flags = O_RDONLY;
    if (mode == FileMode::kCreate) flags = O_WRONLY | O_CREAT | O_TRUNC;
    if (mode == FileMode::kAppend) flags = O_WRONLY | O_CREAT | O_APPEND;
    int fd = open(U8(path).c_str(), flags | O_CLOEXEC, 0644);
    if (fd < 0) return nullptr;
    struct stat st;
    if (fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        close(fd);
        errno = EISDIR;
        return nullptr;
    }
    File* f = static_cast<File*>(heap_alloc(sizeof(File)));
    if (!f) {
        close(fd);
        errno = ENOMEM;
        return nullptr;
    }
    f->fd = fd;
    return f;
}

bool file_read(File* f, void* buf, size_t n, size_t* got) {
    *got = 0;
    char* p = static_cast<char*>(buf);
    while (n > 0) {
        ssize_t r = read(f->fd, p, n);
        if (r < 0 && errno == EINTR) continue;
        if (r < 0) return false;
        if (r == 0) break;
        *got += size_t(r);
        p += r;
        n -= size_t(r);
    }
    return true;
}

bool file_write(File* f, const void* buf, size_t n) {
    const char* p = static_cast<const char*>(buf);
    while (n > 0) {
        ssize_t r = write(f->fd, p, n);
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) return false;
        p += r;
        n -= size_t(r);
    }
    return true;
}

bool file_seek(File* f, uint64_t pos) { return lseek(f->fd, off_t(pos), SEEK_SET) == off_t(pos); }

bool file_size(File* f, uint64_t* size) {
    struct stat st;
    if (fstat(f->fd, &st) != 0) return false;
    *size = uint64_t(st.st_size);
    return true;
}

bool file_sync(File* f) { return fsync(f->fd) == 0; }

bool file_close(File* f) {
    if (!f) return true;
    bool ok = close(f->fd) == 0;
    heap_free(f);
    return ok;
}

// ---- paths -------------------------------------------------------------------

unsigned path_kind(const char16_t* path) { return kind_of(U8(path)); }

bool path_created(const char16_t* path, uint64_t* seconds) {
    struct stat st;
    if (stat(U8(path).c_str(), &st) != 0) return false;
    *seconds = uint64_t(st.st_ctime);
    return true;
}

bool make_folder(const char16_t* path) { return mkdir(U8(path).c_str(), 0755) == 0; }
bool remove_file(const char16_t* path) { return unlink(U8(path).c_str()) == 0; }

bool remove_folder(const char16_t* path) {
    std::string p = U8(path);
    struct stat st;
    if (lstat(p.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) return unlink(p.c_str()) == 0;
    return rmdir(p.c_str()) == 0;
}

bool move_path(const char16_t* from, const char16_t* to) {
    std::string a = U8(from), b = U8(to);
    struct stat st;
    if (a != b && lstat(b.c_str(), &st) == 0) {
        errno = EEXIST;
        return false;
    }
    return rename(a.c_str(), b.c_str()) == 0;
}

bool copy_file(const char16_t* from, const char16_t* to, bool overwrite) {
    int in = open(U8(from).c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) return false;
    struct stat st;
    if (fstat(in, &st) != 0 || S_ISDIR(st.st_mode)) {
        close(in);
        errno = EISDIR;
        return false;
    }
    struct stat existing;
    if (stat(U8(to).c_str(), &existing) == 0 && existing.st_dev == st.st_dev && existing.st_ino == st.st_ino) {
        close(in);  // a file copied onto itself would be emptied first
        errno = EINVAL;
        return false;
    }
    int out = open(U8(to).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | (overwrite ? 0 : O_EXCL), 0644);
    if (out < 0) {
        int e = errno;
        close(in);
        errno = e;
        return false;
    }
    char buf[65536];
    bool ok = true;
    for (;;) {
        ssize_t r = read(in, buf, sizeof buf);
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) {
            ok = r == 0;
            break;
        }
        File f = {out};
        if (!file_write(&f, buf, size_t(r))) {
            ok = false;
            break;
        }
    }
    int e = errno;
    close(in);
    if (close(out) != 0) ok = false;
    if (!ok) errno = e ? e : EIO;
    return ok;
}

bool replace_file(const char16_t* from, const char16_t* to) { return rename(U8(from).c_str(), U8(to).c_str()) == 0; }

bool recycle_path(const char16_t* path) { return remove_tree(U8(path)); }

bool list_folder(const char16_t* folder, FolderVisitor visit, void* ctx) {
    std::string dir = U8(folder);
    DIR* d = opendir(dir.c_str());
    if (!d) return false;
    if (!dir.empty() && dir.back() != '/') dir += '/';
    while (struct dirent* e = readdir(d)) {
        if (!strcmp(e->d_name, ".") || !strcmp(e->d_name, "..")) continue;
        size_t len;
        char16_t* name = utf8_to_utf16(e->d_name, strlen(e->d_name), &len);
        if (!name) break;
        FolderEntry entry = {name, kind_of(dir + e->d_name)};
        bool go_on = entry.kind == 0 || visit(entry, ctx);
        heap_free(name);
        if (!go_on) break;
    }
    closedir(d);
    return true;
}

// ---- well-known folders ------------------------------------------------------

size_t temp_folder(char16_t* buf, size_t cap) {
    const char* t = getenv("TMPDIR");
    std::string dir = t && *t ? t : "/tmp";
    if (dir.back() != '/') dir += '/';
    return copy_out(dir, buf, cap);
}

size_t local_app_data_folder(char16_t* buf, size_t cap) {
    const char* xdg = getenv("XDG_DATA_HOME");
    if (xdg && *xdg == '/') return copy_out(xdg, buf, cap);
    const char* home = getenv("HOME");
    if (!home || *home != '/') return 0;
    return copy_out(std::string(home) + "/.local/share", buf, cap);
}

uint32_t process_id() { return uint32_t(getpid()); }

}  // namespace zv
