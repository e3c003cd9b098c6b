// The desktop and its programs: the screen size, starting a program or
// document, whether a process still runs, and the executable behind a
// window.
// After windows.h, which these need.
#include "frame_win32.h"

#include <psapi.h>
#include <shellapi.h>

#include "utf.h"

using namespace deskops;

namespace {

const wchar_t* string_or_null(const Value* v) {
    if (!v || v->kind != ksc::kString) return nullptr;
    return reinterpret_cast<const wchar_t*>(v->data.s ? v->data.s : u"");
}

}  // namespace

DESKOPS_FUNCTION(get_desktop_size) {
    ListBuilder list;
    list_start(result->value, &list);
    const struct {
        const char16_t* key;
        int metric;
    } sides[] = {{u"width", SM_CXSCREEN}, {u"height", SM_CYSCREEN}};
    for (const auto& side : sides) {
        Node* e = list_add(&list);
        if (!e || !element_set_key(e, side.key, zv::u16len(side.key))) return fail_no_memory(errbuf);
        e->value->data.i = to_logical(GetSystemMetrics(side.metric));
    }
    return kDone;
}

DESKOPS_FUNCTION(shell) {
    if (!has_args(args, 1)) return kMissing;
    SHELLEXECUTEINFOW info = {};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
    info.lpFile = string_or_null(arg(args, 0));
    info.lpParameters = string_or_null(arg(args, 1));
    info.nShow = SW_SHOWNORMAL;
    int32_t id = 0;
    if (info.lpFile && ShellExecuteExW(&info) && info.hProcess) {
        id = int32_t(GetProcessId(info.hProcess));
        CloseHandle(info.hProcess);
    }
    put_int(result, id);
    return kDone;
}

DESKOPS_FUNCTION(check_process) {
    if (!has_args(args, 1)) return kMissing;
    int32_t id;
    if (!read_number(arg(args, 0), &id, errbuf)) return kFailed;
    HANDLE process = OpenProcess(PROCESS_ALL_ACCESS, FALSE, DWORD(id));
    if (!process) {
        put_int(result, -1);
        return kDone;
    }
    put_int(result, WaitForSingleObject(process, 0) == WAIT_OBJECT_0 ? 0 : 1);
    CloseHandle(process);
    return kDone;
}

DESKOPS_FUNCTION(file_from_window) {
    if (!has_args(args, 1)) return kMissing;
    HWND window;
    if (!read_window(arg(args, 0), &window, errbuf)) return kFailed;
    DWORD id = 0;
    if (!GetWindowThreadProcessId(window, &id)) return fail_system(errbuf);
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, id);
    if (!process) return fail_system(errbuf);
    wchar_t path[MAX_PATH];
    DWORD n = GetModuleFileNameExW(process, nullptr, path, MAX_PATH);
    DWORD error = GetLastError();
    CloseHandle(process);
    if (!n) return fail_system(errbuf, error);
    return put_string(result, reinterpret_cast<const char16_t*>(path), n, errbuf);
}
