#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "app/command_line_update.h"
#include "base/files.h"
#include "sim/fleet.h"
#include "test_support.h"

namespace {

class Notices final : public CallerNotices {
public:
    void Post(int code, int value) override { posted.emplace_back(code, value); }
    std::vector<std::pair<int, int>> posted;
};

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t end = text.find('\n', at);
        lines.push_back(text.substr(at, end - at));
        at = end == std::string::npos ? text.size() : end + 1;
    }
    return lines;
}

const std::string kZeroMarker("\0\0\0\0", 4);
const std::string kMoreMarker("\xAA\x55\x55\xAA", 4);

const char kFleet[] =
    "[Usb0]\nIndex=3\nVID=5A71\nPID=001A\nModel=Korvane Laser 7000\nPrinterName=Korvane USB\nPort=USB002\n"
    "Serial=K7000-1\nFirmware=1.00\nVariant=JP01\nName=Desk printer\n"
    "AfterUpdate=199*2,10\nNewFirmware=1.10\n"
    "[Usb1]\nIndex=4\nVID=5A71\nPID=001A\nModel=Other\nPrinterName=Other USB\nStatus=20\n"
    "[Net0]\nIPv4=192.0.2.7\nSysOID=1.3.6.1.4.1.47131.1.1\nDeviceName=KL-A\nFirmware=2.00\nVariant=EU01\n"
    "[Net1]\nIPv6=fe80::211:22ff:fe33:4455%11\nSysOID=1.3.6.1.4.1.47131.1.2\nDeviceName=KL-B\n"
    "AfterUpdate=199,10\nNewFirmware=2.10\n"
    "[Net2]\nIPv4=192.0.2.9\nSysOID=1.3.6.1.4.1.99\nCommunity=secret\n";

// A package folder that is also the libraries' folder: the records land beside it.
class SimulatedFleet : public ::testing::Test {
protected:
    void SetUp() override {
        folder_.AddPatternFile("main.bin", 5000, 1);
        folder_.AddPatternFile("engine.bin", 3000, 2);
        settings_ = folder_.WriteConfig(
            "[General]\nEncoding=0\nFwCount=2\n[Granted]\nS0A*=1\n"
            "[Fw0]\nFileName=main.bin\n[Fw1]\nFileName=engine.bin\n");
    }

    std::string Record(const std::string& name) {
        return ReadWholeFile(folder_.dir().path() / name).value_or("");
    }

    PackageFolder folder_;
    PackageSettings settings_;
    PlatformFiles files_;
    Notices notices_;
};

TEST_F(SimulatedFleet, UsbCommandLineUpdateIsRecordedByteForByte) {
    {
        Fleet fleet(folder_.dir().path(), kFleet);
        EXPECT_TRUE(fleet.scenario().problems.empty());
        EXPECT_EQ(UpdateViaUsb(settings_, fleet, files_, L"Korvane USB", &notices_), 1);
    }
    EXPECT_EQ(notices_.posted, (std::vector<std::pair<int, int>>{{1, 40}, {1, 50}, {1, 100}, {128, 0}}));
    EXPECT_EQ(Record("Usb0.bin"), PatternBytes(5000, 1) + kZeroMarker + PatternBytes(3000, 2) + kZeroMarker);
    EXPECT_EQ(Lines(Record("Usb0.log")),
              (std::vector<std::string>{"USBConnectByPrinterName \"Korvane USB\" -> connected",
                                        "USBReadStatus \"Korvane USB\" -> status 10/0/0", "USBWrite 4096 -> took 4096",
                                        "USBWrite 904 -> took 904", "USBWrite 4 -> took 4 marker 00000000",
                                        "USBWrite 3000 -> took 3000", "USBWrite 4 -> took 4 marker 00000000",
                                        "USBDisconnect -> closed"}));
}

