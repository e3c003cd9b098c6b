#include "hooks.h"

#include <atomic>
#include <initializer_list>

namespace zvh {

namespace {

struct Event {
    WPARAM message;
    bool key;
    union {
        MSLLHOOKSTRUCT mouse;
        KBDLLHOOKSTRUCT keyboard;
    } data;
};

// One producer (the hook thread) and one consumer (the delivery thread):
// `head` counts events queued, `tail` events delivered. A slot is free
// again only after its message has been handled, since lParam points at it.
struct Hooks {
    HWND window = nullptr;
    UINT mouse_message = 0, key_message = 0;
    Event* queue = nullptr;
    std::atomic<uint32_t> head{0}, tail{0};
    std::atomic<bool> stopping{false};
    HANDLE queued = nullptr, delivered = nullptr, ready = nullptr;
    HANDLE hook_thread = nullptr, delivery_thread = nullptr;
    DWORD hook_thread_id = 0;
    bool hooked = false;
    bool lagging = false;  // the window fell behind: no waiting until it caught up
    bool running = false;
    double ticks_per_us = 1;
    Statistics stats = {};
    float* samples = nullptr;
    uint32_t sample_capacity = 0, sample_count = 0;
};

Hooks g;

double now_us() {
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return double(t.QuadPart) / g.ticks_per_us;
}

void count_time(double us) {
    if (g.sample_count < g.sample_capacity) g.samples[g.sample_count++] = float(us);
}

// Queues the event and waits (bounded) for the window to have handled it.
void report(bool key, WPARAM message, LPARAM data) {
    double begin = now_us();
    ++g.stats.events;
    uint32_t head = g.head.load(std::memory_order_relaxed);
    uint32_t tail = g.tail.load(std::memory_order_acquire);
    if (head - tail >= kQueueEvents) {
        ++g.stats.lost;
        count_time(now_us() - begin);
        return;
    }
    if (g.lagging && head == tail) g.lagging = false;
    Event& e = g.queue[head & (kQueueEvents - 1)];
    e.message = message;
    e.key = key;
    if (key)
        e.data.keyboard = *reinterpret_cast<const KBDLLHOOKSTRUCT*>(data);
    else
        e.data.mouse = *reinterpret_cast<const MSLLHOOKSTRUCT*>(data);
    g.head.store(head + 1, std::memory_order_release);
    SetEvent(g.queued);
    if (!g.lagging) {
        DWORD start = GetTickCount();
        while (int32_t(g.tail.load(std::memory_order_acquire) - (head + 1)) < 0) {
            DWORD waited = GetTickCount() - start;
            if (waited >= kDeliveryWaitMs ||
                WaitForSingleObject(g.delivered, kDeliveryWaitMs - waited) == WAIT_TIMEOUT) {
                g.lagging = true;
                ++g.stats.late;
                break;
            }
        }
    }
    count_time(now_us() - begin);
}

LRESULT CALLBACK mouse_proc(int code, WPARAM wp, LPARAM lp) {
    if (code == HC_ACTION) report(false, wp, lp);
    return CallNextHookEx(nullptr, code, wp, lp);
}

LRESULT CALLBACK key_proc(int code, WPARAM wp, LPARAM lp) {
    if (code == HC_ACTION) report(true, wp, lp);
    return CallNextHookEx(nullptr, code, wp, lp);
}

// The system calls low-level hooks on the thread that installed them, while
// it waits for messages; this thread does nothing else.
DWORD WINAPI hook_thread(void*) {
    MSG msg;
    PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);  // the queue WM_QUIT arrives in
    HMODULE self = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&mouse_proc), &self);
    HHOOK mouse = SetWindowsHookExW(WH_MOUSE_LL, mouse_proc, self, 0);
    HHOOK keyboard = SetWindowsHookExW(WH_KEYBOARD_LL, key_proc, self, 0);
    g.hooked = mouse && keyboard;
    SetEvent(g.ready);
    if (g.hooked)
        while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        }
    if (mouse) UnhookWindowsHookEx(mouse);
    if (keyboard) UnhookWindowsHookEx(keyboard);
    return 0;
}

