#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "transfer_fixture.h"

namespace {

const std::string kMore = MarkerText(kMarkerMoreFiles);
const std::string kLast = MarkerText(kMarkerLastFile);
const std::string kAbandon = MarkerText(kMarkerAbandon);
const char kAddress[] = "192.0.2.10";
const wchar_t kAddressText[] = L"192.0.2.10";

std::vector<int> Repeat(int value, int times) { return std::vector<int>(static_cast<std::size_t>(times), value); }
std::vector<int> Join(std::initializer_list<std::vector<int>> parts) {
    std::vector<int> all;
    for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

class NetworkTransfer : public TransferFixture {
public:
    void TwoEntryPackage() {
        folder.AddPatternFile("a.bin", 5000, 1);
        folder.AddPatternFile("b.bin", 4096, 2);
        Package(2,
                "[Fw0]\nFileName=a.bin\nPostDelay=1500\nSubCmdCnt=1\nCmd0=1B 45\nCmd0_PostDelay=200\n"
                "[Fw1]\nFileName=b.bin\n");
    }
    void OneFilePackage() {
        folder.AddPatternFile("a.bin", 5000, 1);
        Package(1, "[Fw0]\nFileName=a.bin\n");
    }
};

}  // namespace

TEST_F(NetworkTransfer, OneConnectionPerFileWithMarkerSubCommandsThenPolls) {
    TwoEntryPackage();
    NetPrinterItem& printer = AddNet(kAddressText, L"Office laser");
    RunNet("fleet7");

    const FakePrinter& seen = fleet.Net(kAddress);
    EXPECT_EQ(seen.connections.size(), 2u);
    EXPECT_STREAM(seen.connections[0], File("a.bin") + kMore + "\x1B\x45");
    EXPECT_STREAM(seen.connections[1], File("b.bin") + kLast);
    EXPECT_EQ(seen.writeSizes, (std::vector<int>{4096, 904, 4, 2, 4096, 0, 4}));
    EXPECT_EQ(seen.connectPorts, (std::vector<int>{9100, 9100}));
    EXPECT_EQ(seen.closes, 2);
    // Post delay and sub-command wait come before the polls here.
    EXPECT_EQ(clock.sleeps, Join({{300, 1000, 500, 200}, Repeat(200, 5), {300}, Repeat(200, 5), Repeat(1000, 10)}));
    EXPECT_EQ(window.printerLines, (std::vector<std::wstring>{L"Printer:Office laser"}));
    EXPECT_EQ(window.cancelStates, (std::vector<bool>{true, false}));
    EXPECT_EQ(window.bars, (std::vector<int>{42, 51, 95, 96, 97, 98, 99, 100}));
    EXPECT_TRUE(window.errors.empty());
    EXPECT_EQ(printer.transferResult, kTransferCompleted);
    EXPECT_EQ(timeline, (Timeline{"connect 192.0.2.10", "close 192.0.2.10", "connect 192.0.2.10",
                                  "close 192.0.2.10"}));
    // The community reaches every status read.
    for (const std::string& call : seen.communities) EXPECT_EQ(call.substr(call.find(':') + 1), "fleet7");
    EXPECT_EQ(seen.communities.front(), "v3:fleet7");
    for (const auto& open : files.opens) EXPECT_EQ(open.sharing, FileSharing::Exclusive);
    EXPECT_EQ(job.done.load(), 1);
}

TEST_F(NetworkTransfer, RawPortFromTheLibraryOr9100) {
    struct Case {
        bool bound;
        int result;
        int port;
        int expected;
    };
    const Case cases[] = {
        {false, 1, 515, 9100},  // not bound: not asked
        {true, 0, 515, 9100},
        {true, 1, 515, 515},
        {true, 1, 0, 9100},      // a port no printer listens on
        {true, 1, 70000, 9100},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.port);
        TearDownRun();
        OneFilePackage();
        AddNet(kAddressText, L"");
        fleet.rawPortQueryBound = c.bound;
        fleet.rawPortResult = c.result;
        fleet.rawPort = c.port;
        RunNet();
        EXPECT_EQ(fleet.Net(kAddress).connectPorts, (std::vector<int>{c.expected}));
        const std::vector<std::string>& calls = fleet.Net(kAddress).communities;
        EXPECT_EQ(std::count(calls.begin(), calls.end(), "raw:public"), c.bound ? 1 : 0);
    }
}

