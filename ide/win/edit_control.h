// The script editor's own text control, window class "nEdit": the standard
// multi-line edit messages and notifications towards its parent, plus line
// numbers, keyword colouring, automatic and block indentation, the run and
// error line markers, search, unlimited undo and redo, IME input and an
// overwrite mode (messages in zvs_messages.h).
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

namespace zvs {

constexpr const wchar_t* kEditClass = L"nEdit";

// Registers the class in the module; true when it is registered already.
bool edit_register(HINSTANCE module);

}  // namespace zvs