DWORD WINAPI delivery_thread(void*) {
    for (;;) {
        uint32_t tail = g.tail.load(std::memory_order_relaxed);
        if (tail == g.head.load(std::memory_order_acquire)) {
            if (g.stopping.load(std::memory_order_acquire)) {
                // The hook thread has ended before `stopping` was set: what
                // is queued now is all there is.
                if (tail == g.head.load(std::memory_order_acquire)) return 0;
                continue;
            }
            WaitForSingleObject(g.queued, INFINITE);
            continue;
        }
        Event& e = g.queue[tail & (kQueueEvents - 1)];
        SendMessageW(g.window, e.key ? g.key_message : g.mouse_message, e.message, reinterpret_cast<LPARAM>(&e.data));
        ++g.stats.delivered;
        g.tail.store(tail + 1, std::memory_order_release);
        SetEvent(g.delivered);
    }
}

// Waits for a thread to end while handling messages sent to this thread:
// the delivery thread may be sending one to a window of it.
void wait_handling_sent(HANDLE thread) {
    for (;;) {
        DWORD r = MsgWaitForMultipleObjects(1, &thread, FALSE, INFINITE, QS_SENDMESSAGE);
        if (r == WAIT_OBJECT_0) return;
        if (r != WAIT_OBJECT_0 + 1) {
            WaitForSingleObject(thread, INFINITE);
            return;
        }
        MSG msg;
        PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
}

void release() {
    for (HANDLE* h : {&g.queued, &g.delivered, &g.ready, &g.hook_thread, &g.delivery_thread})
        if (*h) CloseHandle(*h), *h = nullptr;
    if (g.queue) VirtualFree(g.queue, 0, MEM_RELEASE), g.queue = nullptr;
    g.running = false;
}

}  // namespace

bool start(HWND window, UINT mouse_message, UINT key_message) {
    if (g.running) return true;
    if (!IsWindow(window)) return false;
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    g.ticks_per_us = double(frequency.QuadPart) / 1e6;
    g.window = window, g.mouse_message = mouse_message, g.key_message = key_message;
    g.head = 0, g.tail = 0, g.stopping = false, g.lagging = false, g.hooked = false;
    g.running = true;
    g.queue = static_cast<Event*>(VirtualAlloc(nullptr, sizeof(Event) * kQueueEvents, MEM_COMMIT, PAGE_READWRITE));
    g.queued = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    g.delivered = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    g.ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!g.queue || !g.queued || !g.delivered || !g.ready) return release(), false;
    g.delivery_thread = CreateThread(nullptr, 0, delivery_thread, nullptr, 0, nullptr);
    if (!g.delivery_thread) return release(), false;
    g.hook_thread = CreateThread(nullptr, 64 * 1024, hook_thread, nullptr, 0, &g.hook_thread_id);
    if (g.hook_thread) {
        // Input waits on this thread: it runs before the programs the user
        // works with.
        SetThreadPriority(g.hook_thread, THREAD_PRIORITY_HIGHEST);
        WaitForSingleObject(g.ready, INFINITE);
    }
    if (!g.hook_thread || !g.hooked) {
        if (g.hook_thread) WaitForSingleObject(g.hook_thread, INFINITE);
        g.stopping = true;
        SetEvent(g.queued);
        WaitForSingleObject(g.delivery_thread, INFINITE);
        return release(), false;
    }
    return true;
}

void stop() {
    if (!g.running) return;
    PostThreadMessageW(g.hook_thread_id, WM_QUIT, 0, 0);
    wait_handling_sent(g.hook_thread);
    g.stopping.store(true, std::memory_order_release);
    SetEvent(g.queued);
    wait_handling_sent(g.delivery_thread);
    release();
}

Statistics statistics() { return g.stats; }

void reset_statistics() { g.stats = Statistics(); }

void record_hook_times(float* buffer, uint32_t capacity) {
    g.samples = buffer;
    g.sample_count = 0;
    g.sample_capacity = buffer ? capacity : 0;
}

}  // namespace zvh
