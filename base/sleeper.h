// Waiting, as a seam: the transfer jobs sleep through this interface so that
// tests run their waits in virtual time.
#pragma once

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
