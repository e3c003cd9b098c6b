// Screenshots of the recording: a screen area scaled to 100 % display scale
// with half-tone stretching and encoded as PNG through GDI+ (which the
// program starts). Failures give no picture, never a crash: an empty or
// absurdly large area, an area off every screen (it comes out black), a
// bitmap the system cannot make, an encoder that fails.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <cstdint>
#include <vector>

namespace zvb {

// Pictures of more pixels than this (at 100 %, 48 MB as a bitmap) are not
// taken, nor areas of more than four times as many screen pixels.
constexpr int64_t kMaxScreenshotPixels = int64_t(4096) * 4096;

// The PNG bytes of the screen area `area` (physical pixels) shrunk or grown
// by 100 / scale_percent; false (and *png empty) when there is none.
bool capture_png(const RECT& area, int scale_percent, std::vector<uint8_t>* png);

}  // namespace zvb
