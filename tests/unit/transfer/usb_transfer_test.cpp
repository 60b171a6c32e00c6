#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "transfer_fixture.h"

namespace {

const std::string kMore = MarkerText(kMarkerMoreFiles);
const std::string kLast = MarkerText(kMarkerLastFile);
const std::string kAbandon = MarkerText(kMarkerAbandon);

std::vector<int> Repeat(int value, int times) { return std::vector<int>(static_cast<std::size_t>(times), value); }
std::vector<int> Join(std::initializer_list<std::vector<int>> parts) {
    std::vector<int> all;
    for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

class UsbTransfer : public TransferFixture {
protected:
    // Three entries: a file with a post delay and two sub-commands (the second
    // empty), a file of exactly two chunks, and a small last file.
    void ThreeEntryPackage() {
        folder.AddPatternFile("a.bin", 5000, 1);
        folder.AddPatternFile("b.bin", 8192, 2);
        folder.AddPatternFile("c.bin", 100, 3);
        Package(3,
                "[Fw0]\nFileName=a.bin\nPostDelay=2500\nSubCmdCnt=2\nCmd0=1B 40\nCmd0_PostDelay=1500\n"
                "[Fw1]\nFileName=b.bin\n"
                "[Fw2]\nFileName=c.bin\n");
    }
    std::string FullStream() const {
        return File("a.bin") + kMore + "\x1B\x40" + File("b.bin") + kMore + File("c.bin") + kLast;
    }
    void OneFilePackage(std::size_t size = 5000) {
        folder.AddPatternFile("a.bin", size, 1);
        Package(1, "[Fw0]\nFileName=a.bin\n");
    }
    // Polls after a file, the fixed pause, and the ten final rounds.
    static std::vector<int> OneFileSleeps() { return Join({Repeat(200, 5), {300}, Repeat(1000, 10)}); }
};

}  // namespace

TEST_F(UsbTransfer, SendsEveryFileWithMarkersSubCommandsAndWaits) {
    ThreeEntryPackage();
    UsbPrinterItem& printer = AddUsb(1, L"SER1", L"Laser 1");
    RunUsb();

    const FakePrinter& seen = fleet.Usb(1);
    EXPECT_EQ(seen.received, FullStream());
    // A file of whole chunks ends with an empty send before its marker.
    EXPECT_EQ(seen.writeSizes, (std::vector<int>{4096, 904, 4, 2, 4096, 4096, 0, 4, 100, 4}));
    EXPECT_EQ(clock.sleeps, Join({Repeat(200, 5), {300, 1000, 1000, 500, 1000, 500},  // post delay 2500, Cmd0 1500
                                  Repeat(200, 5), {300}, Repeat(200, 5), {300}, Repeat(1000, 10)}));
    EXPECT_EQ(window.bars, (std::vector<int>{28, 35, 64, 94, 95, 96, 97, 98, 99, 100}));
    EXPECT_EQ(window.printerLines, (std::vector<std::wstring>{L"Printer:Laser 1"}));
    EXPECT_EQ(window.cancelStates, (std::vector<bool>{true, false}));
    EXPECT_TRUE(window.errors.empty());
    EXPECT_EQ(printer.transferResult, kTransferCompleted);
    EXPECT_EQ(timeline, (Timeline{"lock", "open usb1", "close usb1", "release"}));
    EXPECT_EQ(seen.opens, 1);
    EXPECT_EQ(seen.closes, 1);
    ASSERT_EQ(files.opens.size(), 3u);
    EXPECT_EQ(files.opens[1].path, PathOf("b.bin"));
    for (const auto& open : files.opens) EXPECT_EQ(open.sharing, FileSharing::Exclusive);
    EXPECT_EQ(job.abortReason.load(), kAbortNone);
    EXPECT_EQ(job.done.load(), 1);
    for (std::size_t length : fleet.decodedLengths) EXPECT_LE(length, std::size_t{kDeviceIdBytes});
}

TEST_F(UsbTransfer, CheckedPrintersInTurnUncheckedSkippedNameFallsBackToSerial) {
    OneFilePackage();
    UsbPrinterItem& first = AddUsb(1, L"SER1", L"Laser 1");
    UsbPrinterItem& skipped = AddUsb(2, L"SER2", L"Laser 2", false);
    UsbPrinterItem& third = AddUsb(3, L"SER3", L"");
    RunUsb();

    EXPECT_EQ(fleet.touched, (std::vector<std::string>{"usb1", "usb3"}));
    EXPECT_STREAM(fleet.Usb(1).received, File("a.bin") + kLast);
    EXPECT_STREAM(fleet.Usb(3).received, File("a.bin") + kLast);
    EXPECT_EQ(window.printerLines, (std::vector<std::wstring>{L"Printer:Laser 1", L"Printer:SER3"}));
    EXPECT_EQ(first.transferResult, kTransferCompleted);
    EXPECT_EQ(skipped.transferResult, kTransferPending);
    EXPECT_EQ(third.transferResult, kTransferCompleted);
    // The second printer's bar starts again from the beginning.
    EXPECT_EQ(window.bars, (std::vector<int>{76, 95, 96, 97, 98, 99, 100, 76, 95, 96, 97, 98, 99, 100}));
    EXPECT_EQ(locks.held, 0);
}

TEST_F(UsbTransfer, APrinterWithoutASpoolerPortGoesOnWithoutALock) {
    OneFilePackage();
    UsbPrinterItem& printer = AddUsb(1, L"SER1", L"Laser 1");
    locks.unmatchedPaths.insert("\\\\?\\usb#vid_0d1e&pid_0417#dev1");
    RunUsb();
    EXPECT_STREAM(fleet.Usb(1).received, File("a.bin") + kLast);
    EXPECT_EQ(printer.transferResult, kTransferCompleted);
    EXPECT_EQ(timeline, (Timeline{"open usb1", "close usb1"}));
}

// Printers that may not be updated end the whole job before anything is sent.
TEST_F(UsbTransfer, BusyUnreadableOrIneligiblePrinterEndsTheJob) {
    enum Problem { kBusy, kNoDeviceId, kNotGranted };
    for (Problem problem : {kBusy, kNoDeviceId, kNotGranted}) {
        SCOPED_TRACE(problem);
        TearDownRun();
        OneFilePackage();
        UsbPrinterItem& printer = AddUsb(1, L"SER1", L"Laser 1");
        printer.transferResult = kTransferCompleted;  // as a stale row might hold
        AddUsb(2, L"SER2", L"Laser 2");
        if (problem == kBusy) locks.busyPaths.insert("\\\\?\\usb#vid_0d1e&pid_0417#dev1");
        if (problem == kNoDeviceId) fleet.Usb(1).check = StatusReply::Silent();
        if (problem == kNotGranted) fleet.Usb(1).check.stateCode = 0x0B;
        RunUsb();

        EXPECT_EQ(window.errors, (std::vector<std::wstring>{kNotReady}));
        EXPECT_EQ(printer.transferResult, kTransferPending);
        EXPECT_EQ(fleet.touched, (std::vector<std::string>{"usb1"}));  // the next printer is not tried
        EXPECT_EQ(fleet.Usb(1).opens, 0);
        EXPECT_TRUE(fleet.Usb(1).received.empty());
        EXPECT_EQ(locks.held, 0);
        if (problem != kBusy) {
            EXPECT_EQ(timeline, (Timeline{"lock", "release", "error " + ToEightBit(kNotReady)}));
        }
        EXPECT_EQ(job.done.load(), 1);
    }
}

TEST_F(UsbTransfer, AnUnreachablePrinterIsSkipped) {
    OneFilePackage();
    UsbPrinterItem& unreachable = AddUsb(1, L"SER1", L"Laser 1");
    UsbPrinterItem& next = AddUsb(2, L"SER2", L"Laser 2");
    fleet.Usb(1).refuseOpen = true;
    RunUsb();

    EXPECT_EQ(window.errors, (std::vector<std::wstring>{kSendFailed + L"SER1"}));
    EXPECT_EQ(unreachable.transferResult, kTransferPending);
    EXPECT_EQ(fleet.Usb(1).closes, 0);  // a failed open needs no close
    EXPECT_STREAM(fleet.Usb(2).received, File("a.bin") + kLast);
    EXPECT_EQ(next.transferResult, kTransferCompleted);
    EXPECT_EQ(std::vector<std::string>(timeline.begin(), timeline.begin() + 4),
              (Timeline{"lock", "open usb1", "release", "error " + ToEightBit(kSendFailed) + "SER1"}));
}

TEST_F(UsbTransfer, AFaultInTheFinalRoundsStopsTheJob) {
    OneFilePackage();
    UsbPrinterItem& printer = AddUsb(1, L"SER1", L"Laser 1");
    AddUsb(2, L"SER2", L"Laser 2");
    // Five quiet polls after the file, then the third final round reports 1/32.
    fleet.Usb(1).polls = {{}, {}, {}, {}, {}, {}, {}, StatusReply::Codes(1, 32)};
    RunUsb();

    EXPECT_EQ(window.errors, (std::vector<std::wstring>{L"Unable to download data to the printer: 016-744"}));
    EXPECT_EQ(job.abortReason.load(), kAbortByJob);
    EXPECT_EQ(printer.transferResult, kTransferPending);
    EXPECT_EQ(clock.sleeps, Join({Repeat(200, 5), {300}, Repeat(1000, 3)}));
    EXPECT_EQ(window.bars, (std::vector<int>{76, 95, 96}));  // no 100 for a fault
    EXPECT_EQ(fleet.touched, (std::vector<std::string>{"usb1"}));
    EXPECT_EQ(timeline.back(), "error Unable to download data to the printer: 016-744");
    EXPECT_EQ(locks.held, 0);
}

TEST_F(UsbTransfer, AFaultAfterAMoreFilesMarkerLetsTheNextFileGoThenAbandons) {
    ThreeEntryPackage();
    UsbPrinterItem& printer = AddUsb(1, L"SER1", L"Laser 1");
    fleet.Usb(1).polls = {{}, StatusReply::Codes(1, 30)};
    RunUsb();

    EXPECT_STREAM(fleet.Usb(1).received, File("a.bin") + kMore + "\x1B\x40" + File("b.bin") + kAbandon);
    EXPECT_EQ(window.errors, (std::vector<std::wstring>{L"Unable to download data to the printer: 016-501"}));
    EXPECT_EQ(job.abortReason.load(), kAbortByJob);
    EXPECT_EQ(printer.transferResult, kTransferPending);
    EXPECT_EQ(window.cancelStates, (std::vector<bool>{true, false}));
    EXPECT_NE(window.bars.back(), 100);
}

TEST_F(UsbTransfer, AFaultAfterTheLastFileSkipsTheFinalRoundsAndIsNoSuccess) {
    folder.AddPatternFile("a.bin", 3000, 1);
    Package(1, "[Fw0]\nFileName=a.bin\nPostDelay=1200\nSubCmdCnt=1\nCmd0=0D 0A\nCmd0_PostDelay=500\n");
    UsbPrinterItem& printer = AddUsb(1, L"SER1", L"Laser 1");
    fleet.Usb(1).polls = {{}, {}, StatusReply::Codes(1, 33)};
    RunUsb();

    // The post delay and sub-commands still run; the final rounds do not.
    EXPECT_STREAM(fleet.Usb(1).received, File("a.bin") + kLast + "\x0D\x0A");
    EXPECT_EQ(clock.sleeps, (std::vector<int>{200, 200, 200, 300, 1000, 200, 500}));
    EXPECT_EQ(window.bars, (std::vector<int>{95, 100}));
    EXPECT_EQ(printer.transferResult, kTransferPending);
    EXPECT_EQ(window.errors, (std::vector<std::wstring>{L"Unable to download data to the printer: 016-745"}));
    EXPECT_EQ(timeline, (Timeline{"lock", "open usb1", "close usb1", "release",
                                  "error Unable to download data to the printer: 016-745"}));
}

// A failed write the turn goes on after is told once the port lock and the
// connection are given back: no message box holds the printer or its port.
TEST_F(UsbTransfer, SendFailuresAreToldAfterThePortAndConnectionAreGivenBack) {
    struct Case {
        const char* write;
        int number;  // the printer's write number: 4096 + 904 data, marker, sub-command
    };
    const Case cases[] = {{"data", 0}, {"end marker", 2}, {"sub-command", 3}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.write);
        TearDownRun();
        folder.AddPatternFile("a.bin", 5000, 1);
        Package(1, "[Fw0]\nFileName=a.bin\nSubCmdCnt=1\nCmd0=1B 40\n");
        AddUsb(1, L"SER1", L"Laser 1");
        fleet.Usb(1).writeOverrides[c.number] = 1;
        RunUsb();

        ASSERT_FALSE(window.errors.empty());
        EXPECT_EQ(window.errors.front(), kSendFailed + L"SER1");
        const auto released = std::find(timeline.begin(), timeline.end(), "release");
        const auto firstError = std::find_if(timeline.begin(), timeline.end(),
                                             [](const std::string& event) { return event.rfind("error", 0) == 0; });
        EXPECT_LT(released, firstError);
        EXPECT_LT(std::find(timeline.begin(), timeline.end(), "close usb1"), released);
        EXPECT_EQ(locks.held, 0);
    }
}

