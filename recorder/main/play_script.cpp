#include "play_script.h"

#include "scenario.h"
#include "global_settings.h"

namespace zvb {

// The generator of timeline and group scripts comes with the recorder's
// script-generation layer; until then such entries cannot be turned into a
// script and their plays fail with the usual message.
bool write_entry_script(ScenarioEntry*, const GlobalSettings&, bool, int, const std::wstring&) { return false; }

}  // namespace zvb
