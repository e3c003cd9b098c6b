// Menus from the program's resources in the language of the thread locale.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

namespace zv::ui {

// Menu `id` of the module (null: the program) in the thread locale's
// language when the resources have it, else whichever LoadMenu finds. Null
// when there is none.
HMENU load_menu(UINT id, HINSTANCE module = nullptr);

}  // namespace zv::ui
