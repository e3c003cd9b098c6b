// Start-up benchmark: how long zvs_app and zvs_cmd take from process
// creation to the first statement of a script and to their exit, against a
// GUI program that does nothing. Two scripts: one line, and a long generated
// scenario (zv_startup_scenario.ksc next to this program, written by
// `./dev bench startup`; its row is skipped when the file is missing), whose
// first statement comes only after the whole file has been loaded.
//
//   zv_startup_bench [runs]     (default 20; the programs are found next to it)
//
// The first statement sends a message to a hidden window of this program, so
// "first statement" is measured without any output channel.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

constexpr UINT kRan = WM_APP + 1;
constexpr wchar_t kProbeClass[] = L"zv_startup_probe";
double g_ran_at;  // when the script's statement reached the probe

double now_ms() {
    static LARGE_INTEGER frequency;
    if (!frequency.QuadPart) QueryPerformanceFrequency(&frequency);
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return double(t.QuadPart) * 1000.0 / double(frequency.QuadPart);
}

LRESULT CALLBACK probe_proc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == kRan) {
        g_ran_at = now_ms();
        return 0;
    }
    return DefWindowProcW(w, msg, wp, lp);
}

struct Sample {
    double first_statement = -1, exit = -1;
};

// Starts the command and pumps this thread's messages until the process
// ends, noting when the probe heard from it.
bool measure(std::wstring command, Sample* s) {
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    g_ran_at = -1;
    double start = now_ms();
    if (!CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &si,
                        &pi))
        return false;
    CloseHandle(pi.hThread);
    for (;;) {
        DWORD r = MsgWaitForMultipleObjects(1, &pi.hProcess, FALSE, 30000, QS_ALLINPUT);
        if (r == WAIT_OBJECT_0) break;
        if (r != WAIT_OBJECT_0 + 1) {
            TerminateProcess(pi.hProcess, 1);
            CloseHandle(pi.hProcess);
            return false;
        }
        // The script's message is a sent one: PeekMessage delivers it.
        MSG m;
        while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&m);
    }
    s->exit = now_ms() - start;
    if (g_ran_at >= 0) s->first_statement = g_ran_at - start;
    CloseHandle(pi.hProcess);
    return true;
}

double median(std::vector<double> v) {
    if (v.empty()) return -1;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// On a busy machine the best run is the steadier figure.
double best(const std::vector<double>& v) { return v.empty() ? -1 : *std::min_element(v.begin(), v.end()); }

void report(const char* name, const std::wstring& command, int runs) {
    std::vector<double> first, exit;
    Sample warm;
    measure(command, &warm);  // the first start fills the caches
    for (int i = 0; i < runs; ++i) {
        Sample s;
        if (!measure(command, &s)) {
            std::printf("%-28s failed to run\n", name);
            return;
        }
        if (s.first_statement >= 0) first.push_back(s.first_statement);
        exit.push_back(s.exit);
    }
    if (first.empty()) {
        std::printf("%-26s %10s %8.1f %10s %8.1f\n", name, "-", median(exit), "-", best(exit));
    } else {
        std::printf("%-26s %10.1f %8.1f %10.1f %8.1f\n", name, median(first), median(exit), best(first), best(exit));
    }
}

std::wstring directory_of_this_program() {
    wchar_t path[MAX_PATH];
    DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring p(path, n);
    return p.substr(0, p.find_last_of(L"\\/") + 1);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    int runs = argc > 1 ? std::max(1, _wtoi(argv[1])) : 20;
    WNDCLASSW wc = {};
    wc.lpfnWndProc = probe_proc;
    wc.lpszClassName = kProbeClass;
    RegisterClassW(&wc);
    if (!CreateWindowW(kProbeClass, L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr)) {
        std::printf("cannot create the probe window\n");
        return 1;
    }
    std::wstring dir = directory_of_this_program();
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    std::wstring app_script = std::wstring(temp) + L"zv_startup_app.ksc";
    std::wstring cmd_script = std::wstring(temp) + L"zv_startup_cmd.ksc";
    const char line[] = "send_message(find_window(\"zv_startup_probe\", \"\"), 32769, 0, 0)\n";
    std::ofstream(std::filesystem::path(app_script), std::ios::binary) << line;
    std::ofstream(std::filesystem::path(cmd_script), std::ios::binary) << "#import(\"DESKOPS\")\n" << line;

    // The scenario with the probe in front: its statement runs once the
    // whole file has been read and prepared.
    std::wstring app_scenario, cmd_scenario;
    std::ifstream scenario(std::filesystem::path(dir + L"zv_startup_scenario.ksc"), std::ios::binary);
    if (scenario) {
        std::string body((std::istreambuf_iterator<char>(scenario)), std::istreambuf_iterator<char>());
        app_scenario = std::wstring(temp) + L"zv_startup_app_scenario.ksc";
        cmd_scenario = std::wstring(temp) + L"zv_startup_cmd_scenario.ksc";
        std::ofstream(std::filesystem::path(app_scenario), std::ios::binary) << line << body;
        std::ofstream(std::filesystem::path(cmd_scenario), std::ios::binary) << "#import(\"DESKOPS\")\n" << line << body;
    }

    std::printf("%d runs, ms                 median: first stmt  exit   best: first stmt  exit\n", runs);
    report("empty GUI program", L"\"" + dir + L"zv_empty_program.exe\"", runs);
    report("zvs_app one-line script", L"\"" + dir + L"zvs_app.exe\" \"" + app_script + L"\"", runs);
    report("zvs_cmd one-line script", L"\"" + dir + L"zvs_cmd.exe\" \"" + cmd_script + L"\"", runs);
    if (!app_scenario.empty()) {
        report("zvs_app scenario script", L"\"" + dir + L"zvs_app.exe\" \"" + app_scenario + L"\"", runs);
        report("zvs_cmd scenario script", L"\"" + dir + L"zvs_cmd.exe\" \"" + cmd_scenario + L"\"", runs);
        DeleteFileW(app_scenario.c_str());
        DeleteFileW(cmd_scenario.c_str());
    }
    DeleteFileW(app_script.c_str());
    DeleteFileW(cmd_script.c_str());
    return 0;
}
