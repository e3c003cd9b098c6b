// The records of an operation file read one at a time, exactly as
// timeline_read() reads them (record length from `size`, a record cut
// short at the end dropped, a size below 4 ending the reading, the reading
// fix-ups), without holding the file or a list in memory: a timeline of any
// length is walked in constant memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "fs.h"
#include "operation_record.h"

namespace zvb {

class OperationStream {
public:
    OperationStream() = default;
    ~OperationStream();
    OperationStream(const OperationStream&) = delete;
    OperationStream& operator=(const OperationStream&) = delete;

    // False with error() set when the file cannot be opened.
    bool open(const char16_t* path);
    // Operation-file bytes in memory (kept by the caller while reading).
    void open_bytes(const uint8_t* data, size_t size);

    // Fills *r (its persisted part; the rest zero) with the next record;
    // false at the end, or on a read error (then error() is set).
    bool next(OperationRecord* r);
    uint32_t error() const { return error_; }

private:
    bool read_more(size_t want);
    bool have(size_t n);
    bool skip(uint64_t n);

    zv::File* file_ = nullptr;
    const uint8_t* bytes_ = nullptr;
    size_t bytes_left_ = 0;
    std::vector<uint8_t> buf_;
    size_t pos_ = 0, end_ = 0;
    bool eof_ = false;
    uint32_t error_ = 0;
};

}  // namespace zvb
