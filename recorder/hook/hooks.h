// System-wide low-level mouse and keyboard hooks that report every event to
// one window, as zvh.dll does (zvh.cpp exports these two by ordinal).
//
// The hook procedures run on a thread of their own and never wait long: the
// system drops, without a word, a low-level hook that keeps input waiting.
// Each event is copied into a queue that a delivery thread hands to the
// window with SendMessageW (wParam = the mouse or keyboard message number,
// lParam = the address of the copied MSLLHOOKSTRUCT or KBDLLHOOKSTRUCT, valid
// while the message is handled). The hook procedure waits for that delivery
// up to kDeliveryWaitMs, so normally the window sees an event before the
// system acts on it (the foreground window is still the one the event was
// meant for); a window that is busy only delays its events, in order.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <cstdint>

namespace zvh {

constexpr DWORD kDeliveryWaitMs = 100;
constexpr uint32_t kQueueEvents = 32768;  // power of two

// Installs both hooks; false when they could not be installed (nothing is
// left running then). A second start while running changes nothing.
bool start(HWND window, UINT mouse_message, UINT key_message);
// Removes the hooks, delivers the events still queued and ends both
// threads; afterwards no further message arrives. Sent messages to the
// calling thread are handled while it waits, so it may be the window's own.
void stop();

// Counts of events, for the benchmarks.
struct Statistics {
    uint64_t events;     // reported by the system
    uint64_t delivered;  // handed to the window
    uint64_t lost;       // the queue was full
    uint64_t late;       // the window took longer than kDeliveryWaitMs
};
Statistics statistics();
void reset_statistics();
// Each hook procedure's time in microseconds goes to buffer[i] for the
// first `capacity` events after this call (null: none).
void record_hook_times(float* buffer, uint32_t capacity);

}  // namespace zvh
