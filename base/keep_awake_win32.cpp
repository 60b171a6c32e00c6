#include <windows.h>

#include "base/keep_awake.h"

namespace {

class ThreadExecutionState final : public PowerRequests {
public:
    // System only: the display may turn off during a long transfer.
    void KeepSystemAwake() override { SetThreadExecutionState(ES_CONTINUOUS | ES_SYSTEM_REQUIRED); }
    void AllowSleep() override { SetThreadExecutionState(ES_CONTINUOUS); }
};

}  // namespace

PowerRequests& PlatformPowerRequests() {
    static ThreadExecutionState state;
    return state;
}
