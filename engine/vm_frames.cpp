// The evaluator's value stack and frame chunks.
#include "vm.h"

namespace ksc {
namespace vm {

ValueStack g_vs;
Chunk* g_chunk;
Chunk* g_spare_chunk;
char* g_stack_limit;
int32_t g_step_base = -1;

bool vs_reserve(int32_t used, int32_t more) {
    if (used + more <= g_vs.cap) return true;
    int32_t cap = g_vs.cap ? g_vs.cap * 2 : 64;
    while (cap < used + more) cap *= 2;
    Operand* data = static_cast<Operand*>(zv::heap_alloc_raw(size_t(cap) * sizeof(Operand)));
    if (!data) return false;
    if (g_vs.data) {
        memcpy(static_cast<void*>(data), g_vs.data, size_t(used) * sizeof(Operand));
        zv::heap_free(g_vs.data);
    }
    g_vs.data = data;
    g_vs.cap = cap;
    return true;
}

void release_value(Value* v) {
    if (v->kind == kString)
        zv::heap_free(v->data.s);
    else
        node_list_free(v->data.a);
}

void arena_pop(void* p) {
    const size_t head = (sizeof(Chunk) + 15) & ~size_t(15);
    char* base = reinterpret_cast<char*>(g_chunk) + head;
    g_chunk->used = size_t(static_cast<char*>(p) - base);
    if (g_chunk->used == 0 && g_chunk->prev) {
        Chunk* c = g_chunk;
        g_chunk = c->prev;
        if (g_spare_chunk) zv::heap_free(g_spare_chunk);
        g_spare_chunk = c;
    }
}

// Frees the rest of what a frame scope may hold (rarely anything).
void scope_empty_rest(Scope* s) {
    scope_drop_index(s);
    scope_drop_cache(s);
    pending_drop(s);
    node_list_free(s->stack);
    s->stack = nullptr;
}

}  // namespace vm
}  // namespace ksc
