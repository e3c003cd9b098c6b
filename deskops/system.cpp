// System functions that do not touch the desktop: pauses, the operation
// pause, random numbers and the time. Portable.
#include <cstring>
#include <ctime>
#include <cwchar>
#include <string>

#include "frame.h"

using namespace deskops;

namespace {

constexpr size_t kTimeStringUnits = 255;  // the result's limit (a 256-unit buffer)

// Conversions every C runtime the library runs on defines (the original C
// set and %z). The Windows runtime ends the process on any other one, so
// those are never handed to it.
bool defined_conversion(char16_t c) { return c != 0 && c < 0x80 && strchr("aAbBcdHIjmMpSUwWxXyYzZ%", char(c)); }

void append_wide(std::u16string* out, const wchar_t* s) {
    for (; *s; ++s) {
        uint32_t c = uint32_t(*s);
        if (c > 0xFFFF && c <= 0x10FFFF) {  // 32-bit wchar_t (native build)
            c -= 0x10000;
            *out += char16_t(0xD800 + (c >> 10));
            *out += char16_t(0xDC00 + (c & 0x3FF));
        } else {
            *out += char16_t(c);
        }
    }
}

// One conversion ("%Y", or "%#d" with the Windows runtime's flag).
void append_conversion(std::u16string* out, const char16_t* conversion, size_t n, const struct tm* t) {
    wchar_t format[4] = {};
    for (size_t i = 0; i < n; ++i) format[i] = wchar_t(conversion[i]);
    wchar_t buf[256];
    size_t written = wcsftime(buf, 256, format, t);
    buf[written < 256 ? written : 255] = 0;
    append_wide(out, buf);
}

// The format with each defined conversion replaced by its text; anything
// else, an undefined conversion or a lone '%' at the end included, is
// copied as written. At most kTimeStringUnits units.
std::u16string format_time(const char16_t* format, const struct tm* t) {
    std::u16string out;
    for (const char16_t* p = format; *p && out.size() < kTimeStringUnits;) {
        if (p[0] == u'%' && defined_conversion(p[1])) {
            append_conversion(&out, p, 2, t);
            p += 2;
        } else if (p[0] == u'%' && p[1] == u'#' && defined_conversion(p[2])) {
            append_conversion(&out, p, 3, t);
            p += 3;
        } else {
            out += *p++;
        }
    }
    if (out.size() > kTimeStringUnits) out.resize(kTimeStringUnits);
    return out;
}

}  // namespace

DESKOPS_FUNCTION(sleep) {
    if (!has_args(args, 1)) return kMissing;
    int32_t ms;
    if (!read_number(arg(args, 0), &ms, errbuf)) return kFailed;
    sleep_ms(uint32_t(ms));
    return kDone;
}

DESKOPS_FUNCTION(wait) {
    if (!has_args(args, 1)) return kMissing;
    int32_t ms;
    if (!read_number(arg(args, 0), &ms, errbuf)) return kFailed;
    set_operation_wait(ms);
    return kDone;
}

DESKOPS_FUNCTION(rand) {
    put_int(result, next_random());
    return kDone;
}

DESKOPS_FUNCTION(get_time) {
    put_int(result, int32_t(uint32_t(uint64_t(time(nullptr)) & 0xFFFFFFFFu)));
    return kDone;
}

DESKOPS_FUNCTION(get_timestring) {
    if (!has_args(args, 2)) return kMissing;
    int32_t seconds;
    if (!read_number(arg(args, 0), &seconds, errbuf, kMsgFirstNotNumber)) return kFailed;
    if (seconds < 0) {
        errbuf[0] = 0;
        return kFailed;
    }
    std::u16string format;
    if (!read_text(arg(args, 1), &format, errbuf)) return kFailed;
    time_t when = time_t(seconds);
    const struct tm* local = localtime(&when);
    return put_string(result, local ? format_time(format.c_str(), local) : std::u16string(), errbuf);
}
