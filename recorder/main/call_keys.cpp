#include "call_keys.h"

#include "scenario.h"

namespace zvb {

namespace {

struct Walk {
    HWND window;
    int n;
    bool ok;
    int wanted;
    ScenarioEntry* found;
};

bool register_one(ScenarioEntry* e, int, void* ctx) {
    auto* w = static_cast<Walk*>(ctx);
    int id = kFirstCallKeyId + w->n++;
    e->hotkey_id = 0;
    if (e->hotkey_key) {
        e->hotkey_id = id;
        if (!RegisterHotKey(w->window, id, UINT(e->hotkey_modifiers), UINT(e->hotkey_key))) w->ok = false;
    }
    return true;
}

bool unregister_one(ScenarioEntry* e, int, void* ctx) {
    if (e->hotkey_id) UnregisterHotKey(static_cast<Walk*>(ctx)->window, e->hotkey_id);
    e->hotkey_id = 0;
    return true;
}

bool find_one(ScenarioEntry* e, int, void* ctx) {
    auto* w = static_cast<Walk*>(ctx);
    if (e->hotkey_key && e->hotkey_id == w->wanted) w->found = e;
    return !w->found;
}

}  // namespace

bool register_call_keys(HWND window, ScenarioEntry* root) {
    Walk w = {window, 0, true, 0, nullptr};
    tree_walk(root, register_one, &w);
    return w.ok;
}

void unregister_call_keys(HWND window, ScenarioEntry* root) {
    Walk w = {window, 0, true, 0, nullptr};
    tree_walk(root, unregister_one, &w);
}

ScenarioEntry* call_key_entry(ScenarioEntry* root, int id) {
    Walk w = {nullptr, 0, true, id, nullptr};
    tree_walk(root, find_one, &w);
    return w.found;
}

void wait_for_modifiers_released() {
    for (int i = 0; i < 100; ++i) {
        if (GetAsyncKeyState(VK_SHIFT) >= 0 && GetAsyncKeyState(VK_CONTROL) >= 0 && GetAsyncKeyState(VK_MENU) >= 0)
            return;
        Sleep(100);
    }
}

}  // namespace zvb
