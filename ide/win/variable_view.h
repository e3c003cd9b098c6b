// The variable view of zvs, window class "VariableViewClass": the
// variables of a paused script by name and value, arrays expandable into
// their elements. It keeps a copy of what it was shown (the run goes on
// after the show message returns). Messages in zvs_messages.h.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

namespace zvs {

constexpr const wchar_t* kVariableClass = L"VariableViewClass";

bool variable_view_register(HINSTANCE module);

}  // namespace zvs
