// List files (.lst): the members of a folder in display order, 524-byte
// records of size, name, type and expanded flag, no header. The list of a
// folder F is the file F + ".lst" beside it (<user>\data.lst for the top).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "scenario.h"

namespace zvb {

constexpr uint32_t kListRecordBytes = 524;

// One member as stored.
struct ListRecord {
    char16_t name[kNameUnits];
    int32_t type;
    int32_t expanded;
};

// Calls visit for every record of list-file bytes, with the same reading
// rules as operation files (a size below 4 or a cut-off record ends the
// list; bytes past 524 are skipped); the name's last unit is forced to 0.
typedef bool (*ListVisitor)(const ListRecord& record, void* ctx);
void list_parse(const uint8_t* data, size_t size, ListVisitor visit, void* ctx);

// Reads the list of `folder` into the empty member list `head`, and each
// group member's own list below it, to kMaxDepth levels. A list that cannot
// be read is empty. Records that cannot name a member of the folder (bad
// name or type, a name already listed) are left out.
void list_read(const std::u16string& folder, ScenarioEntry* head, int depth = 0);

// The bytes of a member list.
std::string list_bytes(const ScenarioEntry* head);

// Writes the list of `folder` and, recursively, each group member's list.
// A file whose bytes are already what it would get is left alone. False
// when some list could not be written (the others are still written).
bool list_write_tree(const std::u16string& folder, const ScenarioEntry* head, int depth = 0);

}  // namespace zvb
