// The recording machinery in process, on the desktop: zvh.dll (exports by
// ordinal only, every event delivered in order, a busy window never keeps
// input waiting), the recording thread on windows that are hard to capture
// and on a full disk, and the recorder noticing hooks that went silent.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "insert_dialogs.h"
#include "operation_codes.h"
#include "operation_file.h"
#include "picture_util.h"
#include "recorder.h"
#include "recording_thread.h"
#include "startup.h"
#include "target_driver.h"
#include "timeline.h"
#include "window_facts.h"

namespace zvb {
namespace {

using zv::test::eventually;
using zv::test::fresh_dir;
namespace fs = std::filesystem;

constexpr UINT kFailed = WM_APP + 7;


// ---- synthesized input ------------------------------------------------------

void send(INPUT in) { SendInput(1, &in, sizeof in); }

void key(WORD vk, bool up) {
    INPUT in = {};
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = vk;
    in.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    send(in);
}

void tap(WORD vk) { key(vk, false), key(vk, true); }

void mouse(DWORD flags, int x = 0, int y = 0, DWORD data = 0) {
    INPUT in = {};
    in.type = INPUT_MOUSE;
    in.mi.dwFlags = flags;
    in.mi.mouseData = data;
    if (flags & MOUSEEVENTF_ABSOLUTE) {
        in.mi.dx = MulDiv(x, 65536, GetSystemMetrics(SM_CXSCREEN)) + 1;
        in.mi.dy = MulDiv(y, 65536, GetSystemMetrics(SM_CYSCREEN)) + 1;
    }
    send(in);
}

// ---- a window on a thread of its own that keeps the hook messages -----------

struct Event {
    UINT message;
    WPARAM code;
    DWORD vk;
    POINT pt;
    int32_t wheel;
};

class Sink {
public:
    Sink() : thread_([this] { run(); }) {
        eventually([this] { return window != nullptr; }, 5000);
    }
    ~Sink() {
        PostMessageW(window, WM_CLOSE, 0, 0);
        thread_.join();
    }
    // Events without the moves (the display reports its own pointer moves).
    std::vector<Event> events() {
        std::lock_guard<std::mutex> lock(mutex_);
        return events_;
    }
    size_t count() { return events().size(); }
    // A key down of `vk` keeps the window busy for ms.
    void stall_on(DWORD vk, DWORD ms) { stall_vk_ = vk, stall_ms_ = ms; }
    // Returns once the window has handled everything sent before.
    void sync() { SendMessageW(window, WM_NULL, 0, 0); }

