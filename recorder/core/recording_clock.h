// Time arithmetic of a recording. Tick counts are 32-bit milliseconds that
// wrap after 49.7 days; differences are taken modulo 2^32, and a time a
// little before the previous one (an inserted operation stamped by the
// recorder while the hooks' events queue up) counts as no time.
#pragma once

#include <cstdint>

namespace zvb {

// Time the user did not spend recording: paused, or in an insert dialog.
// Both may overlap (a dialog opened while paused); the time counts once,
// from the first begin() to the matching last end().
class ExcludedTime {
public:
    void begin(uint32_t now) {
        if (depth_++ == 0) since_ = now;
    }
    void end(uint32_t now) {
        if (depth_ == 0) return;
        if (--depth_ == 0) accumulated_ += elapsed(since_, now);
    }
    // The time gathered since the last take, which the next record carries
    // (the running part of an open span stays for later).
    uint32_t take() {
        uint32_t t = accumulated_;
        accumulated_ = 0;
        return t;
    }
    void reset() { depth_ = 0, accumulated_ = 0, since_ = 0; }
    bool active() const { return depth_ != 0; }

    // now - since modulo 2^32, 0 when `now` lies (a little) before `since`.
    static uint32_t elapsed(uint32_t since, uint32_t now) {
        int32_t d = int32_t(now - since);
        return d < 0 ? 0 : uint32_t(d);
    }

private:
    int depth_ = 0;
    uint32_t since_ = 0;
    uint32_t accumulated_ = 0;
};

// The interval of each record: the time since the previous event, plus the
// interval of dropped records carried over, minus excluded time.
class IntervalClock {
public:
    // The interval of a record with event time `time`; `excluded` is the
    // excluded time that record carries. The first record gets 0 (less the
    // excluded time, clamped).
    uint32_t next(uint32_t time, uint32_t excluded) {
        if (!started_) started_ = true, previous_ = time;
        int32_t since = int32_t(time - previous_);
        int64_t interval = int64_t(since) + carried_ - excluded;
        // A time before the previous one does not move the clock back, so
        // the intervals still add up to the time that passed.
        if (since > 0) previous_ = time;
        if (interval < 0) return 0;
        return interval > int64_t(UINT32_MAX) ? UINT32_MAX : uint32_t(interval);
    }
    // A dropped record hands its interval on to the next one.
    void carry(uint32_t interval) { carried_ = interval; }
    // A written record takes what was carried.
    void written() { carried_ = 0; }

private:
    bool started_ = false;
    uint32_t previous_ = 0;
    uint32_t carried_ = 0;
};

}  // namespace zvb
