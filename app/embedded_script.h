// The script a built executable carries: a resource of type "ZVS", id 3000,
// neutral language, holding the script's UTF-16 units each XOR-ed with a
// 16-bit key and one terminating zero unit.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zvs_app {

constexpr const wchar_t* kScriptResourceType = L"ZVS";
constexpr uint16_t kScriptResourceId = 3000;
constexpr uint16_t kScriptResourceLanguage = 0x0400;
constexpr char16_t kScriptKey = 0x5A3C;

// XORs n units with the key, in place (scrambling and unscrambling alike).
void scramble(char16_t* text, size_t n);

// The embedded script of the running program, unscrambled, on the process
// heap (the caller frees it with zv::heap_free). Null when the program
// carries none; *no_memory tells the two failures apart.
char16_t* embedded_script(size_t* len, bool* no_memory);

}  // namespace zvs_app