    HWND window = nullptr;

private:
    static LRESULT CALLBACK proc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
        auto* self = reinterpret_cast<Sink*>(GetWindowLongPtrW(w, GWLP_USERDATA));
        if (self && (msg == 1124 || msg == 1125)) {
            Event e = {msg, wp, 0, {}, 0};
            if (msg == 1125) e.vk = reinterpret_cast<const KBDLLHOOKSTRUCT*>(lp)->vkCode;
            if (msg == 1124) {
                const auto* m = reinterpret_cast<const MSLLHOOKSTRUCT*>(lp);
                e.pt = m->pt;
                e.wheel = short(HIWORD(m->mouseData));
            }
            if (msg == 1125 && wp == WM_KEYDOWN && e.vk == self->stall_vk_) Sleep(self->stall_ms_);
            if (wp != WM_MOUSEMOVE) {
                std::lock_guard<std::mutex> lock(self->mutex_);
                self->events_.push_back(e);
            }
            return 0;
        }
        if (msg == WM_CLOSE) return DestroyWindow(w), 0;
        if (msg == WM_DESTROY) return PostQuitMessage(0), 0;
        return DefWindowProcW(w, msg, wp, lp);
    }
    void run() {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = proc;
        wc.lpszClassName = L"zv_hook_sink";
        RegisterClassW(&wc);
        HWND w = CreateWindowExW(0, L"zv_hook_sink", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
        SetWindowLongPtrW(w, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        window = w;
        MSG msg;
        while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
    }
    std::mutex mutex_;
    std::vector<Event> events_;
    std::atomic<DWORD> stall_vk_{0}, stall_ms_{0};
    std::thread thread_;
};

std::string describe(const std::vector<Event>& events, size_t from = 0) {
    std::string s;
    for (size_t i = from; i < events.size(); ++i) {
        const Event& e = events[i];
        s += std::to_string(e.code);
        if (e.message == 1125) s += ":" + std::to_string(e.vk);
        if (e.code == WM_LBUTTONDOWN) s += "@" + std::to_string(e.pt.x) + "," + std::to_string(e.pt.y);
        if (e.code == WM_MOUSEWHEEL) s += "/" + std::to_string(e.wheel);
        s += " ";
    }
    return s;
}

typedef BOOL(WINAPI* StartFn)(HWND, UINT, UINT);
typedef void(WINAPI* StopFn)();

TEST(Zvh, OrdinalExportsOrderlyDeliveryAndNoWaitOnABusyWindow) {
    if (!zv::test::have_desktop()) GTEST_SKIP() << "no desktop";
    HMODULE dll = LoadLibraryW(L"zvh.dll");
    ASSERT_TRUE(dll);
    auto* base = reinterpret_cast<const BYTE*>(dll);
    auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    auto* exports = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(
        base + nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT].VirtualAddress);
    EXPECT_EQ(exports->NumberOfNames, 0u);
    EXPECT_EQ(exports->Base, 5u);
    EXPECT_EQ(exports->NumberOfFunctions, 2u);
    auto start = reinterpret_cast<StartFn>(reinterpret_cast<void*>(GetProcAddress(dll, MAKEINTRESOURCEA(5))));
    auto stop = reinterpret_cast<StopFn>(reinterpret_cast<void*>(GetProcAddress(dll, MAKEINTRESOURCEA(6))));
    ASSERT_TRUE(start && stop);
    EXPECT_EQ(GetProcAddress(dll, "zvh_start"), nullptr);

    Sink sink;
    ASSERT_TRUE(sink.window);
    ASSERT_TRUE(start(sink.window, 1124, 1125));
    mouse(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE, 640, 500);
    tap(VK_F13);
    mouse(MOUSEEVENTF_LEFTDOWN), mouse(MOUSEEVENTF_LEFTUP);
    key(VK_F14, false);
    mouse(MOUSEEVENTF_RIGHTDOWN), mouse(MOUSEEVENTF_RIGHTUP);
    mouse(MOUSEEVENTF_WHEEL, 0, 0, DWORD(-120));
    key(VK_F14, true);
    const std::string first = "256:124 257:124 513@640,500 514 256:125 516 517 522/-120 257:125 ";
    EXPECT_TRUE(eventually([&] { return sink.count() >= 9; }, 10000));
    EXPECT_EQ(describe(sink.events()), first);

    // A window that takes 1.5 s for one event: the input it was meant for
    // goes on after the hook's short wait, the next events without any,
    // and the window still gets every event in order.
    sink.stall_on(VK_F15, 1500);
    DWORD t0 = GetTickCount();
    tap(VK_F15);
    tap(VK_F16);
    tap(VK_F17);
    DWORD took = GetTickCount() - t0;
    EXPECT_LT(took, 1000u);
    EXPECT_TRUE(eventually([&] { return sink.count() >= 15; }, 10000));
    EXPECT_EQ(describe(sink.events(), 9), "256:126 257:126 256:127 257:127 256:128 257:128 ");

    stop();
    size_t before = sink.count();
    tap(VK_F18);
    sink.sync();
    EXPECT_EQ(sink.count(), before);
    FreeLibrary(dll);
}

// ---- the recording thread -----------------------------------------------------

// Lets the thread ask this thread's windows for their titles while waiting.
bool pump_until(const std::function<bool()>& done, int ms = 20000) {
    return eventually(
        [&] {
            MSG msg;
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
            return done();
        },
        ms);
}

HWND probe(const wchar_t* cls, const wchar_t* title, DWORD style, int x, int y, int cx, int cy) {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = DefWindowProcW;
    wc.lpszClassName = cls;
    wc.hbrBackground = GetSysColorBrush(COLOR_WINDOW);
    RegisterClassW(&wc);
    return CreateWindowExW(WS_EX_TOOLWINDOW, cls, title, style | WS_VISIBLE, x, y, cx, cy, nullptr, nullptr, nullptr,
                           nullptr);
}

// A key record as the hook handlers make it, 50 ms after the one before.
OperationRecord* key_record(HWND target, int32_t code = 256) {
    static uint32_t time = 1000;
    OperationRecord* r = record_new();
    r->category = kCategoryKey, r->code = code, r->key_code = 65, r->window = target;
    r->data_version = 1;
    r->interval = time += 50;
    r->window_rect = rect32(visible_frame(target));
    r->window_state = window_state(target);
    return r;
}

struct Recording {
    fs::path dir = fresh_dir("zv_recording");
    HWND host = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    RecordingThreadOptions options() const {
        RecordingThreadOptions o;
        o.main = host;
        o.operations = (dir / "zarvo-bot_tmp.zv").wstring();
        o.images = (dir / "zarvo-bot_tmp.zv.img").wstring();
        o.failed_message = kFailed;
        return o;
    }
    ~Recording() {
        DestroyWindow(host);
        std::error_code ignored;
        fs::remove_all(dir, ignored);
    }
};

TEST(RecordingThread, CompletesRecordsOfWindowsHardToCapture) {
    if (!zv::test::have_desktop()) GTEST_SKIP() << "no desktop";
    zvb::test::GdiplusOn gdiplus;
    Recording rec;
    // Created first, so that the others lie above it.
    HWND big = probe(L"zv_rec_big", L"big", WS_POPUP, -300, -200, 2000, 1500);
    HWND normal = probe(L"zv_rec_probe", L"ぷろーぶ \"1\"", WS_POPUP, 300, 200, 160, 120);
    HWND minimized = probe(L"zv_rec_min", L"min", WS_OVERLAPPEDWINDOW, 100, 100, 300, 200);
    ShowWindow(minimized, SW_MINIMIZE);
    HWND left = probe(L"zv_rec_left", L"left", WS_POPUP, -500, 100, 200, 150);
    HWND zero = probe(L"zv_rec_zero", L"zero", WS_POPUP, 50, 50, 0, 0);
    ASSERT_TRUE(normal && big && minimized && left && zero);
    pump_until([] { return true; });

    RecordingThread thread;
    DWORD error = 0;
    ASSERT_TRUE(thread.start(rec.options(), &error)) << error;
    for (HWND w : {normal, big, minimized, left, zero}) thread.post(key_record(w), 0);
    EXPECT_TRUE(pump_until([&] { return thread.received() == 5; }));
    thread.finish();
    EXPECT_EQ(thread.written(), 5u);

    OperationRecord* head = timeline_read(reinterpret_cast<const char16_t*>((rec.dir / "zarvo-bot_tmp.zv").c_str()));
    ASSERT_TRUE(head);
    ASSERT_EQ(timeline_count(head), 5u);
    std::string store = test::file_bytes(rec.dir / "zarvo-bot_tmp.zv.img");
    std::vector<const OperationRecord*> r;
    for (const OperationRecord* o = head->next; o; o = o->next) r.push_back(o);
    auto picture = [&](const OperationRecord* o) { return test::picture_size(store, o); };
    auto width = [](const OperationRecord* o) { return o->window_rect.right - o->window_rect.left; };
    auto height = [](const OperationRecord* o) { return o->window_rect.bottom - o->window_rect.top; };

    EXPECT_EQ(std::wstring(reinterpret_cast<const wchar_t*>(r[0]->window_title)), L"ぷろーぶ \"1\"");
    EXPECT_EQ(std::u16string(r[0]->window_class), u"zv_rec_probe");
    EXPECT_EQ(r[0]->desktop, 0u);
    EXPECT_EQ(r[0]->interval, 0u);
    EXPECT_EQ(r[1]->interval, 50u);
    EXPECT_EQ(r[0]->desktop_rect.right, GetSystemMetrics(SM_CXSCREEN));
    for (int i : {0, 1, 3}) {
        SIZE s = picture(r[i]);
        EXPECT_EQ(s.cx, width(r[i])) << i;
        EXPECT_EQ(s.cy, height(r[i])) << i;
    }
    EXPECT_EQ(picture(r[1]).cx, 2000);
    EXPECT_EQ(r[2]->window_state, 2);
    if (r[2]->image_size) {  // wherever the system parks it
        EXPECT_EQ(picture(r[2]).cx, width(r[2]));
    }
    EXPECT_EQ(r[3]->window_rect.left, -500);
    EXPECT_EQ(r[4]->image_size, 0u);  // nothing to capture
    timeline_free(head);
    // The windows go with the process: under Wine without a window manager
    // each DestroyWindow waits seconds for the display.
}

// A disk that fills up while recording: the writes that fail are cut off
// again, the window is told once, what was written stays readable.
std::atomic<int> g_writes{0};
BOOL WINAPI full_disk(HANDLE file, LPCVOID data, DWORD n, LPDWORD done, LPOVERLAPPED) {
    if (++g_writes <= 2) return WriteFile(file, data, n, done, nullptr);
    WriteFile(file, data, n / 2, done, nullptr);
    SetLastError(ERROR_DISK_FULL);
    return FALSE;
}

TEST(RecordingThread, StopsOnAFullDiskKeepingWholeRecords) {
    if (!zv::test::have_desktop()) GTEST_SKIP() << "no desktop";
    zvb::test::GdiplusOn gdiplus;
    Recording rec;
    HWND w = probe(L"zv_rec_disk", L"disk", WS_POPUP, 100, 100, 120, 90);
    RecordingThreadOptions o = rec.options();
    o.write = full_disk;
    RecordingThread thread;
    DWORD error = 0;
    ASSERT_TRUE(thread.start(o, &error));
    for (int i = 0; i < 3; ++i) thread.post(key_record(w, i % 2 ? 257 : 256), 0);
    MSG failed = {};
    EXPECT_TRUE(eventually([&] { return PeekMessageW(&failed, rec.host, kFailed, kFailed, PM_REMOVE) != FALSE; }));
    EXPECT_EQ(failed.wParam, WPARAM(ERROR_DISK_FULL));
    EXPECT_TRUE(pump_until([&] { return thread.received() == 3; }));
    thread.finish();
    EXPECT_EQ(thread.written(), 1u);
    OperationRecord* head = timeline_read(reinterpret_cast<const char16_t*>((rec.dir / "zarvo-bot_tmp.zv").c_str()));
    ASSERT_TRUE(head);
    ASSERT_EQ(timeline_count(head), 1u);
    EXPECT_EQ(test::file_bytes(rec.dir / "zarvo-bot_tmp.zv").size(), size_t(kRecordBytes));
    EXPECT_EQ(test::file_bytes(rec.dir / "zarvo-bot_tmp.zv.img").size(), size_t(head->next->image_size));
    EXPECT_GT(head->next->image_size, 0u);
    timeline_free(head);

    // A temporary folder that is gone: no recording starts.
    o = rec.options();
    o.operations = (rec.dir / "gone" / "zarvo-bot_tmp.zv").wstring();
    EXPECT_FALSE(thread.start(o, &error));
    EXPECT_EQ(error, DWORD(ERROR_PATH_NOT_FOUND));
    EXPECT_FALSE(thread.running());
}

BOOL WINAPI silent_start(HWND, UINT, UINT) { return TRUE; }
void WINAPI silent_stop() {}

TEST(Recorder, NoticesHooksThatStoppedDelivering) {
    if (!zv::test::have_desktop()) GTEST_SKIP() << "no desktop";
    Recording rec;
    Recorder recorder(rec.host, {silent_start, silent_stop}, rec.dir.wstring() + L"\\", kFailed);
    DWORD error = 0;
    ASSERT_TRUE(recorder.start(RecordSettings(), &error));
    DWORD started = GetTickCount();
    eventually([&] { return GetTickCount() != started; }, 1000);  // input after the start
    tap(VK_F20);
    LASTINPUTINFO input = {sizeof input, 0};
    ASSERT_TRUE(GetLastInputInfo(&input));
    EXPECT_FALSE(recorder.hooks_silent(GetTickCount(), input.dwTime));
    EXPECT_TRUE(eventually([&] { return recorder.hooks_silent(GetTickCount(), input.dwTime); }, 8000));
    // A hook message after that input answers for it.
    KBDLLHOOKSTRUCT k = {VK_F20, 0, 0, GetTickCount(), 0};
    recorder.on_key(WM_KEYUP, &k);
    EXPECT_FALSE(recorder.hooks_silent(GetTickCount() + 5000, input.dwTime));
    recorder.stop();
    EXPECT_FALSE(recorder.hooks_silent(GetTickCount() + 5000, GetTickCount() + 2000));
    EXPECT_TRUE(recorder.has_operations());
}

TEST(InsertActions, DateFormats) {
    SYSTEMTIME t = {};
    t.wYear = 2024, t.wMonth = 3, t.wDay = 5, t.wHour = 7, t.wMinute = 8, t.wSecond = 9;
    const std::pair<const wchar_t*, const wchar_t*> rows[] = {
        {kDefaultDateFormat, L"2024/03/05 07:08:09"},
        {L"%#d日 %j %%", L"5日 065 %"},
        {L"%Q %E %", L"%Q %E %"},  // undefined conversions stay as written
        {L"", L""},
    };
    for (const auto& row : rows) EXPECT_EQ(format_local_time(row.first, t), row.second) << row.first;
}

}  // namespace
}  // namespace zvb
