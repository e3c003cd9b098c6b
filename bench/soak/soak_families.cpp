// zv_soak families: one zvs_app process runs families.ksc, which calls
// every DESKOPS family against zv_target in a loop for the given time.
// This program answers the script's dialogs from a second thread, as a
// user would, and samples the process when the passes report.
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <thread>

#include "soak.h"
#include "target_driver.h"

namespace soak {

namespace {

struct DialogSearch {
    DWORD pid;
    std::vector<HWND> found;
};

BOOL CALLBACK find_dialog(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<DialogSearch*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    wchar_t cls[16] = L"";
    GetClassNameW(window, cls, 16);
    if (pid == search->pid && IsWindowVisible(window) && wcscmp(cls, L"#32770") == 0) search->found.push_back(window);
    return TRUE;
}

// Answers every dialog of the process: text into its edit field, if it has
// one, then OK. A closed dialog lingers for a while under Wine, so each is
// answered once.
void answer_dialogs(DWORD pid, const std::atomic<bool>* done, std::atomic<int>* answered,
                    std::atomic<int>* unexpected) {
    std::set<HWND> seen;
    while (!*done) {
        DialogSearch search = {pid, {}};
        EnumWindows(find_dialog, reinterpret_cast<LPARAM>(&search));
        for (HWND dialog : search.found) {
            if (!seen.insert(dialog).second) continue;
            // The script's own dialogs say "soak"; anything else is an
            // error message of the runner.
            wchar_t text[512] = L"";
            for (HWND s = nullptr; (s = FindWindowExW(dialog, s, L"Static", nullptr));) {
                wchar_t part[256] = L"";
                GetWindowTextW(s, part, 256);
                if (wcslen(text) + wcslen(part) + 2 < 512) wcscat(wcscat(text, part), L" ");
            }
            if (!wcsstr(text, L"soak")) {
                std::printf("  answered an unexpected dialog: %s\n", narrow(text).c_str());
                std::fflush(stdout);
                ++*unexpected;
            }
            if (HWND edit = FindWindowExW(dialog, nullptr, L"Edit", nullptr))
                SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"soak"));
            PostMessageW(dialog, WM_COMMAND, IDOK, 0);
            ++*answered;
        }
        // Handles of dialogs that are gone may come back for new ones.
        for (auto it = seen.begin(); it != seen.end();) it = IsWindow(*it) ? std::next(it) : seen.erase(it);
        Sleep(50);
    }
}

// The failed checks by name ("<time> <name>: got (expected want)" lines of
// put_log), each with its count and first line, so a run of hours stays
// readable.
void print_failures(const std::string& log) {
    std::map<std::string, std::pair<int, std::string>> by_name;
    std::istringstream lines(log);
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const size_t colon = line.find(": ", 20);
        if (line.size() < 20 || colon == std::string::npos) continue;
        auto& entry = by_name[line.substr(20, colon - 20)];
        if (!entry.first++) entry.second = line;
    }
    for (const auto& [name, entry] : by_name)
        std::printf("  %5d x %s, first: %s\n", entry.first, name.c_str(), entry.second.c_str());
}

}  // namespace

int run_families(int seconds, const std::wstring& families) {
    use_own_programs();
    if (!zv::test::have_desktop()) {
        std::fprintf(stderr, "zv_soak: no desktop to play on\n");
        return 1;
    }
    zv::test::Target target(kTargetLifetimeMs);
    if (!target.started()) {
        std::fprintf(stderr, "zv_soak: zv_target did not start\n");
        return 1;
    }
    wchar_t temp[MAX_PATH + 1];
    GetTempPathW(MAX_PATH + 1, temp);
    const std::wstring work = std::wstring(temp) + L"zv_soak_families-" + std::to_wstring(GetCurrentProcessId()) + L"\\";
    CreateDirectoryW(work.c_str(), nullptr);
    std::wstring url = L"-";
    if (const char* port = std::getenv("ZV_HTTP_PORT")) url = L"http://127.0.0.1:" + widen(port);
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);

    std::printf("zvs_app runs every DESKOPS family for %d s against %s%s\n", seconds, target.title().c_str(),
                url == L"-" ? " (no HTTP server: http_request left out)" : "");
    std::fflush(stdout);
    const DWORD t0 = GetTickCount();
    HANDLE app = nullptr;
    std::vector<Sample> samples;
    int passes = 0, failures = -1;
    bool middle_taken = false;
    RecorderWindow recorder([&](UINT message, WPARAM wparam, LPARAM lparam) {
        if (message == 1425) {
            passes = int(lparam);
            // The tenth pass has shown the first dialogs: everything the
            // loop uses is loaded.
            if (passes == 10) samples.push_back(sample(app, "start", t0));
            if (!middle_taken && GetTickCount() - t0 >= DWORD(seconds) * 500 && passes > 10) {
                samples.push_back(sample(app, "middle", t0));
                middle_taken = true;
            }
        } else if (message == 1135) {
            failures = int(wparam);
            samples.push_back(sample(app, "end", t0));
        }
    });
    const std::wstring command = L"\"" + own_folder() + L"zvs_app.exe\" \"" + own_folder() + L"families.ksc\" \"" +
                                 widen(target.title()) + L"\" \"" + work.substr(0, work.size() - 1) + L"\" " + std::to_wstring(seconds) +
                                 L" \"" + url + L"\" \"" + self + L"\"" +
                                 (families.empty() ? L"" : L" " + families);
    app = start(command);
    if (!app) {
        std::fprintf(stderr, "zv_soak: zvs_app did not start\n");
        return 1;
    }
    std::atomic<bool> done{false};
    std::atomic<int> answered{0}, unexpected{0};
    std::thread dialogs(answer_dialogs, GetProcessId(app), &done, &answered, &unexpected);
    int last_minute = 0;
    wait_for(app, DWORD(seconds + 300) * 1000, [&] {
        int minute = int((GetTickCount() - t0) / 60000);
        if (minute == last_minute) return;
        last_minute = minute;
        Sample s = sample(app, "", t0);
        std::printf("  %d min: pass %d, private %lld KB, %lld handles\n", minute, passes, (long long)s.private_kb,
                    (long long)s.handles);
        std::fflush(stdout);
    });
    done = true;
    dialogs.join();
    DWORD exit_code = STILL_ACTIVE;
    GetExitCodeProcess(app, &exit_code);
    if (exit_code == STILL_ACTIVE) TerminateProcess(app, 1);
    CloseHandle(app);

    std::ifstream log(std::filesystem::path(work + L"failures.log"));
    std::stringstream failed;
    failed << log.rdbuf();
    log.close();
    std::printf("\n%d passes in %.0f s, %d dialogs answered, zvs_app exit code %lu, %d failed checks\n", passes,
                (GetTickCount() - t0) / 1000.0, answered.load(), exit_code, failures);
    print_failures(failed.str());
    bool ok = report("zvs_app (every DESKOPS family)", samples) && exit_code == 0 && failures == 0 && !unexpected;
    // The work folder holds only the logs the passes appended to.
    for (const wchar_t* name : {L"failures.log", L"soak.log"}) DeleteFileW((work + name).c_str());
    RemoveDirectoryW(work.c_str());
    return ok ? 0 : 1;
}

}  // namespace soak
