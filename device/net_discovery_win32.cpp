#include <windows.h>
#include <versionhelpers.h>

#include "device/net_discovery.h"

// Asked through the version test rather than GetVersionEx, which reports an
// older version to programs whose manifest does not name the newer ones.
int RunningOsMajorVersion() {
    constexpr int kNewestKnownMajor = 10;
    for (int major = kNewestKnownMajor; major > kIpv6OsMajorVersion - 1; --major)
        if (IsWindowsVersionOrGreater(static_cast<WORD>(major), 0, 0)) return major;
    return kIpv6OsMajorVersion - 1;
}
