// The text of the script editor's console: lines with style runs, filled by
// appends that may hold formatting codes. The codes are not shown:
//   0x02 bold, 0x16 reverse, 0x1F underline (each toggles);
//   0x03 with one or two digits: text colour (number mod 16), optionally
//   followed by "," and one or two digits: background; 0x03 alone returns
//   to the normal colours; 0x14 returns to the normal style altogether.
// Every append starts in the normal style. CR LF, LF and a lone CR end a
// line, also when the CR and the LF come in two appends.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

namespace zvs {

enum : uint8_t { kStyleBold = 1, kStyleReverse = 2, kStyleUnderline = 4 };

struct ConsoleStyle {
    int8_t fg = -1;  // colour number 0-15, -1 normal
    int8_t bg = -1;
    uint8_t flags = 0;
    bool operator==(const ConsoleStyle& o) const { return fg == o.fg && bg == o.bg && flags == o.flags; }
    bool operator!=(const ConsoleStyle& o) const { return !(*this == o); }
};

struct ConsoleRun {
    size_t start;  // first unit of the run in its line
    ConsoleStyle style;
};

struct ConsoleLine {
    std::u16string text;
    std::vector<ConsoleRun> runs;  // by start; text before the first run is normal
    ConsoleStyle style_at(size_t i) const;
};

class ConsoleText {
public:
    ConsoleText() { lines_.emplace_back(); }

    // Appends text; returns how many lines were dropped at the top to keep
    // within the maximum.
    size_t append(const char16_t* s, size_t n);
    void clear();
    // 0: no maximum. Returns the lines dropped.
    size_t set_max_lines(size_t n);

    size_t line_count() const { return lines_.size(); }
    const ConsoleLine& line(size_t i) const { return lines_[i]; }
    bool empty() const { return lines_.size() == 1 && lines_[0].text.empty(); }
    // The text with CR LF between lines, and its length in units.
    std::u16string text() const;
    size_t length() const;
    // Offset of (line, column) in text(), and back.
    size_t offset_of(size_t line, size_t column) const;
    void position_of(size_t offset, size_t* line, size_t* column) const;

    // Removes the last character of the last line (a surrogate pair as one);
    // false when that line is empty.
    bool remove_last_char();

private:
    size_t trim();

    std::deque<ConsoleLine> lines_;
    size_t units_ = 0;  // of all lines' text
    size_t max_lines_ = 0;
    bool after_cr_ = false;  // the last unit appended was a CR
};

}  // namespace zvs
