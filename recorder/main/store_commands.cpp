// The scenario store's operations as the main window offers them: menu,
// context menu, keys and drops on the list or the window.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <commdlg.h>

#include "call_keys.h"
#include "dialogs.h"
#include "ids.h"
#include "main_window.h"
#include "message_box.h"
#include "scenario.h"
#include "strings.h"

namespace zvb {

namespace {

std::u16string u16(const std::wstring& s) { return std::u16string(s.begin(), s.end()); }

bool ask(void* ctx, const Message& question) {
    auto* w = static_cast<MainWindow*>(ctx);
    return w->show(question, MB_YESNO | MB_ICONQUESTION | MB_SETFOREGROUND) == IDYES;
}

void tell(void* ctx, const Message& report) { static_cast<MainWindow*>(ctx)->show(report); }

UserPrompt prompt_of(MainWindow* w) { return UserPrompt{ask, tell, w}; }

// Shows a naming failure with the dialog as owner and its title as caption.
bool name_refused(HWND dialog, int32_t number, const std::wstring& title) {
    if (!number) return false;
    std::u16string text = message_string(make_message(number));
    zv::ui::message_box(dialog, std::wstring(text.begin(), text.end()), title, MB_OK | MB_ICONERROR);
    return true;
}

// The tree changed: the list shows it, the list files keep it.
void changed(MainWindow* w, ScenarioEntry* select) {
    w->save_list();
    w->rebuild_list(select);
}

void create(MainWindow* w, bool group) {
    ScenarioEntry* at = w->selected();
    std::u16string folder = store_folder_of(&w->store, at);
    ScenarioEntry* made = nullptr;
    ask_name(w->window, group ? IDS_NEW_GROUP : IDS_NEW_SCRIPT, L"",
             [&](HWND dialog, const std::wstring& name, const std::wstring& title) {
                 if (name_refused(dialog, store_check_name(folder, u16(name)), title)) return false;
                 Message error;
                 made = group ? store_create_group(&w->store, at, u16(name), &error)
                              : store_create_script(&w->store, at, u16(name), &error);
                 if (!made) w->show(error, MB_OK | MB_ICONERROR, dialog);
                 return true;
             });
    if (made) changed(w, made);
}

void rename(MainWindow* w, ScenarioEntry* e) {
    std::u16string folder(e->folder);
    ask_name(w->window, IDS_RENAME, reinterpret_cast<const wchar_t*>(e->name),
             [&](HWND dialog, const std::wstring& name, const std::wstring& title) {
                 if (name_refused(dialog, store_check_name(folder, u16(name), e), title)) return false;
                 Message error;
                 if (!store_rename(&w->store, e, u16(name), &error)) w->show(error, MB_OK | MB_ICONERROR, dialog);
                 return true;
             });
    changed(w, e);
}

// A copy made from the menu goes right after its source, also when the
// source is an open group (a drop there would mean "into it").
void copy(MainWindow* w, ScenarioEntry* e) {
    uint32_t expanded = e->expanded;
    e->expanded = 0;
    Message error;
    ScenarioEntry* made = store_copy(&w->store, e, e, &error);
    e->expanded = expanded;
    if (!made) w->show(error);
    changed(w, made ? made : e);
}

void unregister_below(MainWindow* w, ScenarioEntry* e) {
    if (e->hotkey_id) UnregisterHotKey(w->window, e->hotkey_id);
    e->hotkey_id = 0;
    if (e->type == kTypeGroup && e->child) unregister_call_keys(w->window, e->child);
}

void remove(MainWindow* w, ScenarioEntry* e) {
    bool outright = GetKeyState(VK_SHIFT) < 0;
    unregister_below(w, e);
    Message error;
    if (!store_delete(&w->store, e, outright, prompt_of(w), &error)) {
        if (error.number || !error.detail.empty()) w->show(error);
        w->register_keys();  // declined or failed: the entry keeps its key
        return;
    }
    changed(w, nullptr);
}

void move(MainWindow* w, ScenarioEntry* e, bool up) {
    Message error;
    if (!(up ? store_move_up(&w->store, e, &error) : store_move_down(&w->store, e, &error))) w->show(error);
    changed(w, e);
}

void refresh(MainWindow* w) {
    unregister_call_keys(w->window, w->root);
    store_resync(&w->store);
    changed(w, w->selected());
    w->register_keys();
}

void edit_call_key_of(MainWindow* w, ScenarioEntry* e) {
    unregister_call_keys(w->window, w->root);
    if (edit_call_key(w->window, e)) w->rebuild_list(e);
    if (!register_call_keys(w->window, w->root)) w->show(make_message(kMessageCallKeyFailed));
}

std::vector<std::wstring> choose_imports(MainWindow* w) {
    std::wstring buffer(32768, L'\0');
    OPENFILENAMEW ofn = {};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = w->window;
    ofn.lpstrFilter = L"zarvo-bot (*.zva;*.zv;*.ksc)\0*.zva;*.zv;*.ksc\0*.*\0*.*\0";
    ofn.lpstrFile = &buffer[0];
    ofn.nMaxFile = DWORD(buffer.size());
    ofn.Flags = OFN_ALLOWMULTISELECT | OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_HIDEREADONLY;
    std::vector<std::wstring> paths;
    if (!GetOpenFileNameW(&ofn)) return paths;
    // One file: its path; several: the folder, then each name.
    std::wstring first(buffer.c_str());
    const wchar_t* p = buffer.c_str() + first.size() + 1;
    if (!*p) return {first};
    for (; *p; p += wcslen(p) + 1) paths.push_back(first + L"\\" + p);
    return paths;
}

}  // namespace

ScenarioEntry* load_scenarios(MainWindow* w) {
    Message error;
    if (!w->folders.user.empty() && store_open(&w->store, u16(w->folders.user), &error)) store_load(&w->store);
    if (!w->store.root) w->store.root = list_new();  // without a user folder: an empty tree
    w->root = w->store.root;
    return w->root;
}

void free_scenarios(MainWindow* w) {
    store_close(&w->store);
    w->root = nullptr;
}

void MainWindow::save_list() {
    if (!store.data_folder.empty()) store_save(&store);
}

void handle_dropped_files(MainWindow* w, const std::vector<std::wstring>& paths) {
    if (paths.empty() || w->player->running() || w->recording_on) return;
    std::vector<std::u16string> list;
    for (const std::wstring& p : paths) list.push_back(u16(p));
    unregister_call_keys(w->window, w->root);
    int failures = 0;
    ScenarioEntry* last = store_import(&w->store, list, prompt_of(w), &failures);
    w->rebuild_list(last);
    w->register_keys();
}

void on_list_drop(MainWindow* w, UINT msg, int position, ScenarioEntry* e) {
    if (!e || w->player->running() || w->recording_on) return;
    ScenarioEntry* target =
        position < 0 ? nullptr : reinterpret_cast<ScenarioEntry*>(SendMessageW(w->list, LM_ENTRY_AT, 0, position));
    Message error;
    if (msg == WM_ZV_MOVE_TO) {
        if (!store_move_to(&w->store, e, target, &error)) w->show(error);
        changed(w, e);
    } else if (msg == WM_ZV_COPY_TO) {
        ScenarioEntry* made = store_copy(&w->store, e, target, &error);
        if (!made) w->show(error);
        changed(w, made ? made : e);
    } else if (msg == WM_ZV_GROUP_WITH && target) {
        std::u16string folder(target->folder);
        ScenarioEntry* group = nullptr;
        ask_name(w->window, IDS_NEW_GROUP, L"", [&](HWND dialog, const std::wstring& name, const std::wstring& title) {
            if (name_refused(dialog, store_check_name(folder, u16(name)), title)) return false;
            Message failure;
            if (target == e) {
                // Dropped onto itself: a new group right after it, holding it.
                group = store_create_group(&w->store, e, u16(name), &failure);
                if (group && !store_move_to(&w->store, e, group, &failure)) group = nullptr;
            } else {
                group = store_group_with(&w->store, e, target, u16(name), &failure);
            }
            if (!group) w->show(failure, MB_OK | MB_ICONERROR, dialog);
            return true;
        });
        changed(w, group ? group : e);
    }
}

// The store's part of the command table; false when the id is not one of
// them.
bool store_command(MainWindow* w, int id) {
    ScenarioEntry* e = w->selected();
    bool idle = !w->player->running() && !w->recording_on;
    switch (id) {
    case ID_NEW_GROUP: if (idle) create(w, true); return true;
    case ID_NEW_SCRIPT: if (idle) create(w, false); return true;
    case ID_REFRESH: if (idle) refresh(w); return true;
    case ID_IMPORT:
        if (idle) handle_dropped_files(w, choose_imports(w));
        return true;
    case ID_RENAME: if (idle && e) rename(w, e); return true;
    case ID_COPY: if (idle && e) copy(w, e); return true;
    case ID_DELETE: if (idle && e) remove(w, e); return true;
    case ID_MOVE_UP: if (idle && e) move(w, e, true); return true;
    case ID_MOVE_DOWN: if (idle && e) move(w, e, false); return true;
    case ID_CALL_KEY: if (idle && e) edit_call_key_of(w, e); return true;
    default: return false;
    }
}

}  // namespace zvb
