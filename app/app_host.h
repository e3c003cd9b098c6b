// What zvs_app supplies to the engine: its versions of error, print and
// input, and the Ctrl+Q abort.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <atomic>

#include "engine.h"

namespace zvs_app {

// error shows a message box, print discards its text, input answers "".
void install_builtins();

// Watches for Ctrl+Q while the unit's scripts run (for the watcher's
// lifetime): both keys down stop the run. Until then the scripts run free,
// without steps; a thread polls the keys. Without that thread every step
// polls them.
class AbortWatch {
public:
    explicit AbortWatch(ksc::ScriptUnit* root);
    ~AbortWatch();
    AbortWatch(const AbortWatch&) = delete;
    AbortWatch& operator=(const AbortWatch&) = delete;

private:
    static DWORD WINAPI watch(void* self);
    static int step(ksc::Scope*, const ksc::SyntaxNode* node, void* self);

    std::atomic<bool> free_run_{true};
    std::atomic<bool> stop_{false};
    HANDLE done_ = nullptr;
    HANDLE thread_ = nullptr;
    DWORD last_poll_ = 0;
};

}  // namespace zvs_app