TEST_F(NetworkTransfer, TenRefusedConnectionsEndTheJob) {
    OneFilePackage();
    NetPrinterItem& refusing = AddNet(kAddressText, L"Office laser");
    AddNet(L"192.0.2.11", L"Other");
    fleet.Net(kAddress).refuseConnects = 10;
    RunNet();

    EXPECT_EQ(fleet.Net(kAddress).connectAttempts, 10);
    EXPECT_EQ(clock.sleeps, Repeat(100, 9));
    EXPECT_EQ(window.errors, (std::vector<std::wstring>{kSendFailed + kAddressText}));
    EXPECT_EQ(refusing.transferResult, kTransferPending);
    EXPECT_EQ(job.abortReason.load(), kAbortByJob);
    EXPECT_EQ(fleet.touched, (std::vector<std::string>{kAddress}));
    EXPECT_EQ(job.done.load(), 1);

    // Nine refusals: the tenth attempt gets through.
    TearDownRun();
    OneFilePackage();
    NetPrinterItem& slow = AddNet(kAddressText, L"Office laser");
    fleet.Net(kAddress).refuseConnects = 9;
    RunNet();
    EXPECT_STREAM(fleet.Net(kAddress).received, File("a.bin") + kLast);
    EXPECT_EQ(slow.transferResult, kTransferCompleted);
}

TEST_F(NetworkTransfer, UnreadableOrIneligiblePrinterEndsTheJob) {
    for (bool answers : {false, true}) {
        TearDownRun();
        OneFilePackage();
        NetPrinterItem& printer = AddNet(kAddressText, L"");
        printer.transferResult = kTransferCompleted;
        AddNet(L"192.0.2.11", L"");
        if (answers)
            fleet.Net(kAddress).check.stateCode = 0x0B;
        else
            fleet.Net(kAddress).check = StatusReply::Silent();
        RunNet();
        EXPECT_EQ(window.errors, (std::vector<std::wstring>{kNotReady}));
        EXPECT_EQ(printer.transferResult, kTransferPending);
        EXPECT_EQ(fleet.Net(kAddress).connectAttempts, 0);
        EXPECT_EQ(fleet.touched, (std::vector<std::string>{kAddress}));
        EXPECT_EQ(window.printerLines, (std::vector<std::wstring>{L"Printer:192.0.2.10"}));
    }
}

