// The WinHTTP client and the certificate-store functions, bound when a
// script first calls http_request: most scripts never do, and loading the
// HTTP and crypto libraries at start-up would cost every run of zvs_app and
// every import of DESKOPS.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#include <wincrypt.h>
#include <winhttp.h>

namespace deskops {

#define ZV_WINHTTP_FUNCTIONS(X)                                                                        \
    X(WinHttpOpen) X(WinHttpSetTimeouts) X(WinHttpCrackUrl) X(WinHttpConnect) X(WinHttpOpenRequest)     \
    X(WinHttpSetOption) X(WinHttpSendRequest) X(WinHttpReceiveResponse) X(WinHttpQueryHeaders)          \
    X(WinHttpQueryDataAvailable) X(WinHttpReadData) X(WinHttpCloseHandle)

#define ZV_CERT_STORE_FUNCTIONS(X) \
    X(CertOpenSystemStoreW) X(CertFindCertificateInStore) X(CertFreeCertificateContext) X(CertCloseStore)

#define ZV_API_POINTER(name) decltype(&::name) name;

struct WinHttpApi {
    ZV_WINHTTP_FUNCTIONS(ZV_API_POINTER)
};
struct CertStoreApi {
    ZV_CERT_STORE_FUNCTIONS(ZV_API_POINTER)
};

#undef ZV_API_POINTER

// The bound functions, or null (with the system's last error) when the
// library or one of its functions cannot be loaded.
const WinHttpApi* winhttp_api();
const CertStoreApi* cert_store_api();

}  // namespace deskops
