// The cursors of positions.cpp, for the evaluator's inline fast path: a
// position in a run a cursor remembers costs no call.
#pragma once

#include <cstdint>

#include "value.h"

namespace ksc {

constexpr int32_t kRun = 16;
constexpr int kCursors = 16;  // in pairs

struct Cursor {
    const Node* head;  // null: free
    int32_t start;     // position of nodes[0], a multiple of kRun
    int32_t count;     // nodes known from start on
    Node* nodes[kRun];
    uint32_t used;
};

extern Cursor g_cursors[kCursors];
extern uint32_t g_cursor_clock;

// A run lives in one of two cursors picked by list and start.
inline Cursor* cursor_pair(const Node* head, int32_t start) {
    size_t h = ((reinterpret_cast<uintptr_t>(head) >> 4) ^ (uint32_t(start) >> 4) * 0x9E3779B1u) % (kCursors / 2);
    return &g_cursors[2 * h];
}

Node* list_at_slow(Node* head, int32_t pos);

// list_at() with the common case inline.
inline Node* list_at_fast(Node* head, int32_t pos) {
    if (pos >= 0 && head) {
        int32_t start = pos & ~(kRun - 1);
        Cursor* pair = cursor_pair(head, start);
        for (Cursor* c = pair; c < pair + 2; ++c) {
            if (c->head == head && c->start == start && pos - start < c->count) {
                c->used = ++g_cursor_clock;
                return c->nodes[pos - start];
            }
        }
    }
    return list_at_slow(head, pos);
}

}  // namespace ksc
