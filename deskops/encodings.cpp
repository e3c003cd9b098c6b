// bytes_to_string and string_to_bytes: strings and byte arrays in a chosen
// code page. The code page -1 stands for UTF-16 little-endian taken byte for
// byte; other code pages go through the platform's conversion.
#include <string>

#include "codepage.h"
#include "frame.h"
#include "platform.h"

using namespace deskops;

namespace {

constexpr int32_t kUtf16 = -1;
constexpr int32_t kUtf8 = 65001;

struct CodePageName {
    const char16_t* name;
    int32_t code_page;
};

const CodePageName kCodePageNames[] = {
    {u"utf-7", 65000},     {u"utf7", 65000},      {u"utf_7", 65000},     {u"utf-8", kUtf8},
    {u"utf8", kUtf8},      {u"utf_8", kUtf8},     {u"utf-16", kUtf16},   {u"utf16", kUtf16},
    {u"utf_16", kUtf16},   {u"unicode", kUtf16},  {u"sjis", 932},        {u"cp932", 932},
    {u"ms932", 932},       {u"shift-jis", 932},   {u"shift_jis", 932},   {u"s-jis", 932},
    {u"jis", 50221},       {u"iso-2022-jp", 50221}, {u"euc", 20932},     {u"euc-jp", 20932},
    {u"euc_jp", 20932},
};

bool equal_ascii_nocase(const char16_t* a, const char16_t* b) {
    auto fold = [](char16_t c) { return c >= u'A' && c <= u'Z' ? char16_t(c + 32) : c; };
    while (*a && fold(*a) == fold(*b)) ++a, ++b;
    return !*a && !*b;
}

// The optional code-page argument: a number (reals truncated) or a name;
// any other name means the ANSI code page (0). Without it: UTF-8.
bool read_code_page(const Value* v, int32_t* cp, char16_t* errbuf) {
    *cp = kUtf8;
    if (!v) return true;
    if (v->kind == ksc::kArray) {
        fail(errbuf, kMsgNoArray);
        return false;
    }
    if (v->kind != ksc::kString) return read_number(v, cp, errbuf);
    *cp = int32_t(zv::kAnsiCodePage);
    for (const CodePageName& n : kCodePageNames)
        if (equal_ascii_nocase(v->data.s ? v->data.s : u"", n.name)) *cp = n.code_page;
    return true;
}

}  // namespace

DESKOPS_FUNCTION(bytes_to_string) {
    if (!has_args(args, 1)) return kMissing;
    const Value* data = arg(args, 0);
    if (data->kind != ksc::kArray) return put_string(result, text_of(data), errbuf);
    int32_t cp;
    if (!read_code_page(arg(args, 1), &cp, errbuf)) return kFailed;
    std::string bytes = array_bytes(data->data.a, false);
    bytes.append(2, '\0');
    std::u16string text;
    if (cp == kUtf16) {
        // Units as they stand, up to the first zero unit; an odd last byte
        // pairs with one of the two zeros.
        for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
            char16_t unit = char16_t(static_cast<unsigned char>(bytes[i]) | static_cast<unsigned char>(bytes[i + 1]) << 8);
            if (!unit) break;
            text += unit;
        }
    } else if (!zv::codepage_to_utf16(uint32_t(cp), bytes.c_str(), &text)) {
        return fail_system(errbuf);
    }
    return put_string(result, text, errbuf);
}

DESKOPS_FUNCTION(string_to_bytes) {
    if (!has_args(args, 1)) return kMissing;
    const char16_t* s;
    int32_t cp;
    if (!read_string(arg(args, 0), &s, errbuf) || !read_code_page(arg(args, 1), &cp, errbuf)) return kFailed;
    std::string bytes;
    if (cp == kUtf16) {
        for (const char16_t* p = s; *p; ++p) {
            bytes += char(*p & 0xFF);
            bytes += char(*p >> 8);
        }
    } else if (!zv::utf16_to_codepage(uint32_t(cp), s, &bytes)) {
        return fail_system(errbuf);
    }
    return put_bytes(result, reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), errbuf);
}
