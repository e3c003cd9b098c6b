// A copy of the variables a paused script sees, for the variable view: the
// engine's records are only valid while the run waits in the step hook, so
// the view keeps names and value texts of its own.
#pragma once

#include <string>
#include <vector>

#include "engine.h"

namespace zvs {

struct VariableRow {
    std::u16string name;       // as the variable view shows it ("[%d]" for elements)
    std::u16string value;      // decimal integers
    std::u16string value_hex;  // hexadecimal integers; empty when the same as value
    std::vector<VariableRow> children;  // an array's elements
    bool array = false;

    const std::u16string& text(bool hex) const { return hex && !value_hex.empty() ? value_hex : value; }
};

// The value as the view shows it: integers in decimal or "0x%X", reals
// with "%.16f", strings between double quotes, arrays in their {...} form.
std::u16string variable_value_text(const ksc::Value* v, bool hex);

// The variables visible from scope, innermost first; a name hidden by an
// inner variable of the same name is left out.
std::vector<VariableRow> snapshot_variables(const ksc::Scope* scope);

}  // namespace zvs
