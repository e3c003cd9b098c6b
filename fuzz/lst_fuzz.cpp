// Fuzz target: the list-file (.lst) reader. Whatever the bytes, the member
// list read from them holds only valid, distinct names of the three types,
// and writing it gives a list that reads back the same.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "list_file.h"
#include "names.h"
#include "utf.h"
#include "support/work_dir.h"

namespace {

std::string g_folder;  // <work>/zvb_lst_fuzz-<pid>/data; its list is data.lst

bool check_record(const zvb::ListRecord& r, void*) {
    if (r.name[zvb::kNameUnits - 1] != 0) __builtin_trap();
    return true;
}

std::u16string tree_names(const zvb::ScenarioEntry* head) {
    std::u16string out;
    for (const zvb::ScenarioEntry* e = head->next; e; e = e->next) {
        if (zvb::name_check_text(e->name) != 0 || e->type < 0 || e->type > 2) __builtin_trap();
        for (const zvb::ScenarioEntry* f = e->next; f; f = f->next)
            if (zvb::name_equal(e->name, f->name)) __builtin_trap();
        out += std::u16string(e->name) + char16_t(u'0' + e->type) + u';';
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    g_folder = (zv_fuzz::work_dir("zvb_lst_fuzz") / "data").string();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    zvb::list_parse(data, size, check_record, nullptr);
    FILE* f = fopen((g_folder + ".lst").c_str(), "wb");
    if (!f) return 0;
    fwrite(data, 1, size, f);
    fclose(f);
    std::u16string folder(g_folder.begin(), g_folder.end());
    zvb::ScenarioEntry* head = zvb::list_new();
    zvb::list_read(folder, head);
    std::u16string names = tree_names(head);
    std::string bytes = zvb::list_bytes(head);
    f = fopen((g_folder + ".lst").c_str(), "wb");
    if (f) {
        fwrite(bytes.data(), 1, bytes.size(), f);
        fclose(f);
        zvb::ScenarioEntry* again = zvb::list_new();
        zvb::list_read(folder, again);
        if (tree_names(again) != names) __builtin_trap();
        zvb::list_free(again);
    }
    zvb::list_free(head);
    return 0;
}
