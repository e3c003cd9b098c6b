// http_request: one synchronous HTTP or HTTPS request over WinHTTP; the
// result holds the status code, the raw response header block and the body
// bytes. Windows only: WinHTTP's behaviour and error texts are what scripts
// see.
//
// The body buffer comes from the process heap and is checked, never from a
// container that throws: a response too large for a 32-bit process must end
// in the system's out-of-memory text, not in a crash.
#include <cstring>
#include <string>

#include "frame.h"
#include "http_api.h"
#include "http_error.h"
#include "platform.h"
#include "utf.h"

using namespace deskops;

namespace {

const wchar_t* wide(const char16_t* s) { return reinterpret_cast<const wchar_t*>(s); }

// The client's functions, bound by the first request.
const WinHttpApi* http;

constexpr char16_t kDefaultUserAgent[] =
    u"Mozilla/5.0 (Windows NT 10.0; Win64; x64) AppleWebKit/537.36 (KHTML, like Gecko) "
    u"Chrome/79.0.3945.130 Safari/537.36";

// Certificate errors ignored with verify_ssl_cert 0: unknown authority,
// wrong usage, invalid common name, invalid date.
constexpr DWORD kIgnoreCertErrors = 0x3300;

constexpr DWORD kHostUnits = 256;  // 255 and a terminator
constexpr DWORD kPathUnits = 2048;

// ---- options ------------------------------------------------------------------

struct Options {
    const char16_t* user_agent = kDefaultUserAgent;
    int32_t resolve_timeout = 0;
    int32_t connect_timeout = 60000;
    int32_t send_timeout = 30000;
    int32_t receive_timeout = 30000;
    bool verify_ssl_cert = true;
    const char16_t* client_cert_subject = nullptr;  // null: no client certificate
    const char16_t* client_cert_store = u"MY";
};

char16_t ascii_lower(char16_t c) { return c >= u'A' && c <= u'Z' ? char16_t(c + 32) : c; }

bool same_key(const char16_t* name, const char* key) {
    for (; *name && *key; ++name, ++key)
        if (ascii_lower(*name) != char16_t(*key)) return false;
    return *name == 0 && *key == 0;
}

// The value of the first element with the key when it has the kind; an
// option of another kind counts as absent.
const Value* option(const Node* head, const char* key, int32_t kind) {
    for (const Node* e = head; e; e = e->next)
        if (e->name && same_key(e->name, key)) return e->value->kind == kind ? e->value : nullptr;
    return nullptr;
}

const char16_t* text_or_empty(const Value* v) { return v->data.s ? v->data.s : u""; }

void read_int_option(const Node* head, const char* key, int32_t* out) {
    if (const Value* v = option(head, key, ksc::kInt)) *out = v->data.i;
}

void read_string_option(const Node* head, const char* key, const char16_t** out) {
    if (const Value* v = option(head, key, ksc::kString)) *out = text_or_empty(v);
}

Options read_options(const Value* v) {
    Options o;
    if (!v || v->kind != ksc::kArray) return o;
    const Node* head = v->data.a;
    read_string_option(head, "user_agent", &o.user_agent);
    read_int_option(head, "resolve_timeout", &o.resolve_timeout);
    read_int_option(head, "connect_timeout", &o.connect_timeout);
    read_int_option(head, "send_timeout", &o.send_timeout);
    read_int_option(head, "receive_timeout", &o.receive_timeout);
    if (const Value* verify = option(head, "verify_ssl_cert", ksc::kInt)) o.verify_ssl_cert = verify->data.i != 0;
    read_string_option(head, "client_cert_subject", &o.client_cert_subject);
    read_string_option(head, "client_cert_store", &o.client_cert_store);
    return o;
}

// ---- request parts ------------------------------------------------------------------

// A string is used as given; an array gives one "key: value" line per
// element (lower-cased key; the value only when it is a string).
std::u16string header_text(const Value* v) {
    std::u16string text;
    if (!v) return text;
    if (v->kind == ksc::kString) return text_or_empty(v);
    if (v->kind != ksc::kArray) return text;
    for (const Node* e = v->data.a; e; e = e->next) {
        if (e->name)
            for (const char16_t* c = e->name; *c; ++c) text += ascii_lower(*c);
        text += u": ";
        if (e->value->kind == ksc::kString) text += text_or_empty(e->value);
        text += u"\r\n";
    }
    return text;
}

// A string travels as UTF-8, a byte array as the low bytes of its integers.
std::string body_bytes(const Value* v) {
    if (!v) return std::string();
    if (v->kind == ksc::kString) return zv::utf16_to_utf8(text_or_empty(v));
    if (v->kind == ksc::kArray) return array_bytes(v->data.a, false);
    return std::string();
}

// ---- WinHTTP ------------------------------------------------------------------------

// Every handle opened so far is closed however the request ends.
struct Handles {
    HINTERNET session = nullptr;
    HINTERNET connection = nullptr;
    HINTERNET request = nullptr;
    ~Handles() {
        if (request) http->WinHttpCloseHandle(request);
        if (connection) http->WinHttpCloseHandle(connection);
        if (session) http->WinHttpCloseHandle(session);
    }
};

// The response body, grown on the process heap.
struct Body {
    unsigned char* data = nullptr;
    size_t size = 0;
    size_t capacity = 0;
    ~Body() {
        if (data) HeapFree(GetProcessHeap(), 0, data);
    }
    // Room for `more` bytes after size; false when memory runs out.
    bool reserve(size_t more) {
        if (more <= capacity - size) return true;
        if (more > SIZE_MAX / 2 - size) return false;
        size_t want = capacity ? capacity : 64 * 1024;
        while (want < size + more) want *= 2;
        void* grown = data ? HeapReAlloc(GetProcessHeap(), 0, data, want) : HeapAlloc(GetProcessHeap(), 0, want);
        if (!grown) return false;
        data = static_cast<unsigned char*>(grown);
        capacity = want;
        return true;
    }
};

// Host, port, object name (path and query, as in the URL) and scheme.
struct Target {
    wchar_t host[kHostUnits];
    INTERNET_PORT port;
    bool secure;
    std::wstring object;
};

// The query comes back as extra information and is joined to the path
// again, so it reaches the server as written whichever way the splitter
// places it; an empty path is "/".
bool crack_url(const char16_t* url, Target* target) {
    wchar_t path[kPathUnits];
    wchar_t extra[kPathUnits];
    URL_COMPONENTS parts;
    memset(&parts, 0, sizeof parts);
    parts.dwStructSize = sizeof parts;
    parts.lpszHostName = target->host;
    parts.dwHostNameLength = kHostUnits;
    parts.lpszUrlPath = path;
    parts.dwUrlPathLength = kPathUnits;
    parts.lpszExtraInfo = extra;
    parts.dwExtraInfoLength = kPathUnits;
    if (!http->WinHttpCrackUrl(wide(url), 0, 0, &parts)) return false;
    target->port = parts.nPort;
    target->secure = parts.nScheme == INTERNET_SCHEME_HTTPS;
    target->object.assign(path, parts.dwUrlPathLength);
    if (target->object.empty()) target->object = L"/";
    target->object.append(extra, parts.dwExtraInfoLength);
    return true;
}

// Sets the first certificate of the system store whose subject contains the
// text as the client certificate; none found is no error.
void use_client_certificate(HINTERNET request, const Options& o) {
    const CertStoreApi* certs = cert_store_api();
    if (!certs) return;
    HCERTSTORE store = certs->CertOpenSystemStoreW(0, wide(o.client_cert_store));
    if (!store) return;
    PCCERT_CONTEXT cert = certs->CertFindCertificateInStore(store, X509_ASN_ENCODING | PKCS_7_ASN_ENCODING, 0,
                                                     CERT_FIND_SUBJECT_STR_W, o.client_cert_subject, nullptr);
    if (cert) {
        http->WinHttpSetOption(request, WINHTTP_OPTION_CLIENT_CERT_CONTEXT, const_cast<CERT_CONTEXT*>(cert),
                         sizeof(CERT_CONTEXT));
        certs->CertFreeCertificateContext(cert);
    }
    certs->CertCloseStore(store, 0);
}

int32_t open_request(const char16_t* method, const char16_t* url, const Options& o, Handles* h,
                     char16_t* errbuf) {
    h->session = http->WinHttpOpen(wide(o.user_agent), WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME,
                             WINHTTP_NO_PROXY_BYPASS, 0);
    if (!h->session) return fail_winhttp(errbuf);
    if (!http->WinHttpSetTimeouts(h->session, o.resolve_timeout, o.connect_timeout, o.send_timeout, o.receive_timeout))
        return fail_winhttp(errbuf);
    Target target;
    if (!crack_url(url, &target)) return fail_winhttp(errbuf);
    h->connection = http->WinHttpConnect(h->session, target.host, target.port, 0);
    if (!h->connection) return fail_winhttp(errbuf);
    h->request = http->WinHttpOpenRequest(h->connection, wide(method), target.object.c_str(), nullptr,
                                    WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
                                    target.secure ? WINHTTP_FLAG_SECURE : 0);
    if (!h->request) return fail_winhttp(errbuf);
    // The receive time-out also bounds the wait for the response's first
    // bytes, as the system client does; some WinHTTP versions wait for those
    // only under this separate option, which is unlimited by default.
    DWORD response_timeout = DWORD(o.receive_timeout);
    http->WinHttpSetOption(h->request, WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &response_timeout,
                     sizeof response_timeout);
    if (target.secure && !o.verify_ssl_cert) {
        DWORD flags = kIgnoreCertErrors;
        http->WinHttpSetOption(h->request, WINHTTP_OPTION_SECURITY_FLAGS, &flags, sizeof flags);
    }
    if (o.client_cert_subject) use_client_certificate(h->request, o);
    return kDone;
}

int32_t send_request(HINTERNET request, const std::u16string& headers, const std::string& body,
                     char16_t* errbuf) {
    const wchar_t* header_arg = headers.empty() ? WINHTTP_NO_ADDITIONAL_HEADERS : wide(headers.c_str());
    DWORD header_units = headers.empty() ? 0 : DWORD(-1);  // -1: a terminated string
    void* data = body.empty() ? WINHTTP_NO_REQUEST_DATA : const_cast<char*>(body.data());
    DWORD size = DWORD(body.size());
    if (!http->WinHttpSendRequest(request, header_arg, header_units, data, size, size, 0)) return fail_winhttp(errbuf);
    if (!http->WinHttpReceiveResponse(request, nullptr)) return fail_winhttp(errbuf);
    return kDone;
}

// Appends `status` and `header`.
int32_t put_status_and_headers(HINTERNET request, ListBuilder* list, char16_t* errbuf) {
    DWORD status = 0, size = sizeof status;
    if (!http->WinHttpQueryHeaders(request, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                             WINHTTP_HEADER_NAME_BY_INDEX, &status, &size, WINHTTP_NO_HEADER_INDEX))
        return fail_winhttp(errbuf);
    Node* e = list_add(list);
    if (!e || !element_set_key(e, u"status", 6)) return fail_no_memory(errbuf);
    e->value->data.i = int32_t(status);

    DWORD bytes = 0;
    if (!http->WinHttpQueryHeaders(request, WINHTTP_QUERY_RAW_HEADERS_CRLF, WINHTTP_HEADER_NAME_BY_INDEX,
                             WINHTTP_NO_OUTPUT_BUFFER, &bytes, WINHTTP_NO_HEADER_INDEX) &&
        GetLastError() != ERROR_INSUFFICIENT_BUFFER)
        return fail_winhttp(errbuf);
    char16_t* text = static_cast<char16_t*>(zv::heap_alloc(size_t(bytes) + sizeof(char16_t)));
    if (!text) return fail_no_memory(errbuf);
    if (!http->WinHttpQueryHeaders(request, WINHTTP_QUERY_RAW_HEADERS_CRLF, WINHTTP_HEADER_NAME_BY_INDEX, text, &bytes,
                             WINHTTP_NO_HEADER_INDEX)) {
        DWORD error = GetLastError();
        zv::heap_free(text);
        return fail_winhttp(errbuf, error);
    }
    e = list_add(list);
    if (!e || !element_set_key(e, u"header", 6)) {
        zv::heap_free(text);
        return fail_no_memory(errbuf);
    }
    value_take_string(e->value, text);
    return kDone;
}

int32_t read_body(HINTERNET request, Body* body, char16_t* errbuf) {
    for (;;) {
        DWORD available = 0;
        if (!http->WinHttpQueryDataAvailable(request, &available)) return fail_winhttp(errbuf);
        if (available == 0) return kDone;
        if (!body->reserve(available)) return fail_no_memory(errbuf);
        DWORD got = 0;
        if (!http->WinHttpReadData(request, body->data + body->size, available, &got)) return fail_winhttp(errbuf);
        if (got == 0) return kDone;
        body->size += got;
    }
}

}  // namespace

DESKOPS_FUNCTION(http_request) {
    if (!has_args(args, 2)) return kMissing;
    const char16_t *method, *url;
    if (!read_string(arg(args, 0), &method, errbuf) || !read_string(arg(args, 1), &url, errbuf)) return kFailed;
    std::u16string headers = header_text(arg(args, 2));
    std::string body_out = body_bytes(arg(args, 3));
    Options options = read_options(arg(args, 4));
    http = winhttp_api();
    if (!http) return fail_system(errbuf);

    ListBuilder list;
    list_start(result->value, &list);
    Body body;
    {
        Handles h;
        if (int32_t rc = open_request(method, url, options, &h, errbuf)) return rc;
        if (int32_t rc = send_request(h.request, headers, body_out, errbuf)) return rc;
        if (int32_t rc = put_status_and_headers(h.request, &list, errbuf)) return rc;
        if (int32_t rc = read_body(h.request, &body, errbuf)) return rc;
    }
    if (body.size == 0) return kDone;
    Node* e = list_add(&list);
    if (!e || !element_set_key(e, u"body", 4)) return fail_no_memory(errbuf);
    return put_bytes(e, body.data, body.size, errbuf);
}
