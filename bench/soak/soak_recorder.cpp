// zv_soak recorder: one zarvo-bot process plays a timeline many times in a
// row, each play handed to it as a command line (as `zvb_cmd play` does)
// and awaited through its reply. Afterwards the scenario's counters and the
// play log must account for every play: one line of each kind per play, no
// line lost, nothing else.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "hand_over.h"
#include "operation_codes.h"
#include "operation_file.h"
#include "script_cases.h"
#include "soak.h"
#include "target_driver.h"
#include "timeline.h"

namespace soak {

namespace {

namespace fs = std::filesystem;

constexpr int kOperations = 20;

void write_file(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

// A timeline that needs no window: waits and clipboard texts, so each play
// goes through generation, zvs_app and every notification quickly.
bool write_timeline(const fs::path& path) {
    zvb::OperationRecord* head = zvb::timeline_new();
    for (int i = 0; i < kOperations; ++i) {
        zvb::test::Op op = i % 2 ? zvb::test::Op(zvb::kCodeSetText).text("soak " + std::to_string(i))
                                 : zvb::test::Op(zvb::kCodeWait).wait(0);
        zvb::OperationRecord* r = zvb::record_new();
        memcpy(zvb::record_bytes(r), zvb::record_bytes(&op.r), zvb::kRecordBytes);
        zvb::timeline_append(head, r);
    }
    uint32_t error = 0;
    const std::u16string p = path.u16string();
    bool ok = zvb::timeline_write(p.c_str(), head, &error);
    zvb::timeline_free(head);
    return ok;
}

// Hands "<name>" to the instance and waits for the play's result: 0 ended
// normally, 1 failed or stopped, -1 refused, -2 no answer (zarvo-bot gone
// or the play never ended).
int play_once(HWND instance, HANDLE process, HWND reply, const std::wstring& name, int* step) {
    const std::wstring line = L"\"" + name + L"\"";
    std::string bytes(4 + (line.size() + 1) * 2, '\0');
    const uint32_t handle = uint32_t(reinterpret_cast<uintptr_t>(reply));
    memcpy(&bytes[0], &handle, 4);
    memcpy(&bytes[4], line.c_str(), (line.size() + 1) * 2);
    if (!zvb::send_copy_data(instance, zvb::kCopyPlayAndReply, bytes.data(), bytes.size())) return -1;
    const DWORD begin = GetTickCount();
    MSG msg;
    for (;;) {
        if (PeekMessageW(&msg, reply, zvb::kPlayResult, zvb::kPlayResult, PM_REMOVE)) {
            *step = int(msg.lParam);
            return int(msg.wParam);
        }
        if (WaitForSingleObject(process, 0) == WAIT_OBJECT_0 || GetTickCount() - begin > 120000) return -2;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 200, QS_ALLPOSTMESSAGE);
    }
}

std::string read_all(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

}  // namespace

int run_recorder(int plays) {
    use_own_programs();
    if (!zv::test::have_desktop()) {
        std::fprintf(stderr, "zv_soak: no desktop to play on\n");
        return 1;
    }
    wchar_t temp[MAX_PATH + 1];
    GetTempPathW(MAX_PATH + 1, temp);
    const fs::path user = fs::path(temp) / (L"zv_soak_recorder-" + std::to_wstring(GetCurrentProcessId()));
    std::error_code ignored;
    fs::remove_all(user, ignored);
    write_file(user / "zarvo-bot.ini", "[WINDOW]\r\nhide_tutorial=1\r\ntrayicon=0\r\n[LOG]\r\nenable_log=1\r\n");
    write_file(user / "data" / "soak.zv.ini",
               "[OPTION]\r\nplay_start_confirm=0\r\nplay_end_confirm=0\r\nloop_count=1\r\n");
    if (!write_timeline(user / "data" / "soak.zv")) {
        std::fprintf(stderr, "zv_soak: cannot write the scenario in %s\n", narrow(user.wstring()).c_str());
        return 1;
    }
    SetEnvironmentVariableW(L"ZARVO_BOT_USER_DIR", user.wstring().c_str());

    std::printf("zarvo-bot plays a timeline of %d operations %d times, each handed over as a command line\n",
                kOperations, plays);
    std::fflush(stdout);
    const DWORD t0 = GetTickCount();
    HANDLE app = start(L"\"" + own_folder() + L"zarvo-bot.exe\"");
    if (!app) {
        std::fprintf(stderr, "zv_soak: zarvo-bot did not start\n");
        return 1;
    }
    HWND instance = zvb::find_instance(user.wstring(), 60000);
    if (!instance) {
        std::fprintf(stderr, "zv_soak: zarvo-bot's main window did not appear\n");
        TerminateProcess(app, 1);
        CloseHandle(app);
        return 1;
    }
    HWND reply = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    std::vector<Sample> samples;
    int normal = 0, failed = 0, refused = 0, done = 0;
    for (int i = 1; i <= plays; ++i) {
        int step = 0;
        const int rc = play_once(instance, app, reply, L"soak", &step);
        if (rc == -2) {
            std::printf("  play %d had no answer: %s\n", i,
                        WaitForSingleObject(app, 0) == WAIT_OBJECT_0 ? "zarvo-bot ended" : "it never ended");
            break;
        }
        ++done;
        (rc == 0 ? normal : rc == 1 ? failed : refused)++;
        if (rc) std::printf("  play %d %s (step %d)\n", i, rc == 1 ? "did not end normally" : "was refused", step);
        // After the first play everything a play needs is loaded.
        if (i == 1) samples.push_back(sample(app, "start", t0));
        if (i == plays / 2 && plays >= 4) samples.push_back(sample(app, "middle", t0));
        if (i == plays && plays >= 3) samples.push_back(sample(app, "end", t0));
        if (i % 50 == 0) {
            Sample s = sample(app, "", t0);
            std::printf("  play %d/%d at %.0f s: private %lld KB, %lld handles\n", i, plays, s.seconds,
                        (long long)s.private_kb, (long long)s.handles);
            std::fflush(stdout);
        }
    }
    DestroyWindow(reply);
    const double seconds = (GetTickCount() - t0) / 1000.0;
    PostMessageW(instance, WM_COMMAND, 40008 /* exit */, 0);
    if (WaitForSingleObject(app, 30000) != WAIT_OBJECT_0) {
        std::printf("  zarvo-bot did not exit within 30 s\n");
        TerminateProcess(app, 1);
    }
    CloseHandle(app);

    const std::wstring ini = (user / "data" / "soak.zv.ini").wstring();
    auto counter = [&](const wchar_t* section, const wchar_t* key) {
        return (long long)GetPrivateProfileIntW(section, key, 0, ini.c_str());
    };
    // The log is one file a day: a run over midnight has two.
    std::string log;
    for (const auto& f : fs::directory_iterator(user / "log", ignored))
        if (f.path().extension() == ".log") log += read_all(f.path());
    long long lines = 0, malformed = 0;
    long long by_kind[5] = {};
    static const char* const kKinds[] = {"name_to_play(_group)", "SCENARIO_TYPE_TIMELINE", "Start", "End", "*initialize*"};
    for (size_t at = 0; at < log.size();) {
        size_t end = log.find("\r\n", at);
        if (end == std::string::npos) end = log.size(), ++malformed;  // a last line without CR LF
        const std::string line = log.substr(at, end - at);
        at = end + 2;
        ++lines;
        // "yyyy/mm/dd hh:mm:ss - [path] message"
        if (line.size() < 23 || line.compare(19, 4, " - [") != 0) {
            ++malformed;
            continue;
        }
        bool known = false;
        // A root entry's group path is its name: either lookup may find it.
        const std::string message = line.size() > 29 && line.compare(23, 6, "soak] ") == 0 ? line.substr(29) : "";
        for (int k = 0; k < 4; ++k)
            if (k ? message == kKinds[k] : message == "name_to_play" || message == "name_to_play_group")
                ++by_kind[k], known = true;
        if (line.compare(23, 13, "*initialize*]") == 0) ++by_kind[4], known = true;
        if (!known) {
            ++malformed;
            if (malformed <= 20) std::printf("  unexpected log line: %s\n", line.c_str());
        }
    }

    std::printf("\n%d plays in %.0f s (%.2f s a play)\n", done, seconds, done ? seconds / done : 0.0);
    bool ok = true;
    auto check = [&](const char* what, long long got, long long want) {
        std::printf("  %-34s %lld (expected %lld)%s\n", what, got, want, got == want ? "" : "  MISMATCH");
        ok = ok && got == want;
    };
    check("plays that ended normally", normal, plays);
    check("plays failed or stopped", failed, 0);
    check("plays refused", refused, 0);
    check("PLAY start", counter(L"PLAY", L"start"), plays);
    check("PLAY end", counter(L"PLAY", L"end"), plays);
    check("PLAY stop + error", counter(L"PLAY", L"stop") + counter(L"PLAY", L"error"), 0);
    for (int k = 0; k < 4; ++k) check((std::string("log lines \"") + kKinds[k] + "\"").c_str(), by_kind[k], plays);
    check("log lines \"*initialize*\"", by_kind[4], 1);
    check("log lines in all", lines, 4LL * plays + 1);
    check("log lines malformed or unexpected", malformed, 0);
    ok = report("zarvo-bot (main window, 1 play at a time)", samples) && ok;
    fs::remove_all(user, ignored);
    return ok ? 0 : 1;
}

}  // namespace soak
