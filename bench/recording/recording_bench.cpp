// Recording benchmark: synthesized input at a fixed rate into the test
// target while the recorder records, as zarvo-bot does (the hooks, the two
// handlers on a window thread, the recording thread with screenshots).
//
//   zv_recording_bench [events per second] [seconds]     (default 200, 30)
//
// Reports events in against records out (before merging), the time per
// event in the hook procedure and in the handlers, the time per screenshot,
// and the growth of the temporary files.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "hooks.h"
#include "microseconds.h"
#include "recorder.h"
#include "startup.h"

namespace {

namespace fs = std::filesystem;
using zvb::now_us;

zvb::Recorder* g_recorder;
std::vector<float> g_handler_us;

LRESULT CALLBACK host_proc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
    if (g_recorder && (msg == zvb::kHookMouseMessage || msg == zvb::kHookKeyMessage)) {
        double begin = now_us();
        if (msg == zvb::kHookMouseMessage)
            g_recorder->on_mouse(wp, reinterpret_cast<const MSLLHOOKSTRUCT*>(lp));
        else
            g_recorder->on_key(wp, reinterpret_cast<const KBDLLHOOKSTRUCT*>(lp));
        g_handler_us.push_back(float(now_us() - begin));
        return 0;
    }
    return DefWindowProcW(w, msg, wp, lp);
}

BOOL WINAPI hooks_start(HWND w, UINT m, UINT k) { return zvh::start(w, m, k); }
void WINAPI hooks_stop() { zvh::stop(); }

void send_key(WORD vk, bool up) {
    INPUT in = {};
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = vk;
    in.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    SendInput(1, &in, sizeof in);
}

void send_mouse(DWORD flags, int x = 0, int y = 0, DWORD data = 0) {
    INPUT in = {};
    in.type = INPUT_MOUSE;
    in.mi.dwFlags = flags;
    in.mi.mouseData = data;
    in.mi.dx = MulDiv(x, 65536, GetSystemMetrics(SM_CXSCREEN)) + 1;
    in.mi.dy = MulDiv(y, 65536, GetSystemMetrics(SM_CYSCREEN)) + 1;
    SendInput(1, &in, sizeof in);
}

// One event of the typing-and-clicking cycle; none repeats its predecessor,
// so the recording thread drops nothing.
void event(unsigned i) {
    static const WORD keys[] = {'A', 'B', 'C', 'D'};
    switch (i % 10) {
    case 0: send_mouse(MOUSEEVENTF_LEFTDOWN); break;
    case 1: send_mouse(MOUSEEVENTF_LEFTUP); break;
    case 8: send_mouse(MOUSEEVENTF_WHEEL, 0, 0, DWORD(120)); break;
    case 9: send_mouse(MOUSEEVENTF_WHEEL, 0, 0, DWORD(-120)); break;
    default: send_key(keys[(i / 2) % 4], i % 2 != 0); break;
    }
}

struct Stats {
    double median, p99, max;
};

Stats stats(std::vector<float> v) {
    if (v.empty()) return {0, 0, 0};
    std::sort(v.begin(), v.end());
    return {v[v.size() / 2], v[std::min(v.size() - 1, v.size() * 99 / 100)], v.back()};
}

