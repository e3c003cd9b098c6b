#include "unit.h"

#include <string>

#include "error.h"
#include "eval.h"
#include "parser.h"
#include "platform.h"
#include "utf.h"

namespace ksc {

bool run_directive(Scope* scope, ScriptUnit* unit, int kind, const char16_t* arg, const char16_t* pos);

static bool is_sep(char16_t c) { return c == u'\\' || c == u'/'; }

void split_path(const char16_t* path, std::u16string& dir, std::u16string& name) {
    std::u16string p(path);
    size_t cut = p.find_last_of(u"\\/");
    if (cut == std::u16string::npos) {
        dir.clear();
        name = p;
    } else {
        dir = p.substr(0, cut + 1);
        name = p.substr(cut + 1);
    }
}

static bool ascii_iequal(const char16_t* a, const char16_t* b) {
    if (!a || !b) return a == b;
    for (;; ++a, ++b) {
        char16_t x = *a, y = *b;
        if (x >= u'A' && x <= u'Z') x = char16_t(x + 32);
        if (y >= u'A' && y <= u'Z') y = char16_t(y + 32);
        if (x != y) return false;
        if (!x) return true;
    }
}

static char16_t* dir_with_sep(const char16_t* dir) {
    std::u16string d = dir ? dir : u"";
    if (!d.empty() && !is_sep(d.back())) d += zv::kDirSep;
    return str_dup(d.c_str(), d.size());
}

ScriptUnit* unit_new_root(const char16_t* directory, const char16_t* name, bool strict, bool ksc5) {
    ScriptUnit* u = static_cast<ScriptUnit*>(zv::heap_alloc(sizeof(ScriptUnit)));
    if (!u) return nullptr;
    u->root = u;
    u->default_strict = u->strict = strict;
    u->ksc5 = ksc5;
    u->directory = dir_with_sep(directory);
    u->name = name ? str_dup(name) : nullptr;
    if (!u->directory || (name && !u->name)) {
        unit_free(u);
        return nullptr;
    }
    return u;
}

ScriptUnit* unit_new_lines(bool ksc5) { return unit_new_root(u"", nullptr, false, ksc5); }

bool unit_parse_text(ScriptUnit* unit, Scope* scope, char16_t* text, size_t len) {
    zv::heap_free(unit->text);
    unit->text = text;
    unit->text_len = len;
    bool ok;
    unit->sequence = parse_text(scope, unit, text, len, run_directive, &ok);
    return ok;
}

char16_t* read_script_text(const char16_t* path, size_t* len, bool* unreadable) {
    *unreadable = false;
    char* data = nullptr;
    size_t size = 0;
    if (!zv::read_file(path, &data, &size)) {
        *unreadable = true;
        return nullptr;
    }
    const char* body = data;
    if (size >= 3 && (unsigned char)data[0] == 0xEF && (unsigned char)data[1] == 0xBB &&
        (unsigned char)data[2] == 0xBF) {
        body += 3;
        size -= 3;
    }
    char16_t* text = zv::utf8_to_utf16(body, size, len);
    zv::heap_free(data);
    return text;
}

bool unit_load_text(ScriptUnit* unit, char16_t* text, size_t len) {
    Scope report;
    scope_init(&report, unit, nullptr);
    bool ok = unit_parse_text(unit, &report, text, len);
    scope_clear(&report);
    return ok;  // an empty text is a script that does nothing
}

bool unit_load(ScriptUnit* unit) {
    std::u16string path = unit->directory;
    path += unit->name;
    size_t len = 0;
    bool unreadable;
    char16_t* text = read_script_text(path.c_str(), &len, &unreadable);
    if (!text) {
        Scope report;
        scope_init(&report, unit, nullptr);
        if (unreadable) {
            report_error(&report, kErrFileOpen, path.c_str());
        } else {
            report_error(&report, kErrAlloc, nullptr);
        }
        scope_clear(&report);
        return false;
    }
    return unit_load_text(unit, text, len);
}

bool unit_load_library(ScriptUnit* unit, const char16_t* name) {
    void* h = zv::library_load(name);
    if (!h) return false;
    LoadedLibrary* lib = static_cast<LoadedLibrary*>(zv::heap_alloc(sizeof(LoadedLibrary)));
    if (!lib) {
        zv::library_free(h);
        return false;
    }
    lib->handle = h;
    LoadedLibrary** tail = &unit->root->libraries;
    while (*tail) tail = &(*tail)->next;
    *tail = lib;
    resolution_changed();
    return true;
}

// ---- #import ------------------------------------------------------------

// An imported unit: an existing one with the same name and directory, or a
// new one appended to the root's chain.
static ScriptUnit* import_unit(ScriptUnit* importer, const std::u16string& dir, const char16_t* name, bool* fresh) {
    ScriptUnit* root = importer->root;
    for (ScriptUnit* u = root->next; u; u = u->next) {
        if (ascii_iequal(u->name, name) && ascii_iequal(u->directory, dir.c_str())) {
            *fresh = false;
            return u;
        }
    }
    ScriptUnit* u = static_cast<ScriptUnit*>(zv::heap_alloc(sizeof(ScriptUnit)));
    if (!u) return nullptr;
    u->root = root;
    u->default_strict = u->strict = root->default_strict;
    u->ksc5 = root->ksc5;
    u->name = str_dup(name);
    u->directory = str_dup(dir.c_str());
    ScriptUnit** tail = &root->next;
    while (*tail) tail = &(*tail)->next;
    *tail = u;
    *fresh = true;
    if (!u->name || !u->directory) return nullptr;
    return u;
}

struct ImportSearch {
    ScriptUnit* importer;
    std::u16string dir;  // directory of the matches
    int found = 0;
    bool failed = false;
};

static bool import_one(const char16_t* name, void* ctx) {
    ImportSearch* search = static_cast<ImportSearch*>(ctx);
    ScriptUnit* importer = search->importer;
    if (ascii_iequal(name, importer->name) && ascii_iequal(search->dir.c_str(), importer->directory)) return true;
    ++search->found;
    bool fresh;
    ScriptUnit* u = import_unit(importer, search->dir, name, &fresh);
    if (!u) {
        search->failed = true;
        return false;
    }
    if (!fresh) return true;  // each file is loaded and run once
    if (!unit_load(u)) {
        search->failed = true;
        return false;
    }
    Scope* top = scope_new(u, nullptr);
    if (!top) {
        search->failed = true;
        return false;
    }
    Value result;
    result_init(&result);
    int rc = walk(top, u->sequence, &result);
    value_clear(&result);
    stack_clear(top);
    if (rc == kWalkBreak || rc == kWalkContinue) {
        report_error(top, kErrSyntax, top->pos);
        rc = kWalkError;
    }
    if (rc == kWalkError) {
        scope_free(top);
        search->failed = true;
        return false;
    }
    ScriptUnit* root = u->root;
    if (root->step) root->step(top, nullptr, root->step_ctx);
    u->top_scope = top;
    resolution_changed();
    return true;
}

static bool is_absolute(const std::u16string& p) {
    return (!p.empty() && is_sep(p[0])) || (p.size() > 1 && p[1] == u':');
}

// Searches dir + pattern; true when at least one script was imported.
static bool import_search(ScriptUnit* importer, const std::u16string& dir, const char16_t* pattern) {
    std::u16string full = is_absolute(pattern) ? std::u16string(pattern) : dir + pattern;
    if (full.size() >= 260) return false;
    ImportSearch search;
    search.importer = importer;
    std::u16string name;
    split_path(full.c_str(), search.dir, name);
    if (!zv::find_files(full.c_str(), import_one, &search)) return false;
    return search.found > 0 && !search.failed;
}

bool run_directive(Scope* scope, ScriptUnit* unit, int kind, const char16_t* arg, const char16_t* pos) {
    switch (kind) {
        case kDirImport: {
            unit->ksc5 = 1;
            if (import_search(unit, unit->directory, arg)) return true;
            char16_t* cwd = zv::current_directory();
            bool found = cwd && import_search(unit, cwd, arg);
            zv::heap_free(cwd);
            if (!found) unit_load_library(unit, arg);
            return true;
        }
        case kDirLibrary:
            unit->ksc5 = 1;
            unit_load_library(unit, arg);
            return true;
        default:
            if (ascii_iequal(arg, u"ksc.5")) {
                unit->ksc5 = 1;
                return true;
            }
            if (ascii_iequal(arg, u"strict")) {
                unit->strict = 1;
                return true;
            }
            report_error(scope, kErrSyntax, pos);
            return false;
    }
}

// ---- freeing ------------------------------------------------------------

static void unit_free_one(ScriptUnit* u) {
    zv::heap_free(u->name);
    zv::heap_free(u->directory);
    zv::heap_free(u->text);
    syntax_free(u->sequence);
    while (UserFunc* f = u->functions) {
        u->functions = f->next;
        zv::heap_free(f->name);
        zv::heap_free(f);
    }
}

static void free_chain(ScriptUnit* u) {
    if (!u) return;
    free_chain(u->next);  // last first
    unit_free_one(u);
    scope_free(u->top_scope);
    zv::heap_free(u);
}

void unit_free(ScriptUnit* root) {
    if (!root) return;
    resolution_changed();
    free_chain(root->next);
    unit_free_one(root);
    // Libraries go last loaded first. Values they returned came from the
    // process heap, so the top scope can still be freed afterwards.
    while (root->libraries) {
        LoadedLibrary** link = &root->libraries;
        while ((*link)->next) link = &(*link)->next;
        LoadedLibrary* last = *link;
        *link = nullptr;
        zv::library_free(last->handle);
        zv::heap_free(last);
    }
    scope_free(root->top_scope);
    zv::heap_free(root);
}

}  // namespace ksc
