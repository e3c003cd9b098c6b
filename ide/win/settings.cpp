#include "settings.h"

#include <shlobj.h>

#include "dpi.h"

namespace zvs {

namespace {

int read_int(const std::wstring& file, const wchar_t* section, const wchar_t* key, int fallback) {
    return int(GetPrivateProfileIntW(section, key, fallback, file.c_str()));
}

void write_int(const std::wstring& file, const wchar_t* section, const wchar_t* key, int value) {
    wchar_t text[16];
    wsprintfW(text, L"%d", value);
    WritePrivateProfileStringW(section, key, text, file.c_str());
}

// A stored pixel value on this display (the unknown marker as it is).
int scaled(int stored) { return stored == kUnknown ? stored : zv::ui::scale(stored); }
int unscaled(int pixels) { return pixels == kUnknown ? pixels : zv::ui::unscale(pixels); }

std::wstring environment(const wchar_t* name) {
    wchar_t buf[MAX_PATH * 2];
    DWORD n = GetEnvironmentVariableW(name, buf, MAX_PATH * 2);
    return n > 0 && n < MAX_PATH * 2 ? std::wstring(buf, n) : std::wstring();
}

}  // namespace

std::wstring settings_file() {
    std::wstring dir = environment(L"ZVS_SETTINGS_DIR");
    if (dir.empty()) {
        wchar_t base[MAX_PATH];
        if (FAILED(SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA | CSIDL_FLAG_CREATE, nullptr, 0, base))) return L"";
        dir = std::wstring(base) + L"\\ksc";
    }
    while (dir.size() > 3 && (dir.back() == L'\\' || dir.back() == L'/')) dir.pop_back();
    if (!CreateDirectoryW(dir.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) return L"";
    return dir + L"\\ksc.ini";
}

void read_settings(const std::wstring& f, Settings* s) {
    int screen_w = GetSystemMetrics(SM_CXSCREEN), screen_h = GetSystemMetrics(SM_CYSCREEN);
    s->left = scaled(read_int(f, L"WINDOW", L"left", kUnknown));
    s->top = scaled(read_int(f, L"WINDOW", L"top", kUnknown));
    if (s->left != kUnknown && (s->left < 0 || s->left > screen_w)) s->left = 0;
    if (s->top != kUnknown && (s->top < 0 || s->top > screen_h)) s->top = 0;
    s->width = scaled(read_int(f, L"WINDOW", L"right", kUnknown));
    s->height = scaled(read_int(f, L"WINDOW", L"bottom", kUnknown));
    if (s->width != kUnknown && s->width < zv::ui::scale(200)) s->width = zv::ui::scale(800);
    if (s->height != kUnknown && s->height < zv::ui::scale(100)) s->height = zv::ui::scale(600);
    s->right_pane = scaled(read_int(f, L"WINDOW", L"sep_size_vertical", 400));
    s->console_h = scaled(read_int(f, L"WINDOW", L"sep_size_horizon", 120));
    s->name_column = scaled(read_int(f, L"WINDOW", L"sep_size_variable", 100));
    s->window_state = read_int(f, L"WINDOW", L"window_state", 10);
    s->confirm_tutorial = read_int(f, L"WINDOW", L"confirm_tutorial", 0);
    s->line_numbers = read_int(f, L"WINDOW", L"line_no", 1);

    LOGFONTW& lf = s->font;
    GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof lf, &lf);
    HDC screen = GetDC(nullptr);
    int charset = GetTextCharset(screen);
    ReleaseDC(nullptr, screen);
    GetPrivateProfileStringW(L"FONT", L"name", lf.lfFaceName, lf.lfFaceName, LF_FACESIZE, f.c_str());
    lf.lfHeight = scaled(read_int(f, L"FONT", L"height", -16));
    lf.lfWidth = 0;
    lf.lfWeight = read_int(f, L"FONT", L"weight", 400);
    lf.lfItalic = BYTE(read_int(f, L"FONT", L"italic", 0));
    lf.lfCharSet = BYTE(read_int(f, L"FONT", L"charset", charset));

    s->exec_speed = read_int(f, L"EXEC", L"exec_speed", 250);
    if (s->exec_speed != 0 && s->exec_speed != 1 && s->exec_speed != 250 && s->exec_speed != 500) s->exec_speed = 250;
    s->strict = read_int(f, L"EXEC", L"strict_val", 0);
    s->ksc5 = read_int(f, L"EXEC", L"ksc.5_mode", 1);
    s->hex = read_int(f, L"EXEC", L"hex_mode", 0);
}

void write_settings(const std::wstring& f, const Settings& s) {
    if (f.empty()) return;
    if (s.left != kUnknown && s.top != kUnknown && s.width != kUnknown && s.height != kUnknown) {
        write_int(f, L"WINDOW", L"left", unscaled(s.left));
        write_int(f, L"WINDOW", L"top", unscaled(s.top));
        write_int(f, L"WINDOW", L"right", unscaled(s.width));
        write_int(f, L"WINDOW", L"bottom", unscaled(s.height));
    }
    write_int(f, L"WINDOW", L"sep_size_vertical", unscaled(s.right_pane));
    write_int(f, L"WINDOW", L"sep_size_horizon", unscaled(s.console_h));
    write_int(f, L"WINDOW", L"sep_size_variable", unscaled(s.name_column));
    write_int(f, L"WINDOW", L"window_state", s.window_state);
    write_int(f, L"WINDOW", L"confirm_tutorial", s.confirm_tutorial);
    write_int(f, L"WINDOW", L"line_no", s.line_numbers);
    WritePrivateProfileStringW(L"FONT", L"name", s.font.lfFaceName, f.c_str());
    write_int(f, L"FONT", L"height", unscaled(s.font.lfHeight));
    write_int(f, L"FONT", L"weight", s.font.lfWeight);
    write_int(f, L"FONT", L"italic", s.font.lfItalic);
    write_int(f, L"FONT", L"charset", s.font.lfCharSet);
    write_int(f, L"EXEC", L"exec_speed", s.exec_speed);
    write_int(f, L"EXEC", L"strict_val", s.strict);
    write_int(f, L"EXEC", L"ksc.5_mode", s.ksc5);
    write_int(f, L"EXEC", L"hex_mode", s.hex);
}

}  // namespace zvs