uint64_t bytes_of(const fs::path& p) {
    std::error_code e;
    uint64_t n = fs::file_size(p, e);
    return e ? 0 : n;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    unsigned rate = argc > 1 ? unsigned(_wtoi(argv[1])) : 200;
    unsigned seconds = argc > 2 ? unsigned(_wtoi(argv[2])) : 30;
    if (!rate || !seconds) return std::printf("usage: zv_recording_bench [events per second] [seconds]\n"), 2;
    ULONG_PTR gdiplus = zv::ui::gdiplus_start();

    // The target the input goes to: a window with a pad that takes keys.
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    fs::path bin = fs::path(self).parent_path();
    fs::path dir = fs::temp_directory_path() / ("zv_recording_bench_" + std::to_string(GetCurrentProcessId()));
    fs::create_directories(dir);
    std::wstring command = L"\"" + (bin / "zv_target.exe").wstring() +
                           L"\" --title \"zv recording bench\" --lifetime " + std::to_wstring((seconds + 60) * 1000);
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION target = {};
    if (!CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &target))
        return std::printf("cannot start zv_target.exe\n"), 1;
    HWND main = nullptr;
    for (int i = 0; i < 300 && !main; ++i, Sleep(100)) main = FindWindowW(nullptr, L"zv recording bench");
    if (!main) return std::printf("zv_target.exe shows no window\n"), 1;
    RECT frame;
    GetWindowRect(main, &frame);
    SetForegroundWindow(main);
    // The pad lies at 10, 80 in the client area: click there, type there.
    POINT pad = {60, 120};
    ClientToScreen(main, &pad);
    send_mouse(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE, pad.x, pad.y);

    // The recorder's window: the handlers run on this thread.
    WNDCLASSW wc = {};
    wc.lpfnWndProc = host_proc;
    wc.lpszClassName = L"zv_recording_bench";
    RegisterClassW(&wc);
    HWND host = CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    zvb::Recorder recorder(host, {hooks_start, hooks_stop}, dir.wstring() + L"\\", 0);
    g_recorder = &recorder;
    unsigned total = rate * seconds;
    std::vector<float> hook_us(total * 2);
    g_handler_us.reserve(total * 2);
    zvh::record_hook_times(hook_us.data(), uint32_t(hook_us.size()));
    DWORD error = 0;
    if (!recorder.start(zvb::RecordSettings(), &error))
        return std::printf("recording failed to start: %lu\n", error), 1;

    // The input comes from another thread, as the user's does.
    double sent_at = 0;
    std::thread input([&] {
        double start = now_us(), period = 1e6 / rate;
        for (unsigned i = 0; i < total; ++i) {
            double due = start + i * period;
            while (now_us() < due) Sleep(1);
            event(i);
        }
        sent_at = (now_us() - start) / 1e6;
    });
    MSG msg;
    while (MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT) != WAIT_FAILED) {
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
        if (sent_at > 0) break;
    }
    input.join();
    double stop_begin = now_us();
    recorder.stop();  // the hooks deliver what they hold, the thread finishes its queue
    double drained = (now_us() - stop_begin) / 1e6;
    zvh::Statistics hooks = zvh::statistics();
    zvh::record_hook_times(nullptr, 0);
    hook_us.resize(size_t(std::min<uint64_t>(hooks.events, hook_us.size())));

    const zvb::RecordingThread& t = recorder.thread();
    uint64_t operations = bytes_of(dir / "zarvo-bot_tmp.zv"), images = bytes_of(dir / "zarvo-bot_tmp.zv.img");
    Stats hook = stats(hook_us), handler = stats(g_handler_us);
    std::printf("input: %u events in %.1f s (%u per second) into a %ld x %ld window\n", total, sent_at, rate,
                frame.right - frame.left, frame.bottom - frame.top);
    std::printf("hooks: %llu events seen, %llu delivered, %llu lost, %llu past the %lu ms wait\n",
                (unsigned long long)hooks.events, (unsigned long long)hooks.delivered, (unsigned long long)hooks.lost,
                (unsigned long long)hooks.late, zvh::kDeliveryWaitMs);
    std::printf("records: %u in, %u written before merging (%s); stop took %.2f s\n", t.received(), t.written(),
                t.written() == total ? "none lost" : "LOST SOME", drained);
    std::printf("time in the hook procedure: median %.0f us, 99%% %.0f us, worst %.0f us\n", hook.median, hook.p99,
                hook.max);
    std::printf("time in the handlers:       median %.0f us, 99%% %.0f us, worst %.0f us\n", handler.median,
                handler.p99, handler.max);
    if (t.captures())
        std::printf("screenshots: %u, %.1f ms each on average, worst %.1f ms\n", t.captures(),
                    t.capture_total_us() / t.captures() / 1000, t.capture_max_us() / 1000);
    if (t.written()) {
        double per_record = double(operations + images) / t.written();
        std::printf("store: %llu + %llu bytes = %.0f bytes per record; %.1f MB per minute at this rate, "
                    "%.2f MB per minute at one operation per second\n",
                    (unsigned long long)operations, (unsigned long long)images, per_record,
                    per_record * rate * 60 / 1e6, per_record * 60 / 1e6);
    }

    TerminateProcess(target.hProcess, 0);
    CloseHandle(target.hProcess);
    CloseHandle(target.hThread);
    std::error_code ignored;
    fs::remove_all(dir, ignored);
    zv::ui::gdiplus_stop(gdiplus);
    return t.written() == total ? 0 : 1;
}
