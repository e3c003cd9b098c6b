#include "soak.h"

#include <psapi.h>

#include <cstdio>

namespace soak {

namespace {

// The handles the system holds for a process, from the table of all
// handles (Wine answers GetProcessHandleCount with 0, but keeps this
// table); -1 when the system does not answer.
int64_t handles_from_system_table(DWORD pid) {
    struct Entry {
        ULONG owner_pid;
        BYTE object_type;
        BYTE flags;
        USHORT value;
        PVOID object;
        ULONG access;
    };
    using Query = LONG(WINAPI*)(ULONG, PVOID, ULONG, PULONG);
    static const Query query =
        reinterpret_cast<Query>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQuerySystemInformation")));
    if (!query) return -1;
    std::vector<char> buffer(1 << 16);
    for (;;) {
        ULONG needed = 0;
        LONG status = query(16 /* SystemHandleInformation */, buffer.data(), ULONG(buffer.size()), &needed);
        if (status == LONG(0xC0000004) /* STATUS_INFO_LENGTH_MISMATCH */ && buffer.size() < (size_t(1) << 28)) {
            buffer.resize(buffer.size() * 2);
            continue;
        }
        if (status != 0) return -1;
        break;
    }
    const ULONG n = *reinterpret_cast<const ULONG*>(buffer.data());
    const Entry* entries = reinterpret_cast<const Entry*>(buffer.data() + sizeof(ULONG_PTR));
    int64_t mine = 0;
    for (ULONG i = 0; i < n && (reinterpret_cast<const char*>(entries + i + 1) <= buffer.data() + buffer.size()); ++i)
        if ((entries[i].owner_pid & 0xFFFF) == (pid & 0xFFFF)) ++mine;
    return mine;
}

Sample reading(HANDLE process, const std::string& label, DWORD start_tick) {
    Sample s = {label, (GetTickCount() - start_tick) / 1000.0, -1, -1, -1, -1, -1};
    // PagefileUsage is the commit charge of the process's private memory
    // (Wine leaves the extended PrivateUsage field empty).
    PROCESS_MEMORY_COUNTERS pmc = {};
    pmc.cb = sizeof pmc;
    if (GetProcessMemoryInfo(process, &pmc, sizeof pmc)) {
        s.private_kb = int64_t(pmc.PagefileUsage / 1024);
        s.working_kb = int64_t(pmc.WorkingSetSize / 1024);
    }
    DWORD handles = 0;
    if (GetProcessHandleCount(process, &handles) && handles) {
        s.handles = handles;
    } else {
        s.handles = handles_from_system_table(GetProcessId(process));
    }
    // Zero from a live GUI process means the system keeps no count.
    DWORD gdi = GetGuiResources(process, GR_GDIOBJECTS), user = GetGuiResources(process, GR_USEROBJECTS);
    if (gdi || user) {
        s.gdi_objects = gdi;
        s.user_objects = user;
    }
    return s;
}

}  // namespace

Sample sample(HANDLE process, const std::string& label, DWORD start_tick) {
    Sample s = reading(process, label, start_tick);
    for (int i = 0; i < 4; ++i) {
        Sleep(100);
        const Sample r = reading(process, label, start_tick);
        for (auto field : {&Sample::private_kb, &Sample::working_kb, &Sample::handles, &Sample::gdi_objects,
                           &Sample::user_objects})
            if (r.*field < s.*field) s.*field = r.*field;
    }
    return s;
}

namespace {

std::string count(int64_t v) { return v < 0 ? "n/a" : std::to_string(v); }

}  // namespace

bool report(const char* what, const std::vector<Sample>& samples) {
    std::printf("\n%s\n", what);
    std::printf("  %-8s %9s %12s %12s %8s %8s %8s\n", "sample", "time s", "private KB", "working KB", "handles",
                "GDI", "USER");
    for (const Sample& s : samples)
        std::printf("  %-8s %9.1f %12s %12s %8s %8s %8s\n", s.label.c_str(), s.seconds, count(s.private_kb).c_str(),
                    count(s.working_kb).c_str(), count(s.handles).c_str(), count(s.gdi_objects).c_str(),
                    count(s.user_objects).c_str());
    if (samples.size() < 2) {
        std::printf("  too few samples to compare\n");
        return false;
    }
    // Memory is judged over the second half, after the process has warmed
    // up (the engine's lists of freed nodes and values for reuse hold a
    // few megabytes when full; families.ksc fills them first). Counts of
    // handles and objects have no such pool: all of the run.
    const Sample &a = samples.front(), &m = samples[samples.size() - 2], &b = samples.back();
    bool grew = false;
    int64_t slack = m.private_kb / 50 > 256 ? m.private_kb / 50 : 256;
    if (m.private_kb >= 0 && b.private_kb > m.private_kb + slack) {
        std::printf("  private memory GREW by %lld KB from %s to %s\n", (long long)(b.private_kb - m.private_kb),
                    m.label.c_str(), b.label.c_str());
        grew = true;
    }
    const struct {
        const char* name;
        int64_t from, to;
    } counts[] = {{"handles", a.handles, b.handles},
                  {"GDI objects", a.gdi_objects, b.gdi_objects},
                  {"USER objects", a.user_objects, b.user_objects}};
    for (const auto& c : counts)
        if (c.from >= 0 && c.to > c.from) {
            std::printf("  %s GREW by %lld\n", c.name, (long long)(c.to - c.from));
            grew = true;
        }
    if (!grew)
        std::printf("  steady: memory from %s to %s, handles and objects from %s to %s\n", m.label.c_str(),
                    b.label.c_str(), a.label.c_str(), b.label.c_str());
    return !grew;
}

RecorderWindow::RecorderWindow(Handler handler) : handler_(std::move(handler)) {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"zarvo-bot_main";
    RegisterClassW(&wc);
    window_ = CreateWindowExW(0, wc.lpszClassName, L"zv_soak", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                              wc.hInstance, nullptr);
    SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

RecorderWindow::~RecorderWindow() {
    if (window_) DestroyWindow(window_);
}

LRESULT CALLBACK RecorderWindow::proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == 1134 || message == 1135 || message == 1425) {
        auto* self = reinterpret_cast<RecorderWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        if (self) self->handler_(message, wparam, lparam);
        return 0;
    }
    return DefWindowProcW(window, message, wparam, lparam);
}

