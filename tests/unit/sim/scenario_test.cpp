#include <gtest/gtest.h>

#include "sim/scenario.h"

TEST(Scenario, ReadsUsbAndNetworkPrintersWithTheirBehaviour) {
    const Scenario scenario = ParseScenario(
        "[Fleet]\nRecordDir=rec\nRecord=digest\n"
        "[Usb0]\nIndex=7\nVID=5A71\nPID=0x1a\nModel=Korvane Laser 7030F\nPrinterName=Office\nPort=USB004\n"
        "Status=10/0/0\nSerial=K1\nFirmware=1.00\nVariant=JP01\nName=Desk\nIdentityResult=2\n"
        "AfterUpdate=199*3, 10\nNewFirmware=1.10\nFaultAfterFile=2\nFaultCodes=1/32\nRefuseConnections=2\n"
        "WriteFaults=3:short, 5+:zero\nFailStatusReads=1-2, 7, 9-\nStopAnsweringAfter=40\n"
        "[Net0]\nIPv4=192.0.2.7\nIPv6=fe80::1%11\nDeviceName=KL-7\nSysOID=1.3.6.1.4.1.47131.1\n"
        "Community=public\nFirmware=2.00\nVariant=EU01\nRawPort=9101\nAnswersGets=0\nDiscoveryAnswers=2\n"
        "1.3.6.1.2.1.1.1.0=Korvane printer\n");
    EXPECT_TRUE(scenario.problems.empty()) << scenario.problems.front();
    EXPECT_EQ(scenario.recordDir, "rec");
    EXPECT_TRUE(scenario.digestOnly);
    ASSERT_EQ(scenario.usb.size(), 1u);
    const UsbPrinterSpec& usb = scenario.usb[0];
    EXPECT_EQ(usb.id, "Usb0");
    EXPECT_EQ(usb.index, 7);
    EXPECT_EQ(usb.vid, 0x5A71);
    EXPECT_EQ(usb.pid, 0x1A);
    EXPECT_EQ(usb.printerName, "Office");
    EXPECT_EQ(usb.port, "USB004");
    EXPECT_EQ(usb.identityResult, 2);
    EXPECT_EQ(usb.deviceIdFields, "MFG:Korvane;CMD:PJL;MDL:Korvane Laser 7030F;CLS:PRINTER;");
    EXPECT_EQ(usb.devicePath, "\\\\?\\usb#vid_5a71&pid_001a#K1#{28d78fad-5a12-11d1-ae5b-0000f803a8c2}");
    const PrinterBehaviour& b = usb.behaviour;
    ASSERT_EQ(b.afterUpdate.size(), 2u);
    EXPECT_EQ(b.afterUpdate[0].status, (SimStatus{199, 0, 0}));
    EXPECT_EQ(b.afterUpdate[0].reads, 3);
    EXPECT_EQ(b.afterUpdate[1].status, (SimStatus{10, 0, 0}));
    EXPECT_EQ(b.newFirmware, "1.10");
    EXPECT_EQ(b.faultAfterFile, 2);
    EXPECT_EQ(b.faultCodes.detail2, 32);
    EXPECT_EQ(b.refuseConnections, 2);
    ASSERT_EQ(b.writeFaults.size(), 2u);
    EXPECT_EQ(b.writeFaults[1].first, 5);
    EXPECT_TRUE(b.writeFaults[1].onwards);
    EXPECT_EQ(b.writeFaults[1].kind, WriteFaultKind::kZero);
    ASSERT_EQ(b.failStatusReads.size(), 3u);
    EXPECT_EQ(b.failStatusReads[0].last, 2);
    EXPECT_EQ(b.failStatusReads[1].last, 7);
    EXPECT_EQ(b.failStatusReads[2].last, 0);
    EXPECT_EQ(b.stopAnsweringAfter, 40);

    ASSERT_EQ(scenario.net.size(), 1u);
    const NetPrinterSpec& net = scenario.net[0];
    EXPECT_EQ(net.ipv4, "192.0.2.7");
    ASSERT_TRUE(net.ipv6);
    EXPECT_EQ(net.ipv6->scopeId, 11u);
    EXPECT_EQ(net.community, "public");
    EXPECT_EQ(net.rawPort, 9101);
    EXPECT_FALSE(net.answersGets);
    EXPECT_EQ(net.discoveryAnswers, 2);
    EXPECT_EQ(net.oidValues.at(kFirmwareOid), "2.00");
    EXPECT_EQ(net.oidValues.at(kVariantOid), "EU01");
    EXPECT_EQ(net.oidValues.at(kSysObjectIdOid), "1.3.6.1.4.1.47131.1");
    EXPECT_EQ(net.oidValues.at(kSysNameOid), "KL-7");
    EXPECT_EQ(net.oidValues.at("1.3.6.1.2.1.1.1.0"), "Korvane printer");
}

