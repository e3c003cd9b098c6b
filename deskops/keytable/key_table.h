// The virtual-key name table: the Windows VK_ constant names from
// VK_LBUTTON (1) to VK_OEM_CLEAR (0xFE). The library resolves key arguments
// with it and the recorder's script generator writes key names from it, so
// it is a library of its own with no other dependency.
#pragma once

#include <cstddef>
#include <cstdint>

namespace deskops {

struct KeyName {
    const char* name;  // as the Windows SDK spells it, e.g. "VK_RETURN"
    uint8_t code;
};

// The 160 names in code order; aliases that share a code are all there.
const KeyName* key_name_table(size_t* count);

// The first name of a code ("VK_KANA" for 0x15); null when it has none.
const char* key_name_of_code(uint8_t code);

}  // namespace deskops