TEST_F(NetworkTransfer, FinalRoundsTolerateTwoUnansweredReadsInARow) {
    struct Case {
        const char* name;
        std::deque<StatusReply> polls;  // after the five quiet polls
        int rounds;
    };
    const StatusReply ok, silent = StatusReply::Silent();
    const Case cases[] = {
        {"three in a row", {silent, silent, silent}, 3},
        {"two then an answer", {silent, silent, ok, silent, silent, ok, silent, silent}, 10},
        {"after answers", {ok, ok, silent, silent, silent}, 5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TearDownRun();
        OneFilePackage();
        NetPrinterItem& printer = AddNet(kAddressText, L"");
        fleet.Net(kAddress).polls = {ok, ok, ok, ok, ok};
        for (const StatusReply& reply : c.polls) fleet.Net(kAddress).polls.push_back(reply);
        RunNet();
        EXPECT_EQ(clock.sleeps, Join({{300}, Repeat(200, 5), Repeat(1000, c.rounds)}));
        EXPECT_EQ(window.bars.back(), 100);
        EXPECT_EQ(printer.transferResult, kTransferCompleted);
    }
}

TEST_F(NetworkTransfer, AFailedWriteDuringAFileSendsNoMarker) {
    TwoEntryPackage();
    NetPrinterItem& failed = AddNet(kAddressText, L"");
    NetPrinterItem& next = AddNet(L"192.0.2.11", L"");
    fleet.Net(kAddress).writeOverrides[1] = -1;
    RunNet();

    EXPECT_STREAM(fleet.Net(kAddress).received, File("a.bin").substr(0, 4096));
    EXPECT_EQ(fleet.Net(kAddress).closes, 1);
    EXPECT_EQ(window.errors, (std::vector<std::wstring>{kSendFailed + kAddressText}));
    EXPECT_EQ(failed.transferResult, kTransferPending);
    // No waits after the file, no polls: straight to the final rounds.
    EXPECT_EQ(std::vector<int>(clock.sleeps.begin(), clock.sleeps.begin() + 10), Repeat(1000, 10));
    EXPECT_EQ(next.transferResult, kTransferCompleted);
    EXPECT_EQ(fleet.Net("192.0.2.11").connections.size(), 2u);
}

TEST_F(NetworkTransfer, AShortWriteDuringAFileIsAFailedSend) {
    OneFilePackage();
    NetPrinterItem& printer = AddNet(kAddressText, L"");
    fleet.Net(kAddress).writeOverrides[0] = 4000;
    RunNet();
    EXPECT_STREAM(fleet.Net(kAddress).received, File("a.bin").substr(0, 4000));
    EXPECT_EQ(window.errors, (std::vector<std::wstring>{kSendFailed + kAddressText}));
    EXPECT_EQ(printer.transferResult, kTransferPending);
}

TEST_F(NetworkTransfer, APartialMarkerWriteIsCompleted) {
    OneFilePackage();
    NetPrinterItem& printer = AddNet(kAddressText, L"");
    fleet.Net(kAddress).writeOverrides[2] = 2;  // marker: first write takes two bytes
    fleet.Net(kAddress).writeOverrides[3] = 0;  // then one that takes none
    RunNet();
    EXPECT_EQ(fleet.Net(kAddress).writeSizes, (std::vector<int>{4096, 904, 4, 2, 2}));
    EXPECT_STREAM(fleet.Net(kAddress).received, File("a.bin") + kLast);
    EXPECT_EQ(printer.transferResult, kTransferCompleted);
    EXPECT_TRUE(window.errors.empty());
}

// Without its whole marker the printer has not taken the file: the printer
// is reported and never counted as updated.
// A send buffer that is full for a while: the marker goes out once the
// printer takes it again within two seconds.
TEST_F(NetworkTransfer, AMarkerThatWaitsForTheSendBufferStillGoesOut) {
    TwoEntryPackage();
    NetPrinterItem& printer = AddNet(kAddressText, L"");
    FakePrinter& fake = fleet.Net(kAddress);
    fake.writeOverrides[2] = 1;
    for (int k = 3; k < 3 + 80; ++k) fake.writeOverrides[k] = 0;
    RunNet();
    EXPECT_STREAM(fake.received, File("a.bin") + kMore + "\x1B\x45" + File("b.bin") + kLast);
    EXPECT_EQ(std::vector<int>(clock.sleeps.begin(), clock.sleeps.begin() + 81), Join({Repeat(25, 80), {300}}));
    EXPECT_EQ(printer.transferResult, kTransferCompleted);
    EXPECT_TRUE(window.errors.empty());
}

TEST_F(NetworkTransfer, AFailedMarkerSendIsReportedAndNoSuccess) {
    for (int failure : {-1, 0}) {
        SCOPED_TRACE(failure);
        TearDownRun();
        TwoEntryPackage();
        NetPrinterItem& printer = AddNet(kAddressText, L"");
        FakePrinter& fake = fleet.Net(kAddress);
        if (failure < 0) {
            fake.writeOverrides[2] = -1;
        } else {
            for (int k = 2; k < 400; ++k) fake.writeOverrides[k] = 0;  // a write that never moves
        }
        RunNet();
        EXPECT_STREAM(fake.received, File("a.bin"));
        // Writes that take nothing are 25 ms apart and given up after 2 s.
        EXPECT_EQ(fake.writeCount, failure < 0 ? 3 : 2 + 81);
        EXPECT_EQ(window.errors, (std::vector<std::wstring>{kSendFailed + kAddressText}));
        EXPECT_EQ(fake.connections.size(), 1u);
        EXPECT_EQ(fake.closes, 1);
        // No post delay, sub-command or polls.
        EXPECT_EQ(clock.sleeps, Join({Repeat(25, failure < 0 ? 0 : 80), Repeat(1000, 10)}));
        EXPECT_EQ(window.bars.back(), 100);
        EXPECT_EQ(printer.transferResult, kTransferPending);
        EXPECT_EQ(job.done.load(), 1);
    }
}

TEST_F(NetworkTransfer, VariantFirmwareWithoutVariantCodeEndsTheJob) {
    folder.AddPatternFile("mcu_jp.bin", 300, 4);
    const std::string section = "[Fw0]\nFileName=mcu.bin\nContent=MCUFW\nFileName_JP=mcu_jp.bin\nFileSize=300\n";
    for (int variant : {0, 1, 2}) {  // no record, empty code, "JP01"
        SCOPED_TRACE(variant);
        TearDownRun();
        Package(1, section);
        NetPrinterItem& item = AddNet(kAddressText, L"", true, variant == 2 ? "JP01" : "");
        if (variant == 0) {
            netRows.Clear();
            netRows.Append({true, kAddressText, L"", nullptr});
        }
        RunNet();
        if (variant == 2) {
            EXPECT_STREAM(fleet.Net(kAddress).received, File("mcu_jp.bin") + kLast);
            EXPECT_EQ(item.transferResult, kTransferCompleted);
            continue;
        }
        EXPECT_TRUE(fleet.Net(kAddress).received.empty());
        EXPECT_EQ(fleet.Net(kAddress).closes, 1);
        EXPECT_EQ(window.errors, (std::vector<std::wstring>{kSendFailed + kAddressText}));
        EXPECT_EQ(job.abortReason.load(), kAbortByJob);
        EXPECT_TRUE(files.opens.empty());
        EXPECT_EQ(timeline, (Timeline{"connect 192.0.2.10", "close 192.0.2.10",
                                      "error " + ToEightBit(kSendFailed) + kAddress}));
    }
}

TEST_F(NetworkTransfer, AMissingFileEndsTheJob) {
    Package(1, "[Fw0]\nFileName=gone.bin\nFileSize=10\n");
    NetPrinterItem& printer = AddNet(kAddressText, L"");
    AddNet(L"192.0.2.11", L"");
    RunNet();
    EXPECT_EQ(window.errors, (std::vector<std::wstring>{kOpenFailed + PathOf("gone.bin")}));
    EXPECT_EQ(printer.transferResult, kTransferPending);
    EXPECT_EQ(fleet.Net(kAddress).closes, 1);
    EXPECT_EQ(fleet.touched, (std::vector<std::string>{kAddress}));
    EXPECT_EQ(job.abortReason.load(), kAbortNone);
}

// Every file of the package is checked on the first connection, before its
// first byte: a package that cannot be sent whole reaches no printer.
TEST_F(NetworkTransfer, APackageThatCannotBeSentWholeIsRefusedBeforeAnythingIsSent) {
    struct Case {
        const char* name;
        std::string secondEntry;
        const char* variant;
        bool openFailed;  // else the printer has no file of its variant
    };
    const Case cases[] = {
        {"missing file", "[Fw1]\nFileName=gone.bin\nFileSize=10\n", "JP01", true},
        {"missing variant file", "[Fw1]\nFileName=mcu.bin\nContent=MCUFW\nFileName_JP=gone.bin\n", "JP01", true},
        {"no variant code", "[Fw1]\nFileName=mcu.bin\nContent=MCUFW\nFileName_JP=a.bin\n", "", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TearDownRun();
        folder.AddPatternFile("a.bin", 1000, 1);
        Package(2, "[Fw0]\nFileName=a.bin\n" + c.secondEntry);
        NetPrinterItem& printer = AddNet(kAddressText, L"", true, c.variant);
        AddNet(L"192.0.2.11", L"", true, c.variant);
        RunNet();

        const std::wstring error = c.openFailed ? kOpenFailed + PathOf("gone.bin") : kSendFailed + kAddressText;
        EXPECT_TRUE(fleet.Net(kAddress).received.empty());
        EXPECT_EQ(window.errors, (std::vector<std::wstring>{error}));
        EXPECT_EQ(printer.transferResult, kTransferPending);
        EXPECT_EQ(fleet.touched, (std::vector<std::string>{kAddress}));
        EXPECT_EQ(job.abortReason.load(), c.openFailed ? kAbortNone : kAbortByJob);
        EXPECT_EQ(timeline, (Timeline{"connect 192.0.2.10", "close 192.0.2.10", "error " + ToEightBit(error)}));
    }
}

// A file that does not yield its size is a failed send: the abandon marker
// on the open connection, the send-failed message, and the job ends.
TEST_F(NetworkTransfer, AFileThatCannotBeReadWholeAbandonsThePrinterAndEndsTheJob) {
    struct Case {
        const char* name;
        const char* file;
        RecordingFiles::ReadFault fault;
        std::string (*stream)(const NetworkTransfer&);
        std::size_t connections;
    };
    const Case cases[] = {
        {"read fails", "a.bin", {1, -1},
         [](const NetworkTransfer& t) { return t.File("a.bin").substr(0, 4096) + kAbandon; }, 1},
        {"short read", "a.bin", {1, 100},
         [](const NetworkTransfer& t) { return t.File("a.bin").substr(0, 4096) + kAbandon; }, 1},
        // The printer was told that another file follows.
        {"read ends early in the last file", "b.bin", {0, 0},
         [](const NetworkTransfer& t) { return t.File("a.bin") + kMore + "\x1B\x45" + kAbandon; }, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TearDownRun();
        TwoEntryPackage();
        NetPrinterItem& printer = AddNet(kAddressText, L"");
        AddNet(L"192.0.2.11", L"");
        files.readFaults[PathOf(c.file)] = c.fault;
        RunNet();

        const FakePrinter& seen = fleet.Net(kAddress);
        EXPECT_STREAM(seen.received, c.stream(*this));
        EXPECT_EQ(seen.connections.size(), c.connections);
        EXPECT_EQ(seen.connections.back().substr(seen.connections.back().size() - 4), kAbandon);
        EXPECT_EQ(seen.closes, seen.opens);
        EXPECT_EQ(window.errors, (std::vector<std::wstring>{kSendFailed + kAddressText}));
        EXPECT_EQ(timeline.back(), "error " + ToEightBit(kSendFailed) + kAddress);
        EXPECT_EQ(printer.transferResult, kTransferPending);
        EXPECT_EQ(window.cancelStates, (std::vector<bool>{true, false}));
        EXPECT_EQ(fleet.touched, (std::vector<std::string>{kAddress}));
        EXPECT_EQ(job.abortReason.load(), kAbortByJob);
    }
}

// After the last end marker a cancel no longer cuts the printer's post
// delay, sub-commands, polls and final rounds short: it can complete.
TEST_F(NetworkTransfer, CancelAfterTheLastMarkerLetsThePrinterFinish) {
    struct Case {
        const char* phase;
        std::int64_t at;  // virtual ms
    };
    // The first file takes 300 + 1000 + 500 + 200 + 1000 ms, the last one's pause 300 more.
    const Case cases[] = {{"post delay of the last file", 3300 + 1000}, {"final rounds", 3300 + 2500 + 1000 + 2000}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.phase);
        TearDownRun();
        folder.AddPatternFile("a.bin", 5000, 1);
        folder.AddPatternFile("b.bin", 4096, 2);
        Package(2, "[Fw0]\nFileName=a.bin\nPostDelay=1500\nSubCmdCnt=1\nCmd0=1B 45\nCmd0_PostDelay=200\n"
                   "[Fw1]\nFileName=b.bin\nPostDelay=2500\nSubCmdCnt=1\nCmd0=1D\n");
        NetPrinterItem& printer = AddNet(kAddressText, L"");
        AddNet(L"192.0.2.11", L"");
        CancelAtTime(c.at);
        RunNet();

        EXPECT_STREAM(fleet.Net(kAddress).received,
                      File("a.bin") + kMore + "\x1B\x45" + File("b.bin") + kLast + "\x1D");
        EXPECT_EQ(clock.sleeps, Join({{300, 1000, 500, 200}, Repeat(200, 5), {300, 1000, 1000, 500}, Repeat(200, 5),
                                      Repeat(1000, 10)}));
        EXPECT_EQ(window.bars.back(), 100);
        EXPECT_EQ(printer.transferResult, kTransferCompleted);
        EXPECT_TRUE(window.errors.empty());
        EXPECT_EQ(fleet.touched, (std::vector<std::string>{kAddress}));
        EXPECT_EQ(job.abortReason.load(), kAbortByUser);
    }
}

// A Cancel pressed while the last end marker is being written comes too
// late to change what the printer gets: it is ignored as one pressed after
// the marker, and the next printer has its turn.
TEST_F(NetworkTransfer, CancelDuringTheLastMarkerWriteIsIgnored) {
    folder.AddPatternFile("a.bin", 5000, 1);
    Package(1, "[Fw0]\nFileName=a.bin\n");
    NetPrinterItem& first = AddNet(kAddressText, L"");
    NetPrinterItem& second = AddNet(L"192.0.2.11", L"");
    fleet.afterWrite = [this](const FakePrinter& printer) {
        if (printer.received == File("a.bin") + kLast) PressCancel();
    };
    RunNet();

    EXPECT_STREAM(fleet.Net(kAddress).received, File("a.bin") + kLast);
    EXPECT_STREAM(fleet.Net("192.0.2.11").received, File("a.bin") + kLast);
    EXPECT_EQ(first.transferResult, kTransferCompleted);
    EXPECT_EQ(second.transferResult, kTransferCompleted);
    EXPECT_EQ(job.abortReason.load(), kAbortNone);
    EXPECT_FALSE(EndsInterrupted(job));
    EXPECT_EQ(window.cancelStates, (std::vector<bool>{true, false, true, false}));
}

// A failed sub-command is told once the connection is closed.
TEST_F(NetworkTransfer, ASubCommandFailureIsToldAfterTheConnectionIsClosed) {
    folder.AddPatternFile("a.bin", 5000, 1);
    Package(1, "[Fw0]\nFileName=a.bin\nSubCmdCnt=1\nCmd0=1B 40\n");
    AddNet(kAddressText, L"");
    fleet.Net(kAddress).writeOverrides[3] = -1;  // 4096 + 904 data, marker, sub-command
    RunNet();

    EXPECT_EQ(window.errors, (std::vector<std::wstring>{kSendFailed + kAddressText}));
    ASSERT_GE(timeline.size(), 2u);
    EXPECT_EQ(timeline[timeline.size() - 2], std::string("close ") + kAddress);
    EXPECT_EQ(timeline.back(), "error " + ToEightBit(kSendFailed + kAddressText));
}

TEST_F(NetworkTransfer, FaultsInPollsAndFinalRounds) {
    struct Case {
        const char* name;
        std::deque<StatusReply> polls;
        std::string (*stream)(const NetworkTransfer&);
        const wchar_t* message;
        bool barAt100;
    };
    const StatusReply ok;
    const Case cases[] = {
        // After the first file's marker: the second file still goes, then the abandon marker.
        {"after a more-files marker", {ok, StatusReply::Codes(1, 31)},
         [](const NetworkTransfer& t) { return t.File("a.bin") + kMore + "\x1B\x45" + t.File("b.bin") + kAbandon; },
         L"Unable to download data to the printer: 016-502", false},
        // After the last file: the final rounds are skipped, the bar still completes.
        {"after the last file", {ok, ok, ok, ok, ok, ok, StatusReply::Codes(1, 30)},
         [](const NetworkTransfer& t) { return t.File("a.bin") + kMore + "\x1B\x45" + t.File("b.bin") + kLast; },
         L"Unable to download data to the printer: 016-501", true},
        // In the fourth final round.
        {"in the final rounds", {ok, ok, ok, ok, ok, ok, ok, ok, ok, ok, ok, ok, ok, StatusReply::Codes(1, 32)},
         [](const NetworkTransfer& t) { return t.File("a.bin") + kMore + "\x1B\x45" + t.File("b.bin") + kLast; },
         L"Unable to download data to the printer: 016-744", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TearDownRun();
        TwoEntryPackage();
        NetPrinterItem& printer = AddNet(kAddressText, L"");
        AddNet(L"192.0.2.11", L"");
        fleet.Net(kAddress).polls = c.polls;
        RunNet();
        EXPECT_STREAM(fleet.Net(kAddress).received, c.stream(*this));
        EXPECT_EQ(window.errors, (std::vector<std::wstring>{c.message}));
        EXPECT_EQ(window.bars.back() == 100, c.barAt100);
        EXPECT_EQ(printer.transferResult, kTransferPending);
        EXPECT_EQ(fleet.touched, (std::vector<std::string>{kAddress}));
        EXPECT_EQ(job.done.load(), 1);
    }
}

TEST_F(NetworkTransfer, CancelDuringAFileFinishesItAndAbandons) {
    TwoEntryPackage();
    NetPrinterItem& printer = AddNet(kAddressText, L"");
    AddNet(L"192.0.2.11", L"");
    CancelAfterBytes(1);
    RunNet();
    EXPECT_STREAM(fleet.Net(kAddress).received, File("a.bin") + kAbandon);
    // Post delay cut after one slice, sub-command skipped, no final rounds.
    EXPECT_EQ(clock.sleeps, Join({{300, 1000}, Repeat(200, 5)}));
    EXPECT_EQ(window.cancelStates, (std::vector<bool>{true, false}));
    EXPECT_TRUE(window.bars.empty());
    EXPECT_EQ(printer.transferResult, kTransferPending);
    EXPECT_TRUE(window.errors.empty());
    EXPECT_EQ(fleet.touched, (std::vector<std::string>{kAddress}));
    EXPECT_EQ(job.abortReason.load(), kAbortByUser);
}

// Where the user cancels decides what the printer still gets; no further
// printer is tried in any case.
TEST_F(NetworkTransfer, CancelAtEachPhase) {
    struct Case {
        const char* phase;
        std::int64_t at;  // virtual ms
        std::string (*stream)(const NetworkTransfer&);
        std::vector<int> sleeps;
    };
    const Case cases[] = {
        // In the first file's post delay: its sub-command is skipped, the
        // announced next file goes with the abandon marker.
        {"post delay", 1300,
         [](const NetworkTransfer& t) { return t.File("a.bin") + kMore + t.File("b.bin") + kAbandon; },
         Join({{300, 1000}, Repeat(200, 5), {300}, Repeat(200, 5)})},
        // In the polls after the first file: the same, after its sub-command.
        {"polls", 2200,
         [](const NetworkTransfer& t) {
             return t.File("a.bin") + kMore + "\x1B\x45" + t.File("b.bin") + kAbandon;
         },
         Join({{300, 1000, 500, 200}, Repeat(200, 5), {300}, Repeat(200, 5)})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.phase);
        TearDownRun();
        TwoEntryPackage();
        NetPrinterItem& printer = AddNet(kAddressText, L"");
        AddNet(L"192.0.2.11", L"");
        CancelAtTime(c.at);
        RunNet();
        EXPECT_STREAM(fleet.Net(kAddress).received, c.stream(*this));
        EXPECT_EQ(clock.sleeps, c.sleeps);
        EXPECT_EQ(printer.transferResult, kTransferPending);
        EXPECT_NE(window.bars.back(), 100);
        EXPECT_TRUE(window.errors.empty());
        EXPECT_EQ(fleet.Net(kAddress).closes, 2);
        EXPECT_EQ(fleet.touched, (std::vector<std::string>{kAddress}));
        EXPECT_EQ(job.abortReason.load(), kAbortByUser);
    }
}

TEST_F(NetworkTransfer, AddressesAreCutToTheirBuffer) {
    OneFilePackage();
    const std::wstring longAddress(200, L'a');
    AddNet(longAddress, L"");
    fleet.Net(std::string(127, 'a'));
    RunNet();
    EXPECT_EQ(fleet.touched, (std::vector<std::string>{std::string(127, 'a')}));
}
