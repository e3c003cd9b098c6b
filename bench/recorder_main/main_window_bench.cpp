// Benchmark of zarvo-bot's main window, under the same Windows (or Wine):
//
//   zv_main_window_bench [runs]      (default 10; zarvo-bot.exe is found next to it)
//
// - start-up: process creation to the main window shown with its list
//   painted, on a user folder with 1,000 scenarios in 50 groups of 20 (all
//   groups open, so the list has 1,050 rows), against an empty folder;
// - play: the play command (Enter) on a script to its first statement in
//   zvs_app (the statement sends a message to a window of this program);
// - repaint: the whole list invalidated and painted, at the top, the middle
//   and the end of the 1,050 rows; and a page down with its repaint.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr UINT kRan = WM_APP + 1;
double g_ran_at;

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

void pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
}

std::wstring program_folder() {
    wchar_t path[MAX_PATH];
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring p = path;
    return p.substr(0, p.find_last_of(L'\\') + 1);
}

void write(const fs::path& p, const std::string& text) {
    fs::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << text;
}

// A user folder: settings that skip the tutorial, and `groups` groups of
// `per_group` scenarios (timelines and scripts alternating) plus the probe
// script at the top.
fs::path make_user_folder(const wchar_t* name, int groups, int per_group) {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    fs::path dir = fs::path(temp) / name;
    std::error_code ignored;
    fs::remove_all(dir, ignored);
    write(dir / "zarvo-bot.ini", "[WINDOW]\r\nhide_tutorial=1\r\ntrayicon=0\r\nmain_bottom=700\r\n[LOG]\r\nenable_log=0\r\n");
    write(dir / "data" / "probe.ksc", "send_message(find_window(\"zv_recorder_probe\", \"\"), 32769, 0, 0)\r\n");
    for (int g = 0; g < groups; ++g)
        for (int i = 0; i < per_group; ++i) {
            char file[64];
            std::snprintf(file, sizeof file, "group %02d/scenario %02d-%02d.%s", g, g, i, i % 2 ? "ksc" : "zv");
            write(dir / "data" / file, i % 2 ? "exit\r\n" : "");
        }
    return dir;
}

struct Instance {
    PROCESS_INFORMATION pi = {};
    HWND main = nullptr, list = nullptr;
};

HWND window_of(DWORD pid, const wchar_t* cls) {
    for (HWND w = FindWindowExW(nullptr, nullptr, cls, nullptr); w; w = FindWindowExW(nullptr, w, cls, nullptr)) {
        DWORD owner = 0;
        GetWindowThreadProcessId(w, &owner);
        if (owner == pid) return w;
    }
    return nullptr;
}

// Starts zarvo-bot on the folder; the time until its window is shown and
// the list has painted (an UpdateWindow from here returns once the list's
// pending paint is done).
double start(const fs::path& folder, Instance* in) {
    SetEnvironmentVariableW(L"ZARVO_BOT_USER_DIR", folder.wstring().c_str());
    std::wstring command = L"\"" + program_folder() + L"zarvo-bot.exe\"";
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    double t0 = now_ms();
    if (!CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &in->pi)) return -1;
    CloseHandle(in->pi.hThread);
    for (;;) {
        in->main = window_of(in->pi.dwProcessId, L"zarvo-bot_main");
        if (in->main && IsWindowVisible(in->main)) {
            in->list = FindWindowExW(in->main, nullptr, L"zarvo-bot_event_list", nullptr);
            if (in->list) break;
        }
        if (WaitForSingleObject(in->pi.hProcess, 0) == WAIT_OBJECT_0 || now_ms() - t0 > 60000) return -1;
        Sleep(1);
    }
    UpdateWindow(in->list);
    return now_ms() - t0;
}