TEST_F(SimulatedFleet, NetworkCommandLineUpdateMarksFilesAndConnectsPerEntry) {
    {
        Fleet fleet(folder_.dir().path(), kFleet);
        EXPECT_EQ(UpdateViaNetwork(settings_, fleet, files_, L"fe80::211:22ff:fe33:4455%11", &notices_), 1);
    }
    EXPECT_EQ(Record("Net1.bin"), PatternBytes(5000, 1) + kMoreMarker + PatternBytes(3000, 2) + kZeroMarker);
    const auto log = Lines(Record("Net1.log"));
    ASSERT_EQ(log.size(), 10u);
    EXPECT_EQ(log[0], "NetworkReadStatusV3 fe80::211:22ff:fe33:4455%11 \"meadow\" 3 -> status 10/0/0");
    EXPECT_EQ(log[1], "NetworkConnectNonBlock fe80::211:22ff:fe33:4455%11 9100 300000 -> handle 100");
    EXPECT_EQ(log[4], "NetworkWrite 4 -> took 4 marker AA5555AA");
    EXPECT_EQ(log[5], "NetworkClose 100 -> closed");
    EXPECT_EQ(log[6], "NetworkConnectNonBlock fe80::211:22ff:fe33:4455%11 9100 300000 -> handle 101");
    EXPECT_EQ(log[9], "NetworkClose 101 -> closed");
}

TEST_F(SimulatedFleet, FaultsReachTheCommandLineUpdate) {
    const std::string scenario =
        "[Usb0]\nPrinterName=P1\nWriteFaults=2:short\n"
        "[Usb1]\nPrinterName=P2\nStatus=11\n"
        "[Net0]\nIPv4=192.0.2.1\nRefuseConnections=1\n"
        "[Net1]\nIPv4=192.0.2.2\nWriteFaults=3+:zero\n"
        "[Net2]\nIPv4=192.0.2.3\nFailStatusReads=1-\n"
        "[Net3]\nIPv4=192.0.2.4\nWriteFaults=2:half\n"
        "[Net4]\nIPv4=192.0.2.5\nRawPort=9101\n";
    Fleet fleet(folder_.dir().path(), scenario);
    const auto last = [&] { return notices_.posted.back(); };
    EXPECT_EQ(UpdateViaUsb(settings_, fleet, files_, L"P1", &notices_), -1);
    EXPECT_EQ(last(), std::make_pair(255, 255));
    EXPECT_EQ(UpdateViaUsb(settings_, fleet, files_, L"P2", &notices_), -1);
    EXPECT_EQ(last(), std::make_pair(255, 4));
    EXPECT_EQ(UpdateViaUsb(settings_, fleet, files_, L"nobody", &notices_), -1);
    EXPECT_EQ(last(), std::make_pair(255, 1));
    EXPECT_EQ(UpdateViaNetwork(settings_, fleet, files_, L"192.0.2.1", &notices_), -1);
    EXPECT_EQ(last(), std::make_pair(255, 1));
    EXPECT_EQ(UpdateViaNetwork(settings_, fleet, files_, L"192.0.2.2", &notices_), -1);  // marker never taken
    EXPECT_EQ(last(), std::make_pair(255, 255));
    EXPECT_EQ(UpdateViaNetwork(settings_, fleet, files_, L"192.0.2.3", &notices_), -1);
    EXPECT_EQ(last(), std::make_pair(255, 4));
    EXPECT_EQ(UpdateViaNetwork(settings_, fleet, files_, L"192.0.2.4", &notices_), -1);  // short data write
    EXPECT_EQ(last(), std::make_pair(255, 255));
    EXPECT_EQ(UpdateViaNetwork(settings_, fleet, files_, L"192.0.2.5", &notices_), -1);  // port 9100 not open
    EXPECT_EQ(last(), std::make_pair(255, 1));
}

TEST_F(SimulatedFleet, NetworkMarkerTakenInPiecesArrivesWhole) {
    {
        Fleet fleet(folder_.dir().path(), "[Net0]\nIPv4=192.0.2.1\nWriteFaults=3:half,4:zero\n");
        EXPECT_EQ(UpdateViaNetwork(settings_, fleet, files_, L"192.0.2.1", &notices_), 1);
    }
    EXPECT_EQ(Record("Net0.bin"), PatternBytes(5000, 1) + kMoreMarker + PatternBytes(3000, 2) + kZeroMarker);
    const auto log = Lines(Record("Net0.log"));
    EXPECT_EQ(log[4], "NetworkWrite 4 -> took 2");
    EXPECT_EQ(log[5], "NetworkWrite 2 -> took 0");
    EXPECT_EQ(log[6], "NetworkWrite 2 -> took 2 marker AA5555AA");
}

