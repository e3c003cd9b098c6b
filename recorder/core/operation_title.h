// The one-line title of an operation, as the generated script's comments,
// the editor's lists and the HTML manual show it.
#pragma once

#include <cstdint>
#include <string>

#include "operation_record.h"

namespace zvb {

// A key's name in titles: "Pause" (19), "漢字" (25), "Win" (91, 92), else
// the keyboard's own name of the key, else its VK_ name, else "(code)".
std::u16string operation_key_name(uint32_t key_code);

// "Ctrl", "Shift", "Alt", "Win" for the modifier bits present and the key's
// name, joined with " + "; "None" ("なし" in a Japanese user interface)
// when there is neither. A key code of 0 adds no name.
std::u16string operation_key_text(uint32_t modifiers, uint32_t key_code);

// The operation's label; for a key operation with a key or modifiers
// "「key text」label". Unknown codes have an empty label.
std::u16string operation_title(const OperationRecord& r);

}  // namespace zvb
