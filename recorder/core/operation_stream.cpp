#include "operation_stream.h"

#include <cstring>

#include "errors.h"

namespace zvb {

namespace {

constexpr size_t kChunk = 256 * 1024;

}  // namespace

OperationStream::~OperationStream() {
    if (file_) zv::file_close(file_);
}

bool OperationStream::open(const char16_t* path) {
    file_ = zv::file_open(path, zv::FileMode::kRead);
    if (!file_) error_ = zv::fs_last_error() ? zv::fs_last_error() : kErrorTruncated;
    return file_ != nullptr;
}

void OperationStream::open_bytes(const uint8_t* data, size_t size) {
    bytes_ = data;
    bytes_left_ = size;
}

// Appends up to `want` bytes from the source; false at its end or on error.
bool OperationStream::read_more(size_t want) {
    if (eof_) return false;
    // Bytes in memory need no more room than they have left (a chunk of
    // zeroes for a short timeline would cost more than reading it).
    if (!file_ && want > bytes_left_) want = bytes_left_;
    if (buf_.size() < end_ + want) buf_.resize(end_ + want);
    size_t got = 0;
    if (file_) {
        if (!zv::file_read(file_, buf_.data() + end_, want, &got)) {
            error_ = zv::fs_last_error() ? zv::fs_last_error() : kErrorTruncated;
            eof_ = true;
            return false;
        }
    } else {
        got = want < bytes_left_ ? want : bytes_left_;
        if (got) memcpy(buf_.data() + end_, bytes_, got);
        bytes_ += got;
        bytes_left_ -= got;
    }
    end_ += got;
    if (got < want) eof_ = true;
    return got > 0;
}

// True when n bytes from pos_ are in the buffer.
bool OperationStream::have(size_t n) {
    if (end_ - pos_ >= n) return true;
    if (pos_ > 0) {
        memmove(buf_.data(), buf_.data() + pos_, end_ - pos_);
        end_ -= pos_;
        pos_ = 0;
    }
    while (end_ < n)
        if (!read_more(n - end_ > kChunk ? n - end_ : kChunk)) return false;
    return true;
}

bool OperationStream::skip(uint64_t n) {
    while (n > 0) {
        if (pos_ == end_) {
            pos_ = end_ = 0;
            if (!read_more(kChunk)) return false;
        }
        size_t part = end_ - pos_ < n ? end_ - pos_ : size_t(n);
        pos_ += part;
        n -= part;
    }
    return true;
}

bool OperationStream::next(OperationRecord* r) {
    if (!have(4)) return false;
    uint32_t length;
    memcpy(&length, buf_.data() + pos_, 4);
    if (length < 4) return false;
    size_t kept = length < kRecordBytes ? length : kRecordBytes;
    if (!have(kept)) return false;
    memset(r, 0, sizeof *r);
    memcpy(record_bytes(r), buf_.data() + pos_, kept);
    pos_ += kept;
    // Bytes beyond the layout are passed over; the record counts only
    // when they are all there.
    if (!skip(uint64_t(length) - kept)) return false;
    r->size = kRecordBytes;
    record_after_read(r);
    return true;
}

}  // namespace zvb
