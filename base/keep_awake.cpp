#include "base/keep_awake.h"

namespace {

// Scopes open on this thread; mirrors the per-thread request it guards.
thread_local int t_openScopes = 0;

}  // namespace

KeepAwake::KeepAwake(PowerRequests& power) : power_(power) {
    if (t_openScopes++ == 0) power_.KeepSystemAwake();
}

KeepAwake::~KeepAwake() {
    if (--t_openScopes == 0) power_.AllowSleep();
}
