#include "base/keep_awake.h"

namespace {

// The portable build runs no printer updates of its own: nothing to hold.
class NoPowerRequests final : public PowerRequests {
public:
    void KeepSystemAwake() override {}
    void AllowSleep() override {}
};

}  // namespace

PowerRequests& PlatformPowerRequests() {
    static NoPowerRequests none;
    return none;
}
