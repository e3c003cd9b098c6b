// The parser: turns one script text into a syntax sequence (operands before
// their operators, explicit jumps and labels, nested sequences for blocks).
#pragma once

#include "engine.h"

namespace ksc {

enum DirectiveKind { kDirImport, kDirLibrary, kDirOption };

// Executes a directive met while parsing the text of `unit`. The argument is
// the text inside the parentheses without its quotes. Returns false after an
// error has been reported.
typedef bool (*DirectiveHook)(Scope* scope, ScriptUnit* unit, int kind, const char16_t* arg,
                              const char16_t* pos);

// Parses text (NUL-terminated, len units) for unit; errors are reported
// through `scope` (whose unit supplies the file name and text for error
// lines). Functions are registered in unit->functions. Returns the
// sequence, or null with *ok = false after a reported error (an empty text
// gives null with *ok = true).
SyntaxNode* parse_text(Scope* scope, ScriptUnit* unit, const char16_t* text, size_t len, DirectiveHook hook,
                       bool* ok);

}  // namespace ksc
