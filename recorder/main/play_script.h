// The one place where a timeline or a group becomes the ksc script that a
// play, an export, a conversion or a built executable runs.
#pragma once

#include <string>

namespace zvb {

struct ScenarioEntry;
struct GlobalSettings;

// Writes the script of a timeline or group entry to `out` (UTF-8): with
// notifications for plays, without for exports, conversions and
// executables; operations before `start_index` are left out. The entry's
// repeat_override applies (callers reset it where a play count makes no
// sense). False when the script could not be written.
bool write_entry_script(ScenarioEntry* e, const GlobalSettings& settings, bool notify, int start_index,
                        const std::wstring& out);

}  // namespace zvb
