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

// Reading the key state is a round trip to the window system; every few
// milliseconds is quick enough for a person.
constexpr DWORD kAbortPollMs = 10;

// Down now or pressed since the last look, as the keys have always been read.
bool ctrl_q_down() { return GetAsyncKeyState(VK_CONTROL) && GetAsyncKeyState(0x51); }

}  // namespace

void install_builtins() { ksc::builtins_init(app_error, app_print, app_input); }

AbortWatch::AbortWatch(ksc::ScriptUnit* root) {
    root->step = step;
    root->step_ctx = this;
    done_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    thread_ = done_ ? CreateThread(nullptr, 0, watch, this, 0, nullptr) : nullptr;
    // Without a watcher every step asks the keys itself.
    if (thread_) root->free_run = &free_run_;
}

AbortWatch::~AbortWatch() {
    if (thread_) {
        SetEvent(done_);
        WaitForSingleObject(thread_, INFINITE);
        CloseHandle(thread_);
    }
    if (done_) CloseHandle(done_);
}

DWORD WINAPI AbortWatch::watch(void* self) {
    auto* w = static_cast<AbortWatch*>(self);
    while (WaitForSingleObject(w->done_, kAbortPollMs) == WAIT_TIMEOUT) {
        if (ctrl_q_down()) {
            w->stop_.store(true, std::memory_order_release);
            w->free_run_.store(false, std::memory_order_release);
            break;
        }
    }
    return 0;
}

int AbortWatch::step(ksc::Scope*, const ksc::SyntaxNode* node, void* self) {
    auto* w = static_cast<AbortWatch*>(self);
    if (!node) return 0;
    if (w->thread_) return w->stop_.load(std::memory_order_acquire) ? 1 : 0;
    DWORD now = GetTickCount();
    if (now - w->last_poll_ < kAbortPollMs) return 0;
    w->last_poll_ = now;
    return ctrl_q_down() ? 1 : 0;
}

}  // namespace zvs_app
