#include "statistics_report.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <shellapi.h>

#include <ctime>
#include <string>

#include "main_window.h"
#include "report_templates.h"
#include "statistics.h"

namespace zvb {

namespace {

constexpr int kMessageStatisticsNotWritten = 1043, kMessageStatisticsNotShown = 1044;

std::wstring report_path(const MainWindow* w) {
    return w->folders.user.empty() ? std::wstring() : w->folders.user + L"\\statistics.html";
}

}  // namespace

bool write_statistics(const MainWindow* w) {
    std::wstring path = report_path(w);
    std::string_view page_template = report_template(ReportTemplate::kStatistics);
    if (path.empty() || page_template.empty()) return false;
    return statistics_write(w->root, page_template, uint64_t(time(nullptr)),
                            std::u16string(path.begin(), path.end()), nullptr);
}

void show_statistics(MainWindow* w) {
    if (!write_statistics(w)) {
        w->show(kMessageStatisticsNotWritten);
        return;
    }
    HINSTANCE opened = ShellExecuteW(w->window, L"open", report_path(w).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    if (reinterpret_cast<INT_PTR>(opened) <= 32) w->show(kMessageStatisticsNotShown);
}

}  // namespace zvb
