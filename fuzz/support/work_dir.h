// A scratch folder for fuzz targets that go through files: in memory
// (/dev/shm) where the system has it, since creating and removing files on
// a disk costs more than the code under test, else in the temporary folder.
// ZV_FUZZ_WORK names another parent. The folder is removed at exit.
#pragma once

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

namespace zv_fuzz {

inline std::filesystem::path& work_dir_path() {
    static std::filesystem::path path;
    return path;
}

// <parent>/<name>-<pid>, created empty.
inline std::filesystem::path work_dir(const char* name) {
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::path parent;
    if (const char* env = std::getenv("ZV_FUZZ_WORK"); env && *env) {
        parent = env;
    } else if (access("/dev/shm", W_OK) == 0) {
        parent = "/dev/shm";
    } else {
        parent = fs::temp_directory_path(ec);
        if (ec) parent = "/tmp";
    }
    fs::path& dir = work_dir_path();
    dir = parent / (std::string(name) + "-" + std::to_string(getpid()));
    fs::remove_all(dir, ec);
    fs::create_directories(dir, ec);
    std::atexit([] {
        std::error_code ignored;
        fs::remove_all(work_dir_path(), ignored);
    });
    return dir;
}

}  // namespace zv_fuzz