// A later process (another Fleet over the same folder) sees the printer where
// the update left it: updating for two reads, then ready with new firmware.
TEST_F(SimulatedFleet, StatusScriptCarriesOverToTheNextProcess) {
    {
        Fleet fleet(folder_.dir().path(), kFleet);
        EXPECT_EQ(UpdateViaUsb(settings_, fleet, files_, L"Korvane USB", &notices_), 1);
    }
    Fleet later(folder_.dir().path(), kFleet);
    std::vector<int> states;
    char deviceId[kDeviceIdBytes];
    PrinterStatusBlock status;
    for (int k = 0; k < 3; ++k) {
        ASSERT_EQ(later.DUGetDeviceID(deviceId, 3), 1);
        ASSERT_EQ(later.DecodeStatusFromDeviceID(deviceId, &status), 1);
        states.push_back(status.stateCode());
    }
    EXPECT_EQ(states, (std::vector<int>{199, 199, 10}));
    ASSERT_EQ(later.DUOpenConnection(3), 0);
    ASSERT_EQ(later.DUWriteData(kIdentityRequest, 10, 0, 3), 0);
    char reply[kIdentityReplyBytes];
    ASSERT_EQ(later.DUReadData(reply, kIdentityReplyBytes, 2000, 3), 0);
    EXPECT_STREQ(reply + 204, "1.10");
    EXPECT_EQ(later.DUCloseConnection(3), 0);
}

TEST_F(SimulatedFleet, IdentityAndNameRepliesFollowTheirLayout) {
    Fleet fleet(folder_.dir().path(),
                "[Usb0]\nIndex=1\nSerial=K7000-1\nFirmware=1.00\nVariant=JP01\nName=Desk printer\n"
                "[Usb1]\nIndex=2\nIdentityResult=1\nSerial=0123456789012345678901234567890123456789\n");
    char reply[kIdentityReplyBytes] = {};
    EXPECT_NE(fleet.DUWriteData(kIdentityRequest, 10, 0, 1), 0);  // not open
    ASSERT_EQ(fleet.DUOpenConnection(1), 0);
    EXPECT_NE(fleet.DUOpenConnection(1), 0);  // already open
    EXPECT_NE(fleet.DUReadData(reply, kIdentityReplyBytes, 2000, 1), 0);  // nothing asked
    ASSERT_EQ(fleet.DUWriteData(kIdentityRequest, 10, 0, 1), 0);
    ASSERT_EQ(fleet.DUReadData(reply, kIdentityReplyBytes, 2000, 1), 0);
    EXPECT_EQ(reply[1], 0);
    EXPECT_STREQ(reply + 44, "K7000-1");
    EXPECT_STREQ(reply + 204, "1.00");
    EXPECT_STREQ(reply + 268, "JP01");
    char name[kNameReplyBytes] = {};
    ASSERT_EQ(fleet.DUWriteData(kNameRequest, 10, 0, 1), 0);
    ASSERT_EQ(fleet.DUReadData(name, kNameReplyBytes, 2000, 1), 0);
    EXPECT_STREQ(name + 12, "Desk printer");
    EXPECT_EQ(fleet.DUCloseConnection(1), 0);

    ASSERT_EQ(fleet.DUOpenConnection(2), 0);
    ASSERT_EQ(fleet.DUWriteData(kIdentityRequest, 10, 0, 2), 0);
    ASSERT_EQ(fleet.DUReadData(reply, kIdentityReplyBytes, 2000, 2), 0);
    EXPECT_EQ(reply[1], 1);
    EXPECT_EQ(std::string(reply + 44, 40), "0123456789012345678901234567890123456789");
    fleet.DUCloseConnection(2);
    // The queries are answered, never taken as stream data.
    EXPECT_EQ(Record("Usb0.bin"), "");
}

