// The image store (<name>.zv.img): the PNG screenshots of a timeline one
// after the other. A record points into it with (image_offset, image_size);
// several records may share one image.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "file_util.h"
#include "operation_record.h"

namespace zvb {

// Reads one image; false when the store cannot be read or the range lies
// (partly) outside it. *data comes from heap_alloc.
bool image_read(const char16_t* store, uint32_t offset, uint32_t size, uint8_t** data);

// The offsets a compacted store gives, one per operation in list order
// (0 for an operation without image).
struct CompactResult {
    std::vector<uint32_t> offsets;
    std::vector<uint32_t> sizes;  // the record's size, or 0 where the image was dropped
    size_t dropped = 0;  // references that pointed outside the store (now none)
};

// Writes the compacted form of `store` to `out`: each distinct image that an
// operation references with a non-zero size is copied once, in list order,
// in pieces of kCopyChunk bytes through one buffer. A reference that lies
// outside the store counts as no image. False (with *error) when the store
// cannot be read or `out` cannot be written; a missing store is read as an
// empty one.
bool image_store_compact_to(const char16_t* store, const OperationRecord* head, AtomicFile& out,
                            CompactResult* result, uint32_t* error);

}  // namespace zvb
