// Failures the data layer detects itself, in the same number space as the
// system's error codes (fs_last_error()): application-defined codes with
// bit 29 set, which no system code uses. error_text() shows either kind.
#pragma once

#include <cstdint>

namespace zvb {

enum : uint32_t {
    kErrorNoMemory = 0x20000001,
    kErrorTooDeep,        // a folder walk went deeper than kMaxDepth
    kErrorInsideItself,   // a folder copied or moved into itself
    kErrorTruncated,      // a file ended before the data it announced
    kErrorWriteFailed,
    kErrorNameExists,     // the name is taken in the target folder
    kErrorPathTooLong,    // a path does not fit the 260-unit fields
    kErrorUnsafePath,     // an archive path that would leave the data folder
    kErrorNotArchive,     // no archive magic, or an unknown item type
    kErrorTooLarge,       // a file too large for a 32-bit archive length
    kErrorNothingToPlay = 0x20000100,  // a group without members
};

// The text of one of the codes above in the user-interface language; null
// for any other code.
const char16_t* own_error_text(uint32_t code);

}  // namespace zvb
