#include <windows.h>

#include <clocale>
#include <cstdio>
#include <cwchar>
#include <vector>

#include "console_io.h"
#include "platform.h"

namespace zvs {

void con_init() { setlocale(LC_CTYPE, ""); }

namespace {

// Text goes out in the code page of the character-type locale. The C
// runtime's wide output stops at the first character that code page cannot
// show, losing the rest of the line; converting here puts a '?' in its
// place instead.
void write_to(FILE* stream, const std::u16string& text) {
    if (text.empty()) return;
    UINT cp = ___lc_codepage_func();
    const wchar_t* w = reinterpret_cast<const wchar_t*>(text.data());
    int n = WideCharToMultiByte(cp, 0, w, int(text.size()), nullptr, 0, nullptr, nullptr);
    if (n <= 0) return;
    std::vector<char> bytes(static_cast<size_t>(n));
    WideCharToMultiByte(cp, 0, w, int(text.size()), bytes.data(), n, nullptr, nullptr);
    fwrite(bytes.data(), 1, bytes.size(), stream);
}

}  // namespace

void con_write(const std::u16string& text) { write_to(stdout, text); }
void con_write_error(const std::u16string& text) { write_to(stderr, text); }

void con_flush() { fflush(stdout); }

bool con_read_line(std::u16string& line, size_t max) {
    std::vector<wchar_t> buf(max + 1);
    if (!fgetws(buf.data(), int(max), stdin)) return false;
    line.assign(reinterpret_cast<const char16_t*>(buf.data()));
    return true;
}

bool con_input(std::u16string& line) {
    con_flush();
    HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
    DWORD mode;
    line.clear();
    if (GetConsoleMode(in, &mode)) {
        SetConsoleMode(in, mode | ENABLE_LINE_INPUT | ENABLE_ECHO_INPUT | ENABLE_PROCESSED_INPUT);
        wchar_t buf[1025];
        DWORD got = 0;
        BOOL ok = ReadConsoleW(in, buf, 1024, &got, nullptr);
        SetConsoleMode(in, mode);
        if (!ok) return false;
        buf[got] = 0;
        line.assign(reinterpret_cast<const char16_t*>(buf));
    } else if (!con_read_line(line, 1025)) {
        return false;
    }
    size_t cut = line.find_first_of(u"\r\n");
    if (cut != std::u16string::npos) line.resize(cut);
    return true;
}

void con_arguments(int, char**, std::vector<std::u16string>& out) {
    int n = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &n);
    if (!argv) return;
    for (int i = 1; i < n; ++i) out.emplace_back(reinterpret_cast<const char16_t*>(argv[i]));
    LocalFree(argv);
}

std::u16string con_version_line() {
    std::u16string line = u"zvs_cmd";
    wchar_t path[MAX_PATH];
    if (!GetModuleFileNameW(nullptr, path, MAX_PATH)) return line;
    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeW(path, &handle);
    if (!size) return line;
    std::vector<char> data(size);
    VS_FIXEDFILEINFO* info = nullptr;
    UINT len = 0;
    if (!GetFileVersionInfoW(path, 0, size, data.data()) ||
        !VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&info), &len) || !info)
        return line;
    wchar_t buf[64];
    swprintf(buf, 64, L" Ver %d.%d.%d", int(HIWORD(info->dwFileVersionMS)), int(LOWORD(info->dwFileVersionMS)),
             int(HIWORD(info->dwFileVersionLS)));
    line += reinterpret_cast<const char16_t*>(buf);
    return line;
}

bool con_japanese() { return zv::ui_japanese(); }

}  // namespace zvs
