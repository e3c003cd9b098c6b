#include "host.h"

#include "error.h"
#include "eval.h"
#include "platform.h"
#include "unit.h"

namespace ksc {

ScriptUnit* host_new_root(const char16_t* path, bool strict, bool ksc5) {
    std::u16string dir, name;
    split_path(path, dir, name);
    if (dir.empty()) {
        char16_t* cwd = zv::current_directory();
        if (cwd) dir = cwd;
        zv::heap_free(cwd);
    }
    return unit_new_root(dir.c_str(), name.c_str(), strict, ksc5);
}

bool host_add_arguments(Scope* top, const std::vector<std::u16string>& args, size_t first) {
    if (first >= args.size()) return true;
    Node* argv = scope_add(top, u"argv", name_hash(u"argv"));
    if (!argv) return false;
    argv->value->kind = kArray;
    Node** tail = &argv->value->data.a;
    for (size_t i = first; i < args.size(); ++i) {
        Node* e = node_new();
        char16_t* s = e ? str_dup(args[i].c_str(), args[i].size()) : nullptr;
        if (!s) {
            node_free(e);
            return false;
        }
        value_set_string(e->value, s);
        *tail = e;
        tail = &e->next;
    }
    Node* argc = scope_add(top, u"argc", name_hash(u"argc"));
    if (!argc) return false;
    argc->value->data.i = int32_t(args.size() - first);
    return true;
}

int host_run(Scope* top, Value* result) {
    ScriptUnit* unit = top->unit;
    unit->top_scope = top;
    result_init(result);
    int rc = walk(top, unit->sequence, result);
    stack_clear(top);
    if (rc == kWalkBreak || rc == kWalkContinue) {
        report_error(top, kErrSyntax, top->pos);
    } else if (rc != kWalkError && unit->step) {
        unit->step(top, nullptr, unit->step_ctx);
    }
    return rc;
}

}  // namespace ksc
