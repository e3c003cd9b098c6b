// A growable array of plain records for the regular expression engine.
// Growth reports failure by return value (no exceptions), so patterns and
// subjects of any size are limited by memory only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <type_traits>

namespace deskops::regex {

template <class T>
struct Buf {
    static_assert(std::is_trivially_copyable<T>::value, "Buf holds plain records");

    T* data = nullptr;
    size_t size = 0;
    size_t cap = 0;

    Buf() = default;
    Buf(const Buf&) = delete;
    Buf& operator=(const Buf&) = delete;
    ~Buf() { std::free(data); }

    bool reserve(size_t n) {
        if (n <= cap) return true;
        size_t c = cap ? cap : 16;
        while (c < n) {
            if (c > SIZE_MAX / 2 / sizeof(T)) {
                c = n;
                break;
            }
            c *= 2;
        }
        if (c > SIZE_MAX / sizeof(T)) return false;
        T* p = static_cast<T*>(std::realloc(data, c * sizeof(T)));
        if (!p) return false;
        data = p;
        cap = c;
        return true;
    }
    bool push(const T& v) {
        if (size == cap && !reserve(size + 1)) return false;
        data[size++] = v;
        return true;
    }
    bool append(const T* v, size_t n) {
        if (n == 0) return true;
        if (n > SIZE_MAX - size || !reserve(size + n)) return false;
        std::memcpy(data + size, v, n * sizeof(T));
        size += n;
        return true;
    }
    // Grows to n elements, new ones filled with v.
    bool resize(size_t n, const T& v) {
        if (!reserve(n)) return false;
        for (size_t i = size; i < n; ++i) data[i] = v;
        size = n;
        return true;
    }
    void clear() { size = 0; }
    void swap(Buf& other) {
        T* d = data;
        size_t s = size, c = cap;
        data = other.data;
        size = other.size;
        cap = other.cap;
        other.data = d;
        other.size = s;
        other.cap = c;
    }
    void release() {
        std::free(data);
        data = nullptr;
        size = cap = 0;
    }
    T& operator[](size_t i) { return data[i]; }
    const T& operator[](size_t i) const { return data[i]; }
    T& back() { return data[size - 1]; }
};

}  // namespace deskops::regex
