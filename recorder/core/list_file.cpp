#include "list_file.h"

#include <cstring>
#include <unordered_set>

#include "file_util.h"
#include "names.h"

namespace zvb {

void list_parse(const uint8_t* data, size_t size, ListVisitor visit, void* ctx) {
    size_t pos = 0;
    while (size - pos >= 4) {
        uint32_t length;
        memcpy(&length, data + pos, 4);
        if (length < 4 || size - pos < length) return;
        uint8_t bytes[kListRecordBytes] = {};
        memcpy(bytes, data + pos, length < kListRecordBytes ? length : kListRecordBytes);
        pos += length;
        ListRecord r;
        memcpy(r.name, bytes + 4, sizeof r.name);
        memcpy(&r.type, bytes + 516, 4);
        memcpy(&r.expanded, bytes + 520, 4);
        r.name[kNameUnits - 1] = 0;
        if (!visit(r, ctx)) return;
    }
}

namespace {

struct ReadState {
    const std::u16string* folder;
    ScenarioEntry* last;
    std::unordered_set<std::u16string> names;
};

bool add_member(const ListRecord& r, void* ctx) {
    ReadState* s = static_cast<ReadState*>(ctx);
    std::u16string name = r.name;
    if (r.type < kTypeTimeline || r.type > kTypeGroup || name_check_text(name) != 0) return true;
    if (!s->names.insert(name_fold(name)).second) return true;
    ScenarioEntry* e = entry_new();
    if (!e) return false;
    entry_set_name(e, name);
    e->type = r.type;
    if (!entry_set_place(e, *s->folder)) {
        entry_free(e);
        return true;
    }
    if (e->type == kTypeGroup) {
        e->expanded = r.expanded ? 1 : 0;
        e->child = list_new();
    }
    s->last->next = e;
    s->last = e;
    return true;
}

}  // namespace

void list_read(const std::u16string& folder, ScenarioEntry* head, int depth) {
    char* data = nullptr;
    size_t size = 0;
    if (depth > kMaxDepth || !zv::read_file((folder + u".lst").c_str(), &data, &size)) return;
    ReadState state = {&folder, head, {}};
    while (state.last->next) state.last = state.last->next;
    list_parse(reinterpret_cast<const uint8_t*>(data), size, add_member, &state);
    zv::heap_free(data);
    for (ScenarioEntry* e = head->next; e; e = e->next)
        if (e->type == kTypeGroup && e->child) list_read(e->path, e->child, depth + 1);
}

std::string list_bytes(const ScenarioEntry* head) {
    std::string out;
    for (const ScenarioEntry* e = head->next; e; e = e->next) {
        uint8_t bytes[kListRecordBytes] = {};
        uint32_t size = kListRecordBytes;
        int32_t expanded = e->type == kTypeGroup && e->expanded ? 1 : 0;
        memcpy(bytes, &size, 4);
        memcpy(bytes + 4, e->name, sizeof e->name);
        bytes[514] = bytes[515] = 0;  // the name's last unit
        memcpy(bytes + 516, &e->type, 4);
        memcpy(bytes + 520, &expanded, 4);
        out.append(reinterpret_cast<const char*>(bytes), kListRecordBytes);
    }
    return out;
}

bool list_write_tree(const std::u16string& folder, const ScenarioEntry* head, int depth) {
    if (depth > kMaxDepth) return false;
    std::u16string file = folder + u".lst";
    std::string bytes = list_bytes(head);
    bool ok = true;
    char* old = nullptr;
    size_t old_size = 0;
    bool same = zv::read_file(file.c_str(), &old, &old_size) && old_size == bytes.size() &&
                memcmp(old, bytes.data(), old_size) == 0;
    zv::heap_free(old);
    if (!same) {
        AtomicFile out;
        ok = out.open(file) && out.write(bytes.data(), bytes.size()) && out.commit();
    }
    for (const ScenarioEntry* e = head->next; e; e = e->next)
        if (e->type == kTypeGroup && e->child && !list_write_tree(e->path, e->child, depth + 1)) ok = false;
    return ok;
}

}  // namespace zvb
