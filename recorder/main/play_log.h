// The play log: one UTF-8 file a day, <folder>\%Y%m%d.log, lines
// "%Y/%m/%d %H:%M:%S - [<scenario path>] <message>" with CR LF, appended and
// readable by others while written.
#pragma once

#include <string>

namespace zvb {

class PlayLog {
public:
    void configure(bool enabled, const std::wstring& folder) { enabled_ = enabled, folder_ = folder; }
    bool enabled() const { return enabled_; }
    const std::wstring& folder() const { return folder_; }
    // Nothing happens while logging is off or without a folder; a line that
    // cannot be written is dropped (the play goes on).
    void write(const std::wstring& path, const std::wstring& message) const;

private:
    bool enabled_ = false;
    std::wstring folder_;
};

}  // namespace zvb
