// JSON reading and writing between text and script arrays.
//
// Reading maps an object to an array of keyed elements (name lower-cased for
// lookup, label as written), an array to unkeyed elements, a string to a
// string, a number without "." to an integer (a real when it does not fit in
// 32 bits), a number with "." to a real, true to 1, false and null to 0. The
// reader is lenient: repeated and trailing commas are ignored, and malformed
// input stops parsing where it occurs, keeping what was built (an element
// created for the failing value keeps integer 0). Containers nested deeper
// than kJsonMaxDepth count as malformed.
#pragma once

#include <cstddef>

#include "engine.h"

namespace deskops {

constexpr int kJsonMaxDepth = 512;

enum JsonTokenKind {
    kJsonEnd, kJsonColon, kJsonComma, kJsonString, kJsonInteger, kJsonReal, kJsonNull, kJsonTrue, kJsonFalse,
    kJsonObjectOpen, kJsonObjectClose, kJsonArrayOpen, kJsonArrayClose,
    kJsonError,  // anything else: stops the reader
};

struct JsonToken {
    JsonTokenKind kind;
    const char16_t* start;  // first unit (a string's: after the quote)
    const char16_t* end;    // after the token's text (a string's: the closing quote)
    const char16_t* next;   // where the following token search begins
};

// The token at p (blanks, TAB, CR, LF and U+3000 skipped first).
JsonToken json_token(const char16_t* p);

// Decodes the escapes of a string token's text into out (room for n units
// and a terminator); returns the number of units written.
size_t json_unescape(const char16_t* s, size_t n, char16_t* out);

// Reads the text's top value into v, which holds integer 0 and stays so
// unless the top value is an object or array. A leading U+FEFF or U+FFFE is
// skipped. False only when memory ran out (v may hold a partial array).
bool json_read(const char16_t* text, ksc::Value* v);

// The JSON text of the array whose first element is head, on the process
// heap; *len receives its length. Null when memory runs out.
char16_t* json_write(const ksc::Node* head, size_t* len);

}  // namespace deskops
