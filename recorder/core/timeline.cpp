#include "timeline.h"

namespace zvb {

OperationRecord* timeline_new() { return record_new(); }

void timeline_clear(OperationRecord* head) {
    OperationRecord* r = head->next;
    while (r) {
        OperationRecord* next = r->next;
        record_free(r);
        r = next;
    }
    head->next = nullptr;
}

void timeline_free(OperationRecord* head) {
    if (!head) return;
    timeline_clear(head);
    record_free(head);
}

void timeline_insert_after(OperationRecord* after, OperationRecord* r) {
    r->prev = after;
    r->next = after->next;
    if (after->next) after->next->prev = r;
    after->next = r;
}

OperationRecord* timeline_last(OperationRecord* head) {
    OperationRecord* r = head;
    while (r->next) r = r->next;
    return r;
}

void timeline_append(OperationRecord* head, OperationRecord* r) { timeline_insert_after(timeline_last(head), r); }

void timeline_unlink(OperationRecord* r) {
    if (r->prev) r->prev->next = r->next;
    if (r->next) r->next->prev = r->prev;
    r->prev = r->next = nullptr;
}

void timeline_remove(OperationRecord* r) {
    timeline_unlink(r);
    record_free(r);
}

size_t timeline_count(const OperationRecord* head) {
    size_t n = 0;
    for (const OperationRecord* r = head->next; r; r = r->next) ++n;
    return n;
}

void timeline_renumber(OperationRecord* head) {
    int32_t i = 0;
    for (OperationRecord* r = head->next; r; r = r->next) r->index = i++;
}

}  // namespace zvb
