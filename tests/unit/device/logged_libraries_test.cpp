#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "device/logged_libraries.h"
#include "null_libraries.h"

namespace {

class LinesLog final : public RunLog {
public:
    void Line(std::string_view text) override { lines.emplace_back(text); }
    std::vector<std::string> lines;
};

// Answers the status reads and the writes as a printer would.
class AnsweringLibraries final : public NullLibraries {
public:
    int NetworkReadStatusV3(const char*, const char*, int, PrinterStatusBlock* status) override {
        status->bytes[9] = 3;
        status->bytes[74] = 1;
        status->bytes[75] = 31;
        return 1;
    }
    int USBWrite(void*, const void*, int count) override { return count; }
    int GetRAWPortNum(const char*, const char*, int* port) override {
        *port = 9100;
        return 1;
    }
};

TEST(LoggedLibraries, EveryCallIsWrittenWithItsResultAndNeverTheCommunity) {
    AnsweringLibraries inner;
    LinesLog log;
    LoggedLibraries libraries(inner, log);
    const char* community = "s3cret-community";
    PrinterStatusBlock status;
    EXPECT_EQ(libraries.NetworkReadStatusV3("192.0.2.7", community, 3, &status), 1);
    EXPECT_EQ(libraries.NetworkReadStatusV4("192.0.2.7", community, 3, &status), 0);
    const char* oids[] = {"1.3.6.1.4.1.2.3"};
    libraries.SNMPGetV4("192.0.2.7", community, 1, oids, 1000, nullptr);
    libraries.SNMPGetV6("2001:db8::7", community, 1, oids, 1000, nullptr);
    libraries.FindSnmpAgentEx(community, 1, "192.0.2.255", 500, "1.3.6", 0, nullptr, nullptr);
    libraries.FindSnmpAgentExV6(community, 1, "ff02::1", 500, "1.3.6", 0, nullptr, nullptr);
    int port = 0;
    libraries.GetRAWPortNum("192.0.2.7", community, &port);
    const unsigned char marker[4] = {0, 0, 0, 0};
    EXPECT_EQ(libraries.USBWrite(nullptr, marker, 4), 4);

    ASSERT_EQ(log.lines.size(), 8u);
    for (const std::string& line : log.lines) EXPECT_EQ(line.find("s3cret"), std::string::npos) << line;
    EXPECT_EQ(log.lines[0],
              "NetworkReadStatusV3(address=\"192.0.2.7\", community=***, mode=3) -> 1 state 3 detail 1 31");
    EXPECT_EQ(log.lines[1], "NetworkReadStatusV4(address=\"192.0.2.7\", community=***, mode=3) -> 0");
    EXPECT_NE(log.lines[2].find("oid=\"1.3.6.1.4.1.2.3\""), std::string::npos);
    EXPECT_EQ(log.lines[6], "GetRAWPortNum(address=\"192.0.2.7\", community=***) -> 1 port 9100");
    EXPECT_EQ(log.lines[7], "USBWrite(count=4, bytes=00000000) -> 4");
}

TEST(LoggedLibraries, LongWritesShowTheirStartOnly) {
    AnsweringLibraries inner;
    LinesLog log;
    LoggedLibraries libraries(inner, log);
    const std::string chunk(4096, '\x41');
    libraries.USBWrite(nullptr, chunk.data(), 4096);
    EXPECT_EQ(log.lines.at(0), "USBWrite(count=4096, bytes=41414141414141414141414141414141...) -> 4096");
}

}  // namespace
