#include "statistics.h"

#include <cmath>
#include <cstdio>

#include "file_util.h"
#include "html_text.h"
#include "names.h"
#include "profile.h"
#include "settings.h"
#include "utf.h"

namespace zvb {

EntryFigures entry_figures(const PlayFigures& in, uint64_t now) {
    EntryFigures out;
    const float r = float(in.record_ms), e = float(in.ended);
    if (in.ended > 0) out.average_ms = float(in.play_total_ms) / e;
    if (now > in.recorded_at) out.days = int32_t((now - in.recorded_at) / 86400 + 1);
    if (in.record_ms > 0) {
        out.saved_ms = (r - out.average_ms) * e;
        if (out.days > 0) out.saved_per_day_ms = out.saved_ms / float(out.days);
        if (out.average_ms > 0) out.reduction_percent = (r - out.average_ms) / r * 100.0f;
    }
    out.annual_minutes = out.saved_per_day_ms * 365.0f / 1000.0f / 60.0f;
    if (in.ended > 0 && in.started > 0) out.success_percent = e / float(in.started) * 100.0f;
    return out;
}

void StatisticsTotals::add(const PlayFigures& in, const EntryFigures& out) {
    const float r = float(in.record_ms);
    if (in.record_ms > 0 && out.days > 0) saved_per_day_ms += out.saved_per_day_ms;
    saved_ms += (r - out.average_ms) * float(in.ended);
    if (in.record_ms > 0 && out.average_ms > 0) {
        record_ms += r;
        average_ms += out.average_ms;
    }
    if (in.ended > 0 && in.started > 0) {
        started += float(in.started);
        ended += float(in.ended);
    }
}

float StatisticsTotals::reduction_percent() const {
    return record_ms > 0 && average_ms > 0 ? (record_ms - average_ms) / record_ms * 100.0f : 0.0f;
}

float StatisticsTotals::success_percent() const {
    return ended > 0 && started > 0 ? ended / started * 100.0f : 0.0f;
}

// ---- duration texts ----------------------------------------------------------

namespace {

// Whole minutes of a duration: rounded, as a magnitude with its sign apart,
// held below the range where hours would stop being exact integers.
struct WholeMinutes {
    bool negative;
    long long hours;
    long long minutes;  // 0-59
    bool at_least_an_hour;
};

WholeMinutes whole_minutes(float value) {
    double m = std::fabs(double(value)) + 0.5;
    const double kMax = 9.0e15;
    long long total = m < kMax ? (long long)m : (long long)kMax;
    return {value < 0 && total > 0, total / 60, total % 60, total >= 60};
}

std::string sign_of(const WholeMinutes& w) { return w.negative ? "-" : ""; }

std::string hours_text(const WholeMinutes& w) {
    std::string out = sign_of(w);
    html_appendf(out, "%lld時間%lld分", w.hours, w.minutes);
    return out;
}

}  // namespace

std::string minutes_text(float minutes) {
    WholeMinutes w = whole_minutes(minutes);
    if (w.at_least_an_hour) return hours_text(w);
    std::string out = sign_of(w);
    html_appendf(out, "%lld分", w.minutes);
    return out;
}

std::string minutes_days_text(float minutes, int32_t days) {
    std::string out = minutes_text(minutes);
    html_appendf(out, " (%d日)", days);
    return out;
}

std::string hours_minutes_text(float minutes) { return hours_text(whole_minutes(minutes)); }

// ---- the page ----------------------------------------------------------------

namespace {

struct Settings {
    PlayFigures* figures;
    bool stamped = false;
    bool played_script = false;
    unsigned seen = 0;  // the first occurrence of a key counts, as for the system
};

bool take_setting(const char16_t* section, const char16_t* key, const char16_t* value, void* ctx) {
    static const struct {
        const char16_t* section;
        const char16_t* key;
    } kKeys[] = {{u"TIME", u"record"}, {u"TIME", u"play_total"}, {u"TIME", u"record_timestamp"},
                 {u"PLAY", u"start"},  {u"PLAY", u"end"},        {u"STATS", u"script"}};
    auto* s = static_cast<Settings*>(ctx);
    for (unsigned i = 0; i < 6; ++i) {
        if ((s->seen & (1u << i)) || !name_equal(section, kKeys[i].section) || !name_equal(key, kKeys[i].key))
            continue;
        s->seen |= 1u << i;
        if (!*value) return true;  // an empty value reads as missing
        uint32_t n = uint32_t(zv::profile_parse_int(value, 0));
        switch (i) {
        case 0: s->figures->record_ms = n; break;
        case 1: s->figures->play_total_ms = n; break;
        case 2:
            s->figures->recorded_at = n;
            s->stamped = true;
            break;
        case 3: s->figures->started = n; break;
        case 4: s->figures->ended = n; break;
        default: s->played_script = n != 0; break;
        }
    }
    return true;
}

}  // namespace

bool entry_play_figures(const ScenarioEntry* e, PlayFigures* out) {
    *out = PlayFigures();
    if (e->type != kTypeTimeline && e->type != kTypeScript) return false;
    Settings s;
    s.figures = out;
    zv::profile_read_all(entry_settings_path(e).c_str(), take_setting, &s);
    if (e->type == kTypeScript && !s.played_script) return false;
    if (!s.stamped) out->recorded_at = settings_record_timestamp(e);
    return true;
}

namespace {

struct Report {
    uint64_t now;
    std::string rows;
    StatisticsTotals totals;
};

void add_rows(Report& report, ScenarioEntry* head, const std::string& prefix) {
    for (ScenarioEntry* e = head ? head->next : nullptr; e; e = e->next) {
        if (e->type == kTypeGroup) {
            std::string inner = prefix;
            html_append(inner, e->name, zv::u16len(e->name));
            add_rows(report, e->child, inner + "/");
            continue;
        }
        std::string& row = report.rows;
        PlayFigures in;
        if (!entry_play_figures(e, &in)) {
            row += "<tr><td class=\"script\">" + prefix;
            html_append(row, e->name, zv::u16len(e->name));
            row += "</td><td></td><td></td><td></td><td></td></tr>\r\n";
            continue;
        }
        EntryFigures out = entry_figures(in, report.now);
        report.totals.add(in, out);
        row += "<tr><td>" + prefix;
        html_append(row, e->name, zv::u16len(e->name));
        row += "</td><td>" + minutes_text(out.annual_minutes) + "</td><td>" +
               minutes_days_text(out.saved_ms / 1000.0f / 60.0f, out.days) + "</td><td>";
        html_appendf(row, "%.1f%%</td><td>%.1f%%</td></tr>\r\n", double(out.reduction_percent),
                     double(out.success_percent));
    }
}

std::string percent_text(float value) {
    std::string out;
    html_appendf(out, "%.1f%%", double(value));
    return out;
}

std::string arc_text(float percent) {
    std::string out;
    html_appendf(out, "%.3f", double(percent * 7.23f));
    return out;
}

}  // namespace

std::string statistics_page(ScenarioEntry* root, std::string_view page_template, uint64_t now) {
    Report report;
    report.now = now;
    add_rows(report, root, "");
    const StatisticsTotals& t = report.totals;
    float saved_minutes = t.saved_ms / 1000.0f / 60.0f;
    const std::string values[] = {
        report.rows,
        hours_minutes_text(t.saved_per_day_ms / 1000.0f / 60.0f * 365.0f),
        saved_minutes >= 60.0f ? hours_minutes_text(saved_minutes)
                               : [&] {
                                     std::string s;
                                     html_appendf(s, "%.0f分", double(saved_minutes));
                                     return s;
                                 }(),
        percent_text(t.reduction_percent()),
        arc_text(t.reduction_percent()),
        percent_text(t.success_percent()),
        arc_text(t.success_percent()),
    };
    static const std::string_view kNames[] = {"%list%", "%1%", "%2%", "%3%", "%4%", "%5%", "%6%"};

    std::string page;
    page.reserve(page_template.size() + report.rows.size() + 256);
    size_t i = 0;
    while (i < page_template.size()) {
        size_t mark = page_template.find('%', i);
        if (mark == std::string_view::npos) mark = page_template.size();
        page.append(page_template.substr(i, mark - i));
        if (mark == page_template.size()) break;
        size_t k = 0;
        while (k < 7 && page_template.compare(mark, kNames[k].size(), kNames[k]) != 0) ++k;
        if (k < 7) {
            page += values[k];
            i = mark + kNames[k].size();
        } else {
            page += '%';
            i = mark + 1;
        }
    }
    return page;
}

bool statistics_write(ScenarioEntry* root, std::string_view page_template, uint64_t now, const std::u16string& out,
                      uint32_t* error) {
    std::string page = statistics_page(root, page_template, now);
    AtomicFile file;
    if (!file.open(out) || !file.write(page.data(), page.size()) || !file.commit()) {
        if (error) *error = file.error();
        return false;
    }
    return true;
}

}  // namespace zvb
