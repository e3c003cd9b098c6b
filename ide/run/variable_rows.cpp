#include "variable_rows.h"

#include <set>

#include "eval.h"

namespace zvs {

namespace {

VariableRow make_row(std::u16string name, const ksc::Value* v) {
    VariableRow row;
    row.name = std::move(name);
    row.value = variable_value_text(v, false);
    std::u16string hex = variable_value_text(v, true);
    if (hex != row.value) row.value_hex = std::move(hex);
    if (v->kind == ksc::kArray) {
        row.array = true;
        int index = 0;
        for (const ksc::Node* e = v->data.a; e; e = e->next, ++index) {
            std::u16string element = u"[" + ksc::format_int(index) + u"]";
            row.children.push_back(make_row(std::move(element), e->value));
        }
    }
    return row;
}

struct Collect {
    std::vector<VariableRow>* rows;
    std::set<std::u16string> seen;
};

void visit(int, const char16_t* name, const ksc::Value* value, void* ctx) {
    auto* c = static_cast<Collect*>(ctx);
    if (!name || !value || !c->seen.insert(name).second) return;
    c->rows->push_back(make_row(name, value));
}

}  // namespace

std::u16string variable_value_text(const ksc::Value* v, bool hex) {
    switch (v->kind) {
    case ksc::kInt: return ksc::format_int(v->data.i, hex);
    case ksc::kString: return u"\"" + ksc::value_text(v) + u"\"";
    default: return ksc::value_display(v, hex);
    }
}

std::vector<VariableRow> snapshot_variables(const ksc::Scope* scope) {
    std::vector<VariableRow> rows;
    if (!scope) return rows;
    Collect c{&rows, {}};
    ksc::scope_visit_variables(scope, visit, &c);
    return rows;
}

}  // namespace zvs
