#include "key_names.h"

#include <string>

#include "codepage.h"

namespace deskops {

namespace {

char16_t ascii_upper(char16_t c) { return c >= u'a' && c <= u'z' ? char16_t(c - u'a' + u'A') : c; }

bool same_name(const char* entry, const char16_t* name) {
    for (; *entry; ++entry, ++name)
        if (ascii_upper(*name) != char16_t(*entry)) return false;
    return *name == 0;
}

bool names_a_key(const char16_t* s) {
    return ascii_upper(s[0]) == u'V' && ascii_upper(s[1]) == u'K' && s[2] == u'_';
}

// The first byte of the text's first character in the ANSI code page (a
// double-byte character gives its lead byte).
uint8_t first_ansi_byte(const char16_t* s) {
    if (!s[0]) return 0;
    bool pair = s[0] >= 0xD800 && s[0] <= 0xDBFF && s[1] >= 0xDC00 && s[1] <= 0xDFFF;
    char16_t first[3] = {s[0], pair ? s[1] : u'\0', 0};
    std::string bytes;
    if (!zv::utf16_to_codepage(zv::kAnsiCodePage, first, &bytes) || bytes.empty()) return 0;
    return uint8_t(bytes[0]);
}

}  // namespace

uint8_t key_code_of_name(const char16_t* name) {
    size_t count;
    const KeyName* table = key_name_table(&count);
    for (size_t i = 0; i < count; ++i)
        if (same_name(table[i].name, name)) return table[i].code;
    return 0;
}

bool read_key(const Value* v, uint8_t* code, char16_t* errbuf) {
    if (v->kind == ksc::kArray) {
        fail(errbuf, kMsgNoArray);
        return false;
    }
    if (v->kind == ksc::kString) {
        const char16_t* s;
        if (!read_string(v, &s, errbuf)) return false;
        *code = names_a_key(s) ? key_code_of_name(s) : first_ansi_byte(s);
        return true;
    }
    int32_t n;
    if (!read_number(v, &n, errbuf)) return false;
    *code = uint8_t(n & 0xFF);
    return true;
}

bool is_extended_key(uint8_t code) {
    return code == 0x03 || code == 0x0D || (code >= 0x21 && code <= 0x28) || (code >= 0x2C && code <= 0x2E) ||
           (code >= 0x5B && code <= 0x5D) || code == 0x6F || code == 0x90 || (code >= 0xA0 && code <= 0xB7);
}

int32_t fixed_scan_code(uint8_t code) {
    static const uint8_t kNumericPad[10] = {0x52, 0x4F, 0x50, 0x51, 0x4B, 0x4C, 0x4D, 0x47, 0x48, 0x49};
    if (code >= 0x60 && code <= 0x69) return kNumericPad[code - 0x60];
    switch (code) {
    case 0x13: case 0x90: return 0x45;  // pause, num lock
    case 0x2C: case 0x6A: return 0x37;  // print screen, multiply
    case 0x5B: return 0x5B;             // left Windows
    case 0x5C: return 0x5C;             // right Windows
    case 0x6B: return 0x4E;             // add
    case 0x6D: return 0x4A;             // subtract
    case 0x6E: return 0x53;             // decimal
    case 0x6F: return 0x35;             // divide
    case 0xA0: return 0x2A;             // left shift
    case 0xA1: return 0x36;             // right shift
    case 0xA2: case 0xA3: return 0x1D;  // control
    case 0xA4: case 0xA5: return 0x38;  // menu (Alt)
    default: return -1;
    }
}

}  // namespace deskops
