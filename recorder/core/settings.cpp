#include "settings.h"

#include <string>

#include "file_util.h"
#include "fs.h"
#include "names.h"
#include "profile.h"

namespace zvb {

namespace {

struct Option {
    const char16_t* key;
    int32_t ScenarioEntry::*field;
    int32_t def;
};

const Option kOptions[] = {
    {u"play_start_confirm", &ScenarioEntry::play_start_confirm, 1},
    {u"play_end_confirm", &ScenarioEntry::play_end_confirm, 1},
    {u"check_window_title", &ScenarioEntry::check_window_title, 1},
    {u"check_window_class", &ScenarioEntry::check_window_class, 1},
    {u"always_check_window", &ScenarioEntry::always_check_window, 1},
    {u"check_desktop_control_class", &ScenarioEntry::check_desktop_control_class, 1},
    {u"check_busy", &ScenarioEntry::check_busy, 1},
    {u"recovery_window_pos", &ScenarioEntry::recovery_window_pos, 0},
    {u"recovery_window_size", &ScenarioEntry::recovery_window_size, 1},
    {u"loop_count", &ScenarioEntry::loop_count, 1},
};

std::u16string number_text(uint64_t v, bool negative) {
    std::string digits = std::to_string(v);
    if (negative) digits.insert(digits.begin(), '-');
    return std::u16string(digits.begin(), digits.end());
}

}  // namespace

void entry_read_settings(ScenarioEntry* e, int exists) {
    for (const Option& o : kOptions) e->*o.field = o.def;
    e->hotkey_modifiers = e->hotkey_key = 0;
    std::u16string ini = entry_settings_path(e);
    if (exists < 0) exists = (zv::path_kind(ini.c_str()) & zv::kPathFile) ? 1 : 0;
    // One read per section: asking key by key opens the file a dozen times.
    // As with GetPrivateProfileInt, the first of repeated keys counts.
    struct Reading {
        ScenarioEntry* e;
        uint32_t done;
    } reading = {e, 0};
    if (exists) {
        zv::profile_section(
            ini.c_str(), u"OPTION",
            [](const char16_t* key, const char16_t* value, void* ctx) {
                Reading* r = static_cast<Reading*>(ctx);
                for (size_t i = 0; i < sizeof kOptions / sizeof kOptions[0]; ++i) {
                    if (!name_equal(key, kOptions[i].key) || (r->done & (1u << i))) continue;
                    r->e->*kOptions[i].field = zv::profile_parse_int(value, kOptions[i].def);
                    r->done |= 1u << i;
                }
                return true;
            },
            &reading);
        reading.done = 0;
        zv::profile_section(
            ini.c_str(), u"HOTKEY",
            [](const char16_t* key, const char16_t* value, void* ctx) {
                Reading* r = static_cast<Reading*>(ctx);
                int32_t* field = name_equal(key, u"modifiers") ? &r->e->hotkey_modifiers
                                 : name_equal(key, u"virtkey") ? &r->e->hotkey_key
                                                               : nullptr;
                uint32_t bit = field == &r->e->hotkey_key ? 2 : 1;
                if (field && !(r->done & bit)) {
                    *field = zv::profile_parse_int(value, 0);
                    r->done |= bit;
                }
                return true;
            },
            &reading);
    }
    entry_update_hotkey_text(e);
}

uint32_t settings_get(const ScenarioEntry* e, const char16_t* section, const char16_t* key, uint32_t def) {
    return uint32_t(zv::profile_int(entry_settings_path(e).c_str(), section, key, int32_t(def)));
}

bool settings_set_int(const ScenarioEntry* e, const char16_t* section, const char16_t* key, int32_t value) {
    std::u16string text = number_text(uint64_t(value < 0 ? -int64_t(value) : int64_t(value)), value < 0);
    return zv::profile_write(entry_settings_path(e).c_str(), section, key, text.c_str());
}

bool settings_set_uint(const ScenarioEntry* e, const char16_t* section, const char16_t* key, uint32_t value) {
    return zv::profile_write(entry_settings_path(e).c_str(), section, key, number_text(value, false).c_str());
}

uint32_t settings_increment(const ScenarioEntry* e, const char16_t* section, const char16_t* key) {
    uint32_t n = settings_get(e, section, key, 0) + 1;
    settings_set_uint(e, section, key, n);
    if (e->type == kTypeScript) zv::profile_write(entry_settings_path(e).c_str(), u"STATS", u"script", u"1");
    return n;
}

uint32_t settings_record_timestamp(const ScenarioEntry* e) {
    std::u16string ini = entry_settings_path(e);
    char16_t text[32];
    if (zv::profile_text(ini.c_str(), u"TIME", u"record_timestamp", u"", text, 32) > 0)
        return uint32_t(zv::profile_int(ini.c_str(), u"TIME", u"record_timestamp", 0));
    uint64_t created = 0;
    if (!zv::path_created(e->path, &created)) return 0;
    settings_set_uint(e, u"TIME", u"record_timestamp", uint32_t(created));
    return uint32_t(created);
}

void settings_clear_hotkey(const std::u16string& ini) {
    zv::profile_write(ini.c_str(), u"HOTKEY", u"modifiers", u"0");
    zv::profile_write(ini.c_str(), u"HOTKEY", u"virtkey", u"0");
}

void settings_clear_copied_hotkey(const std::u16string& path, void*) {
    if (name_equal(path_extension(path).c_str(), u".ini")) settings_clear_hotkey(path);
}

}  // namespace zvb
