// The text of a generated script: template pieces (UTF-8), the records'
// UTF-16 texts converted to UTF-8, the ksc string-literal escaping and
// numbers as wsprintfW writes them. The text collects in memory; with a
// file attached it is handed on in large pieces as it grows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "file_util.h"

namespace zvb {

class ScriptText {
public:
    ScriptText() = default;
    explicit ScriptText(AtomicFile* file) : file_(file) {}
    ScriptText(const ScriptText&) = delete;
    ScriptText& operator=(const ScriptText&) = delete;

    void put(const char* utf8);
    void put(const char* data, size_t n);
    // A UTF-16 text of at most cap units, up to its NUL; a lone surrogate
    // becomes U+FFFD.
    void text(const char16_t* s, size_t cap = SIZE_MAX);
    // The same text as the body of a ksc string literal: line feed, carriage
    // return, double quote and backslash get a backslash escape.
    void escaped(const char16_t* s, size_t cap = SIZE_MAX);
    void number(int32_t v);  // %d and %ld
    void hex(uint32_t v);    // %x
    void tabs(int n);

    // Hands the rest to the file; false when some write failed.
    bool finish();
    // The text collected in memory (without a file: all of it).
    const std::string& str() const { return buf_; }

private:
    void grown();
    void code_point(char32_t c);

    std::string buf_;
    AtomicFile* file_ = nullptr;
    bool failed_ = false;
};

}  // namespace zvb