TEST_F(UsbTransfer, CancelDuringTheLastFileFinishesItAndAbandons) {
    folder.AddPatternFile("a.bin", 4000, 1);
    folder.AddPatternFile("b.bin", 10000, 2);
    Package(2, "[Fw0]\nFileName=a.bin\n[Fw1]\nFileName=b.bin\nPostDelay=5000\nSubCmdCnt=1\nCmd0=1B\n");
    UsbPrinterItem& printer = AddUsb(1, L"SER1", L"Laser 1");
    AddUsb(2, L"SER2", L"Laser 2");
    CancelAfterBytes(4004 + 4096);  // first chunk of the last file
    RunUsb();

    EXPECT_STREAM(fleet.Usb(1).received, File("a.bin") + kMore + File("b.bin") + kAbandon);
    // Post delay cut after one slice, no sub-command, no final rounds.
    EXPECT_EQ(clock.sleeps, Join({Repeat(200, 5), {300}, Repeat(200, 5), {300, 1000}}));
    EXPECT_EQ(window.bars, (std::vector<int>{26}));  // the bar stops with the cancel
    EXPECT_EQ(window.cancelStates, (std::vector<bool>{true, false}));
    EXPECT_EQ(printer.transferResult, kTransferPending);
    EXPECT_TRUE(window.errors.empty());
    EXPECT_EQ(fleet.touched, (std::vector<std::string>{"usb1"}));
    EXPECT_EQ(job.abortReason.load(), kAbortByUser);
    EXPECT_EQ(job.done.load(), 1);
}

