#include <gtest/gtest.h>

#include "device/library_table.h"

// An empty table: every call reports the failure of that call and nothing is
// ever called through a null entry point.
TEST(BoundLibraries, UnboundEntryPointsFailTheirCall) {
    const LibraryTable empty;
    BoundLibraries libraries(empty);
    char path[kDevicePathBytes] = "stale";
    char id[kDeviceIdBytes] = {};
    PrinterStatusBlock status;
    wchar_t name[kSymbolicNameChars];
    int port = 0;

    EXPECT_NE(libraries.DUOpenConnection(1), 0);
    EXPECT_NE(libraries.DUWriteData("x", 1, 0, 1), 0);
    EXPECT_NE(libraries.DUReadData(id, 4, 2000, 1), 0);
    EXPECT_NE(libraries.DUGetDevicePath(path, 1), 0);
    EXPECT_STREQ(path, "");
    EXPECT_EQ(libraries.DUGetDeviceID(id, 1), 0);
    EXPECT_EQ(libraries.DecodeStatusFromDeviceID(id, &status), 0);
    EXPECT_EQ(libraries.USBConnectByPrinterName(L"P"), nullptr);
    EXPECT_EQ(libraries.USBReadStatus(L"P", &status), 0);
    EXPECT_NE(libraries.USBWrite(nullptr, "x", 1), 1);
    EXPECT_EQ(libraries.USBGetSymbolicNameByPortEx(L"USB001", 0, 0, name, kSymbolicNameChars), 0);
    EXPECT_FALSE(libraries.HasNetworkLibrary());
    EXPECT_FALSE(libraries.HasRawPortQuery());
    EXPECT_EQ(libraries.NetworkConnectNonBlock("127.0.0.1", 9100, 300000), kNoNetHandle);
    EXPECT_LT(libraries.NetworkWrite(5, "x", 1), 0);
    EXPECT_EQ(libraries.NetworkReadStatusV3("127.0.0.1", "meadow", 3, &status), 0);
    EXPECT_EQ(libraries.NetworkReadStatusV4("127.0.0.1", "meadow", 50, &status), 0);
    EXPECT_EQ(libraries.IsValidIpAddrV6(L"::1"), 0);
    EXPECT_NE(libraries.IpAddrV6Cmp(L"::1", L"::1"), 0);
    EXPECT_EQ(libraries.GetRAWPortNum("127.0.0.1", "meadow", &port), 0);
}

namespace {
int VORLEN_CALL OpenSucceeds(std::uint16_t) { return 0; }
int VORLEN_CALL WriteAll(void*, const void*, int count) { return count; }
}  // namespace

TEST(BoundLibraries, BoundEntryPointsAreCalled) {
    LibraryTable table;
    table.DUOpenConnection = OpenSucceeds;
    table.USBWrite = WriteAll;
    BoundLibraries libraries(table);
    EXPECT_EQ(libraries.DUOpenConnection(3), 0);
    EXPECT_EQ(libraries.USBWrite(nullptr, "abcd", 4), 4);
}
