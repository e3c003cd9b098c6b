// zvb_cmd script: the play script of a scenario, as the recorder writes it
// for an export (and, with /notify and /from, for a play).
#include <cstdint>

#include "file_util.h"
#include "names.h"
#include "scenario.h"
#include "script_gen.h"
#include "zvb_cmd.h"

namespace zvb_cmd {

namespace {

// "/word" or "-word", case ignored.
bool is_option(const std::u16string& arg, const char16_t* word) {
    return arg.size() > 1 && (arg[0] == u'/' || arg[0] == u'-') && zvb::name_equal(arg.c_str() + 1, word);
}

// A start index: decimal digits only, at most INT32_MAX.
bool read_index(const std::u16string& text, int32_t* index) {
    if (text.empty() || text.size() > 10) return false;
    int64_t n = 0;
    for (char16_t c : text) {
        if (c < u'0' || c > u'9') return false;
        n = n * 10 + (c - u'0');
    }
    if (n > INT32_MAX) return false;
    *index = int32_t(n);
    return true;
}

}  // namespace

int write_script(Tool& tool, zvb::ScenarioEntry* e, const std::u16string& out, bool notify, int32_t start,
                 int32_t failure) {
    zvb::ScriptRequest req;
    req.notify = notify;
    req.start_index = start;
    req.play = zvb::play_settings_read(tool.store.settings_file.c_str());
    e->repeat_override = 0;
    uint32_t error = 0;
    if (!zvb::script_write(e, req, out.c_str(), &error))
        return fail(tool, zvb::make_message(failure, {zvb::error_text(error)}, zvb::error_text(error)));
    return 0;
}

int run_script(Tool& tool, const Args& args) {
    bool notify = false;
    int32_t start = 0;
    for (size_t i = 2; i < args.size(); ++i) {
        if (is_option(args[i], u"notify")) {
            notify = true;
        } else if (is_option(args[i], u"from") && i + 1 < args.size() && read_index(args[i + 1], &start)) {
            ++i;
        } else {
            return fail(tool, u"usage: zvb_cmd script NAME OUTFILE [/notify] [/from N] (N: 0, 1, 2 ...)",
                        u"使い方: zvb_cmd script NAME OUTFILE [/notify] [/from N] (N は 0、1、2 ...)");
        }
    }
    zvb::ScenarioEntry* e = zvb::tree_find_name(tool.store.root, args[0], nullptr);
    if (!e) return fail(tool, zvb::make_message(1014, {args[0]}));
    return write_script(tool, e, args[1], notify, start, 1024);
}

}  // namespace zvb_cmd
