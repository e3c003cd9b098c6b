#include "script_cases.h"

#include <cstdlib>
#include <stdexcept>

#include "operation_codes.h"
#include "operation_file.h"
#include "profile.h"
#include "settings.h"
#include "timeline.h"
#include "zv_test_support.h"

namespace zvb::test {

// ---- records -------------------------------------------------------------------

Op::Op(int32_t code, int32_t category) {
    r.size = kRecordBytes;
    r.code = code;
    const OperationCode* c = operation_code(code);
    r.category = category >= 0 ? category : c ? c->category : kCategoryOther;
    r.data_version = 1;
    r.desktop_rect = {0, 0, 1920, 1080};
}

Op& Op::win(const char* title, const char* cls, Rect32 rect, int32_t state) {
    record_set_text(r.window_title, U16(title).c_str());
    record_set_text(r.window_class, U16(cls).c_str());
    r.window_rect = rect;
    r.window_state = state;
    return *this;
}

Op& Op::at(int32_t x, int32_t y) {
    r.mouse_rel = {x, y};
    r.mouse_pos = {r.window_rect.left + x, r.window_rect.top + y};
    return *this;
}

Op& Op::screen(int32_t x, int32_t y) {
    r.desktop = 1;
    r.mouse_pos = {x, y};
    r.mouse_rel = {x - r.window_rect.left, y - r.window_rect.top};
    return *this;
}

Op& Op::control(const char* cls) {
    record_set_text(r.control_class, U16(cls).c_str());
    r.control_id = 1001;
    return *this;
}

Op& Op::text(const std::string& t1, const std::string& t2) {
    record_set_text(r.event_text1, U16(t1).c_str());
    record_set_text(r.event_text2, U16(t2).c_str());
    return *this;
}

// ---- scenarios on disk ------------------------------------------------------------

namespace {

struct IniKey {
    const char16_t* key;
    int32_t value;
};

void write_ints(const std::u16string& ini, const char16_t* section, std::initializer_list<IniKey> keys) {
    for (const IniKey& k : keys) {
        std::string v = std::to_string(k.value);
        zv::profile_write(ini.c_str(), section, k.key, std::u16string(v.begin(), v.end()).c_str());
    }
}

void apply_options(ScenarioEntry* e, const Options& o) {
    write_ints(entry_settings_path(e), u"OPTION",
               {{u"play_start_confirm", o.play_start_confirm}, {u"play_end_confirm", o.play_end_confirm},
                {u"check_window_title", o.check_window_title}, {u"check_window_class", o.check_window_class},
                {u"always_check_window", o.always_check_window},
                {u"check_desktop_control_class", o.check_desktop_control_class}, {u"check_busy", o.check_busy},
                {u"recovery_window_pos", o.recovery_window_pos},
                {u"recovery_window_size", o.recovery_window_size}, {u"loop_count", o.loop_count}});
    entry_read_settings(e);  // as the store reads them
}

}  // namespace

ScenarioEntry* materialize(const Scenario& s, const fs::path& folder, int32_t* next_id) {
    ScenarioEntry* e = entry_new();
    e->play_id = (*next_id)++;
    e->type = s.type;
    if (!entry_set_name(e, U16(s.name)) || !entry_set_place(e, U(folder)))
        throw std::runtime_error("bad scenario name " + s.name);
    apply_options(e, s.options);
    if (s.type == kTypeTimeline) {
        OperationRecord* head = timeline_new();
        for (const Op& op : s.ops) timeline_append(head, record_clone(&op.r));
        uint32_t error = 0;
        bool ok = timeline_write(e->path, head, &error);
        timeline_free(head);
        if (!ok) throw std::runtime_error("cannot write " + s.name);
    } else if (s.type == kTypeScript) {
        put_bytes(fs::path(std::u16string(e->path)), s.script);
    } else {
        fs::path sub = fs::path(std::u16string(e->path));
        fs::create_directories(sub);
        e->child = list_new();
        ScenarioEntry* last = e->child;
        for (const Scenario& m : s.members) last = last->next = materialize(m, sub, next_id);
        e->expanded = 1;
    }
    return e;
}

void write_play_settings(const fs::path& ini, const PlaySettings& p) {
    write_ints(U(ini), u"PLAY",
               {{u"double_click_interval", p.double_click_interval},
                {u"window_operation_interval", p.window_operation_interval}, {u"check_interval", p.check_interval},
                {u"check_count", p.check_count}, {u"wait_busy_interval", p.wait_busy_interval},
                {u"loop_interval", p.loop_interval}});
}

std::string golden_bytes(const std::string& name) {
    return zv::test::read_file(zv::test::source_path("tests/recorder/golden/" + name));
}

std::string first_difference(const std::string& expected, const std::string& actual) {
    if (expected == actual) return "";
    size_t at = 0, line = 1;
    while (at < expected.size() && at < actual.size() && expected[at] == actual[at])
        if (expected[at++] == '\n') ++line;
    auto line_at = [&](const std::string& s) {
        size_t from = s.rfind('\n', at == 0 ? 0 : at - 1);
        from = from == std::string::npos || at == 0 ? 0 : from + 1;
        return s.substr(from, s.find('\n', from) - from);
    };
    return "line " + std::to_string(line) + "\n  expected: " + line_at(expected) + "\n  actual:   " + line_at(actual);
}

}  // namespace zvb::test
