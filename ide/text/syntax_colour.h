// Keyword colouring of one line of ksc source, for the editor's painting.
// Lines are coloured on their own: comments and quoted text end at the
// line end.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zvs {

enum SyntaxClass : uint8_t {
    kPlain,
    kKeyword,
    kComment,       // from "//" to the line end
    kDoubleQuoted,  // extended set only, quotes included
    kSingleQuoted,
};

// Writes the class of each of the n units of line into classes. extended
// selects the ksc.5 keyword set with quoted text; otherwise only the basic
// keywords and comments are coloured.
void colour_line(const char16_t* line, size_t n, bool extended, SyntaxClass* classes);

}  // namespace zvs
