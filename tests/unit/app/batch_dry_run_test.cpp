// The dry run of a batch: its outcome rules with printers of the test's own,
// and its reads through the libraries against the simulated fleet, which
// record that nothing was connected to or written.
#include <gtest/gtest.h>

#include <cstdio>
#include <map>

#include "app/batch_dry_run.h"
#include "base/sha256.h"
#include "base/text.h"
#include "base/text_ids.h"
#include "sim/fleet.h"
#include "test_support.h"

namespace {

class StillClock final : public BatchClock {
public:
    std::int64_t NowUtcMs() override { return 1796917082000; }
    std::int64_t MonotonicMs() override { return 5000; }
    void SleepMs(int) override { ADD_FAILURE() << "a dry run has nothing to wait for"; }
};

class Recorder final : public BatchEvents {
public:
    void ReportChanged(const BatchReport&, const std::vector<std::size_t>& finishedNow, std::size_t) override {
        finished.insert(finished.end(), finishedNow.begin(), finishedNow.end());
    }
    bool CancelRequested() override { return finished.size() >= cancelAfter; }
    std::vector<std::size_t> finished;
    std::size_t cancelAfter = 1000;
};

// A printer as the fake reads see it.
struct FakeLook {
    std::optional<std::wstring> packageRefusal;
    std::optional<PrinterPreviewReads::Status> status = PrinterPreviewReads::Status{true, L"Not complete"};
    std::optional<std::wstring> firmware = L"1.00";
    std::optional<std::wstring> fileRefusal;
};

class FakeReads final : public PrinterPreviewReads, public UpdateStarter {
public:
    std::map<std::wstring, FakeLook> looks;
    std::vector<std::string> calls;

