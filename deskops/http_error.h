// Failure texts of http_request: WinHTTP's own message table first.
#pragma once

#include <cstdint>

namespace deskops {

// Writes the text for a WinHTTP error code into errbuf and returns kFailed.
// The text comes from winhttp.dll's message table (user default language,
// no inserts, at most 255 units, without the trailing line break); codes the
// module has no text for take the system's text, and codes neither knows
// "WinHTTP error <code>".
int32_t fail_winhttp(char16_t* errbuf, uint32_t code);
// The same for the thread's last error.
int32_t fail_winhttp(char16_t* errbuf);

}  // namespace deskops
