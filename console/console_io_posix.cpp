#include <clocale>
#include <cstdio>
#include <cstring>
#include <string>

#include "console_io.h"
#include "platform.h"
#include "utf.h"

namespace zvs {

// The native build writes UTF-8, which is what Linux terminals expect.
void con_init() { setlocale(LC_CTYPE, ""); }

void con_write(const std::u16string& text) {
    std::string s = zv::utf16_to_utf8(text.data(), text.size());
    fwrite(s.data(), 1, s.size(), stdout);
}

void con_write_error(const std::u16string& text) {
    std::string s = zv::utf16_to_utf8(text.data(), text.size());
    fwrite(s.data(), 1, s.size(), stderr);
}

void con_flush() { fflush(stdout); }

bool con_read_line(std::u16string& line, size_t max) {
    std::string bytes;
    int c;
    size_t units = 0;
    while (units + 1 < max && (c = fgetc(stdin)) != EOF) {
        bytes += char(c);
        ++units;
        if (c == '\n') break;
    }
    if (bytes.empty()) return false;
    size_t len;
    char16_t* w = zv::utf8_to_utf16(bytes.data(), bytes.size(), &len);
    if (!w) return false;
    line.assign(w, len);
    zv::heap_free(w);
    return true;
}

bool con_input(std::u16string& line) {
    con_flush();
    line.clear();
    if (!con_read_line(line, 1025)) return false;
    size_t cut = line.find_first_of(u"\r\n");
    if (cut != std::u16string::npos) line.resize(cut);
    return true;
}

void con_arguments(int argc, char** argv, std::vector<std::u16string>& out) {
    for (int i = 1; i < argc; ++i) {
        size_t len;
        char16_t* w = zv::utf8_to_utf16(argv[i], strlen(argv[i]), &len);
        out.emplace_back(w ? std::u16string(w, len) : std::u16string());
        zv::heap_free(w);
    }
}

// No resource section here: the version comes from the same build settings
// that stamp the Windows version resources.
std::u16string con_version_line() {
    char buf[64];
    snprintf(buf, sizeof buf, "zvs_cmd Ver %d.%d.%d", ZV_VERSION_MAJOR, ZV_VERSION_MINOR, ZV_VERSION_BUILD);
    return std::u16string(buf, buf + strlen(buf));
}

bool con_japanese() { return zv::ui_japanese(); }

}  // namespace zvs