// Where the user cancels decides what the printer still gets.
TEST_F(UsbTransfer, CancelAtEachPhase) {
    struct Case {
        const char* phase;
        std::int64_t at;  // virtual ms; -1: after the first chunk
        std::string (*stream)(const UsbTransfer&);
        std::vector<int> sleeps;
    };
    const Case cases[] = {
        // During the first file: it goes out whole, then the abandon marker.
        {"first file", -1, [](const UsbTransfer& t) { return t.File("a.bin") + kAbandon; },
         Join({Repeat(200, 5), {300, 1000}})},
        // During the polls after the first file: its post delay is cut, its
        // sub-command skipped, and the announced next file goes with the abandon marker.
        {"polls", 400, [](const UsbTransfer& t) { return t.File("a.bin") + kMore + t.File("b.bin") + kAbandon; },
         Join({Repeat(200, 5), {300, 1000}, Repeat(200, 5), {300}})},
        // During the post delay of the first file: the same.
        {"post delay", 3300,
         [](const UsbTransfer& t) { return t.File("a.bin") + kMore + t.File("b.bin") + kAbandon; },
         Join({Repeat(200, 5), {300, 1000, 1000}, Repeat(200, 5), {300}})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.phase);
        TearDownRun();
        folder.AddPatternFile("a.bin", 5000, 1);
        folder.AddPatternFile("b.bin", 3000, 2);
        Package(2, "[Fw0]\nFileName=a.bin\nPostDelay=3000\nSubCmdCnt=1\nCmd0=1B\nCmd0_PostDelay=500\n"
                   "[Fw1]\nFileName=b.bin\n");
        UsbPrinterItem& printer = AddUsb(1, L"SER1", L"Laser 1");
        AddUsb(2, L"SER2", L"Laser 2");
        if (c.at < 0)
            CancelAfterBytes(1);
        else
            CancelAtTime(c.at);
        RunUsb();

        EXPECT_STREAM(fleet.Usb(1).received, c.stream(*this));
        EXPECT_EQ(clock.sleeps, c.sleeps);
        EXPECT_EQ(printer.transferResult, kTransferPending);
        EXPECT_TRUE(window.bars.empty() || window.bars.back() != 100);
        EXPECT_TRUE(window.errors.empty());
        EXPECT_EQ(fleet.touched, (std::vector<std::string>{"usb1"}));
        EXPECT_EQ(locks.held, 0);
        EXPECT_EQ(job.done.load(), 1);
    }
}

