#include "console_text.h"

namespace zvs {

namespace {

bool is_digit(char16_t c) { return c >= u'0' && c <= u'9'; }

// Reads one or two digits at s[*i]; -1 when there is none.
int read_number(const char16_t* s, size_t n, size_t* i) {
    if (*i >= n || !is_digit(s[*i])) return -1;
    int v = s[(*i)++] - u'0';
    if (*i < n && is_digit(s[*i])) v = v * 10 + (s[(*i)++] - u'0');
    return v;
}

void set_style(ConsoleLine& line, const ConsoleStyle& style) {
    if (line.style_at(line.text.size()) == style) return;
    if (!line.runs.empty() && line.runs.back().start == line.text.size()) {
        line.runs.back().style = style;
    } else {
        line.runs.push_back({line.text.size(), style});
    }
}

}  // namespace

ConsoleStyle ConsoleLine::style_at(size_t i) const {
    ConsoleStyle s;
    for (const ConsoleRun& r : runs) {
        if (r.start > i) break;
        s = r.style;
    }
    return s;
}

size_t ConsoleText::append(const char16_t* s, size_t n) {
    ConsoleStyle style;
    for (size_t i = 0; i < n;) {
        char16_t c = s[i++];
        ConsoleLine* line = &lines_.back();
        bool was_cr = after_cr_;
        after_cr_ = c == u'\r';
        switch (c) {
        case u'\n':
            if (was_cr) break;  // the second half of a CR LF
            [[fallthrough]];
        case u'\r':
            lines_.emplace_back();
            if (style != ConsoleStyle()) lines_.back().runs.push_back({0, style});
            continue;
        case 0x02: style.flags ^= kStyleBold; break;
        case 0x16: style.flags ^= kStyleReverse; break;
        case 0x1F: style.flags ^= kStyleUnderline; break;
        case 0x14: style = ConsoleStyle(); break;
        case 0x03: {
            int fg = read_number(s, n, &i);
            if (fg < 0) {
                style.fg = style.bg = -1;
                break;
            }
            style.fg = int8_t(fg % 16);
            if (i + 1 < n && s[i] == u',' && is_digit(s[i + 1])) {
                ++i;
                style.bg = int8_t(read_number(s, n, &i) % 16);
            }
            break;
        }
        default:
            set_style(*line, style);
            line->text += c;
            ++units_;
            continue;
        }
    }
    return trim();
}

size_t ConsoleText::trim() {
    size_t dropped = 0;
    while (max_lines_ && lines_.size() > max_lines_) {
        units_ -= lines_.front().text.size();
        lines_.pop_front();
        ++dropped;
    }
    return dropped;
}

void ConsoleText::clear() {
    lines_.clear();
    units_ = 0;
    lines_.emplace_back();
    after_cr_ = false;
}

size_t ConsoleText::set_max_lines(size_t n) {
    max_lines_ = n;
    return trim();
}

std::u16string ConsoleText::text() const {
    std::u16string out;
    out.reserve(length());
    for (size_t i = 0; i < lines_.size(); ++i) {
        if (i) out += u"\r\n";
        out += lines_[i].text;
    }
    return out;
}

size_t ConsoleText::length() const { return units_ + 2 * (lines_.size() - 1); }

size_t ConsoleText::offset_of(size_t line, size_t column) const {
    size_t off = 0;
    for (size_t i = 0; i < line && i < lines_.size(); ++i) off += lines_[i].text.size() + 2;
    return off + column;
}

void ConsoleText::position_of(size_t offset, size_t* line, size_t* column) const {
    size_t i = 0;
    while (i + 1 < lines_.size() && offset >= lines_[i].text.size() + 2) offset -= lines_[i++].text.size() + 2;
    *line = i;
    *column = offset < lines_[i].text.size() ? offset : lines_[i].text.size();
}

bool ConsoleText::remove_last_char() {
    ConsoleLine& line = lines_.back();
    std::u16string& t = line.text;
    if (t.empty()) return false;
    size_t k = t.size() >= 2 && t.back() >= 0xDC00 && t.back() <= 0xDFFF && t[t.size() - 2] >= 0xD800 &&
                       t[t.size() - 2] <= 0xDBFF
                   ? 2
                   : 1;
    t.resize(t.size() - k);
    units_ -= k;
    while (!line.runs.empty() && line.runs.back().start > t.size()) line.runs.pop_back();
    return true;
}

}  // namespace zvs
