// Wildcard matching of a whole text: "*" any run of units (also none), "?"
// exactly one unit, ASCII letters compared without regard to case, every
// other unit exactly; no escapes. Shared by str_match and search_window.
#pragma once

namespace deskops {

bool wildcard_match(const char16_t* pattern, const char16_t* text);

}  // namespace deskops
