// Text of the generated HTML pages (statistics report, manual): UTF-8 out of
// the recorder's UTF-16 data, escaped so that no name or operation text can
// change the page's structure.
#pragma once

#include <cstddef>
#include <string>

namespace zvb {

// Appends text as UTF-8 with " & < > replaced by &quot; &amp; &lt; &gt;.
void html_append(std::string& out, const char16_t* text, size_t n);
void html_append(std::string& out, const std::u16string& text);
std::string html_escape(const std::u16string& text);

// Appends a scenario name as one segment of a relative URL inside an HTML
// attribute: ASCII characters that end or change a URL path (# ? % blank,
// controls) are percent-encoded, the rest is escaped as above.
void html_append_url_segment(std::string& out, const std::u16string& name);

// Appends printf-formatted text (numbers and the report's fixed texts).
void html_appendf(std::string& out, const char* format, ...)
#if defined(__MINGW32__)
    __attribute__((format(__MINGW_PRINTF_FORMAT, 2, 3)))
#elif defined(__GNUC__)
    __attribute__((format(printf, 2, 3)))
#endif
    ;

}  // namespace zvb
