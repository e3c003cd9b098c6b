// The store's edits: create, rename, copy, move, group, delete. Files change
// first; the tree changes only when the main file did.
#include <algorithm>
#include <cstring>
#include <string>

#include "errors.h"
#include "file_util.h"
#include "list_file.h"
#include "names.h"
#include "settings.h"
#include "store.h"

namespace zvb {

namespace {

// The files of an entry, relative to <folder>\<name>: the main one first.
// A script keeps the timeline files a conversion left beside it.
const char16_t* const kTimelineFiles[] = {u".zv", u".zv.ini", u".zv.img", nullptr};
const char16_t* const kScriptFiles[] = {u".ksc", u".ksc.ini", u".zv", u".zv.img", u".zv.ini", nullptr};
const char16_t* const kGroupFiles[] = {u"", u".lst", u".ini", nullptr};

const char16_t* const* files_of(int32_t type) {
    return type == kTypeGroup ? kGroupFiles : type == kTypeScript ? kScriptFiles : kTimelineFiles;
}

Message failure(int32_t number, uint32_t code) {
    std::u16string text = error_text(code);
    return make_message(number, {text}, text);
}

void insert_after(ScenarioEntry* prev, ScenarioEntry* e) {
    e->next = prev->next;
    prev->next = e;
}

void unlink(const TreePlace& place, ScenarioEntry* e) {
    place.prev->next = e->next;
    e->next = nullptr;
}

ScenarioEntry* last_of(ScenarioEntry* head) {
    ScenarioEntry* e = head;
    while (e->next) e = e->next;
    return e;
}

// A new entry goes right after the selection, or last at the top level.
void insert_new(Store* s, ScenarioEntry* selected, ScenarioEntry* e) {
    insert_after(selected ? selected : last_of(s->root), e);
}

// The longest path below an entry (its own included).
size_t longest_path(const ScenarioEntry* e) {
    size_t n = std::char_traits<char16_t>::length(e->path);
    if (e->child)
        for (const ScenarioEntry* m = e->child->next; m; m = m->next) n = std::max(n, longest_path(m));
    return n;
}

// Whether e and everything below it still fit the path fields with `name`
// in `folder` (settings files add ".ini").
bool fits(const ScenarioEntry* e, const std::u16string& folder, const std::u16string& name) {
    size_t now = std::char_traits<char16_t>::length(e->path);
    size_t then = path_join(folder, name).size() + (now - std::char_traits<char16_t>::length(e->folder) - 1 -
                                                    std::char_traits<char16_t>::length(e->name));
    return longest_path(e) - now + then + 4 < kPathUnits;
}

// Renames or moves the files of e to <folder>\<name>. Only the main file
// counts: 0, or the reason it could not be moved.
uint32_t move_files(const ScenarioEntry* e, const std::u16string& folder, const std::u16string& name) {
    std::u16string from = path_join(e->folder, e->name), to = path_join(folder, name);
    // A change of letter case only goes through a temporary name: some
    // file systems take the new spelling for the file itself and keep the
    // old one.
    bool case_only = from != to && name_equal(from.c_str(), to.c_str());
    std::u16string step = from + u".~rename";
    auto move = [&](const char16_t* suffix) -> uint32_t {
        std::u16string src = from + suffix, dst = to + suffix, mid = step + suffix;
        if (!case_only) return zv::move_path(src.c_str(), dst.c_str()) ? 0 : zv::fs_last_error();
        if (!zv::move_path(src.c_str(), mid.c_str())) return zv::fs_last_error();
        if (zv::move_path(mid.c_str(), dst.c_str())) return 0;
        uint32_t rc = zv::fs_last_error();
        zv::move_path(mid.c_str(), src.c_str());
        return rc;
    };
    const char16_t* const* files = files_of(e->type);
    if (uint32_t rc = move(files[0])) return rc;
    for (const char16_t* const* f = files + 1; *f; ++f)
        if (zv::path_kind((from + *f).c_str())) move(*f);
    return 0;
}

// Moves e's files into `folder` when that is another folder and sets the
// places of e and everything below it. 0 or the reason it failed.
uint32_t relocate(ScenarioEntry* e, const std::u16string& folder) {
    if (folder == e->folder) return 0;
    std::u16string inside = path_join(e->path, std::u16string());
    if (e->type == kTypeGroup && (name_equal(folder.c_str(), e->path) || name_starts_with(folder, inside)))
        return kErrorInsideItself;
    if (name_taken(folder, e->name)) return kErrorNameExists;
    if (!fits(e, folder, e->name)) return kErrorPathTooLong;
    if (uint32_t rc = move_files(e, folder, e->name)) return rc;
    entry_set_place(e, folder);
    entry_update_members(e);
    return 0;
}

// Takes e out of its list and puts it after `prev` in the folder that list
// belongs to, moving its files when the folder changes.
bool place_after(Store* s, ScenarioEntry* e, ScenarioEntry* prev, const std::u16string& folder, Message* error) {
    TreePlace place;
    if (!tree_find_place(s->root, e, &place)) return false;
    if (uint32_t rc = relocate(e, folder)) {
        *error = failure(1015, rc);
        return false;
    }
    unlink(place, e);
    insert_after(prev, e);
    store_save(s);
    return true;
}

ScenarioEntry* new_entry(const std::u16string& name, int32_t type, const std::u16string& folder) {
    ScenarioEntry* e = entry_new();
    if (!e) return nullptr;
    e->type = type;
    if (!entry_set_name(e, name) || !entry_set_place(e, folder)) {
        entry_free(e);
        return nullptr;
    }
    return e;
}

bool check_new_name(const std::u16string& folder, const std::u16string& name, Message* error) {
    if (int32_t rc = store_check_name(folder, name)) {
        *error = make_message(rc);
        return false;
    }
    return true;
}

}  // namespace

ScenarioEntry* store_create_group(Store* s, ScenarioEntry* selected, const std::u16string& name, Message* error) {
    std::u16string folder = store_folder_of(s, selected);
    if (!check_new_name(folder, name, error)) return nullptr;
    ScenarioEntry* e = new_entry(name, kTypeGroup, folder);
    if (!e) {
        *error = failure(1020, kErrorPathTooLong);
        return nullptr;
    }
    if (!(e->child = list_new())) {
        entry_free(e);
        *error = failure(1020, kErrorNoMemory);
        return nullptr;
    }
    if (!zv::make_folder(e->path)) {
        *error = failure(1020, zv::fs_last_error());
        entry_free(e);
        return nullptr;
    }
    e->play_start_confirm = e->play_end_confirm = e->loop_count = 1;
    e->expanded = 1;
    insert_new(s, selected, e);
    store_save(s);
    return e;
}

ScenarioEntry* store_create_script(Store* s, ScenarioEntry* selected, const std::u16string& name, Message* error) {
    std::u16string folder = store_folder_of(s, selected);
    if (!check_new_name(folder, name, error)) return nullptr;
    ScenarioEntry* e = new_entry(name, kTypeScript, folder);
    if (!e) {
        *error = failure(1024, kErrorPathTooLong);
        return nullptr;
    }
    static const char kText[] = "#import(\"DESKOPS\")\r\n\r\n";
    AtomicFile out;
    if (!out.open(e->path) || !out.write(kText, sizeof kText - 1) || !out.commit()) {
        *error = failure(1024, out.error());
        entry_free(e);
        return nullptr;
    }
    e->loop_count = 1;
    insert_new(s, selected, e);
    store_save(s);
    return e;
}

ScenarioEntry* store_add_recording(Store* s, ScenarioEntry* selected, const std::u16string& recording,
                                   const std::u16string& name, Message* error) {
    std::u16string folder = store_folder_of(s, selected);
    if (!check_new_name(folder, name, error)) return nullptr;
    ScenarioEntry* e = new_entry(name, kTypeTimeline, folder);
    if (!e) {
        *error = failure(1205, kErrorPathTooLong);
        return nullptr;
    }
    // The recording files may lie on another volume (the temporary folder):
    // a move that cannot rename copies and deletes.
    const char16_t* const suffixes[] = {u"", u".img", u".ini"};
    for (const char16_t* suffix : suffixes) {
        std::u16string from = recording + suffix, to = std::u16string(e->path) + suffix;
        if (*suffix && !zv::path_kind(from.c_str())) continue;
        if (zv::move_path(from.c_str(), to.c_str())) continue;
        uint32_t rc = zv::fs_last_error();
        if (zv::copy_file(from.c_str(), to.c_str(), false)) {
            zv::remove_file(from.c_str());
        } else if (!*suffix) {
            *error = failure(1205, rc);
            entry_free(e);
            return nullptr;
        }
    }
    e->play_start_confirm = e->play_end_confirm = 1;
    e->check_window_title = e->check_window_class = e->always_check_window = 1;
    e->check_desktop_control_class = e->check_busy = 1;
    e->recovery_window_pos = 0;
    e->recovery_window_size = 1;
    e->loop_count = 1;
    insert_new(s, selected, e);
    store_save(s);
    return e;
}

bool store_rename(Store* s, ScenarioEntry* e, const std::u16string& name, Message* error) {
    if (int32_t rc = store_check_name(e->folder, name, e)) {
        *error = make_message(rc);
        return false;
    }
    if (name == e->name) return true;
    if (!fits(e, e->folder, name)) {
        *error = failure(1205, kErrorPathTooLong);
        return false;
    }
    if (uint32_t rc = move_files(e, e->folder, name)) {
        *error = failure(1205, rc);
        return false;
    }
    entry_set_name(e, name);
    entry_set_place(e, e->folder);
    entry_update_members(e);
    store_save(s);
    return true;
}

ScenarioEntry* store_copy(Store* s, ScenarioEntry* source, ScenarioEntry* target, Message* error) {
    // Where the copy goes: into an expanded group first, after any other
    // target, first at the top level without one.
    bool into = target && target->type == kTypeGroup && target->expanded && target->child;
    ScenarioEntry* prev = !target ? s->root : into ? target->child : target;
    std::u16string folder = !target ? s->data_folder : into ? std::u16string(target->path) : target->folder;
    ScenarioEntry* head = !target ? s->root : into ? target->child : nullptr;
    TreePlace place;
    if (!head) head = tree_find_place(s->root, target, &place) ? place.head : s->root;

    std::u16string inside = path_join(source->path, std::u16string());
    if (source->type == kTypeGroup && (name_equal(folder.c_str(), source->path) || name_starts_with(folder, inside))) {
        *error = make_message(1019);
        return nullptr;
    }
    std::u16string name = copy_name(head, folder, source->name);
    ScenarioEntry* e = fits(source, folder, name) ? new_entry(name, source->type, folder) : nullptr;
    if (!e) {
        *error = make_message(1018, {}, error_text(kErrorPathTooLong));
        return nullptr;
    }
    std::u16string from = path_join(source->folder, source->name), to = path_join(folder, name);
    uint32_t rc = 0;
    if (source->type == kTypeGroup) {
        if (!copy_tree(source->path, e->path, settings_clear_copied_hotkey, nullptr, &rc)) rc = rc ? rc : kErrorWriteFailed;
    } else if (!zv::copy_file(source->path, e->path, false)) {
        rc = zv::fs_last_error();
    }
    if (rc) {
        *error = make_message(1018, {}, error_text(rc));
        entry_free(e);
        return nullptr;
    }
    const char16_t* extra = source->type == kTypeGroup ? u".lst" : source->type == kTypeTimeline ? u".zv.img" : nullptr;
    if (extra) zv::copy_file((from + extra).c_str(), (to + extra).c_str(), true);
    std::u16string ini = entry_settings_path(e);
    if (zv::copy_file(entry_settings_path(source).c_str(), ini.c_str(), true)) settings_clear_hotkey(ini);

    // Every field of the source but the name, the place and the call key.
    ScenarioEntry saved = *e;
    memcpy(e, source, sizeof *e);
    memcpy(e->name, saved.name, sizeof e->name);
    memcpy(e->folder, saved.folder, sizeof e->folder);
    memcpy(e->path, saved.path, sizeof e->path);
    e->play_id = saved.play_id;
    e->hotkey_modifiers = e->hotkey_key = e->hotkey_id = 0;
    e->hotkey_text = nullptr;
    e->playing = 0;
    e->next = e->child = nullptr;
    if (e->type == kTypeGroup && (e->child = list_new())) list_read(e->path, e->child);
    insert_after(prev, e);
    if (e->type == kTypeGroup) store_resync(s);
    store_save(s);
    return e;
}

bool store_move_to(Store* s, ScenarioEntry* e, ScenarioEntry* target, Message* error) {
    if (target == e) return true;
    if (target && tree_contains(e, target)) {
        *error = failure(1015, kErrorInsideItself);
        return false;
    }
    if (!target) return place_after(s, e, s->root, s->data_folder, error);
    if (target->type == kTypeGroup && target->expanded && target->child)
        return place_after(s, e, target->child, target->path, error);
    return place_after(s, e, target, target->folder, error);
}

bool store_move_up(Store* s, ScenarioEntry* e, Message* error) {
    TreePlace place;
    if (!tree_find_place(s->root, e, &place)) return false;
    if (place.prev == place.head) {
        if (!place.group) return true;  // first of the top level
        TreePlace outer;
        tree_find_place(s->root, place.group, &outer);
        return place_after(s, e, outer.prev, place.group->folder, error);
    }
    ScenarioEntry* above = place.prev;
    if (above->type == kTypeGroup && above->expanded && above->child)
        return place_after(s, e, last_of(above->child), above->path, error);
    TreePlace above_place;
    tree_find_place(s->root, above, &above_place);
    return place_after(s, e, above_place.prev, e->folder, error);
}

bool store_move_down(Store* s, ScenarioEntry* e, Message* error) {
    TreePlace place;
    if (!tree_find_place(s->root, e, &place)) return false;
    ScenarioEntry* below = e->next;
    if (!below) {
        if (!place.group) return true;  // last of the top level
        return place_after(s, e, place.group, place.group->folder, error);
    }
    if (below->type == kTypeGroup && below->expanded && below->child)
        return place_after(s, e, below->child, below->path, error);
    return place_after(s, e, below, e->folder, error);
}

ScenarioEntry* store_group_with(Store* s, ScenarioEntry* dragged, ScenarioEntry* target, const std::u16string& name,
                                Message* error) {
    // Both end up in one folder: refuse what could only half succeed.
    if (dragged == target || tree_contains(dragged, target)) {
        *error = failure(1015, kErrorInsideItself);
        return nullptr;
    }
    if (name_equal(dragged->name, target->name)) {
        *error = failure(1015, kErrorNameExists);
        return nullptr;
    }
    ScenarioEntry* group = store_create_group(s, target, name, error);
    if (!group) return nullptr;
    if (!store_move_to(s, dragged, group, error)) {
        TreePlace place;
        if (tree_find_place(s->root, group, &place)) unlink(place, group);
        zv::remove_folder(group->path);
        entry_free(group);
        store_save(s);
        return nullptr;
    }
    if (!store_move_to(s, target, group, error)) return nullptr;
    return group;
}

bool store_delete(Store* s, ScenarioEntry* e, bool outright, const UserPrompt& prompt, Message* error) {
    *error = Message();
    if (!prompt.ask(prompt.ctx, make_message(outright ? 1025 : 1026, {e->name}))) return false;
    TreePlace place;
    if (!tree_find_place(s->root, e, &place)) return false;
    std::u16string base = path_join(e->folder, e->name);
    const char16_t* const group_files[] = {u"", u".lst", u".ini", nullptr};
    const char16_t* const other_files[] = {u".zv", u".zv.img", u".zv.ini", u".ksc", u".ksc.ini", nullptr};
    bool main_gone = true;
    for (const char16_t* const* f = e->type == kTypeGroup ? group_files : other_files; *f; ++f) {
        std::u16string path = base + *f;
        if (!zv::path_kind(path.c_str())) continue;
        if (!delete_path(path, !outright) && path == e->path) {
            *error = make_message(0, {}, error_text(zv::fs_last_error()));
            main_gone = false;
        }
    }
    if (!main_gone) return false;
    unlink(place, e);
    entry_free(e);
    store_save(s);
    return true;
}

}  // namespace zvb
