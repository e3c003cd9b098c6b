// Fuzz target: archive (.zva) import. Whatever the archive holds, the import
// ends, and nothing appears outside the data folder: the work folder holds
// only the archive and the data folder afterwards. Questions are answered
// yes; the data folder is emptied after each input.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

#include "archive.h"
#include "file_util.h"
#include "support/work_dir.h"

namespace fs = std::filesystem;

namespace {

fs::path g_root;  // <work>/zvb_zva_fuzz-<pid>: in.zva and data/

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    g_root = zv_fuzz::work_dir("zvb_zva_fuzz");
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
