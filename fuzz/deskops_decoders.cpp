// Fuzz target: the DESKOPS decoders of untrusted text. The first byte picks
// the header parser, Base64, percent-decoding or the wildcard matcher; the
// rest is the input. Base64 and percent-coding must also round-trip.
#include <cstddef>
#include <cstdint>
#include <string>

#include "codec.h"
#include "platform.h"
#include "utf.h"
#include "wildcard.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    std::string input(reinterpret_cast<const char*>(data) + 1, size - 1);
    switch (data[0] % 4) {
        case 0: {
            char16_t* text = zv::utf8_to_utf16(input.data(), input.size());
            if (!text) return 0;
            deskops::header_fields(
                text, [](const deskops::HeaderField& f, void*) { return f.name_len + f.value_len < (size_t(1) << 30); },
                nullptr);
            zv::heap_free(text);
            break;
        }
        case 1: {
            deskops::base64_decode(input.c_str());
            std::u16string encoded =
                deskops::base64_encode(reinterpret_cast<const unsigned char*>(input.data()), input.size());
            std::string ascii(encoded.begin(), encoded.end());
            if (deskops::base64_decode(ascii.c_str()) != input) __builtin_trap();
            break;
        }
        case 2: {
            deskops::url_decode(input);
            std::u16string encoded = deskops::url_encode(input);
            std::string without_nul;
            for (char c : input)
                if (c) without_nul += c;
            if (deskops::url_decode(std::string(encoded.begin(), encoded.end())) != without_nul) __builtin_trap();
            break;
        }
        default: {
            // Pattern and text split at the first newline.
            size_t cut = input.find('\n');
            std::string pattern = input.substr(0, cut);
            std::string text = cut == std::string::npos ? "" : input.substr(cut + 1);
            char16_t* p = zv::utf8_to_utf16(pattern.data(), pattern.size());
            char16_t* t = zv::utf8_to_utf16(text.data(), text.size());
            if (p && t) deskops::wildcard_match(p, t);
            zv::heap_free(p);
            zv::heap_free(t);
            break;
        }
    }
    return 0;
}
