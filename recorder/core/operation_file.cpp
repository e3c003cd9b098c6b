#include "operation_file.h"

#include <cstring>
#include <vector>

#include "errors.h"
#include "file_util.h"
#include "image_store.h"
#include "timeline.h"

namespace zvb {

RecordStep next_record(const uint8_t* data, size_t size, size_t* pos, OperationRecord* rec) {
    size_t at = *pos;
    if (at >= size) return RecordStep::kEnd;
    if (size - at < 4) return RecordStep::kTruncated;
    uint32_t length;
    memcpy(&length, data + at, 4);
    if (length < 4) return RecordStep::kBadSize;
    if (size - at < length) return RecordStep::kTruncated;
    memset(rec, 0, sizeof *rec);
    memcpy(record_bytes(rec), data + at, length < kRecordBytes ? length : kRecordBytes);
    *pos = at + length;
    return RecordStep::kRecord;
}

OperationRecord* timeline_parse(const uint8_t* data, size_t size, RecordStep* end) {
    OperationRecord* head = timeline_new();
    if (!head) return nullptr;
    OperationRecord* last = head;
    size_t pos = 0;
    RecordStep step;
    for (;;) {
        OperationRecord* r = record_new();
        if (!r) {
            timeline_free(head);
            return nullptr;
        }
        step = next_record(data, size, &pos, r);
        if (step != RecordStep::kRecord) {
            record_free(r);
            break;
        }
        r->size = kRecordBytes;
        record_after_read(r);
        timeline_insert_after(last, r);
        last = r;
    }
    timeline_renumber(head);
    if (end) *end = step;
    return head;
}

OperationRecord* timeline_read(const char16_t* path, RecordStep* end) {
    char* data = nullptr;
    size_t size = 0;
    if (!zv::read_file(path, &data, &size)) return nullptr;
    OperationRecord* head = timeline_parse(reinterpret_cast<const uint8_t*>(data), size, end);
    zv::heap_free(data);
    return head;
}

namespace {

// Writes the records, with the image references of a compaction when given.
bool write_records(AtomicFile& out, const OperationRecord* head, const CompactResult* images) {
    OperationRecord copy;
    size_t i = 0;
    for (const OperationRecord* r = head->next; r; r = r->next, ++i) {
        memcpy(&copy, r, kRecordBytes);
        copy.size = kRecordBytes;
        if (images) {
            copy.image_offset = images->offsets[i];
            copy.image_size = images->sizes[i];
        }
        if (!out.write(&copy, kRecordBytes)) return false;
    }
    return true;
}

}  // namespace

bool timeline_write(const char16_t* path, const OperationRecord* head, uint32_t* error) {
    AtomicFile out;
    bool ok = out.open(path) && write_records(out, head, nullptr) && out.commit();
    if (!ok) *error = out.error();
    return ok;
}

bool timeline_save(const char16_t* path, OperationRecord* head, bool compact_images, uint32_t* error) {
    if (!compact_images) return timeline_write(path, head, error);
    std::u16string store = std::u16string(path) + u".img";
    AtomicFile images, records;
    CompactResult compact;
    if (!images.open(store)) {
        *error = images.error();
        return false;
    }
    if (!image_store_compact_to(store.c_str(), head, images, &compact, error)) return false;
    if (!records.open(path) || !write_records(records, head, &compact)) {
        *error = records.error();
        return false;
    }
    // Two files change together: the old store is kept aside until the new
    // records are in place, so a failure puts back the pair as it was.
    std::u16string backup = store + u".~old";
    bool had_store = zv::path_kind(store.c_str()) != 0;
    if (had_store && !zv::replace_file(store.c_str(), backup.c_str())) {
        *error = zv::fs_last_error();
        return false;
    }
    if (!images.commit()) {
        *error = images.error();
        if (had_store) zv::replace_file(backup.c_str(), store.c_str());
        return false;
    }
    if (!records.commit()) {
        *error = records.error();
        if (had_store) {
            zv::replace_file(backup.c_str(), store.c_str());
        } else {
            zv::remove_file(store.c_str());
        }
        return false;
    }
    if (had_store) zv::remove_file(backup.c_str());
    size_t i = 0;
    for (OperationRecord* r = head->next; r; r = r->next, ++i) {
        r->image_offset = compact.offsets[i];
        r->image_size = compact.sizes[i];
    }
    return true;
}

}  // namespace zvb
