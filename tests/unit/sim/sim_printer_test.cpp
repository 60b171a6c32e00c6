#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sim/sim_printer.h"

namespace {

std::vector<unsigned char> Marker(std::uint32_t value) {
    return {static_cast<unsigned char>(value), static_cast<unsigned char>(value >> 8),
            static_cast<unsigned char>(value >> 16), static_cast<unsigned char>(value >> 24)};
}

class Printer : public ::testing::Test {
protected:
    SimPrinter::WriteOutcome Send(int count, unsigned char fill = 0x5A) {
        const std::vector<unsigned char> bytes(static_cast<std::size_t>(count), fill);
        return printer_.Write(bytes.data(), count);
    }
    SimPrinter::WriteOutcome Send(const std::vector<unsigned char>& bytes) {
        return printer_.Write(bytes.data(), static_cast<int>(bytes.size()));
    }
    std::vector<int> States(int reads) {
        std::vector<int> states;
        for (int k = 0; k < reads; ++k) {
            const auto status = printer_.ReadStatus();
            states.push_back(status ? status->state : -1);
        }
        return states;
    }

    PrinterBehaviour behaviour_;
    SimPrinter printer_{behaviour_, "1.00"};
};

TEST_F(Printer, FindsMarkersAfterTheLastPieceOfAFile) {
    EXPECT_FALSE(Send(4096).marker);
    EXPECT_FALSE(Send(904).marker);
    EXPECT_EQ(Send(Marker(kMoreFilesMarker)).marker, kMoreFilesMarker);
    // A file whose size is a multiple of 4096 ends with an empty write.
    EXPECT_FALSE(Send(4096).marker);
    EXPECT_FALSE(Send(0).marker);
    EXPECT_EQ(Send(Marker(kLastFileMarker)).marker, kLastFileMarker);
    // After a sub-command (a short write) four bytes of a marker value count
    // as a marker; other values, or four bytes after a marker, are data.
    EXPECT_FALSE(Send({0x1B, 0x40}).marker);
    EXPECT_EQ(Send(Marker(0)).marker, kLastFileMarker);
    EXPECT_FALSE(Send(Marker(0x12345678)).marker);
    EXPECT_EQ(printer_.counters().markers, 3);
    EXPECT_EQ(printer_.counters().receivedBytes, 4096u + 904 + 4 + 4096 + 0 + 4 + 2 + 4 + 4);
}

TEST_F(Printer, MarkerTakenInPiecesCountsOnceComplete) {
    behaviour_.writeFaults = {{2, false, WriteFaultKind::kHalf}, {3, false, WriteFaultKind::kZero}};
    EXPECT_FALSE(Send(10).marker);
    const auto marker = Marker(kLastFileMarker);
    EXPECT_EQ(Send(marker).taken, 2);
    const std::vector<unsigned char> rest(marker.begin() + 2, marker.end());
    EXPECT_EQ(Send(rest).taken, 0);
    const auto last = Send(rest);
    EXPECT_EQ(last.taken, 2);
    EXPECT_EQ(last.marker, kLastFileMarker);
    EXPECT_EQ(printer_.counters().receivedBytes, 14u);
}

TEST_F(Printer, WriteFaultsHitTheirWrites) {
    behaviour_.writeFaults = {{2, false, WriteFaultKind::kShort}, {4, true, WriteFaultKind::kFail}};
    EXPECT_EQ(Send(100).taken, 100);
    EXPECT_EQ(Send(100).taken, 99);
    EXPECT_EQ(Send(100).taken, 100);
    EXPECT_EQ(Send(100).taken, -1);
    EXPECT_EQ(Send(100).taken, -1);
}

TEST_F(Printer, StatusScriptStartsAtTheLastFileMarkerAndBringsTheNewFirmware) {
    behaviour_.afterUpdate = {{{199, 0, 0}, 3}, {{10, 0, 0}, 1}};
    behaviour_.newFirmware = "1.10";
    behaviour_.status = {10, 0, 0};
    EXPECT_EQ(States(1), (std::vector<int>{10}));
    Send(10);
    Send(Marker(kMoreFilesMarker));
    EXPECT_EQ(States(1), (std::vector<int>{10}));
    Send(10);
    Send(Marker(kLastFileMarker));
    EXPECT_EQ(printer_.Firmware(), "1.00");
    EXPECT_EQ(States(3), (std::vector<int>{199, 199, 199}));
    EXPECT_EQ(printer_.Firmware(), "1.10");
    EXPECT_EQ(States(2), (std::vector<int>{10, 10}));
}

TEST_F(Printer, FaultCodesAppearAfterTheGivenFile) {
    behaviour_.faultAfterFile = 2;
    behaviour_.faultCodes = {0, 1, 31};
    Send(10);
    Send(Marker(kMoreFilesMarker));
    EXPECT_EQ(printer_.ReadStatus()->detail2, 0);
    Send(10);
    Send(Marker(kLastFileMarker));
    const auto status = printer_.ReadStatus();
    EXPECT_EQ(status->detail1, 1);
    EXPECT_EQ(status->detail2, 31);
}

TEST_F(Printer, StatusReadsFailInTheirRanges) {
    behaviour_.failStatusReads = {{2, 3}, {5, 0}};
    EXPECT_EQ(States(7), (std::vector<int>{10, -1, -1, 10, -1, -1, -1}));
}

TEST_F(Printer, RefusedConnectionsAndADeviceThatStopsAnswering) {
    behaviour_.refuseConnections = 2;
    behaviour_.stopAnsweringAfter = 2;
    EXPECT_FALSE(printer_.Connect());
    EXPECT_FALSE(printer_.Connect());
    EXPECT_TRUE(printer_.Connect());
    EXPECT_EQ(Send(5).taken, 5);
    EXPECT_EQ(Send(5).taken, 5);
    EXPECT_EQ(Send(5).taken, -1);
    EXPECT_FALSE(printer_.ReadStatus());
    EXPECT_FALSE(printer_.Connect());
}

TEST(PrinterCounters, SurviveTheirTextForm) {
    PrinterCounters counters;
    counters.connects = 3;
    counters.writes = 70000;
    counters.statusReads = 12;
    counters.markers = 2;
    counters.scriptStep = 1;
    counters.scriptReadsLeft = 4;
    counters.receivedBytes = 268435456;
    counters.digest = 0xfedcba9876543210ull;
    counters.firmware = "1.10";
    EXPECT_EQ(ParseCounters(FormatCounters(counters)), counters);
    EXPECT_EQ(ParseCounters("garbage\nWrites=x\n"), PrinterCounters());
}

TEST(Digest, IsFnv1a64) {
    EXPECT_EQ(ExtendDigest(kDigestStart, "", 0), 0xcbf29ce484222325ull);
    EXPECT_EQ(ExtendDigest(kDigestStart, "a", 1), 0xaf63dc4c8601ec8cull);
    EXPECT_EQ(ExtendDigest(ExtendDigest(kDigestStart, "fo", 2), "obar", 4), ExtendDigest(kDigestStart, "foobar", 6));
}

}  // namespace

