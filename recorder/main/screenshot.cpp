#include "screenshot.h"

#include <objidl.h>  // gdiplus.h needs COM types the lean windows.h leaves out
#include <gdiplus.h>

namespace zvb {

namespace {

bool png_encoder(CLSID* clsid) {
    static CLSID found;
    static bool have = [] {
        UINT count = 0, bytes = 0;
        if (Gdiplus::GetImageEncodersSize(&count, &bytes) != Gdiplus::Ok || !bytes) return false;
        std::vector<char> buf(bytes);
        auto* codecs = reinterpret_cast<Gdiplus::ImageCodecInfo*>(buf.data());
        if (Gdiplus::GetImageEncoders(count, bytes, codecs) != Gdiplus::Ok) return false;
        for (UINT i = 0; i < count; ++i)
            if (lstrcmpiW(codecs[i].MimeType, L"image/png") == 0) return found = codecs[i].Clsid, true;
        return false;
    }();
    *clsid = found;
    return have;
}

// A 24-bit bitmap of the area at the target size.
HBITMAP grab(const RECT& area, int width, int height) {
    int cx = area.right - area.left, cy = area.bottom - area.top;
    HDC screen = GetDC(nullptr);
    if (!screen) return nullptr;
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    void* bits = nullptr;
    HBITMAP bitmap = memory ? CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0) : nullptr;
    bool ok = false;
    if (bitmap) {
        HGDIOBJ old = SelectObject(memory, bitmap);
        if (width == cx && height == cy) {
            ok = BitBlt(memory, 0, 0, width, height, screen, area.left, area.top, SRCCOPY | CAPTUREBLT);
        } else {
            SetStretchBltMode(memory, HALFTONE);
            SetBrushOrgEx(memory, 0, 0, nullptr);
            ok = StretchBlt(memory, 0, 0, width, height, screen, area.left, area.top, cx, cy, SRCCOPY | CAPTUREBLT);
        }
        SelectObject(memory, old);
    }
    if (memory) DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    if (!ok && bitmap) DeleteObject(bitmap), bitmap = nullptr;
    return bitmap;
}

bool encode(HBITMAP bitmap, std::vector<uint8_t>* png) {
    CLSID clsid;
    if (!png_encoder(&clsid)) return false;
    IStream* stream = nullptr;
    if (FAILED(CreateStreamOnHGlobal(nullptr, TRUE, &stream))) return false;
    bool ok = false;
    {
        Gdiplus::Bitmap picture(bitmap, nullptr);
        ok = picture.GetLastStatus() == Gdiplus::Ok && picture.Save(stream, &clsid, nullptr) == Gdiplus::Ok;
    }
    HGLOBAL memory = nullptr;
    STATSTG stat = {};
    if (ok && SUCCEEDED(GetHGlobalFromStream(stream, &memory)) && SUCCEEDED(stream->Stat(&stat, STATFLAG_NONAME)) &&
        stat.cbSize.QuadPart > 0) {
        const uint8_t* bytes = static_cast<const uint8_t*>(GlobalLock(memory));
        if (bytes) {
            png->assign(bytes, bytes + size_t(stat.cbSize.QuadPart));
            GlobalUnlock(memory);
        }
        ok = bytes != nullptr;
    } else {
        ok = false;
    }
    stream->Release();
    return ok;
}

}  // namespace

bool capture_png(const RECT& area, int scale_percent, std::vector<uint8_t>* png) {
    png->clear();
    int64_t cx = int64_t(area.right) - area.left, cy = int64_t(area.bottom) - area.top;
    if (cx <= 0 || cy <= 0 || scale_percent <= 0) return false;
    int64_t width = cx * 100 / scale_percent, height = cy * 100 / scale_percent;
    if (width < 1) width = 1;
    if (height < 1) height = 1;
    if (width * height > kMaxScreenshotPixels || cx * cy > kMaxScreenshotPixels * 4) return false;
    HBITMAP bitmap = grab(area, int(width), int(height));
    if (!bitmap) return false;
    bool ok = encode(bitmap, png);
    DeleteObject(bitmap);
    if (!ok) png->clear();
    return ok;
}

}  // namespace zvb
