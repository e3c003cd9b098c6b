// The screenshots of a recording, as the tests look at them (Windows).
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <filesystem>
#include <string>

#include "operation_record.h"
#include "startup.h"

namespace zvb::test {

// GDI+ runs while one lives.
struct GdiplusOn {
    ULONG_PTR token = zv::ui::gdiplus_start();
    ~GdiplusOn() { zv::ui::gdiplus_stop(token); }
};

// A whole file; "" when it cannot be read.
std::string file_bytes(const std::filesystem::path& p);
// The width and height of the record's picture in an image store's bytes;
// 0 x 0 when it has none or it does not decode as PNG (GDI+ must run).
SIZE picture_size(const std::string& store, const OperationRecord* r);

}  // namespace zvb::test
