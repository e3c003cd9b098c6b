// Settings in Windows profile (.ini) files. On Windows these are the
// system's profile functions, so files users already have keep working;
// profile_posix.cpp is a small equivalent (UTF-8 files, CR LF lines) with
// the same results for what the programs read and write: sections and keys
// compared without regard to ASCII case, values trimmed of blanks and of
// one pair of enclosing quotes, integers read like GetPrivateProfileIntW.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zv {

// The integer of section/key, or def when the file, section or key is
// missing. Leading digits count ("12ab" is 12); a value without digits is 0.
int32_t profile_int(const char16_t* file, const char16_t* section, const char16_t* key, int32_t def);

// The integer GetPrivateProfileIntW makes of a value text: def for an empty
// text, else an optional sign and the leading decimal digits ("0x" for
// hexadecimal), 0 when there are none.
int32_t profile_parse_int(const char16_t* text, int32_t def);

// The text of section/key (def when missing) into buf, at most cap units
// with the NUL; returns its length.
size_t profile_text(const char16_t* file, const char16_t* section, const char16_t* key, const char16_t* def,
                    char16_t* buf, size_t cap);

// Writes section/key = value, creating the file, section or key as needed.
bool profile_write(const char16_t* file, const char16_t* section, const char16_t* key, const char16_t* value);

// Calls visit with every key of a section and its value, in file order;
// visit returns false to stop. False when the file cannot be read.
typedef bool (*ProfileVisitor)(const char16_t* key, const char16_t* value, void* ctx);
bool profile_section(const char16_t* file, const char16_t* section, ProfileVisitor visit, void* ctx);

// Every key of every section with one read of the file, for programs that
// read many files (the statistics report reads every scenario's settings):
// visit(section, key, value) in file order, keys before the first section
// with section "". The line rules are those above; the file is read as the
// system reads it (UTF-16 or UTF-8 with byte-order mark, else the ANSI code
// page). False when the file cannot be read.
typedef bool (*ProfileEntryVisitor)(const char16_t* section, const char16_t* key, const char16_t* value, void* ctx);
bool profile_read_all(const char16_t* file, ProfileEntryVisitor visit, void* ctx);

}  // namespace zv
