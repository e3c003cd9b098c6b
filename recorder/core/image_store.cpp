#include "image_store.h"

#include <unordered_map>

#include "errors.h"

namespace zvb {

bool image_read(const char16_t* store, uint32_t offset, uint32_t size, uint8_t** data) {
    *data = nullptr;
    zv::File* f = zv::file_open(store, zv::FileMode::kRead);
    if (!f) return false;
    uint64_t total = 0;
    bool ok = zv::file_size(f, &total) && size > 0 && uint64_t(offset) + size <= total && zv::file_seek(f, offset);
    uint8_t* buf = ok ? static_cast<uint8_t*>(zv::heap_alloc(size)) : nullptr;
    size_t got = 0;
    ok = buf && zv::file_read(f, buf, size, &got) && got == size;
    zv::file_close(f);
    if (!ok) {
        zv::heap_free(buf);
        return false;
    }
    *data = buf;
    return true;
}

bool image_store_compact_to(const char16_t* store, const OperationRecord* head, AtomicFile& out,
                            CompactResult* result, uint32_t* error) {
    result->offsets.clear();
    result->sizes.clear();
    result->dropped = 0;
    zv::File* in = nullptr;
    uint64_t total = 0;
    if (zv::path_kind(store) != 0) {
        in = zv::file_open(store, zv::FileMode::kRead);
        if (!in || !zv::file_size(in, &total)) {
            *error = zv::fs_last_error();
            zv::file_close(in);
            return false;
        }
    }
    // (old offset, size) of each image copied so far -> its new offset.
    std::unordered_map<uint64_t, uint32_t> moved;
    uint64_t end = 0;
    bool ok = true;
    for (const OperationRecord* r = head->next; r && ok; r = r->next) {
        uint32_t offset = 0, size = r->image_size;
        if (size != 0) {
            uint64_t key = uint64_t(r->image_offset) << 32 | r->image_size;
            auto it = moved.find(key);
            if (it != moved.end()) {
                offset = it->second;
            } else if (uint64_t(r->image_offset) + r->image_size > total || end + r->image_size > UINT32_MAX) {
                result->dropped++;
                size = 0;
            } else if (!zv::file_seek(in, r->image_offset)) {
                *error = zv::fs_last_error();
                ok = false;
            } else if (copy_bytes(in, r->image_size, out, error)) {
                offset = uint32_t(end);
                moved.emplace(key, offset);
                end += r->image_size;
            } else {
                ok = false;
            }
        }
        result->offsets.push_back(offset);
        result->sizes.push_back(size);
    }
    zv::file_close(in);
    return ok;
}

}  // namespace zvb
