#include <gtest/gtest.h>

#include <windows.h>

#include "device/net_discovery.h"

// Every system the program runs on has IPv6 discovery; the answer must also
// agree with the version test of the platform.
TEST(RunningOs, MajorVersionAgreesWithThePlatformsVersionTest) {
    const int major = RunningOsMajorVersion();
    EXPECT_GE(major, kIpv6OsMajorVersion);
    OSVERSIONINFOEXW wanted = {};
    wanted.dwOSVersionInfoSize = sizeof wanted;
    wanted.dwMajorVersion = static_cast<DWORD>(major);
    const DWORDLONG atLeast = VerSetConditionMask(0, VER_MAJORVERSION, VER_GREATER_EQUAL);
    EXPECT_TRUE(VerifyVersionInfoW(&wanted, VER_MAJORVERSION, atLeast));
    wanted.dwMajorVersion = static_cast<DWORD>(major + 1);
    EXPECT_FALSE(VerifyVersionInfoW(&wanted, VER_MAJORVERSION, atLeast));
}