namespace {

class FakeSimClock final : public SimClock {
public:
    std::int64_t NowMs() override { return now; }
    void SleepMs(int milliseconds) override {
        slept += milliseconds;
        now += milliseconds;
    }
    std::int64_t now = 1000000;
    std::int64_t slept = 0;
};

TEST(TimedPrinter, TakesDataAtItsRateFromEachConnection) {
    PrinterBehaviour behaviour;
    behaviour.bytesPerSecond = 4096 * 100;  // 100 chunks a second
    FakeSimClock clock;
    SimPrinter printer(behaviour, "1.00", clock);
    printer.StartStream();
    const std::vector<unsigned char> chunk(4096, 0x11);
    for (int k = 0; k < 100; ++k) printer.Write(chunk.data(), 4096);
    EXPECT_EQ(clock.slept, 1000);
    // A new connection starts its own pace; time spent between does not count.
    clock.now += 5000;
    printer.StartStream();
    printer.Write(chunk.data(), 4096);
    EXPECT_EQ(clock.slept, 1010);
}

TEST(TimedPrinter, ReportsUpdatingForItsRestartTimeThenTheNewFirmware) {
    PrinterBehaviour behaviour;
    behaviour.updatingSeconds = 20;
    behaviour.newFirmware = "1.10";
    FakeSimClock clock;
    SimPrinter printer(behaviour, "1.00", clock);
    const std::vector<unsigned char> piece(10, 0x22);
    const std::vector<unsigned char> zero(4, 0);
    printer.Write(piece.data(), 10);
    printer.Write(zero.data(), 4);
    EXPECT_EQ(printer.ReadStatus()->state, kSimUpdatingState);
    EXPECT_EQ(printer.Firmware(), "1.00");
    clock.now += 19999;
    EXPECT_EQ(printer.ReadStatus()->state, kSimUpdatingState);
    clock.now += 1;
    EXPECT_EQ(printer.ReadStatus()->state, 10);
    EXPECT_EQ(printer.Firmware(), "1.10");
    // The time survives the printer's records.
    EXPECT_EQ(ParseCounters(FormatCounters(printer.counters())), printer.counters());
}

}  // namespace
