// Fuzz target: archive (.zva) import. Whatever the archive holds, the import
// ends, and nothing appears outside the data folder: the work folder holds
// only the archive and the data folder afterwards. Questions are answered
// yes; the data folder is emptied after each input.
#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

#include "archive.h"
#include "file_util.h"

namespace fs = std::filesystem;

namespace {

fs::path g_root;  // <temp>/zvb_zva_fuzz-<pid>: in.zva and data/

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    g_root = fs::temp_directory_path() / ("zvb_zva_fuzz-" + std::to_string(getpid()));
    fs::remove_all(g_root);
    fs::create_directories(g_root / "data");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fs::path archive = g_root / "in.zva";
    FILE* f = fopen(archive.c_str(), "wb");
    if (!f) return 0;
    fwrite(data, 1, size, f);
    fclose(f);
    zvb::UserPrompt yes = {[](void*, const zvb::Message&) { return true; }, nullptr, nullptr};
    std::u16string name;
    bool timeline = false;
    uint32_t error = 0;
    zvb::archive_import((g_root / "data").u16string(), archive.u16string(), yes, &name, &timeline, &error);
    for (const auto& e : fs::directory_iterator(g_root))
        if (e.path().filename() != "data" && e.path().filename() != "in.zva") __builtin_trap();
    for (const auto& e : fs::directory_iterator(g_root / "data")) zvb::delete_path(e.path().u16string(), false);
    return 0;
}