// Once the printer has the last end marker it has the whole image: a cancel
// then no longer cuts its post delay, sub-commands and final rounds short,
// and it can complete; the printers after it are not tried.
TEST_F(UsbTransfer, CancelAfterTheLastMarkerLetsThePrinterFinish) {
    struct Case {
        const char* phase;
        std::int64_t at;  // virtual ms
    };
    // The first file takes 1000 + 300 + 3000 + 500 ms, the last one's polls
    // and pause 1300 more.
    const Case cases[] = {{"post delay of the last file", 4800 + 1300 + 1000},
                          {"final rounds", 4800 + 1300 + 2500 + 3000}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.phase);
        TearDownRun();
        folder.AddPatternFile("a.bin", 5000, 1);
        folder.AddPatternFile("b.bin", 3000, 2);
        Package(2, "[Fw0]\nFileName=a.bin\nPostDelay=3000\nSubCmdCnt=1\nCmd0=1B\nCmd0_PostDelay=500\n"
                   "[Fw1]\nFileName=b.bin\nPostDelay=2500\nSubCmdCnt=1\nCmd0=1D\n");
        UsbPrinterItem& printer = AddUsb(1, L"SER1", L"Laser 1");
        AddUsb(2, L"SER2", L"Laser 2");
        CancelAtTime(c.at);
        RunUsb();

        EXPECT_STREAM(fleet.Usb(1).received, File("a.bin") + kMore + "\x1B" + File("b.bin") + kLast + "\x1D");
        EXPECT_EQ(clock.sleeps, Join({Repeat(200, 5), {300, 1000, 1000, 1000, 500}, Repeat(200, 5),
                                      {300, 1000, 1000, 500}, Repeat(1000, 10)}));
        EXPECT_EQ(window.bars.back(), 100);
        EXPECT_EQ(printer.transferResult, kTransferCompleted);
        EXPECT_TRUE(window.errors.empty());
        EXPECT_EQ(fleet.touched, (std::vector<std::string>{"usb1"}));
        EXPECT_EQ(locks.held, 0);
        EXPECT_EQ(job.abortReason.load(), kAbortByUser);
        EXPECT_EQ(job.done.load(), 1);
    }
}

