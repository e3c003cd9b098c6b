// The templates of the generated pages: the statistics report, the head of
// the HTML manual and its click marker (point.svg), UTF-8 with byte-order
// mark. The Windows programs carry them as TEXT resources; the native
// build compiles the same files in (templates/).
#pragma once

#include <string_view>

namespace zvb {

enum class ReportTemplate { kStatistics, kManualHead, kMarker };

// The template's bytes; empty when the program does not carry it.
std::string_view report_template(ReportTemplate which);

}  // namespace zvb
