#include "http_api.h"

namespace deskops {

namespace {

// Each function of the table from the module; false when one is missing.
// (Through void*: the address comes typed as a function without arguments.)
#define ZV_API_BIND(name)                                                                                \
    api->name = reinterpret_cast<decltype(api->name)>(reinterpret_cast<void*>(GetProcAddress(module, #name))); \
    if (!api->name) return false;

bool bind(HMODULE module, WinHttpApi* api) {
    ZV_WINHTTP_FUNCTIONS(ZV_API_BIND)
    return true;
}

bool bind(HMODULE module, CertStoreApi* api) {
    ZV_CERT_STORE_FUNCTIONS(ZV_API_BIND)
    return true;
}

#undef ZV_API_BIND

// Loads the library once; a library that could not be bound is tried again
// by the next call.
template <typename Api>
const Api* bound(const wchar_t* library) {
    static Api api;
    static bool ready;
    if (!ready) {
        HMODULE module = LoadLibraryW(library);
        ready = module && bind(module, &api);
    }
    return ready ? &api : nullptr;
}

}  // namespace

const WinHttpApi* winhttp_api() { return bound<WinHttpApi>(L"winhttp.dll"); }
const CertStoreApi* cert_store_api() { return bound<CertStoreApi>(L"crypt32.dll"); }

}  // namespace deskops