TEST_F(SimulatedFleet, DeviceUtilityStreamWithFaultsAndADeviceThatStopsAnswering) {
    {
        Fleet fleet(folder_.dir().path(), "[Usb0]\nIndex=1\nWriteFaults=2:short\nStopAnsweringAfter=3\n");
        const std::string data = PatternBytes(100, 1);
        EXPECT_NE(fleet.DUWriteData(data.data(), 100, 0, 1), 0);  // not open
        ASSERT_EQ(fleet.DUOpenConnection(1), 0);
        EXPECT_EQ(fleet.DUWriteData(data.data(), 100, 0, 1), 0);
        EXPECT_NE(fleet.DUWriteData(data.data(), 100, 0, 1), 0);  // takes 99
        EXPECT_EQ(fleet.DUWriteData(kZeroMarker.data(), 4, 0, 1), 0);
        // Three writes taken: from now on nothing answers.
        EXPECT_NE(fleet.DUWriteData(data.data(), 100, 0, 1), 0);
        EXPECT_NE(fleet.DUWriteData(kIdentityRequest, 10, 0, 1), 0);
        char reply[kIdentityReplyBytes];
        EXPECT_NE(fleet.DUReadData(reply, kIdentityReplyBytes, 2000, 1), 0);
        char deviceId[kDeviceIdBytes];
        EXPECT_EQ(fleet.DUGetDeviceID(deviceId, 1), 0);
        EXPECT_EQ(fleet.DUCloseConnection(1), 0);
        EXPECT_NE(fleet.DUOpenConnection(1), 0);
        EXPECT_EQ(Record("Usb0.bin"), data + data.substr(0, 99) + kZeroMarker);
    }
    EXPECT_EQ(Lines(Record("Usb0.log")),
              (std::vector<std::string>{"DUWriteData 100 -> failed: not open", "DUOpenConnection -> open",
                                        "DUWriteData 100 -> took 100", "DUWriteData 100 -> took 99",
                                        "DUWriteData 4 -> took 4 marker 00000000", "DUWriteData 100 -> failed",
                                        "DUWriteData identity request -> failed",
                                        "DUReadData 428 wait 2000 -> timed out", "DUGetDeviceID -> failed",
                                        "DUCloseConnection -> closed", "DUOpenConnection -> refused"}));
}

std::vector<std::pair<std::string, int>> g_listed;
int VORLEN_CALL Listed(const char* deviceId, std::uint16_t index) {
    g_listed.emplace_back(deviceId, index);
    return 1;
}

TEST_F(SimulatedFleet, EnumerationListsTheModelsAskedForWithStatusInTheDeviceId) {
    Fleet fleet(folder_.dir().path(), kFleet);
    g_listed.clear();
    fleet.DUEnumPrinterEx(0x5A71, 0x001A, "Korvane Laser 7030F\0Korvane Laser 7000\0", Listed);
    ASSERT_EQ(g_listed.size(), 1u);
    EXPECT_EQ(g_listed[0].second, 3);
    EXPECT_EQ(g_listed[0].first, "MFG:Korvane;CMD:PJL;MDL:Korvane Laser 7000;CLS:PRINTER;VST:10,0,0;");
    g_listed.clear();
    fleet.DUEnumPrinterEx(0x5A71, 0x001B, "Korvane Laser 7000\0", Listed);
    EXPECT_TRUE(g_listed.empty());

    char path[kDevicePathBytes];
    EXPECT_EQ(fleet.DUGetDevicePath(path, 3), 0);
    EXPECT_STREQ(path, "\\\\?\\usb#vid_5a71&pid_001a#K7000-1#{28d78fad-5a12-11d1-ae5b-0000f803a8c2}");
    EXPECT_NE(fleet.DUGetDevicePath(path, 99), 0);
    EXPECT_STREQ(path, "");
    wchar_t symbolic[kSymbolicNameChars];
    EXPECT_EQ(fleet.USBGetSymbolicNameByPortEx(L"usb002", 0, 0, symbolic, kSymbolicNameChars), 1);
    EXPECT_EQ(std::wstring(symbolic).substr(4, 3), L"usb");
    EXPECT_EQ(fleet.USBGetSymbolicNameByPortEx(L"USB009", 0, 0, symbolic, kSymbolicNameChars), 0);
}

TEST_F(SimulatedFleet, AnUnpluggedUsbPrinterIsNeitherListedNorReachedUntilPluggedInAgain) {
    Fleet fleet(folder_.dir().path(), kFleet);
    const auto unplug = folder_.dir().path() / "Usb0.unplugged";
    WriteBytes(unplug, "");
    g_listed.clear();
    fleet.DUEnumPrinterEx(0x5A71, 0x001A, "Korvane Laser 7000\0", Listed);
    EXPECT_TRUE(g_listed.empty());
    char path[kDevicePathBytes];
    EXPECT_NE(fleet.DUGetDevicePath(path, 3), 0);
    EXPECT_EQ(fleet.USBConnectByPrinterName(L"Korvane USB"), nullptr);

    std::filesystem::remove(unplug);
    fleet.DUEnumPrinterEx(0x5A71, 0x001A, "Korvane Laser 7000\0", Listed);
    EXPECT_EQ(g_listed.size(), 1u);
    EXPECT_EQ(fleet.DUGetDevicePath(path, 3), 0);
}

