// Keeping the system awake while a printer is being updated, as a seam: a
// machine that sleeps in the middle of a transfer leaves the printer with
// half an image. The request belongs to the thread that makes it (as the
// platform's execution state does), so a transfer makes and withdraws it on
// the thread that runs it. The display may still turn off.
#pragma once

class PowerRequests {
public:
    virtual ~PowerRequests() = default;
    // Asks the system not to sleep until AllowSleep.
    virtual void KeepSystemAwake() = 0;
    // Withdraws the request.
    virtual void AllowSleep() = 0;
};

// The platform's: the thread execution state on Windows; nothing elsewhere.
PowerRequests& PlatformPowerRequests();

// Holds the system awake for its lifetime. Scopes may nest on one thread
// (a batch around its updates): only the outermost makes and withdraws the
// request, so an inner scope's end does not let the system sleep in the
// middle of the batch.
class KeepAwake {
public:
    explicit KeepAwake(PowerRequests& power);
    ~KeepAwake();
    KeepAwake(const KeepAwake&) = delete;
    KeepAwake& operator=(const KeepAwake&) = delete;

private:
    PowerRequests& power_;
};
