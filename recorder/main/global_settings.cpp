#include "global_settings.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <cstddef>

#include "dpi.h"

namespace zvb {

namespace {

enum Scaling { kPlain, kPosition, kPositionIfSet };

struct IntKey {
    const wchar_t* section;
    const wchar_t* key;
    int GlobalSettings::*field;
    Scaling scaling;
};

const IntKey kIntKeys[] = {
    {L"WINDOW", L"main_left", &GlobalSettings::main_left, kPosition},
    {L"WINDOW", L"main_top", &GlobalSettings::main_top, kPosition},
    {L"WINDOW", L"main_right", &GlobalSettings::main_right, kPosition},
    {L"WINDOW", L"main_bottom", &GlobalSettings::main_bottom, kPosition},
    {L"WINDOW", L"trayicon", &GlobalSettings::trayicon, kPlain},
    {L"WINDOW", L"hide_window", &GlobalSettings::hide_window, kPlain},
    {L"WINDOW", L"hide_tutorial", &GlobalSettings::hide_tutorial, kPlain},
    {L"WINDOW", L"edit_left", &GlobalSettings::edit_left, kPositionIfSet},
    {L"WINDOW", L"edit_top", &GlobalSettings::edit_top, kPositionIfSet},
    {L"WINDOW", L"edit_right", &GlobalSettings::edit_right, kPositionIfSet},
    {L"WINDOW", L"edit_bottom", &GlobalSettings::edit_bottom, kPositionIfSet},
    {L"WINDOW", L"edit_window_scale", &GlobalSettings::edit_window_scale, kPlain},
    {L"RECORD", L"rec_mouse_move", &GlobalSettings::rec_mouse_move, kPlain},
    {L"RECORD", L"rec_mouse_move_all", &GlobalSettings::rec_mouse_move_all, kPlain},
    {L"RECORD", L"rec_always_copy_desctop", &GlobalSettings::rec_always_copy_desctop, kPlain},
    {L"RECORD", L"rec_marge", &GlobalSettings::rec_marge, kPlain},
    {L"RECORD", L"rec_delete_first_click", &GlobalSettings::rec_delete_first_click, kPlain},
    {L"RECORD", L"click_point", &GlobalSettings::click_point, kPlain},
    {L"RECORD", L"click_interval", &GlobalSettings::click_interval, kPlain},
    {L"PLAY", L"double_click_interval", &GlobalSettings::double_click_interval, kPlain},
    {L"PLAY", L"window_operation_interval", &GlobalSettings::window_operation_interval, kPlain},
    {L"PLAY", L"loop_interval", &GlobalSettings::loop_interval, kPlain},
    {L"PLAY", L"check_interval", &GlobalSettings::check_interval, kPlain},
    {L"PLAY", L"check_count", &GlobalSettings::check_count, kPlain},
    {L"PLAY", L"wait_busy_interval", &GlobalSettings::wait_busy_interval, kPlain},
    {L"LOG", L"enable_log", &GlobalSettings::enable_log, kPlain},
};

struct TextKey {
    const wchar_t* section;
    const wchar_t* key;
    std::wstring GlobalSettings::*field;
};

const TextKey kTextKeys[] = {
    {L"RECORD", L"rec_first_click_window_class", &GlobalSettings::rec_first_click_window_class},
    {L"LOG", L"log_path", &GlobalSettings::log_path},
};

constexpr DWORD kMaxText = 511;

}  // namespace

void read_settings(const std::wstring& file, GlobalSettings* s) {
    s->double_click_interval = int(GetDoubleClickTime() / 2);
    const wchar_t* f = file.c_str();
    for (const IntKey& k : kIntKeys) {
        int value = int(GetPrivateProfileIntW(k.section, k.key, s->*k.field, f));
        if (k.scaling == kPosition || (k.scaling == kPositionIfSet && value != kUnsetPosition))
            value = zv::ui::scale(value);
        s->*k.field = value;
    }
    for (const TextKey& k : kTextKeys) {
        wchar_t buf[kMaxText + 1] = L"";
        GetPrivateProfileStringW(k.section, k.key, (s->*k.field).c_str(), buf, kMaxText + 1, f);
        s->*k.field = buf;
    }
}

bool write_settings(const std::wstring& file, const GlobalSettings& s) {
    bool ok = true;
    const wchar_t* f = file.c_str();
    for (const IntKey& k : kIntKeys) {
        int value = s.*k.field;
        if (k.scaling == kPosition || (k.scaling == kPositionIfSet && value != kUnsetPosition))
            value = zv::ui::unscale(value);
        wchar_t buf[16];
        wsprintfW(buf, L"%d", value);
        ok = WritePrivateProfileStringW(k.section, k.key, buf, f) && ok;
    }
    for (const TextKey& k : kTextKeys) {
        std::wstring text = (s.*k.field).substr(0, kMaxText);
        ok = WritePrivateProfileStringW(k.section, k.key, text.c_str(), f) && ok;
    }
    return ok;
}

}  // namespace zvb
