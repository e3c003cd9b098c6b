#include "operation_title.h"

#include <cstring>

#include "desktop.h"
#include "key_table.h"
#include "operation_codes.h"
#include "platform.h"

namespace zvb {

std::u16string operation_key_name(uint32_t key_code) {
    switch (key_code) {
    case 19: return u"Pause";
    case 25: return u"漢字";
    case 91: case 92: return u"Win";
    default: break;
    }
    char16_t own[128];
    if (key_name(key_code, own, 128)) return own;
    if (const char* vk = deskops::key_name_of_code(uint8_t(key_code & 0xFF))) return std::u16string(vk, vk + strlen(vk));
    std::string code = "(" + std::to_string(int32_t(key_code)) + ")";
    return std::u16string(code.begin(), code.end());
}

std::u16string operation_key_text(uint32_t modifiers, uint32_t key_code) {
    static const struct {
        uint32_t bit;
        const char16_t* name;
    } kModifiers[] = {{kModCtrl, u"Ctrl"}, {kModShift, u"Shift"}, {kModAlt, u"Alt"}, {kModWin, u"Win"}};
    std::u16string text;
    for (const auto& m : kModifiers) {
        if (!(modifiers & m.bit)) continue;
        if (!text.empty()) text += u" + ";
        text += m.name;
    }
    if (key_code) {
        if (!text.empty()) text += u" + ";
        text += operation_key_name(key_code);
    }
    if (text.empty()) return zv::ui_japanese() ? u"なし" : u"None";
    return text;
}

std::u16string operation_title(const OperationRecord& r) {
    const char16_t* label = operation_label(r.code);
    std::u16string title = label ? label : u"";
    bool has_key = r.key_code || (r.modifiers & (kModCtrl | kModShift | kModAlt | kModWin));
    if (r.category != kCategoryKey || !has_key) return title;
    return u"「" + operation_key_text(r.modifiers, r.key_code) + u"」" + title;
}

}  // namespace zvb
