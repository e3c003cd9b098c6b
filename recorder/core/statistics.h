// The statistics report: how much working time the scenarios save, from
// the play counters and times in their settings files, written as an HTML
// page from the report template (<user folder>\statistics.html).
// The arithmetic is single precision.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "scenario.h"

namespace zvb {

// What one entry's settings file says about its plays.
struct PlayFigures {
    uint32_t record_ms = 0;      // R: TIME record
    uint32_t play_total_ms = 0;  // P: TIME play_total
    uint64_t recorded_at = 0;    // T0: TIME record_timestamp, seconds since 1970
    uint32_t started = 0;        // S: PLAY start
    uint32_t ended = 0;          // E: PLAY end
};

// The derived values of one entry.
struct EntryFigures {
    float average_ms = 0;      // A = P / E
    int32_t days = 0;          // D: whole days since T0, plus one
    float saved_ms = 0;        // V = (R - A) * E, 0 without a recording time
    float saved_per_day_ms = 0;  // Q = V / D
    float annual_minutes = 0;  // Y = Q * 365 / 1000 / 60
    float reduction_percent = 0;
    float success_percent = 0;
};

EntryFigures entry_figures(const PlayFigures& in, uint64_t now);

// Sums over the rows of a report.
struct StatisticsTotals {
    float saved_per_day_ms = 0;  // over rows with Q
    float saved_ms = 0;          // (R - A) * E over every row: a played script lowers it
    float record_ms = 0;         // R and A over rows with R > 0 and A > 0
    float average_ms = 0;
    float started = 0;           // S and E over rows with E > 0 and S > 0
    float ended = 0;

    void add(const PlayFigures& in, const EntryFigures& out);
    float reduction_percent() const;
    float success_percent() const;
};

// Duration texts of the report (UTF-8). Minutes are rounded to whole
// minutes first; a negative duration (plays slower than the recording)
// reads as its magnitude with a minus sign.
std::string minutes_text(float minutes);                 // "%d分", from 60 on "%d時間%d分"
std::string minutes_days_text(float minutes, int32_t days);  // "%d分 (%d日)", "%d時間%d分 (%d日)"
std::string hours_minutes_text(float minutes);           // always "%d時間%d分"

// The figures of an entry, from one read of its settings file; false when
// the entry gets no row with figures (groups, and scripts never played:
// STATS script unset). A missing record_timestamp is taken from the
// creation time of the entry's main file and written back.
bool entry_play_figures(const ScenarioEntry* e, PlayFigures* out);

// The report page for the tree below `root` from the template's bytes:
// every %list%, %1% ... %6% of the template replaced (placeholders are
// looked for in the template only, never in the inserted text).
std::string statistics_page(ScenarioEntry* root, std::string_view page_template, uint64_t now);

// Builds the page and writes it to `out` (replacing it in one step, so a
// failure leaves the previous report). False with *error on failure.
bool statistics_write(ScenarioEntry* root, std::string_view page_template, uint64_t now, const std::u16string& out,
                      uint32_t* error);

}  // namespace zvb
