// The store's tree: opening the user folder, loading, re-synchronising with
// the folders, saving the list files.
#include <algorithm>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "errors.h"
#include "file_util.h"
#include "list_file.h"
#include "names.h"
#include "profile.h"
#include "settings.h"
#include "store.h"

namespace zvb {

std::u16string default_user_folder() {
    char16_t base[kPathUnits];
    size_t n = zv::local_app_data_folder(base, kPathUnits);
    return n ? path_join(std::u16string(base, n), u"zarvo-bot") : std::u16string();
}

bool store_open(Store* s, const std::u16string& user_folder, Message* error) {
    store_close(s);
    s->user_folder = user_folder;
    s->data_folder = path_join(user_folder, u"data");
    s->settings_file = path_join(user_folder, u"zarvo-bot.ini");
    s->root = list_new();
    for (const std::u16string* folder : {&s->user_folder, &s->data_folder}) {
        if ((zv::path_kind(folder->c_str()) & zv::kPathFolder) || zv::make_folder(folder->c_str())) continue;
        *error = make_message(0, {}, *folder + u": " + error_text(zv::fs_last_error()));
        return false;
    }
    if (!s->root) {
        *error = make_message(0, {}, error_text(kErrorNoMemory));
        return false;
    }
    return true;
}

void store_close(Store* s) {
    list_free(s->root);
    s->root = nullptr;
}

void store_load(Store* s) {
    list_free(s->root);
    s->root = list_new();
    if (!s->root) return;
    if (zv::path_kind((s->data_folder + u".lst").c_str()) & zv::kPathFile) {
        list_read(s->data_folder, s->root);
    } else {
        struct Adder {
            Store* s;
            ScenarioEntry* last;
        } adder = {s, s->root};
        zv::profile_section(
            s->settings_file.c_str(), u"LIST",
            [](const char16_t* key, const char16_t* value, void* ctx) {
                Adder* a = static_cast<Adder*>(ctx);
                std::u16string name = key;
                if (name_check_text(name) != 0) return true;
                for (ScenarioEntry* e = a->s->root->next; e; e = e->next)
                    if (name_equal(e->name, key)) return true;
                ScenarioEntry* e = entry_new();
                if (!e) return false;
                entry_set_name(e, name);
                e->type = std::u16string(value) == u"1" ? kTypeScript : kTypeTimeline;
                a->last->next = e;
                a->last = e;
                return true;
            },
            &adder);
    }
    store_resync(s);
}

namespace {

// What one folder holds, by name.
struct Found {
    std::u16string name;
    int32_t type;
};

struct Listing {
    std::vector<Found> found;
    std::unordered_map<std::u16string, size_t> by_name;  // folded name -> index
    std::unordered_set<std::u16string> settings;         // folded names of the .ini files
};

bool has_extension(const std::u16string& name, const char16_t* ext, size_t ext_len) {
    return name.size() > ext_len && name_starts_with(name.substr(name.size() - ext_len), ext);
}

bool note_entry(const zv::FolderEntry& e, void* ctx) {
    Listing* l = static_cast<Listing*>(ctx);
    std::u16string name = e.name;
    int32_t type;
    if (e.kind & zv::kPathFolder) {
        if (e.kind & zv::kPathLink) return true;  // never followed: it may lead anywhere, even here
        type = kTypeGroup;
    } else if (has_extension(name, u".ini", 4)) {
        l->settings.insert(name_fold(name));
        return true;
    } else if (has_extension(name, u".ksc", 4)) {
        name.resize(name.size() - 4);
        type = kTypeScript;
    } else if (has_extension(name, u".zv", 3)) {
        name.resize(name.size() - 3);
        type = kTypeTimeline;
    } else {
        return true;
    }
    if (name_check_text(name) != 0) return true;
    // One name, several kinds of files: a folder is a group; a script wins
    // over the timeline a conversion leaves beside it.
    auto it = l->by_name.emplace(name_fold(name), l->found.size());
    if (it.second) {
        l->found.push_back(Found{name, type});
    } else if (type > l->found[it.first->second].type) {
        l->found[it.first->second] = Found{name, type};
    }
    return true;
}

void resync_list(ScenarioEntry* head, const std::u16string& folder, int depth) {
    Listing listing;
    zv::list_folder(folder.c_str(), note_entry, &listing);
    std::vector<Found>& found = listing.found;
    std::sort(found.begin(), found.end(), [](const Found& a, const Found& b) {
        return name_fold(a.name) < name_fold(b.name);
    });

    std::unordered_map<std::u16string, ScenarioEntry*> members;
    ScenarioEntry* last = head;
    for (ScenarioEntry* e = head->next; e; e = e->next) {
        e->seen = 0;
        members.emplace(name_fold(e->name), e);
        last = e;
    }
    for (const Found& f : found) {
        auto it = members.find(name_fold(f.name));
        ScenarioEntry* e = it == members.end() ? nullptr : it->second;
        bool added = !e;
        if (added) {
            e = entry_new();
            if (!e) return;
            if (f.type == kTypeGroup) e->expanded = 1;
        }
        int32_t old_type = e->type;
        entry_set_name(e, f.name);  // the spelling on disk
        e->type = f.type;
        if (!entry_set_place(e, folder)) {
            if (added) entry_free(e);
            continue;
        }
        if (e->type != kTypeGroup && e->child) {
            list_free(e->child);
            e->child = nullptr;
        }
        if (e->type == kTypeGroup && (!e->child || added || old_type != kTypeGroup)) {
            if (!e->child) e->child = list_new();
            if (e->child && !e->child->next) list_read(e->path, e->child, depth + 1);
        }
        if (added) {
            last->next = e;
            last = e;
            members.emplace(name_fold(f.name), e);
        }
        e->seen = 1;
        std::u16string ini = path_file_name(entry_settings_path(e));
        entry_read_settings(e, listing.settings.count(name_fold(ini)) ? 1 : 0);
    }
    for (ScenarioEntry* prev = head; prev->next;) {
        ScenarioEntry* e = prev->next;
        if (e->seen) {
            prev = e;
            continue;
        }
        prev->next = e->next;
        e->next = nullptr;
        entry_free(e);
    }
    for (ScenarioEntry* e = head->next; e; e = e->next)
        if (e->type == kTypeGroup && e->child && depth < kMaxDepth) resync_list(e->child, e->path, depth + 1);
}

}  // namespace

void store_resync(Store* s) { resync_list(s->root, s->data_folder, 0); }

bool store_save(Store* s) { return list_write_tree(s->data_folder, s->root); }

std::u16string store_folder_of(const Store* s, const ScenarioEntry* selected) {
    return selected ? std::u16string(selected->folder) : s->data_folder;
}

int32_t store_check_name(const std::u16string& folder, const std::u16string& name, const ScenarioEntry* self) {
    if (int32_t rc = name_check_text(name)) return rc;
    if (self && name_equal(self->name, name.c_str())) return 0;
    return name_taken(folder, name) ? 1204 : 0;
}

}  // namespace zvb
