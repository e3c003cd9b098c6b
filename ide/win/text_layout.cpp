#include "text_layout.h"

namespace zvs {

namespace {
bool is_low(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }
}  // namespace

void measure_text(HDC dc, const char16_t* s, size_t n, int tab_px, std::vector<int>& xs, std::vector<int>& scratch,
                  size_t from) {
    if (from > n || xs.size() < from + 1) from = 0;
    int x = from ? xs[from] : 0;
    xs.resize(n + 1);
    if (tab_px < 1) tab_px = 1;
    for (size_t i = from; i < n;) {
        if (s[i] == u'\t') {
            xs[i++] = x;
            x = (x / tab_px + 1) * tab_px;
            continue;
        }
        size_t j = i;
        while (j < n && s[j] != u'\t') ++j;
        scratch.resize(j - i);
        SIZE size;
        if (!GetTextExtentExPointW(dc, reinterpret_cast<const wchar_t*>(s + i), int(j - i), 0, nullptr,
                                   scratch.data(), &size)) {
            for (size_t k = 0; k < j - i; ++k) scratch[k] = int(k + 1) * (tab_px / 4 + 1);
        }
        xs[i] = x;
        for (size_t k = i + 1; k < j; ++k) {
            int at = x + scratch[k - i - 1];
            xs[k] = at > xs[k - 1] ? at : xs[k - 1];
        }
        int end = x + scratch[j - i - 1];
        x = end > xs[j - 1] ? end : xs[j - 1];
        i = j;
    }
    xs[n] = x;
}

void wrap_text(const char16_t* s, size_t n, const std::vector<int>& xs, int width, std::vector<size_t>& breaks,
               bool resume) {
    if (!resume || breaks.empty()) breaks.assign(1, 0);
    size_t b = breaks.back();
    if (b > n) {
        breaks.assign(1, 0);
        b = 0;
    }
    for (;;) {
        size_t end = b;
        while (end < n && xs[end + 1] - xs[b] <= width) ++end;
        if (end >= n) return;
        if (end == b) {
            end = b + 1;  // at least one character a row
        } else {
            size_t k = end;
            while (k > b && s[k - 1] != u' ' && s[k - 1] != u'\t') --k;
            if (k > b) end = k;
        }
        if (end < n && is_low(s[end])) end = end > b + 1 ? end - 1 : end + 1;  // keep a pair together
        breaks.push_back(end);
        b = end;
    }
}

}  // namespace zvs
