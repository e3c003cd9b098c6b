// put_log(file, text): appends "<local time> <text>" and CR LF to a file.
#include <ctime>
#include <string>

#include "frame.h"
#include "utf.h"

namespace {

// The time stamp in the format of message 3100 ("%Y/%m/%d %H:%M:%S ").
std::string time_stamp() {
    std::string format;
    for (const char16_t* p = deskops::message_text(deskops::kMsgLogTimeFormat); *p; ++p)
        format += *p < 0x80 ? char(*p) : '?';
    time_t now = time(nullptr);
    const struct tm* local = localtime(&now);
    char buf[128];
    size_t n = local ? strftime(buf, sizeof buf, format.c_str(), local) : 0;
    return std::string(buf, n);
}

}  // namespace

DESKOPS_FUNCTION(put_log) {
    using namespace deskops;
    if (!has_args(args, 2)) return kMissing;
    std::u16string path, text;
    if (!read_text(arg(args, 0), &path, errbuf) || !read_text(arg(args, 1), &text, errbuf)) return kFailed;
    std::string line = time_stamp() + zv::utf16_to_utf8(text.c_str(), text.size()) + "\r\n";
    if (!append_to_file(path.c_str(), line.data(), line.size())) return fail_system(errbuf);
    return kDone;
}
