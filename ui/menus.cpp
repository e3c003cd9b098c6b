#include "menus.h"

namespace zv::ui {

HMENU load_menu(UINT id, HINSTANCE module) {
    HMODULE m = module ? module : GetModuleHandleW(nullptr);
    LANGID lang = LANGIDFROMLCID(GetThreadLocale());
    // LoadMenu picks by the user-interface language, which under some
    // systems is not the thread locale the rest of the program follows.
    const LANGID langs[] = {lang, LANGID(MAKELANGID(PRIMARYLANGID(lang), SUBLANG_DEFAULT))};
    for (LANGID l : langs) {
        HRSRC r = FindResourceExW(m, RT_MENU, MAKEINTRESOURCEW(id), l);
        const void* data = r ? LockResource(LoadResource(m, r)) : nullptr;
        if (data) return LoadMenuIndirectW(static_cast<const MENUTEMPLATEW*>(data));
    }
    return LoadMenuW(m, MAKEINTRESOURCEW(id));
}

}  // namespace zv::ui