// The list page refreshes by enumerating: each listing is a status read.
TEST_F(SimulatedFleet, EnumerationAfterAnUpdateFollowsTheStatusScript) {
    Fleet fleet(folder_.dir().path(), kFleet);
    EXPECT_EQ(UpdateViaUsb(settings_, fleet, files_, L"Korvane USB", &notices_), 1);
    std::vector<std::string> listed;
    for (int k = 0; k < 3; ++k) {
        g_listed.clear();
        fleet.DUEnumPrinterEx(0x5A71, 0x001A, "Korvane Laser 7000\0", Listed);
        ASSERT_EQ(g_listed.size(), 1u);
        listed.push_back(g_listed[0].first.substr(g_listed[0].first.find("VST:")));
    }
    EXPECT_EQ(listed, (std::vector<std::string>{"VST:199,0,0;", "VST:199,0,0;", "VST:10,0,0;"}));
    EXPECT_EQ(ParseCounters(Record("Usb0.state")).statusReads, 4);
}

TEST(DeviceIdStatus, DecodesOurFieldOnly) {
    PrinterStatusBlock status;
    EXPECT_TRUE(DecodeDeviceIdStatus("MFG:K;VST:199,1,30;CLS:PRINTER;", status));
    EXPECT_EQ(status.stateCode(), 199);
    EXPECT_EQ(status.detailCode1(), 1);
    EXPECT_EQ(status.detailCode2(), 30);
    EXPECT_TRUE(DecodeDeviceIdStatus("VST:10,0,0", status));
    EXPECT_FALSE(DecodeDeviceIdStatus("MFG:K;XVST:1,2,3;", status));
    EXPECT_FALSE(DecodeDeviceIdStatus("VST:1,2;", status));
    EXPECT_FALSE(DecodeDeviceIdStatus("VST:1,2,300;", status));
    EXPECT_FALSE(DecodeDeviceIdStatus("", status));
}

std::vector<std::string> g_agents;
int VORLEN_CALL AgentV4(const char* address, const char* name) {
    g_agents.push_back(std::string(address) + " " + name);
    return 1;
}
int VORLEN_CALL AgentV6(const unsigned char* address, std::uint32_t scope, const char* name) {
    Ipv6Address parsed;
    std::copy(address, address + 16, parsed.bytes.begin());
    parsed.scopeId = scope;
    g_agents.push_back(FormatIpv6(parsed) + " " + name);
    return 1;
}
std::vector<std::string> g_values;
int VORLEN_CALL Value(const char*, const char* oid, int, const unsigned char* value, int length) {
    g_values.push_back(std::string(oid) + "=" + std::string(reinterpret_cast<const char*>(value), length));
    return 1;
}

TEST_F(SimulatedFleet, DiscoveryAnswersOnlyListedIdentifiersAndTheRightCommunity) {
    Fleet fleet(folder_.dir().path(), kFleet + std::string("[Net3]\nIPv4=192.0.2.10\nSysOID=1.3.6.1.4.1.47131.1.1\n"
                                                           "DiscoveryAnswers=2\nStopAnsweringAfter=0\n"));
    const char list[] = "1.3.6.1.4.1.47131.1.1\0001.3.6.1.4.1.47131.1.2\0";
    g_agents.clear();
    fleet.FindSnmpAgentEx("meadow", 1, "255.255.255.255", 3000, list, 0, AgentV4, nullptr);
    EXPECT_EQ(g_agents, (std::vector<std::string>{"192.0.2.7 KL-A"}));
    g_agents.clear();
    fleet.FindSnmpAgentEx("public", 1, "255.255.255.255", 3000, list, 0, AgentV4, nullptr);
    fleet.FindSnmpAgentEx("meadow", 0, "192.0.2.8", 2000, list, 0, AgentV4, nullptr);
    fleet.FindSnmpAgentEx("secret", 1, "255.255.255.255", 3000, list, 0, AgentV4, nullptr);
    EXPECT_TRUE(g_agents.empty());
    fleet.FindSnmpAgentEx("secret", 1, "255.255.255.255", 3000, "1.3.6.1.4.1.99\0", 0, AgentV4, nullptr);
    EXPECT_EQ(g_agents, (std::vector<std::string>{"192.0.2.9 KORVANE-3"}));
    g_agents.clear();
    fleet.FindSnmpAgentExV6("meadow", 1, "", 2000, list, 0, AgentV6, nullptr);
    fleet.FindSnmpAgentExV6("meadow", 0, "fe80::211:22ff:fe33:4455", 2000, list, 0, AgentV6, nullptr);
    EXPECT_EQ(g_agents, (std::vector<std::string>{"fe80:0:0:0:211:22ff:fe33:4455%11 KL-B",
                                                  "fe80:0:0:0:211:22ff:fe33:4455%11 KL-B"}));

    g_values.clear();
    const char* firmware[] = {kFirmwareOid};
    const char* variant[] = {kVariantOid};
    EXPECT_EQ(fleet.SNMPGetV4("192.0.2.7", "meadow", 1, firmware, 1000, Value), 1);
    EXPECT_EQ(fleet.SNMPGetV4("192.0.2.7", "meadow", 1, variant, 1000, Value), 1);
    EXPECT_EQ(fleet.SNMPGetV4("192.0.2.7", "public", 1, variant, 1000, Value), 0);
    EXPECT_EQ(fleet.SNMPGetV6("fe80::211:22ff:fe33:4455%11", "meadow", 1, variant, 500, Value), 0);
    EXPECT_EQ(g_values, (std::vector<std::string>{std::string(kFirmwareOid) + "=2.00",
                                                  std::string(kVariantOid) + "=EU01"}));
    int port = 0;
    EXPECT_EQ(fleet.GetRAWPortNum("192.0.2.7", "meadow", &port), 1);
    EXPECT_EQ(port, 9100);
    EXPECT_EQ(fleet.IsValidIpAddrV6(L"fe80::1%3"), 1);
    EXPECT_EQ(fleet.IsValidIpAddrV6(L"192.0.2.7"), 0);
    EXPECT_EQ(fleet.IpAddrV6Cmp(L"FE80::1", L"fe80:0::1"), 0);
}

