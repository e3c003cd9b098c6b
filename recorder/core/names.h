// Scenario names: comparison without regard to case, the naming rules, and
// the names of copies.
#pragma once

#include <cstdint>
#include <string>

namespace zvb {

struct ScenarioEntry;

// One unit folded for comparison without regard to case (Latin, Greek,
// Cyrillic and full-width letters), the same on every platform.
char16_t fold_char(char16_t c);
std::u16string name_fold(const std::u16string& s);
bool name_equal(const char16_t* a, const char16_t* b);
bool name_starts_with(const std::u16string& s, const std::u16string& prefix);

constexpr size_t kMaxNameLength = 255;

// Checks a new name's text: 0 when it is acceptable, 1202 when it is empty,
// 1203 when it holds one of \ / : * ? " < > | (or cannot be a file name at
// all: longer than 255 units, ".", "..", a trailing dot or blank, a device
// name such as CON or LPT1).
int32_t name_check_text(const std::u16string& name);
// A device name of Windows (CON, PRN, AUX, NUL, COM1-9, LPT1-9), with or
// without an extension.
bool is_device_name(const std::u16string& name);

// True when `folder` holds a folder N, a file N.ksc or a file N.zv, letter
// case ignored.
bool name_taken(const std::u16string& folder, const std::u16string& name);

// The name a copy of `name` gets in the member list after `head` and the
// folder: the name itself when free, else "N - コピー", else
// "N - コピー (1)", "N - コピー (2)" ...
std::u16string copy_name(const ScenarioEntry* head, const std::u16string& folder, const std::u16string& name);

}  // namespace zvb
