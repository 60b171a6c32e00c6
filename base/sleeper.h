// Waiting, as a seam: the transfer jobs sleep through this interface so that
// tests run their waits in virtual time.
#pragma once

#include <cstdint>

class Sleeper {
public:
    virtual ~Sleeper() = default;
    virtual void SleepMs(int milliseconds) = 0;
};

// Real time: the platform's sleep.
class PlatformSleeper final : public Sleeper {
public:
    void SleepMs(int milliseconds) override;
};

// Two clocks: the wall clock only stamps what is written for people; every
// duration and deadline comes from the monotonic one, which a change of the
// system time does not move.
class Clock : public Sleeper {
public:
    virtual std::int64_t NowUtcMs() = 0;  // milliseconds since 1970
    virtual std::int64_t MonotonicMs() = 0;
};

// Real time.
class PlatformClock final : public Clock {
public:
    std::int64_t NowUtcMs() override;
    std::int64_t MonotonicMs() override;
    void SleepMs(int milliseconds) override { sleeper_.SleepMs(milliseconds); }

private:
    PlatformSleeper sleeper_;
};
