#include "archive.h"

#include <cstring>
#include <vector>

#include "errors.h"
#include "file_util.h"
#include "names.h"

namespace zvb {

// ---- writing -----------------------------------------------------------------

namespace {

bool put_u32(AtomicFile& out, uint32_t v) { return out.write(&v, 4); }

// A missing file, a folder or an empty file is the empty blob.
bool put_blob(AtomicFile& out, const std::u16string& path, uint32_t* error) {
    unsigned kind = zv::path_kind(path.c_str());
    if (!kind || (kind & zv::kPathFolder)) return put_u32(out, 0) || (*error = out.error(), false);
    zv::File* in = zv::file_open(path.c_str(), zv::FileMode::kRead);
    uint64_t size = 0;
    if (!in || !zv::file_size(in, &size)) {
        *error = zv::fs_last_error();
        zv::file_close(in);
        return false;
    }
    bool ok;
    if (size > UINT32_MAX) {
        *error = kErrorTooLarge;
        ok = false;
    } else if (!put_u32(out, uint32_t(size))) {
        *error = out.error();
        ok = false;
    } else {
        ok = copy_bytes(in, size, out, error);
    }
    zv::file_close(in);
    return ok;
}

bool put_item(AtomicFile& out, int32_t type, const std::u16string& relative, uint32_t* error) {
    if (relative.size() >= kArchivePathUnits) {
        *error = kErrorPathTooLong;
        return false;
    }
    char16_t path[kArchivePathUnits] = {};
    memcpy(path, relative.data(), relative.size() * sizeof(char16_t));
    if (put_u32(out, uint32_t(type)) && out.write(path, sizeof path)) return true;
    *error = out.error();
    return false;
}

bool put_group(AtomicFile& out, const ScenarioEntry* g, const std::u16string& relative, uint32_t* error,
               int depth) {
    std::u16string base = g->path;
    if (depth > kMaxDepth) {
        *error = kErrorTooDeep;
        return false;
    }
    if (!put_item(out, kTypeGroup, relative, error) || !put_blob(out, base + u".lst", error) ||
        !put_blob(out, base + u".ini", error))
        return false;
    if (!g->child) return true;
    for (const ScenarioEntry* m = g->child->next; m; m = m->next) {
        std::u16string rel = relative + u"\\" + m->name, path = m->path;
        bool ok = true;
        if (m->type == kTypeGroup) {
            ok = put_group(out, m, rel, error, depth + 1);
        } else if (m->type == kTypeScript) {
            ok = put_item(out, kTypeScript, rel, error) && put_blob(out, path, error) &&
                 put_blob(out, path + u".ini", error);
        } else {
            ok = put_item(out, kTypeTimeline, rel, error) && put_blob(out, path, error) &&
                 put_blob(out, path + u".img", error) && put_blob(out, path + u".ini", error);
        }
        if (!ok) return false;
    }
    return true;
}

}  // namespace

bool archive_write_timeline(const ScenarioEntry* e, const std::u16string& out, uint32_t* error) {
    AtomicFile file;
    std::u16string path = e->path;
    if (!file.open(out)) {
        *error = file.error();
        return false;
    }
    if (!file.write("ZVA1", 4)) {
        *error = file.error();
        return false;
    }
    if (!put_blob(file, path, error) || !put_blob(file, path + u".img", error) ||
        !put_blob(file, path + u".ini", error))
        return false;
    if (!file.commit()) {
        *error = file.error();
        return false;
    }
    return true;
}

bool archive_write_group(const ScenarioEntry* g, const std::u16string& out, uint32_t* error) {
    AtomicFile file;
    if (!file.open(out) || !file.write("ZVA2", 4)) {
        *error = file.error();
        return false;
    }
    if (!put_group(file, g, std::u16string(u"\\") + g->name, error, 0)) return false;
    if (!file.commit()) {
        *error = file.error();
        return false;
    }
    return true;
}

// ---- reading -----------------------------------------------------------------

namespace {

struct Reader {
    zv::File* file;
    uint64_t size;
    uint64_t pos;
};

enum class Got { kAll, kEnd, kFailed };

Got get(Reader& r, void* buf, size_t n, uint32_t* error) {
    if (r.size - r.pos < n) return Got::kEnd;
    size_t got = 0;
    if (!zv::file_read(r.file, buf, n, &got)) {
        *error = zv::fs_last_error();
        return Got::kFailed;
    }
    if (got != n) {
        *error = kErrorTruncated;
        return Got::kFailed;
    }
    r.pos += n;
    return Got::kAll;
}

// One step of an import: a blob to write into `target`, or a group folder
// to make (members come after their group, so the folder is there first).
struct Blob {
    uint64_t offset;
    uint32_t length;
    bool folder;
    std::u16string target;
};

// Notes a blob and skips its bytes; its length must fit what is left.
bool plan_blob(Reader& r, const std::u16string& target, std::vector<Blob>* blobs, uint32_t* error) {
    // A file of an entry that does not fit the path fields would give a
    // scenario the tree can never list.
    if (target.size() >= kPathUnits) {
        *error = kErrorPathTooLong;
        return false;
    }
    uint32_t length;
    Got got = get(r, &length, 4, error);
    if (got != Got::kAll || length > r.size - r.pos) {
        if (got != Got::kFailed) *error = kErrorTruncated;
        return false;
    }
    blobs->push_back(Blob{r.pos, length, false, target});
    r.pos += length;
    if (!zv::file_seek(r.file, r.pos)) {
        *error = zv::fs_last_error();
        return false;
    }
    return true;
}

// An item path names a place inside the data folder: "\A\B" with every
// component a possible scenario name, no link on the way.
bool safe_target(const std::u16string& data, const std::u16string& relative, std::u16string* target) {
    if (relative.size() < 2 || relative[0] != u'\\') return false;
    std::u16string path = data;
    size_t start = 1;
    for (;;) {
        size_t end = relative.find(u'\\', start);
        std::u16string part = relative.substr(start, end == std::u16string::npos ? std::u16string::npos : end - start);
        if (name_check_text(part) != 0) return false;
        path = path_join(path, part);
        if (zv::path_kind(path.c_str()) & zv::kPathLink) return false;
        if (end == std::u16string::npos) break;
        start = end + 1;
    }
    *target = path;
    return true;
}

struct Plan {
    std::vector<Blob> blobs;
    std::u16string name;
};

bool plan_group_archive(Reader& r, const std::u16string& data, const UserPrompt& prompt, Plan* plan,
                        uint32_t* error) {
    bool agreed = false;
    for (;;) {
        uint32_t type;
        char16_t raw[kArchivePathUnits];
        Got got = get(r, &type, 4, error);
        if (got == Got::kAll) got = get(r, raw, sizeof raw, error);
        if (got == Got::kEnd) return true;  // cut at an item boundary: what came before stands
        if (got == Got::kFailed) return false;
        raw[kArchivePathUnits - 1] = 0;
        std::u16string relative = raw, p;
        if (type > uint32_t(kTypeGroup)) {
            *error = kErrorNotArchive;
            return false;
        }
        if (!safe_target(data, relative, &p)) {
            *error = kErrorUnsafePath;
            return false;
        }
        if (plan->name.empty()) plan->name = path_file_name(p);
        const char16_t* const group_files[] = {u".lst", u".ini", nullptr};
        const char16_t* const script_files[] = {u".ksc", u".ksc.ini", nullptr};
        const char16_t* const timeline_files[] = {u".zv", u".zv.img", u".zv.ini", nullptr};
        const char16_t* const* files = type == kTypeGroup    ? group_files
                                       : type == kTypeScript ? script_files
                                                             : timeline_files;
        if (type != kTypeGroup && !agreed && zv::path_kind((p + files[0]).c_str())) {
            if (!prompt.ask(prompt.ctx, make_message(1034))) {
                *error = 0;
                return false;
            }
            agreed = true;
        }
        for (const char16_t* const* f = files; *f; ++f)
            if (!plan_blob(r, p + *f, &plan->blobs, error)) return false;
        if (type == kTypeGroup) plan->blobs.push_back(Blob{0, 0, true, p});
    }
}

// Writes the planned files; removes what it created when one fails.
bool carry_out(Reader& r, const Plan& plan, uint32_t* error) {
    std::vector<std::u16string> created_files, created_folders;
    bool ok = true;
    for (const Blob& b : plan.blobs) {
        if (b.folder) {
            if (zv::path_kind(b.target.c_str()) & zv::kPathFolder) continue;
            if (!zv::make_folder(b.target.c_str())) {
                *error = zv::fs_last_error();
                ok = false;
                break;
            }
            created_folders.push_back(b.target);
            continue;
        }
        if (b.length == 0) continue;
        bool existed = zv::path_kind(b.target.c_str()) != 0;
        AtomicFile out;
        if (!out.open(b.target) || !zv::file_seek(r.file, b.offset)) {
            *error = out.error() ? out.error() : zv::fs_last_error();
            ok = false;
            break;
        }
        if (!copy_bytes(r.file, b.length, out, error) || !out.commit()) {
            if (out.error()) *error = out.error();
            ok = false;
            break;
        }
        if (!existed) created_files.push_back(b.target);
    }
    if (ok) return true;
    for (const std::u16string& f : created_files) zv::remove_file(f.c_str());
    for (size_t i = created_folders.size(); i-- > 0;) zv::remove_folder(created_folders[i].c_str());
    return false;
}

}  // namespace

ImportResult archive_import(const std::u16string& data_folder, const std::u16string& archive,
                            const UserPrompt& prompt, std::u16string* name, bool* timeline, uint32_t* error) {
    *error = 0;
    *timeline = false;
    Reader r = {zv::file_open(archive.c_str(), zv::FileMode::kRead), 0, 0};
    if (!r.file || !zv::file_size(r.file, &r.size)) {
        *error = zv::fs_last_error();
        zv::file_close(r.file);
        return ImportResult::kFailed;
    }
    char magic[4];
    Plan plan;
    bool ok = true;
    Got got = get(r, magic, 4, error);
    if (got != Got::kAll || (memcmp(magic, "ZVA1", 4) != 0 && memcmp(magic, "ZVA2", 4) != 0)) {
        if (got != Got::kFailed) *error = kErrorNotArchive;
        ok = false;
    } else if (magic[3] == '1') {
        *timeline = true;
        plan.name = path_stem(archive);
        std::u16string base = path_join(data_folder, plan.name);
        if (name_check_text(plan.name) != 0) {
            *error = kErrorUnsafePath;
            ok = false;
        } else {
            ok = plan_blob(r, base + u".zv", &plan.blobs, error) && plan_blob(r, base + u".zv.img", &plan.blobs, error) &&
                 plan_blob(r, base + u".zv.ini", &plan.blobs, error);
        }
        if (ok && (zv::path_kind((base + u".ksc").c_str()) || zv::path_kind((base + u".zv").c_str())) &&
            !prompt.ask(prompt.ctx, make_message(1022, {plan.name}))) {
            zv::file_close(r.file);
            return ImportResult::kDeclined;
        }
    } else {
        ok = plan_group_archive(r, data_folder, prompt, &plan, error);
    }
    ok = ok && carry_out(r, plan, error);
    zv::file_close(r.file);
    *name = plan.name;
    return ok ? ImportResult::kImported : ImportResult::kFailed;
}

}  // namespace zvb