// A Cancel pressed while the last end marker is being written (a slow
// printer holds the write) comes too late to change what the printer gets:
// it is ignored as one pressed after the marker, the printer completes and
// the next one has its turn.
TEST_F(UsbTransfer, CancelDuringTheLastMarkerWriteIsIgnored) {
    OneFilePackage();
    UsbPrinterItem& first = AddUsb(1, L"SER1", L"Laser 1");
    UsbPrinterItem& second = AddUsb(2, L"SER2", L"Laser 2");
    fleet.afterWrite = [this](const FakePrinter& printer) {
        if (printer.received == File("a.bin") + kLast) PressCancel();
    };
    RunUsb();

    EXPECT_EQ(fleet.Usb(1).received, File("a.bin") + kLast);
    EXPECT_EQ(fleet.Usb(2).received, File("a.bin") + kLast);
    EXPECT_EQ(first.transferResult, kTransferCompleted);
    EXPECT_EQ(second.transferResult, kTransferCompleted);
    EXPECT_EQ(job.abortReason.load(), kAbortNone);
    EXPECT_FALSE(EndsInterrupted(job));
    EXPECT_EQ(window.cancelStates, (std::vector<bool>{true, false, true, false}));
}

TEST_F(UsbTransfer, VariantFirmwareNeedsTheVariantCode) {
    folder.AddPatternFile("mcu_eu.bin", 600, 4);
    folder.AddPatternFile("mcu_jp.bin", 700, 5);
    const std::string section = "[Fw0]\nFileName=mcu.bin\nContent=mcufw\nFileName_EU=mcu_eu.bin\nFileName_JP=mcu_jp.bin\nFileSize=650\n";

    Package(1, section);
    UsbPrinterItem& europe = AddUsb(1, L"SER1", L"Laser 1", true, "EU01");
    RunUsb();
    EXPECT_STREAM(fleet.Usb(1).received, File("mcu_eu.bin") + kLast);
    EXPECT_EQ(europe.transferResult, kTransferCompleted);

    // No variant code: nothing at all reaches the printer's controller.
    TearDownRun();
    Package(1, section);
    UsbPrinterItem& unknown = AddUsb(1, L"SER1", L"Laser 1");
    AddUsb(2, L"SER2", L"Laser 2", true, "JP");
    RunUsb();
    EXPECT_TRUE(fleet.Usb(1).received.empty());
    EXPECT_TRUE(files.opens.empty());
    EXPECT_EQ(window.errors, (std::vector<std::wstring>{kSendFailed + L"SER1"}));
    EXPECT_EQ(unknown.transferResult, kTransferPending);
    EXPECT_EQ(job.abortReason.load(), kAbortByJob);
    EXPECT_EQ(fleet.touched, (std::vector<std::string>{"usb1"}));
    EXPECT_EQ(timeline, (Timeline{"lock", "open usb1", "close usb1", "release",
                                  "error " + ToEightBit(kSendFailed) + "SER1"}));
}

