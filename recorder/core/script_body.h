// The operation body of a timeline's script: the lines of its operations
// inside the play loop, between the play notifications.
#pragma once

#include <cstdint>

#include "operation_record.h"
#include "scenario.h"
#include "script_gen.h"
#include "script_text.h"

namespace zvb {

// Writes the operations of the timeline behind `head` from number `start`
// on, with the options of entry e. Never fails: every record writes text.
void write_operation_body(ScriptText& out, const ScenarioEntry& e, const OperationRecord* head, bool notify,
                          int32_t start, const PlaySettings& play);

}  // namespace zvb
