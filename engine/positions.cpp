// Array elements by position. Arrays are linked lists by interface, so a
// position costs a walk; these caches make the walks short whichever way a
// script goes: forwards, backwards (sorting), over several arrays at once
// (the rows of a grid).
//
// - Cursors remember a run of kRun consecutive nodes of a list: positions
//   inside a run cost nothing, and the next run starts where one ends.
// - The end reached last of a few lists (appends, lengths).
// - Marks: every kMarkEvery-th node of a long list, made once a walk would
//   pass more than kMarkFrom nodes, so no walk is longer than that.
//
// The engine only ever appends to lists and frees them whole, first node
// first, so everything here stays right until a list's first node is freed
// (positions_forget); a list that grew meanwhile is followed further.
#include <vector>

#include "positions.h"
#include "value.h"

namespace ksc {

namespace {

constexpr int kEnds = 4;
constexpr int32_t kMarkEvery = 64;
constexpr int32_t kMarkFrom = 256;
constexpr int kMarked = 2;

struct End {
    const Node* head;
    Node* node;
    int32_t pos;
};

struct Marks {
    const Node* head = nullptr;
    std::vector<Node*> node;  // node[k] is at position k * kMarkEvery
    uint32_t used = 0;
};

End g_ends[kEnds];
Marks g_marks[kMarked];
int g_next_end;
// A bit per list head something here remembers (by address), so that
// freeing any other node costs one test.
uint64_t g_heads;

inline uint64_t head_bit(const Node* n) { return uint64_t(1) << ((reinterpret_cast<uintptr_t>(n) >> 4) & 63); }

void note_end(const Node* head, Node* node, int32_t pos) {
    for (End& e : g_ends) {
        if (e.head == head) {
            if (pos >= e.pos) {
                e.node = node;
                e.pos = pos;
            }
            return;
        }
    }
    End& e = g_ends[g_next_end];
    g_next_end = (g_next_end + 1) % kEnds;
    e.head = head;
    e.node = node;
    e.pos = pos;
    g_heads |= head_bit(head);
}

// Follows a cursor's run on (its list may have grown).
void fill(Cursor* c) {
    if (c->count == 0 || c->count == kRun) return;
    for (Node* n = c->nodes[c->count - 1]->next; n && c->count < kRun; n = n->next) c->nodes[c->count++] = n;
    if (c->count < kRun) note_end(c->head, c->nodes[c->count - 1], c->start + c->count - 1);
}

Marks* marks_of(const Node* head) {
    for (Marks& m : g_marks)
        if (m.head == head) return &m;
    return nullptr;
}

// Marks every kMarkEvery-th node of the list from where they end.
void extend_marks(Marks* m, int32_t upto) {
    if (m->node.empty()) m->node.push_back(const_cast<Node*>(m->head));
    Node* n = m->node.back();
    int32_t pos = int32_t(m->node.size() - 1) * kMarkEvery;
    while (pos < upto) {
        for (int32_t k = 0; k < kMarkEvery; ++k) {
            if (!n->next) {
                note_end(m->head, n, pos + k);
                return;
            }
            n = n->next;
        }
        pos += kMarkEvery;
        m->node.push_back(n);
    }
}

Marks* make_marks(const Node* head) {
    Marks* m = &g_marks[0];
    for (Marks& c : g_marks)
        if (c.used < m->used) m = &c;
    m->head = head;
    m->node.clear();
    m->used = ++g_cursor_clock;
    g_heads |= head_bit(head);
    return m;
}

}  // namespace

void positions_forget(const Node* n) {
    if (!(g_heads & head_bit(n))) return;
    for (Cursor& c : g_cursors)
        if (c.head == n) c.head = nullptr;
    for (End& e : g_ends)
        if (e.head == n) e.head = nullptr;
    for (Marks& m : g_marks) {
        if (m.head == n) {
            m.head = nullptr;
            m.node.clear();
        }
    }
}

Cursor g_cursors[kCursors];
uint32_t g_cursor_clock;

Node* list_at_slow(Node* head, int32_t pos) {
    if (pos < 0 || !head) return nullptr;
    int32_t start = pos & ~(kRun - 1);
    Cursor* pair = cursor_pair(head, start);
    for (Cursor* c = pair; c < pair + 2; ++c) {
        if (c->head != head || c->start != start) continue;
        c->used = ++g_cursor_clock;
        if (pos - start >= c->count) fill(c);
        return pos - start < c->count ? c->nodes[pos - start] : nullptr;
    }
    // The nearest node known at or before the run's start: most often the
    // end of the run before.
    Node* from = head;
    int32_t at = 0;
    if (start >= kRun) {
        Cursor* before = cursor_pair(head, start - kRun);
        for (Cursor* c = before; c < before + 2; ++c) {
            if (c->head == head && c->start == start - kRun && c->count == kRun) {
                from = c->nodes[kRun - 1];
                at = start - 1;
                goto walk;
            }
        }
    }
    for (const Cursor& c : g_cursors) {
        if (c.head != head || c.start > start || c.count == 0) continue;
        int32_t k = start - c.start < c.count - 1 ? start - c.start : c.count - 1;
        if (c.start + k > at) {
            from = c.nodes[k];
            at = c.start + k;
        }
    }
    for (const End& e : g_ends) {
        if (e.head == head && e.pos <= start && e.pos > at) {
            from = e.node;
            at = e.pos;
        }
    }
    if (start - at > kMarkFrom || marks_of(head)) {
        Marks* m = marks_of(head);
        if (!m) m = make_marks(head);
        m->used = ++g_cursor_clock;
        size_t k = size_t(start / kMarkEvery);
        if (k >= m->node.size()) extend_marks(m, start);
        if (k >= m->node.size()) k = m->node.size() - 1;
        if (int32_t(k) * kMarkEvery > at) {
            from = m->node[k];
            at = int32_t(k) * kMarkEvery;
        }
    }
walk:
    while (at < start) {
        if (!from->next) {
            note_end(head, from, at);
            return nullptr;
        }
        from = from->next;
        ++at;
    }
    Cursor* c = pair[0].used <= pair[1].used ? &pair[0] : &pair[1];
    c->head = head;
    c->start = start;
    c->count = 1;
    c->nodes[0] = from;
    c->used = ++g_cursor_clock;
    g_heads |= head_bit(head);
    fill(c);
    return pos - start < c->count ? c->nodes[pos - start] : nullptr;
}

Node* list_last(Node* head, int32_t* pos) {
    if (!head) {
        *pos = -1;
        return nullptr;
    }
    Node* n = head;
    int32_t at = 0;
    for (const End& e : g_ends) {
        if (e.head == head && e.pos > at) {
            n = e.node;
            at = e.pos;
            if (!n->next) {
                *pos = at;
                return n;
            }
        }
    }
    for (const Cursor& c : g_cursors) {
        if (c.head == head && c.count && c.start + c.count - 1 > at) {
            n = c.nodes[c.count - 1];
            at = c.start + c.count - 1;
        }
    }
    if (Marks* m = marks_of(head)) {
        if (!m->node.empty() && int32_t(m->node.size() - 1) * kMarkEvery > at) {
            n = m->node.back();
            at = int32_t(m->node.size() - 1) * kMarkEvery;
        }
    }
    while (n->next) {
        n = n->next;
        ++at;
    }
    note_end(head, n, at);
    *pos = at;
    return n;
}

Node* list_last(Node* head) {
    int32_t pos;
    return list_last(head, &pos);
}

Node* list_at(Node* head, int32_t pos) { return list_at_fast(head, pos); }

void list_appended(Node* head, Node* element, int32_t pos) {
    note_end(head, element, pos);
    // The run that ends here grows with it.
    int32_t start = pos & ~(kRun - 1);
    Cursor* pair = cursor_pair(head, start);
    for (Cursor* c = pair; c < pair + 2; ++c)
        if (c->head == head && c->start == start && c->count == pos - start) c->nodes[c->count++] = element;
}

int32_t list_length(const Node* head) {
    int32_t pos;
    list_last(const_cast<Node*>(head), &pos);
    return pos + 1;
}

}  // namespace ksc
