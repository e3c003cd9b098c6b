// The statistics report and the HTML manual, written by the same
// generators as the recorder's.
#include <ctime>

#include "file_util.h"
#include "manual.h"
#include "operation_file.h"
#include "report_templates.h"
#include "statistics.h"
#include "timeline.h"
#include "zvb_cmd.h"

namespace zvb_cmd {

int run_stats(Tool& tool, const Args& args) {
    std::u16string out = args.empty() ? zvb::path_join(tool.store.user_folder, u"statistics.html") : args[0];
    uint32_t error = 0;
    if (!zvb::statistics_write(tool.store.root, zvb::report_template(zvb::ReportTemplate::kStatistics),
                               uint64_t(time(nullptr)), out, &error))
        return fail(tool, zvb::make_message(1043, {}, out + u": " + zvb::error_text(error)));
    return 0;
}

int run_manual(Tool& tool, const Args& args) {
    zvb::ScenarioEntry* e = zvb::tree_find_name(tool.store.root, args[0], nullptr);
    if (!e) return fail(tool, zvb::make_message(1014, {args[0]}));
    if (e->type != zvb::kTypeTimeline)
        return fail(tool, u"\"" + args[0] + u"\" is no timeline: a manual shows the operations of a timeline",
                    u"「" + args[0] + u"」はタイムラインではありません (マニュアルはタイムラインの操作から作ります)");
    zvb::OperationRecord* head = zvb::timeline_read(e->path);
    if (!head) return fail(tool, zvb::make_message(2011, {}, std::u16string(e->path) + u": " +
                                                                 zvb::error_text(zv::fs_last_error())));
    uint32_t error = 0;
    bool ok = zvb::manual_write(args[1], e->name, head, std::u16string(e->path) + u".img",
                                zvb::report_template(zvb::ReportTemplate::kManualHead),
                                zvb::report_template(zvb::ReportTemplate::kMarker), &error);
    zvb::timeline_free(head);
    if (!ok) return fail(tool, zvb::make_message(2011, {}, zvb::error_text(error)));
    return 0;
}

}  // namespace zvb_cmd
