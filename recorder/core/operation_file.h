// The operation file (<name>.zv): the records of one timeline in order,
// 2684 bytes each, no header. Readers take each record's length from its
// `size` field; saves go through a temporary file beside the original.
#pragma once

#include <cstddef>
#include <cstdint>

#include "operation_record.h"

namespace zvb {

// One step over the records of operation-file bytes.
enum class RecordStep {
    kRecord,     // *rec holds the next record (as stored: no fix-ups)
    kEnd,        // no bytes left
    kTruncated,  // the last record is cut short; it is dropped
    kBadSize,    // a size field below 4: nothing after it can be read
};
// Reads the record at *pos into the zero-filled *rec and advances *pos. A
// record shorter than the layout leaves the rest zero; bytes beyond the
// layout (a size above 2684) are skipped.
RecordStep next_record(const uint8_t* data, size_t size, size_t* pos, OperationRecord* rec);

// Parses operation-file bytes into a new timeline (its head); every record
// gets size 2684 and the reading fix-ups (record_after_read). *end (when
// given) tells how reading ended. Null only when memory runs out.
OperationRecord* timeline_parse(const uint8_t* data, size_t size, RecordStep* end = nullptr);

// Reads a .zv file into a new timeline; null when it cannot be read.
// An empty file is an empty timeline.
OperationRecord* timeline_read(const char16_t* path, RecordStep* end = nullptr);

// Writes every operation, each with size 2684, in list order. The previous
// file stays intact when this fails; *error receives the reason.
bool timeline_write(const char16_t* path, const OperationRecord* head, uint32_t* error);

// Saves a timeline: with compact_images the image store <path>.img is
// rewritten first (image_store_compact); both files replace their
// originals only when both were written, and only then do the records get
// their new image offsets. On failure files and records stay as they were.
bool timeline_save(const char16_t* path, OperationRecord* head, bool compact_images, uint32_t* error);

}  // namespace zvb
