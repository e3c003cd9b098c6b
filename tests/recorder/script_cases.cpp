#include "script_cases.h"

#include <cstdlib>
#include <stdexcept>

#include "operation_codes.h"
#include "operation_file.h"
#include "profile.h"
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

Op& Op::key(uint32_t vk, uint32_t modifiers) {
    r.key_code = vk;
    r.modifiers = modifiers;
    return *this;
}

Op& Op::text(const std::string& t1, const std::string& t2) {
    record_set_text(r.event_text1, U16(t1).c_str());
    record_set_text(r.event_text2, U16(t2).c_str());
    return *this;
}

Op& Op::data(int32_t d1, int32_t d2) {
    r.event_data1 = d1;
    r.event_data2 = d2;
    return *this;
}

Op& Op::wait(uint32_t ms) {
    r.interval = ms;
    return *this;
}

Op& Op::check(uint32_t window_check) {
    r.window_check = window_check;
    return *this;
}

Op& Op::mask() {
    r.masked = 1;
    return *this;
}

Op& Op::off() {
    r.disabled = 1;
    return *this;
}

Op& Op::skip() {
    r.skip_if_no_window = 1;
    return *this;
}

Op& Op::v0() {
    r.data_version = 0;
    return *this;
}

// ---- scenarios on disk ------------------------------------------------------------

namespace {

void write_option(const std::u16string& ini, const char16_t* key, int32_t value) {
    std::string v = std::to_string(value);
    zv::profile_write(ini.c_str(), u"OPTION", key, std::u16string(v.begin(), v.end()).c_str());
}

void apply_options(ScenarioEntry* e, const Options& o) {
    const struct {
        const char16_t* key;
        int32_t value;
        int32_t* field;
    } keys[] = {
        {u"play_start_confirm", o.play_start_confirm, &e->play_start_confirm},
        {u"play_end_confirm", o.play_end_confirm, &e->play_end_confirm},
        {u"check_window_title", o.check_window_title, &e->check_window_title},
        {u"check_window_class", o.check_window_class, &e->check_window_class},
        {u"always_check_window", o.always_check_window, &e->always_check_window},
        {u"check_desktop_control_class", o.check_desktop_control_class, &e->check_desktop_control_class},
        {u"check_busy", o.check_busy, &e->check_busy},
        {u"recovery_window_pos", o.recovery_window_pos, &e->recovery_window_pos},
        {u"recovery_window_size", o.recovery_window_size, &e->recovery_window_size},
        {u"loop_count", o.loop_count, &e->loop_count},
    };
    std::u16string ini = entry_settings_path(e);
    for (const auto& k : keys) {
        write_option(ini, k.key, k.value);
        *k.field = k.value;
    }
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
        for (const Op& op : s.ops) {
            OperationRecord* r = record_clone(&op.r);
            timeline_append(head, r);
        }
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

void write_play_settings(const fs::path& ini, const PlaySettings& play) {
    const struct {
        const char16_t* key;
        int32_t value;
    } keys[] = {
        {u"double_click_interval", play.double_click_interval},
        {u"window_operation_interval", play.window_operation_interval},
        {u"check_interval", play.check_interval},
        {u"check_count", play.check_count},
        {u"wait_busy_interval", play.wait_busy_interval},
        {u"loop_interval", play.loop_interval},
    };
    for (const auto& k : keys) {
        std::string v = std::to_string(k.value);
        zv::profile_write(U(ini).c_str(), u"PLAY", k.key, std::u16string(v.begin(), v.end()).c_str());
    }
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
