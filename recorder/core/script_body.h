// The operation body of a timeline's script: the lines of its operations
// inside the play loop, between the play notifications.
#pragma once

#include <cstdint>

#include "operation_record.h"
#include "scenario.h"
#include "script_gen.h"
#include "script_text.h"

namespace zvb {

// The operations of a timeline in order: a list in memory, or records
// streamed from the operation file.
class OperationSource {
public:
    // The next operation, or null at the end. The source may fill `spare`
    // and return it; the caller never passes a record it still uses.
    virtual const OperationRecord* next(OperationRecord* spare) = 0;

protected:
    ~OperationSource() = default;
};

// Writes the operations from number `start` on, with the options of entry
// e. Never fails: every record writes text.
void write_operation_body(ScriptText& out, const ScenarioEntry& e, OperationSource& ops, bool notify,
                          int32_t start, const PlaySettings& play);

}  // namespace zvb
