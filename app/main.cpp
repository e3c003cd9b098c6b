// zvs_app: runs one ksc script without a window of its own, with every
// DESKOPS function linked in, or builds an executable that carries a script.
//
//   zvs_app script.ksc [arguments...]    run the script
//   zvs_app /in script.ksc /out file.exe build file.exe
//   built.exe [arguments...]             run the embedded script
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "app_host.h"
#include "build_exe.h"
#include "builtins.h"
#include "embedded_script.h"
#include "eval.h"
#include "frame.h"
#include "host.h"
#include "platform.h"
#include "unit.h"

using namespace ksc;

namespace {

std::vector<std::u16string> command_line_arguments() {
    std::vector<std::u16string> args;
    int count = 0;
    wchar_t** list = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!list) return args;
    for (int i = 0; i < count; ++i) args.emplace_back(reinterpret_cast<const char16_t*>(list[i]));
    LocalFree(list);
    return args;
}

bool is_option(const std::u16string& word, const wchar_t* option) {
    return lstrcmpiW(reinterpret_cast<const wchar_t*>(word.c_str()), option) == 0;
}

struct Options {
    std::u16string script, input, output;
    size_t first_argument = 0;  // index of the first script argument
};

// Walks the arguments from the first: /in and /out take the next word, the
// first other word is the script file and ends the options.
Options parse_options(const std::vector<std::u16string>& args) {
    Options o;
    size_t i = 1;
    for (; i < args.size(); ++i) {
        if (is_option(args[i], L"/in")) {
            if (++i < args.size()) o.input = args[i];
        } else if (is_option(args[i], L"/out")) {
            if (++i < args.size()) o.output = args[i];
        } else {
            o.script = args[i];
            ++i;
            break;
        }
    }
    o.first_argument = i;
    return o;
}

std::u16string own_path() {
    std::u16string path(MAX_PATH, u'\0');
    for (;;) {
        DWORD n = GetModuleFileNameW(nullptr, reinterpret_cast<wchar_t*>(&path[0]), DWORD(path.size()));
        if (n == 0) return std::u16string();
        if (n < path.size()) {
            path.resize(n);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

std::u16string full_path(const std::u16string& path) {
    const wchar_t* p = reinterpret_cast<const wchar_t*>(path.c_str());
    DWORD n = GetFullPathNameW(p, 0, nullptr, nullptr);
    if (n == 0) return path;
    std::u16string full(n, u'\0');
    n = GetFullPathNameW(p, n, reinterpret_cast<wchar_t*>(&full[0]), nullptr);
    if (n == 0 || n >= full.size()) return path;
    full.resize(n);
    return full;
}

// Loads and runs one script: the embedded one when text is given (taken
// over), otherwise the file at path. -1 when it could not be loaded or
// parsed, 0 after the run. The engine is the script editor's (editor mode)
// and the script's folder becomes the current one, as in the editor.
int run_script(const std::u16string& path, char16_t* text, size_t len, const std::vector<std::u16string>& args,
               size_t first_argument) {
    ScriptUnit* unit = host_new_root(full_path(path).c_str(), false, true);
    if (unit) {
        unit->editor = 1;
        SetCurrentDirectoryW(reinterpret_cast<const wchar_t*>(unit->directory));
    }
    // The program itself is the first library: its own exports answer the
    // script's calls before any library the script imports.
    std::u16string self = own_path();
    if (!unit || self.empty() || !unit_load_library(unit, self.c_str())) {
        zv::heap_free(text);
        unit_free(unit);
        return -1;
    }
    bool loaded = text ? unit_load_text(unit, text, len) : unit_load(unit);
    if (!loaded) {
        unit_free(unit);
        return -1;
    }
    Scope* top = scope_new(unit, nullptr);
    if (!top) {
        unit_free(unit);
        return -1;
    }
    zvs_app::AbortWatch abort_watch(unit);
    if (!host_add_arguments(top, args, first_argument)) {
        scope_free(top);
        unit_free(unit);
        return -1;
    }
    Value result;
    host_run(top, &result);
    value_clear(&result);
    unit_free(unit);
    return 0;
}

}  // namespace

int WINAPI WinMain(HINSTANCE module, HINSTANCE, LPSTR, int) {
    std::vector<std::u16string> args = command_line_arguments();
    bool no_memory = false;
    size_t len = 0;
    char16_t* embedded = zvs_app::embedded_script(&len, &no_memory);
    if (no_memory) return -1;

    Options options;
    if (!embedded) {
        options = parse_options(args);
        if (!options.input.empty() && !options.output.empty()) {
            bool built = zvs_app::build_executable(reinterpret_cast<const wchar_t*>(options.input.c_str()),
                                                   reinterpret_cast<const wchar_t*>(options.output.c_str()));
            return built ? 0 : -1;
        }
        if (options.script.empty()) return -1;
    }

    deskops::library_start(module);
    zvs_app::install_builtins();
    if (embedded) return run_script(own_path(), embedded, len, args, 1);
    return run_script(options.script, nullptr, 0, args, options.first_argument);
}