TEST(Scenario, DefaultsGiveAReadyPrinterPerSection) {
    const Scenario scenario = ParseScenario("[Usb2]\nSerial=A\n[Net5]\nIPv4=192.0.2.9\n");
    ASSERT_EQ(scenario.usb.size(), 1u);
    EXPECT_EQ(scenario.usb[0].index, 3);
    EXPECT_EQ(scenario.usb[0].port, "USB003");
    EXPECT_EQ(scenario.usb[0].behaviour.status, (SimStatus{10, 0, 0}));
    EXPECT_EQ(scenario.usb[0].behaviour.stopAnsweringAfter, -1);
    ASSERT_EQ(scenario.net.size(), 1u);
    EXPECT_EQ(scenario.net[0].community, "meadow");
    EXPECT_EQ(scenario.net[0].rawPort, 9100);
    EXPECT_FALSE(scenario.digestOnly);
}

// Bad values keep their defaults and are named, so a typo never passes silently.
TEST(Scenario, ProblemsAreListedAndDefaultsKept) {
    const Scenario scenario = ParseScenario(
        "[Fleet]\nRecord=sometimes\n[Usb0]\nStatus=300\nIndex=70000\nColour=red\nAfterUpdate=199*0\n"
        "WriteFaults=3-short\nFailStatusReads=5-2\n[Net0]\nIPv6=fe80::g\nIPv4=1234567890123456\n");
    EXPECT_EQ(scenario.problems,
              (std::vector<std::string>{"Fleet: value of Record does not read: sometimes",
                                        "Usb0: value of Status does not read: 300",
                                        "Usb0: value of Index does not read: 70000", "Usb0: unknown key Colour",
                                        "Usb0: value of AfterUpdate does not read: 199*0",
                                        "Usb0: value of WriteFaults does not read: 3-short",
                                        "Usb0: value of FailStatusReads does not read: 5-2",
                                        "Net0: value of IPv6 does not read: fe80::g",
                                        "Net0: value of IPv4 does not read: 1234567890123456"}));
    EXPECT_EQ(scenario.usb[0].behaviour.status.state, 10);
    EXPECT_EQ(scenario.usb[0].index, 1);
    EXPECT_FALSE(scenario.net[0].ipv6);
}

TEST(Scenario, StatusTexts) {
    EXPECT_EQ(ParseSimStatus("199"), (SimStatus{199, 0, 0}));
    EXPECT_EQ(ParseSimStatus(" 0x0A / 1 / 30 "), (SimStatus{10, 1, 30}));
    EXPECT_FALSE(ParseSimStatus("10/1"));
    EXPECT_FALSE(ParseSimStatus("256"));
    EXPECT_FALSE(ParseSimStatus(""));
    EXPECT_FALSE(ParseSimStatus("-1"));
}

TEST(Scenario, ReadsTheRateAndTheRestartTime) {
    const Scenario scenario =
        ParseScenario("[Net0]\nIPv4=192.0.2.7\nBytesPerSecond=4194304\nUpdatingSeconds=20\n"
                      "[Net1]\nIPv4=192.0.2.8\nBytesPerSecond=fast\nUpdatingSeconds=-1\n");
    ASSERT_EQ(scenario.net.size(), 2u);
    EXPECT_EQ(scenario.net[0].behaviour.bytesPerSecond, 4194304);
    EXPECT_EQ(scenario.net[0].behaviour.updatingSeconds, 20);
    EXPECT_EQ(scenario.net[1].behaviour.bytesPerSecond, 0);
    EXPECT_EQ(scenario.net[1].behaviour.updatingSeconds, 0);
    EXPECT_EQ(scenario.problems.size(), 2u);
}