TEST_F(SimulatedFleet, TwiceAnsweringAgentAndAMissingPrinterAreVisible) {
    Fleet fleet(folder_.dir().path(), "[Net0]\nIPv4=192.0.2.10\nSysOID=1.1\nDiscoveryAnswers=2\n"
                                      "[Net1]\nIPv4=192.0.2.11\nSysOID=1.1\nStopAnsweringAfter=0\n");
    g_agents.clear();
    fleet.FindSnmpAgentEx("meadow", 1, "255.255.255.255", 3000, "1.1\0", 0, AgentV4, nullptr);
    EXPECT_EQ(g_agents, (std::vector<std::string>{"192.0.2.10 KORVANE-1", "192.0.2.10 KORVANE-1"}));
    EXPECT_EQ(UpdateViaUsb(settings_, fleet, files_, L"nobody", &notices_), -1);
    const auto fleetLog = Lines(Record("fleet.log"));
    ASSERT_FALSE(fleetLog.empty());
    EXPECT_EQ(fleetLog.back(), "no USB printer named \"nobody\"");
}

TEST_F(SimulatedFleet, DigestRecordingKeepsCountAndDigestInsteadOfBytes) {
    {
        Fleet fleet(folder_.dir().path(), std::string("[Fleet]\nRecord=digest\nRecordDir=rec\n") + kFleet);
        EXPECT_EQ(UpdateViaUsb(settings_, fleet, files_, L"Korvane USB", &notices_), 1);
    }
    EXPECT_FALSE(ReadWholeFile(folder_.dir().path() / "rec" / "Usb0.bin"));
    const std::string stream = PatternBytes(5000, 1) + kZeroMarker + PatternBytes(3000, 2) + kZeroMarker;
    const PrinterCounters counters =
        ParseCounters(ReadWholeFile(folder_.dir().path() / "rec" / "Usb0.state").value_or(""));
    EXPECT_EQ(counters.receivedBytes, stream.size());
    EXPECT_EQ(counters.digest, ExtendDigest(kDigestStart, stream.data(), stream.size()));
    EXPECT_EQ(counters.markers, 2);
}

TEST_F(SimulatedFleet, ScenarioProblemsGoToTheFleetTranscript) {
    { Fleet fleet(folder_.dir().path(), "[Usb0]\nColour=red\n"); }
    EXPECT_EQ(Lines(Record("fleet.log")), (std::vector<std::string>{"scenario: Usb0: unknown key Colour"}));
    { Fleet fleet(folder_.dir().path() / "nowhere"); }
    EXPECT_EQ(Lines(ReadWholeFile(folder_.dir().path() / "nowhere" / "fleet.log").value_or("")),
              (std::vector<std::string>{"scenario: no scenario file vorlensim.ini"}));
}

}  // namespace