    std::unique_ptr<UpdateProcess> Start(const BatchPrinter&, std::wstring&) override {
        ADD_FAILURE() << "a dry run starts no update";
        return nullptr;
    }
    std::optional<UpdateRefusal> Refusal(const BatchPrinter& printer) override {
        calls.push_back("refusal");
        const FakeLook& look = looks.at(printer.target);
        if (!look.packageRefusal) return std::nullopt;
        return UpdateRefusal{2, *look.packageRefusal};
    }
    std::optional<Status> ReadStatus(const BatchPrinter& printer) override {
        calls.push_back("status");
        return looks.at(printer.target).status;
    }
    std::optional<std::wstring> FirmwareText(const BatchPrinter& printer) override {
        calls.push_back("firmware");
        return looks.at(printer.target).firmware;
    }
    std::optional<std::wstring> CheckFiles(const BatchPrinter& printer, PrinterPreview& preview) override {
        calls.push_back("files");
        preview.variantCode = L"JP01";
        preview.files = {{L"main.bin", PreviewFile::Pin::kMatches}};
        return looks.at(printer.target).fileRefusal;
    }
};

struct DryRunCase {
    const char* name;
    const wchar_t* packageFirmware;
    bool reinstall;
    FakeLook look;
    BatchOutcome outcome;
    const wchar_t* problem;
    std::vector<std::string> calls;  // what was read, in order
};

const PrinterPreviewReads::Status kGranted{true, L"Not complete"};
const PrinterPreviewReads::Status kNotReady{false, L"Not Ready"};
const FakeLook kPlain{std::nullopt, kGranted, L"1.00", std::nullopt};

TEST(DryRun, EachPrinterGetsTheOutcomeARealRunWouldGive) {
    const std::vector<std::string> all = {"refusal", "status", "firmware", "files"};
    const DryRunCase cases[] = {
        {"would update", L"", false, kPlain, BatchOutcome::kWouldUpdate, L"", all},
        {"would update to the package's firmware", L"2.00", false, kPlain, BatchOutcome::kWouldUpdate, L"", all},
        {"current", L"2.00", false, {std::nullopt, kGranted, L"2.00", std::nullopt}, BatchOutcome::kCurrent, L"",
         {"refusal", "status", "firmware"}},
        {"current even when not ready", L"2.00", false, {std::nullopt, kNotReady, L"2.00", std::nullopt}, BatchOutcome::kCurrent,
         L"", {"refusal", "status", "firmware"}},
        {"reinstall: would update", L"2.00", true, {std::nullopt, kGranted, L"2.00", std::nullopt}, BatchOutcome::kWouldUpdate, L"", all},
        {"the same firmware without the setting", L"", false, {std::nullopt, kGranted, L"2.00", std::nullopt},
         BatchOutcome::kWouldUpdate, L"", all},
        {"not granted", L"2.00", false, {std::nullopt, kNotReady, L"1.00", std::nullopt}, BatchOutcome::kNotGranted, L"status Not Ready",
         {"refusal", "status", "firmware"}},
        {"unreachable", L"2.00", false, {std::nullopt, std::nullopt, std::nullopt, std::nullopt}, BatchOutcome::kUnreachable,
         L"its status cannot be read", {"refusal", "status"}},
        {"refused by the package", L"", false, {L"the firmware file \"main.bin\" is empty", kGranted, L"1.00", std::nullopt}, BatchOutcome::kRefused,
         L"the firmware file \"main.bin\" is empty", {"refusal"}},
        {"refused by its files", L"", false, {std::nullopt, kGranted, L"1.00", L"entry Fw1 has no file for variant code XX"},
         BatchOutcome::kRefused, L"entry Fw1 has no file for variant code XX", all},
    };
    for (const DryRunCase& c : cases) {
        SCOPED_TRACE(c.name);
        FakeReads reads;
        reads.looks[L"10.0.0.1"] = c.look;
        BatchList list;
        list.printers = {{BatchRoad::kNetwork, L"10.0.0.1"}};
        list.reinstall = c.reinstall;
        list.dryRun = true;
        BatchReport report;
        report.reportedFirmware = c.packageFirmware;
        StillClock clock;
        Recorder events;
        const bool success = c.outcome == BatchOutcome::kWouldUpdate || c.outcome == BatchOutcome::kCurrent;
        EXPECT_EQ(RunDryRun(list, report, reads, reads, clock, events), success ? 0 : 6);
        const BatchPrinterResult& result = report.printers.at(0);
        EXPECT_EQ(result.outcome, c.outcome);
        EXPECT_EQ(result.problem, c.problem);
        EXPECT_EQ(reads.calls, c.calls);
        EXPECT_FALSE(result.ready);
        ASSERT_TRUE(result.preview);
        EXPECT_EQ(events.finished, std::vector<std::size_t>{0});
        EXPECT_TRUE(report.dryRun);
    }
}

// A mixed list: the exit code is 0 only when every printer would be updated
// or is current; a cancel leaves the rest unread.
TEST(DryRun, ExitsZeroOnlyWhenEveryPrinterWouldBeUpdatedOrIsCurrent) {
    FakeReads reads;
    reads.looks[L"10.0.0.1"] = kPlain;
    reads.looks[L"10.0.0.2"] = {std::nullopt, kGranted, L"2.00", std::nullopt};
    reads.looks[L"10.0.0.3"] = {std::nullopt, kNotReady, L"1.00", std::nullopt};
    BatchList list;
    list.printers = {{BatchRoad::kNetwork, L"10.0.0.1"}, {BatchRoad::kNetwork, L"10.0.0.2"}};
    BatchReport report;
    report.reportedFirmware = L"2.00";
    StillClock clock;
    Recorder events;
    EXPECT_EQ(RunDryRun(list, report, reads, reads, clock, events), 0);
    EXPECT_EQ(BatchPrinterLine(report.printers[0]), L"net 10.0.0.1: would update, firmware 1.00, files main.bin");
    EXPECT_EQ(BatchPrinterLine(report.printers[1]), L"net 10.0.0.2: current, firmware 2.00");

    list.printers.push_back({BatchRoad::kNetwork, L"10.0.0.3"});
    EXPECT_EQ(RunDryRun(list, report, reads, reads, clock, events), 6);
    EXPECT_EQ(BatchPrinterLine(report.printers[2]), L"net 10.0.0.3: not granted (status Not Ready)");

    Recorder cancelling;
    cancelling.cancelAfter = 1;
    EXPECT_EQ(RunDryRun(list, report, reads, reads, clock, cancelling), 6);
    EXPECT_EQ(report.printers[1].outcome, BatchOutcome::kNotStarted);
    EXPECT_EQ(report.printers[2].outcome, BatchOutcome::kNotStarted);
}

TEST(DryRun, TheRecordSaysWhatWasReadAndThatNothingWasSent) {
    FakeReads reads;
    reads.looks[L"10.0.0.1"] = kPlain;
    BatchList list;
    list.printers = {{BatchRoad::kNetwork, L"10.0.0.1"}};
    BatchReport report;
    report.reportedFirmware = L"2.00";
    StillClock clock;
    Recorder events;
    RunDryRun(list, report, reads, reads, clock, events);
    const std::string json = FormatBatchResult(report);
    EXPECT_NE(json.find("\"settings\": {\"parallel\": 4, \"wait\": 600, \"reportedFirmware\": \"2.00\", \"check\": "
                        "true}"),
              std::string::npos)
        << json;
    EXPECT_NE(json.find("\"outcome\": \"would-update\", \"reason\": 0, \"problem\": null"), std::string::npos) << json;
    EXPECT_NE(json.find("\"firmwareBefore\": \"1.00\", \"firmwareAfter\": null, \"ready\": null,\n     \"log\": null,\n     \"check\": "
                        "{\"status\": \"Not complete\", \"granted\": true, \"variantCode\": \"JP01\", \"files\": "
                        "[{\"file\": \"main.bin\", \"pin\": \"matches\"}]}}"),
              std::string::npos)
        << json;
}

// ---- The library reads against the simulated fleet -----------------------

class NoPortLocks final : public UsbPortLocks {
public:
    PortLockResult AcquireUsbPortLock(const char*) override { return {}; }
    void ReleaseUsbPortLock(PortLockHandle) override {}
};

class StateTexts final : public TextCatalogue {
public:
    std::wstring Text(int id) const override {
        switch (id) {
        case IDS_STATE_NOT_COMPLETE: return L"Not complete";
        case IDS_STATE_NOT_READY: return L"Not Ready";
        default: return L"?";
        }
    }
};

class NothingStarted final : public UpdateStarter {
public:
    std::unique_ptr<UpdateProcess> Start(const BatchPrinter&, std::wstring&) override { return nullptr; }
};

// A package of a plain entry and a per-variant one, the JP file pinned, the
// EU file pinned to other content; printers of every outcome.
class LibraryDryRun : public ::testing::Test {
protected:
    void SetUp() override {
        folder_.AddPatternFile("main.bin", 3000, 1);
        folder_.AddPatternFile("mcu.bin", 300, 2);
        folder_.AddPatternFile("mcu_jp.bin", 200, 3);
        folder_.AddPatternFile("mcu_eu.bin", 100, 4);
        const auto pin = [&](const char* file) {
            const std::string bytes = ReadWholeFile(folder_.dir().path() / file).value();
            return Sha256Hex(*Sha256::Of(bytes.data(), bytes.size()));
        };
        settings_ = folder_.WriteConfig(
            "[General]\nEncoding=0\nFwCount=2\nVID=5A71\nPID=0A1B\nMDLCnt=1\nMDL0=Korvane Laser 7000\n"
            "ReportedFirmware=2.00\n"
            "[Fw0]\nFileName=main.bin\nSha256=" + pin("main.bin") + "\n"
            "[Fw1]\nFileName=mcu.bin\nContent=MCUFW\nFileName_JP=mcu_jp.bin\nSha256_JP=" + pin("mcu_jp.bin") +
            "\nFileName_EU=mcu_eu.bin\nSha256_EU=" + pin("main.bin") + "\n[Granted]\nS0A*=1\n");
    }

