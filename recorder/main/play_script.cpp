#include "play_script.h"

#include "global_settings.h"
#include "scenario.h"
#include "script_gen.h"

namespace zvb {

bool write_entry_script(ScenarioEntry* e, const GlobalSettings& settings, bool notify, int start_index,
                        const std::wstring& out) {
    ScriptRequest req;
    req.notify = notify;
    req.start_index = start_index;
    req.play.double_click_interval = settings.double_click_interval;
    req.play.window_operation_interval = settings.window_operation_interval;
    req.play.check_interval = settings.check_interval;
    req.play.check_count = settings.check_count;
    req.play.wait_busy_interval = settings.wait_busy_interval;
    req.play.loop_interval = settings.loop_interval;
    uint32_t error = 0;
    return script_write(e, req, reinterpret_cast<const char16_t*>(out.c_str()), &error);
}

}  // namespace zvb
