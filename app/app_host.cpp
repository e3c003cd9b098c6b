#include "app_host.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <string>

#include "app_messages.h"
#include "builtins.h"
#include "value.h"

namespace zvs_app {

namespace {

using ksc::Node;
using ksc::Scope;

std::u16string argument_text(const ksc::Value* v) {
    return v->kind == ksc::kArray ? ksc::value_display(v, false) : ksc::value_text(v);
}

int32_t KSC_STDCALL app_error(Scope*, Node* args, Node*, char16_t*) {
    if (!args) return -2;
    std::u16string text = argument_text(args->value);
    MessageBoxW(nullptr, reinterpret_cast<const wchar_t*>(text.c_str()), kCaption, MB_ICONERROR);
    return 0;
}

// The text is formed as the console runner would print it, then dropped:
// a program without a window has nowhere to show it.
int32_t KSC_STDCALL app_print(Scope*, Node* args, Node*, char16_t*) {
    if (!args) return -2;
    std::u16string text = argument_text(args->value);
    (void)text;
    return 0;
}

int32_t KSC_STDCALL app_input(Scope*, Node*, Node* result, char16_t*) {
    return ksc::result_set_text(result, std::u16string()) ? 0 : -1;
}

// Reading the key state is a round trip to the window system; at most every
// few milliseconds is quick enough for a person and costs a tight loop
// nothing.
constexpr DWORD kAbortPollMs = 10;

int abort_check(Scope*, const ksc::SyntaxNode* node, void*) {
    static DWORD last_poll;
    if (!node) return 0;
    DWORD now = GetTickCount();
    if (now - last_poll < kAbortPollMs) return 0;
    last_poll = now;
    return GetAsyncKeyState(VK_CONTROL) && GetAsyncKeyState(0x51) ? 1 : 0;
}

}  // namespace

void install_builtins() { ksc::builtins_init(app_error, app_print, app_input); }

void install_abort_check(ksc::ScriptUnit* root) { root->step = abort_check; }

}  // namespace zvs_app
