// POSIX part of the library frame, for the native build that tests the
// portable families: no display scaling (awareness 0), errno texts, no
// string table (the built-in message copy is used).
#include <fcntl.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "frame.h"
#include "utf.h"

namespace deskops {

void system_start(void*) { set_display_scale(0, 100); }

uint32_t last_error() { return uint32_t(errno); }
uint32_t no_memory_error() { return ENOMEM; }

void sleep_ms(uint32_t ms) {
    struct timespec t = {time_t(ms / 1000), long(ms % 1000) * 1000000L};
    while (nanosleep(&t, &t) != 0 && errno == EINTR) {
    }
}

uint32_t tick_count() {
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return uint32_t(uint64_t(t.tv_sec) * 1000u + uint64_t(t.tv_nsec) / 1000000u);
}

void system_error_text(uint32_t code, char16_t* out, size_t units) {
    std::string text = strerror(int(code));
    size_t n = 0;
    for (; n < units - 1 && n < text.size(); ++n) out[n] = char16_t(static_cast<unsigned char>(text[n]));
    out[n] = 0;
}

bool load_string(void*, uint32_t, char16_t*, int) { return false; }

bool append_to_file(const char16_t* path, const char* data, size_t n) {
    int fd = open(zv::utf16_to_utf8(path).c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    bool ok = true;
    while (ok && n > 0) {
        ssize_t done = write(fd, data, n);
        if (done < 0 && errno == EINTR) continue;
        ok = done > 0;
        if (ok) {
            data += done;
            n -= size_t(done);
        }
    }
    int error = errno;
    close(fd);
    errno = error;
    return ok;
}

}  // namespace deskops
