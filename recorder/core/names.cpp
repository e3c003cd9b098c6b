#include "names.h"

#include <string>
#include <vector>

#include "file_util.h"
#include "scenario.h"

namespace zvb {

char16_t fold_char(char16_t c) {
    if (c < 0x80) return c >= u'a' && c <= u'z' ? char16_t(c - 0x20) : c;
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return char16_t(c - 0x20);
    if (c == 0xFF) return 0x178;
    if (c >= 0x100 && c <= 0x17F) {
        // Latin Extended-A: pairs of capital and small letters, offset by
        // the block's two runs of odd and even pairing.
        bool odd_pairs = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
        if (odd_pairs ? (c % 2 == 0) : (c % 2 == 1 && c != 0x131 && c != 0x138 && c != 0x149 && c != 0x17F))
            return char16_t(c - 1);
        return c;
    }
    if ((c >= 0x3B1 && c <= 0x3C9 && c != 0x3C2) || (c >= 0x430 && c <= 0x44F)) return char16_t(c - 0x20);
    if (c >= 0x450 && c <= 0x45F) return char16_t(c - 0x50);
    if (c >= 0xFF41 && c <= 0xFF5A) return char16_t(c - 0x20);
    return c;
}

std::u16string name_fold(const std::u16string& s) {
    std::u16string f(s);
    for (char16_t& c : f) c = fold_char(c);
    return f;
}

bool name_equal(const char16_t* a, const char16_t* b) {
    while (*a && fold_char(*a) == fold_char(*b)) ++a, ++b;
    return fold_char(*a) == fold_char(*b);
}

bool name_starts_with(const std::u16string& s, const std::u16string& prefix) {
    if (s.size() < prefix.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i)
        if (fold_char(s[i]) != fold_char(prefix[i])) return false;
    return true;
}

bool is_device_name(const std::u16string& name) {
    std::u16string base = name_fold(name.substr(0, name.find(u'.')));
    while (!base.empty() && base.back() == u' ') base.pop_back();
    static const char16_t* const kDevices[] = {u"CON", u"PRN", u"AUX", u"NUL", u"CONIN$", u"CONOUT$"};
    for (const char16_t* d : kDevices)
        if (base == d) return true;
    return base.size() == 4 && (base.compare(0, 3, u"COM") == 0 || base.compare(0, 3, u"LPT") == 0) &&
           base[3] >= u'1' && base[3] <= u'9';
}

int32_t name_check_text(const std::u16string& name) {
    if (name.empty()) return 1202;
    if (name.find_first_of(u"\"*/:<>?\\|") != std::u16string::npos) return 1203;
    for (char16_t c : name)
        if (c < 0x20) return 1203;
    if (name.size() > kMaxNameLength || name == u"." || name == u".." || name.back() == u'.' ||
        name.back() == u' ' || is_device_name(name))
        return 1203;
    return 0;
}

namespace {

struct TakenSearch {
    std::u16string name, ksc, zv;
    bool taken;
};

bool check_taken(const zv::FolderEntry& e, void* ctx) {
    TakenSearch* s = static_cast<TakenSearch*>(ctx);
    bool folder = (e.kind & zv::kPathFolder) != 0;
    if ((folder && name_equal(e.name, s->name.c_str())) ||
        (!folder && (name_equal(e.name, s->ksc.c_str()) || name_equal(e.name, s->zv.c_str()))))
        s->taken = true;
    return !s->taken;
}

bool in_list(const ScenarioEntry* head, const std::u16string& name) {
    for (const ScenarioEntry* e = head ? head->next : nullptr; e; e = e->next)
        if (name_equal(e->name, name.c_str())) return true;
    return false;
}

}  // namespace

bool name_taken(const std::u16string& folder, const std::u16string& name) {
    TakenSearch s = {name, name + u".ksc", name + u".zv", false};
    zv::list_folder(folder.c_str(), check_taken, &s);
    return s.taken;
}

std::u16string copy_name(const ScenarioEntry* head, const std::u16string& folder, const std::u16string& name) {
    auto free_name = [&](const std::u16string& n) { return !in_list(head, n) && !name_taken(folder, n); };
    if (free_name(name)) return name;
    std::u16string first = name + u" - コピー";
    if (free_name(first)) return first;
    for (int i = 1;; ++i) {
        std::string n = std::to_string(i);
        std::u16string candidate = first + u" (" + std::u16string(n.begin(), n.end()) + u")";
        if (free_name(candidate)) return candidate;
    }
}

}  // namespace zvb
