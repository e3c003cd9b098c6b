#include <cstdio>

#include "desktop.h"

namespace zvb {

void screen_size(int32_t* width, int32_t* height) {
    *width = 1920;
    *height = 1080;
}

void release_bitmap(void*) {}

namespace {

struct KeyName {
    uint32_t key;
    const char* name;
};

// The names a US keyboard layout gives on Windows, for the keys call keys use.
const KeyName kNames[] = {
    {0x08, "Backspace"}, {0x09, "Tab"},    {0x0D, "Enter"},     {0x13, "Pause"},    {0x14, "Caps Lock"},
    {0x1B, "Esc"},       {0x20, "Space"},  {0x21, "Page Up"},   {0x22, "Page Down"}, {0x23, "End"},
    {0x24, "Home"},      {0x25, "Left"},   {0x26, "Up"},        {0x27, "Right"},    {0x28, "Down"},
    {0x2D, "Insert"},    {0x2E, "Delete"}, {0x5D, "Application"}, {0x90, "Num Lock"}, {0x91, "Scroll Lock"},
};

}  // namespace

size_t key_name(uint32_t virtual_key, char16_t* buf, size_t cap) {
    uint32_t vk = virtual_key & 0xFF;
    char text[16] = "";
    if ((vk >= '0' && vk <= '9') || (vk >= 'A' && vk <= 'Z')) {
        text[0] = char(vk);
        text[1] = 0;
    } else if (vk >= 0x70 && vk <= 0x87) {
        snprintf(text, sizeof text, "F%u", vk - 0x6F);
    } else if (vk >= 0x60 && vk <= 0x69) {
        snprintf(text, sizeof text, "Num %u", vk - 0x60);
    } else {
        for (const KeyName& k : kNames)
            if (k.key == vk) snprintf(text, sizeof text, "%s", k.name);
    }
    size_t n = 0;
    while (text[n] && n + 1 < cap) {
        buf[n] = char16_t(text[n]);
        ++n;
    }
    if (cap) buf[n] = 0;
    return text[n] ? 0 : n;
}

uint32_t double_click_time() { return 500; }

}  // namespace zvb
