// Keys as scripts name them: lookups in the virtual-key name table
// (key_table.h), the key argument of the keyboard functions, and what each
// key event carries besides its code (extended flag, scan code). Portable,
// so the tables are tested natively; keyboard.cpp sends the events.
#pragma once

#include <cstddef>
#include <cstdint>

#include "frame.h"
#include "key_table.h"

namespace deskops {

// The code of a "VK_..." name (whole name, ASCII case ignored, first entry
// that matches); 0 for a name that is not in the table.
uint8_t key_code_of_name(const char16_t* name);

// Key argument: a number gives its low 8 bits; a string that begins with
// "vk_" (any case) is looked up by name; any other string gives the first
// byte of its ANSI code page form (so "a" is 0x61, not the A key). An array
// is rejected with message 3003. Code 0 means "send nothing".
bool read_key(const Value* v, uint8_t* code, char16_t* errbuf);

// Keys whose events carry the extended-key flag (the cursor block, the
// right-hand and left/right-specific modifiers, numeric-pad divide, ...).
bool is_extended_key(uint8_t code);

// The scan code the keys with a fixed one carry; -1 for every other key,
// whose scan code comes from the system's keyboard layout.
int32_t fixed_scan_code(uint8_t code);

}  // namespace deskops