    PackageFolder folder_;
    PackageSettings settings_;
    NoPortLocks locks_;
    StateTexts texts_;
    PlatformFiles files_;
};

TEST_F(LibraryDryRun, ReadsEveryPrinterAndConnectsToNoneAndWritesNothing) {
    Fleet fleet(folder_.dir().path(),
                "[Usb0]\nVID=5A71\nPID=0A1B\nModel=Korvane Laser 7000\nPrinterName=Office\nFirmware=1.00\n"
                "Variant=JP01\n"
                "[Net0]\nIPv4=192.0.2.1\nFirmware=1.00\nVariant=JP01\n"
                "[Net1]\nIPv4=192.0.2.2\nFirmware=2.00\nVariant=JP01\n"
                "[Net2]\nIPv4=192.0.2.3\nFirmware=1.00\nVariant=JP01\nStatus=0x13\n"
                "[Net3]\nIPv4=192.0.2.4\nFailStatusReads=1-\nAnswersGets=0\n"
                "[Net4]\nIPv4=192.0.2.5\nFirmware=1.00\nVariant=XX01\n"
                "[Net5]\nIPv4=192.0.2.6\nFirmware=1.00\nVariant=EU01\n"
                "[Net6]\nIPv4=192.0.2.7\nFirmware=1.00\n");
    LibraryPrinterPreview preview(settings_, fleet, locks_, files_, texts_);
    BatchList list;
    list.dryRun = true;
    list.printers = {{BatchRoad::kUsb, L"Office"},         {BatchRoad::kNetwork, L"192.0.2.1"},
                     {BatchRoad::kNetwork, L"192.0.2.2"}, {BatchRoad::kNetwork, L"192.0.2.3"},
                     {BatchRoad::kNetwork, L"192.0.2.4"}, {BatchRoad::kNetwork, L"192.0.2.5"},
                     {BatchRoad::kNetwork, L"192.0.2.6"}, {BatchRoad::kNetwork, L"192.0.2.7"}};
    BatchReport report;
    report.reportedFirmware = settings_.ReportedFirmware;
    NothingStarted starter;
    StillClock clock;
    Recorder events;
    EXPECT_EQ(RunDryRun(list, report, starter, preview, clock, events), 6);

    const auto outcome = [&](std::size_t i) { return OutcomeName(report.printers.at(i).outcome); };
    EXPECT_STREQ(outcome(0), "would-update");
    EXPECT_STREQ(outcome(1), "would-update");
    EXPECT_STREQ(outcome(2), "current");
    EXPECT_STREQ(outcome(3), "not-granted");
    EXPECT_EQ(report.printers[3].problem, L"status Not Ready");
    EXPECT_STREQ(outcome(4), "unreachable");
    EXPECT_STREQ(outcome(5), "refused");
    EXPECT_EQ(report.printers[5].problem, L"entry Fw1 has no file for variant code XX01");
    EXPECT_STREQ(outcome(6), "refused");
    EXPECT_NE(report.printers[6].problem.find(L"mcu_eu.bin\" does not match its pin"), std::wstring::npos)
        << ToUtf8(report.printers[6].problem);
    EXPECT_STREQ(outcome(7), "refused");
    EXPECT_EQ(report.printers[7].problem, L"the printer reports no variant code, and entry Fw1 has a file per "
                                          L"variant code");

    const PrinterPreview& usb = *report.printers[0].preview;
    EXPECT_EQ(usb.status, L"Not complete");
    EXPECT_EQ(usb.granted, true);
    EXPECT_EQ(usb.variantCode, L"JP01");
    EXPECT_EQ(usb.files, (std::vector<PreviewFile>{{L"main.bin", PreviewFile::Pin::kMatches},
                                                   {L"mcu_jp.bin", PreviewFile::Pin::kMatches}}));
    EXPECT_EQ(report.printers[0].firmwareBefore, L"1.00");
    EXPECT_EQ(report.printers[6].preview->files.back(), (PreviewFile{L"mcu_eu.bin", PreviewFile::Pin::kDiffers}));

    // The records: no data connection, no byte of any stream.
    for (const char* id : {"Usb0", "Net0", "Net1", "Net2", "Net3", "Net4", "Net5", "Net6"}) {
        SCOPED_TRACE(id);
        const std::string log = ReadWholeFile(folder_.dir().path() / (std::string(id) + ".log")).value_or("");
        for (const char* call : {"USBConnectByPrinterName", "NetworkConnect", "USBWrite", "NetworkWrite"})
            EXPECT_EQ(log.find(call), std::string::npos) << call << "\n" << log;
        EXPECT_EQ(ReadWholeFile(folder_.dir().path() / (std::string(id) + ".bin")).value_or(""), "");
        const std::string state = ReadWholeFile(folder_.dir().path() / (std::string(id) + ".state")).value_or("");
        if (!state.empty()) {
            EXPECT_NE(state.find("\nWrites=0\n"), std::string::npos) << state;
        }
    }
}

}  // namespace
