#include "catalogue.h"

#include <cstring>

#include "frame.h"

#define DESKOPS_ENTRY(name) DESKOPS_FUNCTION(name);
#include "catalogue.inc"
#undef DESKOPS_ENTRY

namespace deskops {

// Referring to every function here also keeps each family's object file in
// any program that links the library's objects.
#define DESKOPS_ENTRY(name) {#name, _lib_func_##name},
static const CatalogueEntry kCatalogue[] = {
#include "catalogue.inc"
};
#undef DESKOPS_ENTRY

const CatalogueEntry* catalogue(size_t* count) {
    *count = sizeof kCatalogue / sizeof kCatalogue[0];
    return kCatalogue;
}

ksc::NativeFunc catalogue_function(const char* name) {
    for (const CatalogueEntry& e : kCatalogue)
        if (strcmp(e.name, name) == 0) return e.function;
    return nullptr;
}

}  // namespace deskops