HANDLE start(const std::wstring& command_line) {
    std::wstring cmd = command_line;
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessW(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return nullptr;
    CloseHandle(pi.hThread);
    return pi.hProcess;
}

bool wait_for(HANDLE process, DWORD ms, const std::function<void()>& tick) {
    const DWORD begin = GetTickCount();
    DWORD last_tick = begin;
    for (;;) {
        DWORD now = GetTickCount();
        if (ms != INFINITE && now - begin >= ms) return false;
        DWORD left = ms == INFINITE ? 1000 : ms - (now - begin);
        DWORD rc = MsgWaitForMultipleObjects(1, &process, FALSE, left < 1000 ? left : 1000, QS_ALLINPUT);
        if (rc == WAIT_OBJECT_0) return true;
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (tick && GetTickCount() - last_tick >= 1000) {
            last_tick = GetTickCount();
            tick();
        }
    }
}

std::wstring own_folder() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        DWORD n = GetModuleFileNameW(nullptr, &path[0], DWORD(path.size()));
        if (n < path.size()) {
            path.resize(n);
            break;
        }
        path.resize(path.size() * 2);
    }
    return path.substr(0, path.find_last_of(L'\\') + 1);
}

void use_own_programs() {
    std::wstring folder = own_folder();
    folder.pop_back();
    _wputenv((L"ZV_BIN_DIR=" + folder).c_str());
}

std::wstring widen(const std::string& utf8) {
    int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), nullptr, 0);
    std::wstring w(size_t(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), &w[0], n);
    return w;
}

std::string narrow(const std::wstring& wide) {
    int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), int(wide.size()), nullptr, 0, nullptr, nullptr);
    std::string s(size_t(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), int(wide.size()), &s[0], n, nullptr, nullptr);
    return s;
}

}  // namespace soak
