// Numbered error messages and the composition of the error line.
#pragma once

#include <string>

#include "engine.h"

namespace ksc {

enum ErrorCode {
    kErrSyntax = 0,
    kErrOperatorRequired = 1,
    kErrUndefinedVariable = 2,
    kErrDuplicateVariable = 3,
    kErrNegativeIndex = 4,
    kErrUnbalanced = 5,
    kErrBlockExpected = 6,
    kErrDivisionByZero = 7,
    kErrIllegalOperator = 8,
    kErrIllegalArrayOperator = 9,
    kErrAlloc = 10,
    kErrTooFewArguments = 11,
    kErrFileOpen = 12,
    kErrRead = 13,
    kErrFunctionNotFound = 14,
    kErrFunction = 15,
    // Not one of the classic sixteen: a script nested deeper than the native
    // stack allows (endless recursion, absurdly nested expressions).
    kErrTooDeep = 16,
    kErrorCount
};

// Message text in the language of the thread locale (or the one asked for).
const char16_t* error_message(int code);
const char16_t* error_message(int code, bool japanese);

// Composes "Error: [file]: <extra><message>(<line>): <source>" for an error
// at pos (a pointer into the unit's text, or any other text) seen from scope.
// *line receives the one-based line (0 when pos is outside the text) and
// *main_unit whether the outermost unit is the main script.
std::u16string compose_error(Scope* scope, int code, const char16_t* pos, const char16_t* extra, uint32_t* line,
                             bool* main_unit);

// Composes the line and hands it to the host's `error` built-in.
void report_error(Scope* scope, int code, const char16_t* pos, const char16_t* extra = nullptr);

}  // namespace ksc
