// The templates as TEXT resources of the running program
// (templates/report_templates.rc, linked into every program of zvb_core).
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include "report_templates.h"

namespace zvb {

std::string_view report_template(ReportTemplate which) {
    const wchar_t* name = which == ReportTemplate::kStatistics   ? L"STATISTICS_HTML"
                          : which == ReportTemplate::kManualHead ? L"MANUAL_HEAD_HTML"
                                                                 : L"POINT_SVG";
    HMODULE module = GetModuleHandleW(nullptr);
    HRSRC found = FindResourceW(module, name, L"TEXT");
    HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
    const char* bytes = loaded ? static_cast<const char*>(LockResource(loaded)) : nullptr;
    if (!bytes) return {};
    return std::string_view(bytes, SizeofResource(module, found));
}

}  // namespace zvb
