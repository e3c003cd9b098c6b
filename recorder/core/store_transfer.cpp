// The store's imports (dropped folders, files and archives) and exports.
#include "archive.h"
#include "errors.h"
#include "file_util.h"
#include "names.h"
#include "settings.h"
#include "store.h"

namespace zvb {

namespace {

void tell(const UserPrompt& prompt, const Message& m) {
    if (prompt.tell) prompt.tell(prompt.ctx, m);
}

std::u16string without_trailing_separators(std::u16string path) {
    while (path.size() > 1 && (path.back() == kSep || path.back() == u'/')) path.pop_back();
    return path;
}

}  // namespace

ScenarioEntry* store_import(Store* s, const std::vector<std::u16string>& paths, const UserPrompt& prompt,
                            int* failures) {
    *failures = 0;
    std::u16string last;
    for (const std::u16string& given : paths) {
        std::u16string path = without_trailing_separators(given);
        std::u16string file = path_file_name(path);
        if (zv::path_kind(path.c_str()) & zv::kPathFolder) {
            uint32_t error = 0;
            if (!copy_tree(path, path_join(s->data_folder, file), settings_clear_copied_hotkey, nullptr, &error)) {
                tell(prompt, make_message(1021, {file}, error_text(error)));
                ++*failures;
                continue;
            }
            last = file;
            continue;
        }
        std::u16string base = path_stem(path), ext = path_extension(path);
        std::u16string in_data = path_join(s->data_folder, base);
        bool is_script = name_equal(ext.c_str(), u".ksc"), is_timeline = name_equal(ext.c_str(), u".zv");
        if ((is_script || is_timeline) &&
            (zv::path_kind((in_data + u".ksc").c_str()) || zv::path_kind((in_data + u".zv").c_str())) &&
            !prompt.ask(prompt.ctx, make_message(1022, {base})))
            continue;
        bool timeline = is_timeline;
        bool companion = name_equal(ext.c_str(), u".img") || name_equal(ext.c_str(), u".ini");
        uint32_t error = 0;
        bool ok;
        if (is_script || is_timeline || companion) {
            // The scenario's settings file (a companion's own length) must
            // fit the path fields, or the copy would never be listed.
            ok = path_join(s->data_folder, file).size() + (companion ? 0 : 4) < kPathUnits;
            if (!ok) error = kErrorPathTooLong;
            ok = ok && zv::copy_file(path.c_str(), path_join(s->data_folder, file).c_str(), true);
            if (!ok && !error) error = zv::fs_last_error();
            if (companion) base = path_stem(base);  // "t.zv.img" belongs to t
        } else {
            std::u16string name;
            ImportResult rc = archive_import(s->data_folder, path, prompt, &name, &timeline, &error);
            if (rc == ImportResult::kDeclined) continue;
            ok = rc == ImportResult::kImported;
            if (ok) base = name;
        }
        if (!ok) {
            tell(prompt, make_message(1023, {path_stem(path), ext}, error ? error_text(error) : std::u16string()));
            ++*failures;
            continue;
        }
        // An imported timeline takes the place of a script of its name.
        if (timeline) zv::remove_file((in_data + u".ksc").c_str());
        last = base;
    }
    store_resync(s);
    store_save(s);
    if (last.empty()) return nullptr;
    for (ScenarioEntry* e = s->root->next; e; e = e->next)
        if (name_equal(e->name, last.c_str())) return e;
    return nullptr;
}

bool store_export(Store* s, ScenarioEntry* e, const std::u16string& out, Message* error) {
    store_save(s);
    uint32_t rc = 0;
    bool ok;
    if (e->type == kTypeGroup) {
        ok = archive_write_group(e, out, &rc);
    } else if (e->type == kTypeTimeline) {
        if (name_equal(path_extension(out).c_str(), u".ksc")) {
            *error = make_message(1030, {}, u"A timeline cannot be written as a script here.");
            return false;
        }
        ok = archive_write_timeline(e, out, &rc);
    } else {
        AtomicFile copy;
        zv::File* in = zv::file_open(e->path, zv::FileMode::kRead);
        uint64_t size = 0;
        ok = in && zv::file_size(in, &size) && copy.open(out);
        if (!ok) rc = in ? copy.error() ? copy.error() : zv::fs_last_error() : zv::fs_last_error();
        ok = ok && copy_bytes(in, size, copy, &rc);
        if (ok && !copy.commit()) {
            rc = copy.error();
            ok = false;
        }
        zv::file_close(in);
    }
    if (!ok) *error = make_message(1030, {}, rc ? error_text(rc) : std::u16string());
    return ok;
}

}  // namespace zvb
