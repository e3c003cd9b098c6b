#include "recorder_test_util.h"

#include <atomic>
#include <fstream>
#include <set>
#include <sstream>

#include "scenario.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace zvb::test {

TempFolder::TempFolder() {
    static std::atomic<int> counter{0};
#ifdef _WIN32
    unsigned long pid = GetCurrentProcessId();
#else
    unsigned long pid = (unsigned long)getpid();
#endif
    root = fs::temp_directory_path() / ("zvb_test-" + std::to_string(pid) + "-" + std::to_string(++counter));
    fs::remove_all(root);
    fs::create_directories(root);
}

TempFolder::~TempFolder() {
    std::error_code ignored;
    fs::remove_all(root, ignored);
}

std::u16string U(const fs::path& p) { return p.u16string(); }
std::u16string U16(const std::string& utf8) { return fs::u8path(utf8).u16string(); }

std::string bytes_of(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    if (!in) return "";
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void put_bytes(const fs::path& p, const std::string& bytes) {
    std::ofstream(p, std::ios::binary | std::ios::trunc) << bytes;
}

std::string le32(uint32_t v) {
    std::string s(4, '\0');
    for (int i = 0; i < 4; ++i) s[size_t(i)] = char(v >> (8 * i));
    return s;
}

std::string text_field(const std::string& utf8, size_t units) {
    std::u16string w = fs::u8path(utf8).u16string();
    std::string s(units * 2, '\0');
    for (size_t i = 0; i < w.size() && i < units; ++i) {
        s[2 * i] = char(w[i] & 0xFF);
        s[2 * i + 1] = char(w[i] >> 8);
    }
    return s;
}

std::string listing(const fs::path& root) {
    std::set<std::string> names;
    for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator(); ++it) {
        std::string rel = fs::relative(it->path(), root).generic_u8string();
        names.insert(it->is_directory() && !it->is_symlink() ? rel + "/" : rel);
    }
    std::string out;
    for (const std::string& n : names) out += (out.empty() ? "" : " ") + n;
    return out;
}

std::string tree_text(const ScenarioEntry* head) {
    std::string out;
    for (const ScenarioEntry* e = head->next; e; e = e->next) {
        if (!out.empty()) out += ' ';
        out += fs::path(std::u16string(e->name)).u8string();
        if (e->type == kTypeScript) out += '*';
        if (e->type == kTypeGroup) {
            out += '/';
            if (e->child) out += "(" + tree_text(e->child) + ")";
        }
    }
    return out;
}

}  // namespace zvb::test
