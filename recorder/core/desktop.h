// What the recorder's data layer asks of the desktop. desktop_win32.cpp
// asks the system; desktop_posix.cpp answers for the native build, which
// has no screen and no keyboard layout (fixed, documented values).
#pragma once

#include <cstddef>
#include <cstdint>

namespace zvb {

// The primary screen's size in pixels (natively 1920 x 1080).
void screen_size(int32_t* width, int32_t* height);

// Frees a screenshot bitmap owned by an operation record (DeleteObject).
void release_bitmap(void* bitmap);

// The keyboard's name of a virtual key ("A", "F5", "Page Up"), with the
// extended-key flag where the key needs it. Returns the length written
// (at most cap units with the NUL), 0 when the key has no name.
size_t key_name(uint32_t virtual_key, char16_t* buf, size_t cap);

// The system's double-click time in milliseconds (natively 500).
uint32_t double_click_time();

}  // namespace zvb
