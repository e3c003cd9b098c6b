#include "global_settings.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <cstddef>
#include <vector>

#include "dpi.h"
#include "names.h"
#include "profile.h"

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

const char16_t* u16(const wchar_t* text) { return reinterpret_cast<const char16_t*>(text); }

// The file read in one pass, with the rules of the system's profile
// functions: only a section's first occurrence counts, and within it the
// first of repeated keys.
struct Reading {
    GlobalSettings* s;
    std::u16string section;
    std::vector<std::u16string> closed;  // sections already passed
    bool ints[sizeof kIntKeys / sizeof kIntKeys[0]] = {};
    bool texts[sizeof kTextKeys / sizeof kTextKeys[0]] = {};
};

bool take_setting(const char16_t* section, const char16_t* key, const char16_t* value, void* ctx) {
    Reading* r = static_cast<Reading*>(ctx);
    if (r->section != section) {
        r->closed.push_back(r->section);
        r->section = section;
    }
    for (const std::u16string& c : r->closed)
        if (name_equal(c.c_str(), section)) return true;
    for (size_t i = 0; i < sizeof kIntKeys / sizeof kIntKeys[0]; ++i) {
        const IntKey& k = kIntKeys[i];
        if (r->ints[i] || !name_equal(u16(k.key), key) || !name_equal(u16(k.section), section)) continue;
        r->s->*k.field = zv::profile_parse_int(value, r->s->*k.field);
        r->ints[i] = true;
        return true;
    }
    for (size_t i = 0; i < sizeof kTextKeys / sizeof kTextKeys[0]; ++i) {
        const TextKey& k = kTextKeys[i];
        if (r->texts[i] || !name_equal(u16(k.key), key) || !name_equal(u16(k.section), section)) continue;
        r->s->*k.field = std::wstring(reinterpret_cast<const wchar_t*>(value)).substr(0, kMaxText);
        r->texts[i] = true;
        return true;
    }
    return true;
}

}  // namespace

void read_settings(const std::wstring& file, GlobalSettings* s) {
    s->double_click_interval = int(GetDoubleClickTime() / 2);
    // One read of the file rather than a profile call per key.
    Reading reading;
    reading.s = s;
    zv::profile_read_all(u16(file.c_str()), take_setting, &reading);
    for (const IntKey& k : kIntKeys) {
        int value = s->*k.field;
        if (k.scaling == kPosition || (k.scaling == kPositionIfSet && value != kUnsetPosition))
            s->*k.field = zv::ui::scale(value);
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
