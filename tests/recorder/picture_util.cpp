#include "picture_util.h"

#include <objidl.h>
#include <gdiplus.h>

#include <fstream>
#include <iterator>

namespace zvb::test {

std::string file_bytes(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

SIZE picture_size(const std::string& store, const OperationRecord* r) {
    SIZE s = {};
    if (!r->image_size || uint64_t(r->image_offset) + r->image_size > store.size()) return s;
    std::string png = store.substr(r->image_offset, r->image_size);
    if (png.size() < 8 || png.compare(1, 3, "PNG") != 0) return s;
    HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE, png.size());
    memcpy(GlobalLock(mem), png.data(), png.size());
    GlobalUnlock(mem);
    IStream* stream = nullptr;
    if (SUCCEEDED(CreateStreamOnHGlobal(mem, TRUE, &stream))) {
        Gdiplus::Bitmap* b = Gdiplus::Bitmap::FromStream(stream);
        if (b && b->GetLastStatus() == Gdiplus::Ok) s = {LONG(b->GetWidth()), LONG(b->GetHeight())};
        delete b;
        stream->Release();
    }
    return s;
}

}  // namespace zvb::test