// Every file of the package is checked before the first byte goes out: a
// package that cannot be sent whole reaches no printer, with the message of
// the entry that cannot be used.
TEST_F(UsbTransfer, APackageThatCannotBeSentWholeIsRefusedBeforeAnythingIsSent) {
    struct Case {
        const char* name;
        std::string secondEntry;
        const char* variant;
        bool openFailed;  // else the printer has no file of its variant
    };
    const Case cases[] = {
        {"missing file", "[Fw1]\nFileName=gone.bin\nFileSize=10\n", "EU01", true},
        {"missing variant file", "[Fw1]\nFileName=mcu.bin\nContent=MCUFW\nFileName_EU=gone.bin\n", "EU01",
         true},
        {"no variant code", "[Fw1]\nFileName=mcu.bin\nContent=MCUFW\nFileName_EU=a.bin\n", "", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TearDownRun();
        folder.AddPatternFile("a.bin", 1000, 1);
        Package(2, "[Fw0]\nFileName=a.bin\n" + c.secondEntry);
        UsbPrinterItem& printer = AddUsb(1, L"SER1", L"Laser 1", true, c.variant);
        AddUsb(2, L"SER2", L"Laser 2", true, c.variant);
        RunUsb();

        const std::wstring error = c.openFailed ? kOpenFailed + PathOf("gone.bin") : kSendFailed + L"SER1";
        EXPECT_TRUE(fleet.Usb(1).received.empty());
        EXPECT_EQ(window.errors, (std::vector<std::wstring>{error}));
        EXPECT_EQ(printer.transferResult, kTransferPending);
        EXPECT_EQ(fleet.touched, (std::vector<std::string>{"usb1"}));
        EXPECT_EQ(job.abortReason.load(), c.openFailed ? kAbortNone : kAbortByJob);
        EXPECT_EQ(timeline, (Timeline{"lock", "open usb1", "close usb1", "release", "error " + ToEightBit(error)}));
    }
}

// A failed send of data abandons the printer's remaining files; the next
// printer is still updated.
TEST_F(UsbTransfer, DataThatDoesNotArriveWholeAbandonsThatPrinter) {
    folder.AddPatternFile("a.bin", 9000, 1);
    folder.AddPatternFile("b.bin", 100, 2);
    Package(2, "[Fw0]\nFileName=a.bin\nPostDelay=700\n[Fw1]\nFileName=b.bin\n");
    UsbPrinterItem& failed = AddUsb(1, L"SER1", L"Laser 1");
    UsbPrinterItem& next = AddUsb(2, L"SER2", L"Laser 2");
    fleet.Usb(1).writeOverrides[1] = 1;  // the second chunk
    RunUsb();

    EXPECT_STREAM(fleet.Usb(1).received, File("a.bin").substr(0, 4096) + kAbandon);
    EXPECT_EQ(window.errors, (std::vector<std::wstring>{kSendFailed + L"SER1"}));
    EXPECT_EQ(failed.transferResult, kTransferPending);
    EXPECT_EQ(window.cancelStates, (std::vector<bool>{true, false, true, false}));
    // Polls and the final rounds, but no post delay.
    ASSERT_GE(clock.sleeps.size(), 15u);
    EXPECT_EQ(std::vector<int>(clock.sleeps.begin(), clock.sleeps.begin() + 15),
              Join({Repeat(200, 5), Repeat(1000, 10)}));
    EXPECT_STREAM(fleet.Usb(2).received, File("a.bin") + kMore + File("b.bin") + kLast);
    EXPECT_EQ(next.transferResult, kTransferCompleted);
    EXPECT_EQ(job.abortReason.load(), kAbortNone);
}

// A file that does not yield its size (a failed read, one that ends early)
// is a failed send: the printer gets the abandon marker after what it took,
// the job ends, and no other printer is given the same file.
TEST_F(UsbTransfer, AFileThatCannotBeReadWholeAbandonsThePrinterAndEndsTheJob) {
    struct Case {
        const char* name;
        const char* file;
        RecordingFiles::ReadFault fault;
        std::string (*stream)(const UsbTransfer&);
    };
    const auto FirstChunkAbandoned = [](const UsbTransfer& t) { return t.File("a.bin").substr(0, 4096) + kAbandon; };
    const Case cases[] = {
        {"read fails", "a.bin", {1, -1}, FirstChunkAbandoned},
        {"read ends early", "a.bin", {1, 0}, FirstChunkAbandoned},
        {"short read", "a.bin", {1, 100}, FirstChunkAbandoned},
        {"read fails in the last file", "b.bin", {0, -1},
         [](const UsbTransfer& t) { return t.File("a.bin") + kMore + "\x1B" + kAbandon; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TearDownRun();
        folder.AddPatternFile("a.bin", 9000, 1);
        folder.AddPatternFile("b.bin", 100, 2);
        Package(2, "[Fw0]\nFileName=a.bin\nSubCmdCnt=1\nCmd0=1B\n[Fw1]\nFileName=b.bin\n");
        UsbPrinterItem& failed = AddUsb(1, L"SER1", L"Laser 1");
        AddUsb(2, L"SER2", L"Laser 2");
        files.readFaults[PathOf(c.file)] = c.fault;
        RunUsb();

        EXPECT_STREAM(fleet.Usb(1).received, c.stream(*this));
        EXPECT_EQ(window.errors, (std::vector<std::wstring>{kSendFailed + L"SER1"}));
        EXPECT_EQ(failed.transferResult, kTransferPending);
        EXPECT_EQ(window.cancelStates, (std::vector<bool>{true, false}));
        EXPECT_EQ(fleet.touched, (std::vector<std::string>{"usb1"}));
        EXPECT_EQ(timeline, (Timeline{"lock", "open usb1", "close usb1", "release",
                                      "error " + ToEightBit(kSendFailed) + "SER1"}));
        EXPECT_EQ(job.abortReason.load(), kAbortByJob);
        EXPECT_EQ(job.done.load(), 1);
    }
}

TEST_F(UsbTransfer, AFailedMarkerSendGoesStraightToTheFinalRounds) {
    folder.AddPatternFile("a.bin", 100, 1);
    folder.AddPatternFile("b.bin", 100, 2);
    Package(2, "[Fw0]\nFileName=a.bin\nPostDelay=700\nSubCmdCnt=1\nCmd0=1B\n[Fw1]\nFileName=b.bin\n");
    UsbPrinterItem& printer = AddUsb(1, L"SER1", L"Laser 1");
    fleet.Usb(1).writeOverrides[1] = 1;
    RunUsb();

    EXPECT_STREAM(fleet.Usb(1).received, File("a.bin"));
    EXPECT_EQ(window.errors, (std::vector<std::wstring>{kSendFailed + L"SER1"}));
    EXPECT_EQ(clock.sleeps, Repeat(1000, 10));
    EXPECT_EQ(printer.transferResult, kTransferPending);
    EXPECT_EQ(fleet.Usb(1).closes, 1);
    EXPECT_EQ(files.opens.size(), 2u);  // both checked before the first byte; b.bin never sent
}

TEST_F(UsbTransfer, AFailedSubCommandIsReportedAndTheUpdateGoesOn) {
    folder.AddPatternFile("a.bin", 100, 1);
    Package(1, "[Fw0]\nFileName=a.bin\nSubCmdCnt=2\nCmd0=01 02\nCmd1=03\nCmd1_PostDelay=1000\n");
    UsbPrinterItem& printer = AddUsb(1, L"SER1", L"Laser 1");
    fleet.Usb(1).writeOverrides[2] = 1;  // Cmd0
    RunUsb();

    EXPECT_STREAM(fleet.Usb(1).received, File("a.bin") + kLast + "\x03");
    EXPECT_EQ(window.errors, (std::vector<std::wstring>{kSendFailed + L"SER1"}));
    EXPECT_EQ(printer.transferResult, kTransferCompleted);
}

TEST_F(UsbTransfer, FinalRoundsEndAtTheFirstUnansweredStatusRead) {
    OneFilePackage();
    UsbPrinterItem& printer = AddUsb(1, L"SER1", L"Laser 1");
    fleet.Usb(1).polls = {{}, {}, {}, {}, {}, {}, {}, StatusReply::Silent()};
    RunUsb();
    EXPECT_EQ(clock.sleeps, Join({Repeat(200, 5), {300}, Repeat(1000, 3)}));
    EXPECT_EQ(window.bars, (std::vector<int>{76, 95, 96, 100}));
    EXPECT_EQ(printer.transferResult, kTransferCompleted);
}

TEST_F(UsbTransfer, TheBarMovesOnlyWhenItsPositionChanges) {
    // 400 chunks that stay below 1 % of a package stated as 100 MB: the
    // bar is set once for them all, then once per final round.
    folder.AddPatternFile("a.bin", 400 * 4096, 1);
    Package(1, "[Fw0]\nFileName=a.bin\nFileSize=100000000\n");
    AddUsb(1, L"SER1", L"Laser 1");
    RunUsb();
    EXPECT_EQ(fleet.Usb(1).writeSizes.size(), 402u);
    EXPECT_EQ(window.bars, (std::vector<int>{0, 10, 20, 30, 40, 50, 60, 70, 80, 90, 100}));
}

TEST_F(UsbTransfer, AnEmptyPackageSendsNothing) {
    Package(0, "");
    AddUsb(1, L"SER1", L"Laser 1");
    RunUsb();
    EXPECT_TRUE(fleet.touched.empty());
    EXPECT_TRUE(window.printerLines.empty());
    EXPECT_EQ(job.done.load(), 1);
}
