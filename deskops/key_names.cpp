#include "key_names.h"

#include <string>

#include "codepage.h"

namespace deskops {

namespace {

// Order matters only to the lookup, which takes the first match; it is the
// order scripts have always been resolved in.
const KeyName kKeyNames[] = {
    {"VK_LBUTTON", 0x01}, {"VK_RBUTTON", 0x02}, {"VK_CANCEL", 0x03}, {"VK_MBUTTON", 0x04},
    {"VK_XBUTTON1", 0x05}, {"VK_XBUTTON2", 0x06}, {"VK_BACK", 0x08}, {"VK_TAB", 0x09},
    {"VK_CLEAR", 0x0C}, {"VK_RETURN", 0x0D}, {"VK_SHIFT", 0x10}, {"VK_CONTROL", 0x11},
    {"VK_MENU", 0x12}, {"VK_PAUSE", 0x13}, {"VK_CAPITAL", 0x14}, {"VK_KANA", 0x15},
    {"VK_HANGEUL", 0x15}, {"VK_HANGUL", 0x15}, {"VK_JUNJA", 0x17}, {"VK_FINAL", 0x18},
    {"VK_KANJI", 0x19}, {"VK_HANJA", 0x19}, {"VK_ESCAPE", 0x1B}, {"VK_CONVERT", 0x1C},
    {"VK_NONCONVERT", 0x1D}, {"VK_ACCEPT", 0x1E}, {"VK_MODECHANGE", 0x1F}, {"VK_SPACE", 0x20},
    {"VK_PRIOR", 0x21}, {"VK_NEXT", 0x22}, {"VK_END", 0x23}, {"VK_HOME", 0x24},
    {"VK_LEFT", 0x25}, {"VK_UP", 0x26}, {"VK_RIGHT", 0x27}, {"VK_DOWN", 0x28},
    {"VK_SELECT", 0x29}, {"VK_PRINT", 0x2A}, {"VK_EXECUTE", 0x2B}, {"VK_SNAPSHOT", 0x2C},
    {"VK_INSERT", 0x2D}, {"VK_DELETE", 0x2E}, {"VK_HELP", 0x2F}, {"VK_LWIN", 0x5B},
    {"VK_RWIN", 0x5C}, {"VK_APPS", 0x5D}, {"VK_SLEEP", 0x5F},
    {"VK_NUMPAD0", 0x60}, {"VK_NUMPAD1", 0x61}, {"VK_NUMPAD2", 0x62}, {"VK_NUMPAD3", 0x63},
    {"VK_NUMPAD4", 0x64}, {"VK_NUMPAD5", 0x65}, {"VK_NUMPAD6", 0x66}, {"VK_NUMPAD7", 0x67},
    {"VK_NUMPAD8", 0x68}, {"VK_NUMPAD9", 0x69},
    {"VK_MULTIPLY", 0x6A}, {"VK_ADD", 0x6B}, {"VK_SEPARATOR", 0x6C}, {"VK_SUBTRACT", 0x6D},
    {"VK_DECIMAL", 0x6E}, {"VK_DIVIDE", 0x6F},
    {"VK_F1", 0x70}, {"VK_F2", 0x71}, {"VK_F3", 0x72}, {"VK_F4", 0x73}, {"VK_F5", 0x74},
    {"VK_F6", 0x75}, {"VK_F7", 0x76}, {"VK_F8", 0x77}, {"VK_F9", 0x78}, {"VK_F10", 0x79},
    {"VK_F11", 0x7A}, {"VK_F12", 0x7B}, {"VK_F13", 0x7C}, {"VK_F14", 0x7D}, {"VK_F15", 0x7E},
    {"VK_F16", 0x7F}, {"VK_F17", 0x80}, {"VK_F18", 0x81}, {"VK_F19", 0x82}, {"VK_F20", 0x83},
    {"VK_F21", 0x84}, {"VK_F22", 0x85}, {"VK_F23", 0x86}, {"VK_F24", 0x87},
    {"VK_NUMLOCK", 0x90}, {"VK_SCROLL", 0x91}, {"VK_OEM_NEC_EQUAL", 0x92}, {"VK_OEM_FJ_JISHO", 0x92},
    {"VK_OEM_FJ_MASSHOU", 0x93}, {"VK_OEM_FJ_TOUROKU", 0x94}, {"VK_OEM_FJ_LOYA", 0x95},
    {"VK_OEM_FJ_ROYA", 0x96},
    {"VK_LSHIFT", 0xA0}, {"VK_RSHIFT", 0xA1}, {"VK_LCONTROL", 0xA2}, {"VK_RCONTROL", 0xA3},
    {"VK_LMENU", 0xA4}, {"VK_RMENU", 0xA5},
    {"VK_BROWSER_BACK", 0xA6}, {"VK_BROWSER_FORWARD", 0xA7}, {"VK_BROWSER_REFRESH", 0xA8},
    {"VK_BROWSER_STOP", 0xA9}, {"VK_BROWSER_SEARCH", 0xAA}, {"VK_BROWSER_FAVORITES", 0xAB},
    {"VK_BROWSER_HOME", 0xAC}, {"VK_VOLUME_MUTE", 0xAD}, {"VK_VOLUME_DOWN", 0xAE},
    {"VK_VOLUME_UP", 0xAF}, {"VK_MEDIA_NEXT_TRACK", 0xB0}, {"VK_MEDIA_PREV_TRACK", 0xB1},
    {"VK_MEDIA_STOP", 0xB2}, {"VK_MEDIA_PLAY_PAUSE", 0xB3}, {"VK_LAUNCH_MAIL", 0xB4},
    {"VK_LAUNCH_MEDIA_SELECT", 0xB5}, {"VK_LAUNCH_APP1", 0xB6}, {"VK_LAUNCH_APP2", 0xB7},
    {"VK_OEM_1", 0xBA}, {"VK_OEM_PLUS", 0xBB}, {"VK_OEM_COMMA", 0xBC}, {"VK_OEM_MINUS", 0xBD},
    {"VK_OEM_PERIOD", 0xBE}, {"VK_OEM_2", 0xBF}, {"VK_OEM_3", 0xC0}, {"VK_OEM_4", 0xDB},
    {"VK_OEM_5", 0xDC}, {"VK_OEM_6", 0xDD}, {"VK_OEM_7", 0xDE}, {"VK_OEM_8", 0xDF},
    {"VK_OEM_AX", 0xE1}, {"VK_OEM_102", 0xE2}, {"VK_ICO_HELP", 0xE3}, {"VK_ICO_00", 0xE4},
    {"VK_PROCESSKEY", 0xE5}, {"VK_ICO_CLEAR", 0xE6}, {"VK_PACKET", 0xE7}, {"VK_OEM_RESET", 0xE9},
    {"VK_OEM_JUMP", 0xEA}, {"VK_OEM_PA1", 0xEB}, {"VK_OEM_PA2", 0xEC}, {"VK_OEM_PA3", 0xED},
    {"VK_OEM_WSCTRL", 0xEE}, {"VK_OEM_CUSEL", 0xEF}, {"VK_OEM_ATTN", 0xF0}, {"VK_OEM_FINISH", 0xF1},
    {"VK_OEM_COPY", 0xF2}, {"VK_OEM_AUTO", 0xF3}, {"VK_OEM_ENLW", 0xF4}, {"VK_OEM_BACKTAB", 0xF5},
    {"VK_ATTN", 0xF6}, {"VK_CRSEL", 0xF7}, {"VK_EXSEL", 0xF8}, {"VK_EREOF", 0xF9},
    {"VK_PLAY", 0xFA}, {"VK_ZOOM", 0xFB}, {"VK_NONAME", 0xFC}, {"VK_PA1", 0xFD},
    {"VK_OEM_CLEAR", 0xFE},
};

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

const KeyName* key_name_table(size_t* count) {
    *count = sizeof kKeyNames / sizeof kKeyNames[0];
    return kKeyNames;
}

uint8_t key_code_of_name(const char16_t* name) {
    for (const KeyName& k : kKeyNames)
        if (same_name(k.name, name)) return k.code;
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
