// Scenario archives (.zva): "ZVA1" holds one timeline's three files,
// "ZVA2" a group with everything below it, item by item. A blob is a
// 32-bit length and that many bytes; length 0 is a missing or empty file.
#pragma once

#include <cstdint>
#include <string>

#include "scenario.h"
#include "store.h"

namespace zvb {

constexpr size_t kArchivePathUnits = 130;  // 260 bytes, at most 129 characters

// Writes the archive of a timeline (ZVA1) or of a group (ZVA2) to `out`
// (replaced only when the whole archive was written).
bool archive_write_timeline(const ScenarioEntry* e, const std::u16string& out, uint32_t* error);
bool archive_write_group(const ScenarioEntry* g, const std::u16string& out, uint32_t* error);

enum class ImportResult { kImported, kDeclined, kFailed };

// Imports an archive into the data folder. The whole archive is checked
// before anything is written: every item path must name a place inside the
// data folder (no "..", drive, colon, device name, empty or linked
// component) and every blob must fit in what is left of the file. A ZVA1
// archive becomes the timeline named like the archive file; the questions
// of a replacement go to prompt.ask (1022: no declines; 1034: no fails).
// Files a failed import created are removed again. *name receives the
// imported timeline's or group's name, *timeline whether it was a ZVA1.
ImportResult archive_import(const std::u16string& data_folder, const std::u16string& archive,
                            const UserPrompt& prompt, std::u16string* name, bool* timeline, uint32_t* error);

}  // namespace zvb
