// A timeline in memory: a doubly linked list of operation records behind a
// zero-filled head record whose `next` is the first operation. The head
// also stands for "the previous operation" of the first one.
#pragma once

#include <cstddef>

#include "operation_record.h"

namespace zvb {

// A new empty timeline (its head record); null when memory runs out.
OperationRecord* timeline_new();
// Frees every operation and the head.
void timeline_free(OperationRecord* head);
// Frees every operation; the head stays, empty.
void timeline_clear(OperationRecord* head);

// Links r in after `after` (the head to make it the first operation).
void timeline_insert_after(OperationRecord* after, OperationRecord* r);
// Links r in as the last operation.
void timeline_append(OperationRecord* head, OperationRecord* r);
// Unlinks r (the caller owns it afterwards).
void timeline_unlink(OperationRecord* r);
// Unlinks and frees r.
void timeline_remove(OperationRecord* r);

OperationRecord* timeline_last(OperationRecord* head);
size_t timeline_count(const OperationRecord* head);
// Sets every operation's `index` to its 0-based position.
void timeline_renumber(OperationRecord* head);

}  // namespace zvb