void stop(Instance* in) {
    PostMessageW(in->main, WM_COMMAND, 40008, 0);  // exit
    if (WaitForSingleObject(in->pi.hProcess, 10000) != WAIT_OBJECT_0) TerminateProcess(in->pi.hProcess, 1);
    CloseHandle(in->pi.hProcess);
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? -1 : v[v.size() / 2];
}

void report(const char* what, const std::vector<double>& v) {
    std::printf("%-52s median %8.2f ms   min %8.2f   max %8.2f   (%zu runs)\n", what, median(v),
                v.empty() ? -1 : *std::min_element(v.begin(), v.end()),
                v.empty() ? -1 : *std::max_element(v.begin(), v.end()), v.size());
}

// The play command (what Enter is translated to) on the probe script (the
// last row: the groups come first) until its statement reaches the probe.
double play_probe(const Instance& in) {
    SendMessageW(in.list, 1329, 0, SendMessageW(in.list, 1327, 0, 0) - 1);
    g_ran_at = 0;
    double t0 = now_ms();
    PostMessageW(in.main, WM_COMMAND, 40010, 0);
    while (!g_ran_at && now_ms() - t0 < 20000) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
        pump();
    }
    double took = g_ran_at ? g_ran_at - t0 : -1;
    // Let the play end before the next one.
    wchar_t title[64];
    for (int i = 0; i < 5000; ++i) {
        GetWindowTextW(in.main, title, 64);
        if (wcsstr(title, L"Ver")) break;
        Sleep(1);
    }
    return took;
}

double repaint(const Instance& in) {
    double t0 = now_ms();
    RedrawWindow(in.list, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    return now_ms() - t0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    int runs = argc > 1 ? _wtoi(argv[1]) : 10;
    if (runs < 1) runs = 1;
    WNDCLASSW wc = {};
    wc.lpfnWndProc = probe_proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"zv_recorder_probe";
    RegisterClassW(&wc);
    CreateWindowExW(0, L"zv_recorder_probe", L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, wc.hInstance, nullptr);

    fs::path empty = make_user_folder(L"zv_recorder_bench_empty", 0, 0);
    fs::path large = make_user_folder(L"zv_recorder_bench_large", 50, 20);
    std::vector<double> start_empty, start_large, plays, top, middle, end, page;
    for (int i = 0; i < runs; ++i) {
        Instance in;
        start_empty.push_back(start(empty, &in));
        stop(&in);
    }
    for (int i = 0; i < runs; ++i) {
        Instance in;
        start_large.push_back(start(large, &in));
        if (i + 1 < runs) stop(&in);
        else {
            int rows = int(SendMessageW(in.list, 1327, 0, 0));
            for (int j = 0; j < runs; ++j) plays.push_back(play_probe(in));
            for (int j = 0; j < runs * 5; ++j) top.push_back(repaint(in));
            SendMessageW(in.list, 1329, 0, rows / 2);
            for (int j = 0; j < runs * 5; ++j) middle.push_back(repaint(in));
            SendMessageW(in.list, 1329, 0, rows - 1);
            for (int j = 0; j < runs * 5; ++j) end.push_back(repaint(in));
            SendMessageW(in.list, WM_VSCROLL, SB_TOP, 0);
            for (int j = 0; j < runs * 5; ++j) {
                double t0 = now_ms();
                SendMessageW(in.list, WM_VSCROLL, SB_PAGEDOWN, 0);
                UpdateWindow(in.list);
                page.push_back(now_ms() - t0);
            }
            std::printf("list rows: %d\n", rows);
            stop(&in);
        }
    }
    report("start-up, empty user folder", start_empty);
    report("start-up, 1,000 scenarios in 50 groups", start_large);
    report("play command to the runner's first statement", plays);
    report("full repaint of the list, top of 1,050 rows", top);
    report("full repaint of the list, middle", middle);
    report("full repaint of the list, end", end);
    report("page down with its repaint", page);
    std::error_code ignored;
    fs::remove_all(empty, ignored);
    fs::remove_all(large, ignored);
    return 0;
}
