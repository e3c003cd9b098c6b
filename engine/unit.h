// Script units: loading script files, directives, function libraries.
#pragma once

#include "engine.h"

namespace ksc {

struct LoadedLibrary {
    void* handle;
    LoadedLibrary* next;
};

// A root unit for a script file (directory with or without trailing
// separator). strict is the command line's default; ksc5 the initial mode.
// Null when memory runs out.
ScriptUnit* unit_new_root(const char16_t* directory, const char16_t* name, bool strict, bool ksc5);
// A root unit without file (line mode).
ScriptUnit* unit_new_lines(bool ksc5);
// Reads and parses the unit's file; errors are reported. False when it could
// not be read or parsed (an empty file loads, with no sequence).
bool unit_load(ScriptUnit* unit);
// Reads a script file: UTF-8 with or without byte-order mark, as UTF-16 on
// the process heap. Null when the file cannot be read (unreadable set, the
// system's last error kept) or memory runs out.
char16_t* read_script_text(const char16_t* path, size_t* len, bool* unreadable);
// Parses text (taken over, heap) as the root unit's whole script, reporting
// errors. False after an error.
bool unit_load_text(ScriptUnit* unit, char16_t* text, size_t len);
// Parses text (taken over, heap) as the unit's text. False after an error.
bool unit_parse_text(ScriptUnit* unit, Scope* scope, char16_t* text, size_t len);
// Loads a function library and appends it to the root's list; false when it
// cannot be loaded (which scripts treat silently).
bool unit_load_library(ScriptUnit* unit, const char16_t* name);
// Executes #import, #library and #option for the parser (kind from
// parser.h). False after a reported error.
bool run_directive(Scope* scope, ScriptUnit* unit, int kind, const char16_t* arg, const char16_t* pos);
// Frees the root and everything hanging off it.
void unit_free(ScriptUnit* root);

// Splits a path at its last separator. dir receives the directory with a
// trailing separator (empty when there is none), name the rest.
void split_path(const char16_t* path, std::u16string& dir, std::u16string& name);

}  // namespace ksc
