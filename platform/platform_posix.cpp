// POSIX side of the platform seam: the native Linux build of the portable core.
#include <dirent.h>
#include <pthread.h>
#include <dlfcn.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform.h"
#include "utf.h"

namespace zv {

void* heap_alloc(size_t bytes) { return calloc(1, bytes ? bytes : 1); }
void* heap_alloc_raw(size_t bytes) { return malloc(bytes ? bytes : 1); }
void heap_free(void* p) { free(p); }

bool text_equal(const char16_t* a, const char16_t* b) {
    while (*a && *a == *b) ++a, ++b;
    return *a == *b;
}

bool ui_japanese() {
    const char* names[] = {"LC_ALL", "LC_MESSAGES", "LANG"};
    for (const char* n : names) {
        const char* v = getenv(n);
        if (v && *v) return strncmp(v, "ja", 2) == 0;
    }
    return false;
}

bool read_file(const char16_t* path, char** data, size_t* size) {
    std::string p = utf16_to_utf8(path);
    FILE* f = fopen(p.c_str(), "rb");
    if (!f) return false;
    struct stat st;
    if (fstat(fileno(f), &st) != 0 || !S_ISREG(st.st_mode)) {
        fclose(f);
        return false;
    }
    size_t n = size_t(st.st_size);
    char* buf = static_cast<char*>(heap_alloc(n + 1));
    if (!buf) {
        fclose(f);
        return false;
    }
    size_t got = n ? fread(buf, 1, n, f) : 0;
    fclose(f);
    if (got != n) {
        heap_free(buf);
        return false;
    }
    *data = buf;
    *size = n;
    return true;
}

bool find_files(const char16_t* pattern, FileVisitor visit, void* ctx) {
    std::string pat = utf16_to_utf8(pattern);
    size_t slash = pat.rfind('/');
    std::string dir = slash == std::string::npos ? "." : pat.substr(0, slash + 1);
    std::string mask = slash == std::string::npos ? pat : pat.substr(slash + 1);
    DIR* d = opendir(dir.c_str());
    if (!d) return false;
    while (struct dirent* e = readdir(d)) {
        if (fnmatch(mask.c_str(), e->d_name, FNM_PERIOD) != 0) continue;
        struct stat st;
        std::string full = dir + e->d_name;
        if (stat(full.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
        size_t len;
        char16_t* name = utf8_to_utf16(e->d_name, strlen(e->d_name), &len);
        if (!name) break;
        bool go_on = visit(name, ctx);
        heap_free(name);
        if (!go_on) break;
    }
    closedir(d);
    return true;
}

char16_t* current_directory() {
    char buf[4096];
    if (!getcwd(buf, sizeof buf - 1)) return nullptr;
    size_t n = strlen(buf);
    if (n == 0 || buf[n - 1] != '/') buf[n++] = '/';
    return utf8_to_utf16(buf, n);
}

void* library_load(const char16_t* name) {
    std::string n = utf16_to_utf8(name);
    if (n.empty()) return nullptr;
    // A bare name is looked up beside the program first, as Windows does with
    // the application directory, then through the loader's own search.
    std::string candidates[3];
    int count = 0;
    bool has_dir = n.find('/') != std::string::npos;
    bool has_ext = n.find('.', has_dir ? n.rfind('/') : 0) != std::string::npos;
    if (!has_dir) {
        char exe[4096];
        ssize_t len = readlink("/proc/self/exe", exe, sizeof exe - 1);
        if (len > 0) {
            exe[len] = 0;
            std::string dir(exe);
            dir.resize(dir.rfind('/') + 1);
            candidates[count++] = dir + n + (has_ext ? "" : ".so");
        }
        candidates[count++] = "./" + n + (has_ext ? "" : ".so");
    }
    candidates[count++] = has_ext ? n : n + ".so";
    for (int i = 0; i < count; ++i) {
        if (void* h = dlopen(candidates[i].c_str(), RTLD_NOW | RTLD_LOCAL)) return h;
    }
    return nullptr;
}

void* library_symbol(void* lib, const char* name) { return dlsym(lib, name); }
void library_free(void* lib) { dlclose(lib); }

size_t stack_remaining() {
    static thread_local char* low = nullptr;
    if (!low) {
        pthread_attr_t attr;
        void* addr = nullptr;
        size_t size = 0;
        if (pthread_getattr_np(pthread_self(), &attr) == 0) {
            pthread_attr_getstack(&attr, &addr, &size);
            pthread_attr_destroy(&attr);
        }
        low = static_cast<char*>(addr);
        if (!low) return SIZE_MAX;
    }
    char* here = static_cast<char*>(__builtin_frame_address(0));
    return here > low ? size_t(here - low) : 0;
}

}  // namespace zv
