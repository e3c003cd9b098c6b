#include "shots.h"

#include <objidl.h>  // gdiplus.h needs COM types the lean windows.h leaves out
#include <gdiplus.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace zv::shots {

namespace {

struct Gdiplus_ {
    ULONG_PTR token = 0;
    Gdiplus_() {
        Gdiplus::GdiplusStartupInput input;
        Gdiplus::GdiplusStartup(&token, &input, nullptr);
    }
    ~Gdiplus_() { Gdiplus::GdiplusShutdown(token); }
};

bool png_encoder(CLSID* clsid) {
    UINT count = 0, bytes = 0;
    Gdiplus::GetImageEncodersSize(&count, &bytes);
    if (!bytes) return false;
    std::vector<char> buf(bytes);
    auto* codecs = reinterpret_cast<Gdiplus::ImageCodecInfo*>(buf.data());
    Gdiplus::GetImageEncoders(count, bytes, codecs);
    for (UINT i = 0; i < count; ++i)
        if (wcscmp(codecs[i].MimeType, L"image/png") == 0) return *clsid = codecs[i].Clsid, true;
    return false;
}

// Paints queued for the window run when its queue is empty: two round
// trips and a forced update, then time for the display to take the
// window surfaces (Wine copies them to X a moment later).
void settle(HWND window) {
    DWORD_PTR ignored;
    if (window) {
        SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &ignored);
        RedrawWindow(window, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
        SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &ignored);
    }
    Sleep(300);
}

}  // namespace

std::wstring dir() {
    const char* d = std::getenv("ZV_SHOTS_DIR");
    if (!d || !*d) return L".";
    std::wstring w = L"Z:";
    for (const char* p = d; *p; ++p) w += *p == '/' ? L'\\' : wchar_t(static_cast<unsigned char>(*p));
    CreateDirectoryW(w.c_str(), nullptr);
    return w;
}

RECT around(std::initializer_list<HWND> windows) {
    RECT all = {};
    for (HWND w : windows) {
        RECT r;
        if (w && GetWindowRect(w, &r)) UnionRect(&all, &all, &r);
    }
    return all;
}

bool save(HWND window, const char* name) {
    RECT r;
    if (!GetWindowRect(window, &r)) return false;
    return save_area(window, r, name);
}

bool save_area(HWND settle_window, const RECT& area, const char* name) {
    static Gdiplus_ gdiplus;
    settle(settle_window);
    int cx = area.right - area.left, cy = area.bottom - area.top;
    if (cx <= 0 || cy <= 0) return false;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, cx, cy);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, cx, cy, screen, area.left, area.top, SRCCOPY | CAPTUREBLT);
    SelectObject(memory, old);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    bool ok = false;
    CLSID png;
    if (png_encoder(&png)) {
        Gdiplus::Bitmap picture(bitmap, nullptr);
        std::wstring path = dir() + L"\\";
        for (const char* p = name; *p; ++p) path += wchar_t(*p);
        path += L".png";
        ok = picture.Save(path.c_str(), &png, nullptr) == Gdiplus::Ok;
        std::printf("%s %s.png\n", ok ? "wrote" : "FAILED", name);
    }
    DeleteObject(bitmap);
    return ok;
}

}  // namespace zv::shots
