#include "scenario.h"

#include <cstring>

#include "desktop.h"
#include "file_util.h"
#include "names.h"
#include "platform.h"

namespace zvb {

namespace {

// Identifiers count up from 0 and are never handed out twice in a run
// (2^31 entries would have to be created before the count wraps).
int32_t g_next_id = 0;

bool set_text(char16_t* field, size_t cap, const std::u16string& text) {
    if (text.size() >= cap) return false;
    memcpy(field, text.data(), text.size() * sizeof(char16_t));
    memset(field + text.size(), 0, (cap - text.size()) * sizeof(char16_t));
    return true;
}

}  // namespace

ScenarioEntry* entry_new() {
    ScenarioEntry* e = static_cast<ScenarioEntry*>(zv::heap_alloc(sizeof(ScenarioEntry)));
    if (!e) return nullptr;
    e->play_id = g_next_id;
    g_next_id = g_next_id == INT32_MAX ? 0 : g_next_id + 1;
    return e;
}

ScenarioEntry* list_new() {
    ScenarioEntry* head = static_cast<ScenarioEntry*>(zv::heap_alloc(sizeof(ScenarioEntry)));
    if (head) head->play_id = -1;
    return head;
}

void entry_free(ScenarioEntry* e) {
    if (!e) return;
    list_free(e->child);
    zv::heap_free(e->hotkey_text);
    zv::heap_free(e);
}

void list_free(ScenarioEntry* head) {
    if (!head) return;
    ScenarioEntry* e = head->next;
    while (e) {
        ScenarioEntry* next = e->next;
        entry_free(e);
        e = next;
    }
    zv::heap_free(head);
}

bool entry_set_name(ScenarioEntry* e, const std::u16string& name) { return set_text(e->name, kNameUnits, name); }

bool entry_set_place(ScenarioEntry* e, const std::u16string& folder) {
    std::u16string path = path_join(folder, e->name);
    if (e->type == kTypeTimeline) path += u".zv";
    if (e->type == kTypeScript) path += u".ksc";
    // The settings file (path + ".ini") and a group's members must fit too.
    if (path.size() + 4 >= kPathUnits || folder.size() >= kPathUnits) return false;
    set_text(e->folder, kPathUnits, folder);
    set_text(e->path, kPathUnits, path);
    return true;
}

bool entry_update_members(ScenarioEntry* group) {
    if (!group->child) return true;
    bool ok = true;
    for (ScenarioEntry* m = group->child->next; m; m = m->next) {
        if (!entry_set_place(m, group->path)) ok = false;
        if (m->type == kTypeGroup && !entry_update_members(m)) ok = false;
    }
    return ok;
}

std::u16string entry_settings_path(const ScenarioEntry* e) { return std::u16string(e->path) + u".ini"; }

void entry_update_hotkey_text(ScenarioEntry* e) {
    zv::heap_free(e->hotkey_text);
    e->hotkey_text = nullptr;
    if (e->hotkey_key == 0) return;
    char16_t key[128];
    if (!key_name(uint32_t(e->hotkey_key), key, 128)) return;
    std::u16string text;
    if (e->hotkey_modifiers & 2) text += u"Ctrl+";
    if (e->hotkey_modifiers & 4) text += u"Shift+";
    if (e->hotkey_modifiers & 1) text += u"Alt+";
    if (e->hotkey_modifiers & 8) text += u"Win+";
    text += key;
    e->hotkey_text = static_cast<char16_t*>(zv::heap_alloc((text.size() + 1) * sizeof(char16_t)));
    if (e->hotkey_text) memcpy(e->hotkey_text, text.c_str(), (text.size() + 1) * sizeof(char16_t));
}

// ---- positions ---------------------------------------------------------------

namespace {

bool find_place(ScenarioEntry* head, ScenarioEntry* group, const ScenarioEntry* e, TreePlace* place, int depth) {
    if (depth > kMaxDepth) return false;
    for (ScenarioEntry* prev = head; prev->next; prev = prev->next) {
        ScenarioEntry* m = prev->next;
        if (m == e) {
            *place = TreePlace{head, prev, group};
            return true;
        }
        if (m->child && find_place(m->child, m, e, place, depth + 1)) return true;
    }
    return false;
}

bool walk(ScenarioEntry* head, TreeVisitor visit, void* ctx, int depth) {
    for (ScenarioEntry* e = head->next; e; e = e->next) {
        if (!visit(e, depth, ctx)) return false;
        if (e->child && depth < kMaxDepth && !walk(e->child, visit, ctx, depth + 1)) return false;
    }
    return true;
}

}  // namespace

bool tree_find_place(ScenarioEntry* root, const ScenarioEntry* e, TreePlace* place) {
    return find_place(root, nullptr, e, place, 0);
}

bool tree_contains(const ScenarioEntry* group, const ScenarioEntry* e) {
    if (group == e) return true;
    if (!group->child) return false;
    for (const ScenarioEntry* m = group->child->next; m; m = m->next)
        if (tree_contains(m, e)) return true;
    return false;
}

void tree_walk(ScenarioEntry* head, TreeVisitor visit, void* ctx) { walk(head, visit, ctx, 0); }

ScenarioEntry* tree_find_id(ScenarioEntry* root, int32_t id) {
    if (id < 0) return nullptr;
    struct Search {
        int32_t id;
        ScenarioEntry* found;
    } search = {id, nullptr};
    tree_walk(
        root,
        [](ScenarioEntry* e, int, void* ctx) {
            Search* s = static_cast<Search*>(ctx);
            if (e->play_id != s->id) return true;
            s->found = e;
            return false;
        },
        &search);
    return search.found;
}

std::u16string tree_group_path(ScenarioEntry* root, const ScenarioEntry* e) {
    std::u16string path = e->name;
    if (e->type == kTypeGroup) path += u'/';
    TreePlace place;
    const ScenarioEntry* at = e;
    while (tree_find_place(root, at, &place) && place.group) {
        path = std::u16string(place.group->name) + u'/' + path;
        at = place.group;
    }
    return path;
}

namespace {

// Depth-first over the tree, building each entry's group path as it goes.
ScenarioEntry* find_by_path(ScenarioEntry* head, const std::u16string& prefix, const std::u16string& want,
                            int depth) {
    for (ScenarioEntry* e = head->next; e; e = e->next) {
        std::u16string path = prefix + e->name;
        if (e->type == kTypeGroup) path += u'/';
        if (name_equal(path.c_str(), want.c_str())) return e;
        if (e->child && depth < kMaxDepth)
            if (ScenarioEntry* found = find_by_path(e->child, path, want, depth + 1)) return found;
    }
    return nullptr;
}

}  // namespace

ScenarioEntry* tree_find_name(ScenarioEntry* root, const std::u16string& name, bool* by_path) {
    if (ScenarioEntry* e = find_by_path(root, std::u16string(), name, 0)) {
        if (by_path) *by_path = true;
        return e;
    }
    struct Search {
        const std::u16string* name;
        ScenarioEntry* found;
    } search = {&name, nullptr};
    tree_walk(
        root,
        [](ScenarioEntry* e, int, void* ctx) {
            Search* s = static_cast<Search*>(ctx);
            if (!name_equal(e->name, s->name->c_str())) return true;
            s->found = e;
            return false;
        },
        &search);
    if (by_path) *by_path = false;
    return search.found;
}

}  // namespace zvb
