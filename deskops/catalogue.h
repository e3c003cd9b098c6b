// The catalogue of exported functions (catalogue.inc), as a table.
#pragma once

#include <cstddef>

#include "engine.h"

namespace deskops {

struct CatalogueEntry {
    const char* name;  // as scripts call it; the export is _lib_func_<name>
    ksc::NativeFunc function;
};

// The whole catalogue in the order of catalogue.inc.
const CatalogueEntry* catalogue(size_t* count);
// The function a script calls by this name, or null.
ksc::NativeFunc catalogue_function(const char* name);

}  // namespace deskops
