// Helpers of the recorder tests: temporary folders, whole files as bytes,
// and UTF-16 paths for the data layer.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

namespace zvb::test {

namespace fs = std::filesystem;

// A fresh folder under the temporary folder, removed with its contents.
struct TempFolder {
    fs::path root;
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    fs::path operator/(const std::string& utf8) const { return (root / fs::u8path(utf8)).make_preferred(); }
};

std::u16string U(const fs::path& p);
std::u16string U16(const std::string& utf8);
std::string bytes_of(const fs::path& p);  // "" when the file is missing
void put_bytes(const fs::path& p, const std::string& bytes);

// Little-endian building blocks of hand-made files.
std::string le32(uint32_t v);
// A UTF-16LE text field of `units` units, zero-filled (from UTF-8).
std::string text_field(const std::string& utf8, size_t units);

// Every file and folder below `root`, as sorted relative UTF-8 paths with
// "/" between parts; folders end with "/".
std::string listing(const fs::path& root);

}  // namespace zvb::test

namespace zvb {

struct ScenarioEntry;

namespace test {

// The tree as one line: each entry's name with "*" for a script and "/"
// for a group, whose members follow in parentheses: "a b* G/(x y*)".
std::string tree_text(const ScenarioEntry* head);

}  // namespace test
}  // namespace zvb
