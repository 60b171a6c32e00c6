// The batch scheduler in virtual time, with child processes, printers and a
// clock of the test's own.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/batch_run.h"

namespace {

constexpr std::int64_t kStartMs = 1796917082000;

class VirtualClock final : public BatchClock {
public:
    std::int64_t NowUtcMs() override { return now; }
    void SleepMs(int milliseconds) override { now += milliseconds; }
    std::int64_t now = kStartMs;
};

// A simulated printer: how long its update runs, how it ends, how long it
// then reports "updating", and its firmware before and after.
struct FakePrinter {
    int sendMs = 1000;
    int exitCode = 0;
    int updatingMs = 0;     // after the update; -1: never ready again
    bool unreadable = false;  // status and firmware never answer
};

class FakeFleet final : public UpdateStarter, public PrinterProbe, public BatchEvents {
public:
    explicit FakeFleet(VirtualClock& clock) : clock_(clock) {}

    std::map<std::wstring, FakePrinter> printers;
    std::vector<std::wstring> startOrder;
    std::vector<std::size_t> finishedCounts;
    std::vector<std::size_t> finishedIndexes;
    std::vector<std::string> snapshots;
    int maxRunning = 0;
    int maxUsbRunning = 0;
    std::int64_t cancelAtMs = -1;
    std::vector<std::wstring> stopsRequested;
    bool refuseStart = false;
    std::map<std::wstring, UpdateRefusal> refusals;  // printers refused before they are touched
    std::vector<std::wstring> firmwareReads;
    const bool* awake = nullptr;  // when set, the system must be held awake at every status read

    std::unique_ptr<UpdateProcess> Start(const BatchPrinter& printer) override {
        if (refuseStart) return nullptr;
        startOrder.push_back(printer.target);
        auto process = std::make_unique<Process>(*this, printer);
        return process;
    }

    std::optional<UpdateRefusal> Refusal(const BatchPrinter& printer) override {
        const auto refusal = refusals.find(printer.target);
        return refusal == refusals.end() ? std::nullopt : std::optional<UpdateRefusal>(refusal->second);
    }

    std::optional<std::wstring> FirmwareText(const BatchPrinter& printer) override {
        firmwareReads.push_back(printer.target);
        const FakePrinter& fake = printers.at(printer.target);
        if (fake.unreadable) return std::nullopt;
        return completed_.count(printer.target) && IsReady(printer.target) ? L"2.00" : L"1.00";
    }

    State ReadState(const BatchPrinter& printer) override {
        ++stateReads[printer.target];
        if (awake) EXPECT_TRUE(*awake) << "a wait for a printer while the system may sleep";
        if (printers.at(printer.target).unreadable) return State::kUnreadable;
        return IsReady(printer.target) ? State::kReady : State::kUpdating;
    }

    void PrinterFinished(const BatchReport& report, std::size_t index, std::size_t finished) override {
        finishedIndexes.push_back(index);
        EXPECT_TRUE(report.printers.at(index).endMs || !report.printers.at(index).startMs);
        finishedCounts.push_back(finished);
        snapshots.push_back(FormatBatchResult(report));
    }
    bool CancelRequested() override { return cancelAtMs >= 0 && clock_.now >= cancelAtMs; }

    std::map<std::wstring, int> stateReads;

private:
    struct Process final : UpdateProcess {
        Process(FakeFleet& fleet, const BatchPrinter& printer)
            : fleet(fleet), target(printer.target), usb(printer.road == BatchRoad::kUsb),
              endMs(fleet.clock_.now + fleet.printers.at(target).sendMs) {
            fleet.running.push_back(this);
            fleet.Count();
        }
        ~Process() override { fleet.running.erase(std::find(fleet.running.begin(), fleet.running.end(), this)); }
        std::optional<int> ExitCode() override {
            if (fleet.clock_.now < endMs) return std::nullopt;
            if (stopped) return 255;
            const int code = fleet.printers.at(target).exitCode;
            if (code == 0) fleet.completed_[target] = fleet.clock_.now;
            return code;
        }
        void RequestStop() override {
            stopped = true;
            fleet.stopsRequested.push_back(target);
        }
        FakeFleet& fleet;
        std::wstring target;
        bool usb;
        std::int64_t endMs;
        bool stopped = false;
    };

    void Count() {
        maxRunning = std::max(maxRunning, static_cast<int>(running.size()));
        const auto usbRunning = std::count_if(running.begin(), running.end(), [](Process* p) { return p->usb; });
        maxUsbRunning = std::max(maxUsbRunning, static_cast<int>(usbRunning));
    }

    bool IsReady(const std::wstring& target) const {
        const auto done = completed_.find(target);
        if (done == completed_.end()) return true;
        const int updatingMs = printers.at(target).updatingMs;
        return updatingMs >= 0 && clock_.now >= done->second + updatingMs;
    }

    VirtualClock& clock_;
    std::vector<Process*> running;
    std::map<std::wstring, std::int64_t> completed_;
};

BatchList NetworkList(int count, int parallel, int waitSeconds = 600) {
    BatchList list;
    list.parallel = parallel;
    list.waitSeconds = waitSeconds;
    for (int i = 0; i < count; ++i) list.printers.push_back({BatchRoad::kNetwork, L"10.0.0." + std::to_wstring(i + 1)});
    return list;
}

struct Fixture {
    VirtualClock clock;
    FakeFleet fleet{clock};
    BatchReport report;

    int Run(const BatchList& list) {
        for (const BatchPrinter& printer : list.printers) fleet.printers.try_emplace(printer.target);
        return RunBatch(list, report, fleet, fleet, clock, fleet);
    }
};

// Held awake once for the whole run, the waits for restarts included, and
// let go at its end.
TEST(BatchRun, HoldsTheSystemAwakeFromFirstToLastPrinter) {
    struct HeldPower final : PowerRequests {
        bool held = false;
        int requests = 0;
        void KeepSystemAwake() override {
            held = true;
            ++requests;
        }
        void AllowSleep() override { held = false; }
    } power;
    Fixture f;
    f.fleet.awake = &power.held;
    const BatchList list = NetworkList(3, 1);
    for (const auto& printer : list.printers) f.fleet.printers[printer.target] = {2000, 0, 12000};
    EXPECT_EQ(RunBatch(list, f.report, f.fleet, f.fleet, f.clock, f.fleet, power), 0);
    EXPECT_GT(f.fleet.stateReads.size(), 0u);
    EXPECT_EQ(power.requests, 1);
    EXPECT_FALSE(power.held);
}

TEST(BatchRun, UpdatesEveryPrinterWaitsForItAndReadsTheNewFirmware) {
    Fixture f;
    const BatchList list = NetworkList(3, 4);
    for (const auto& printer : list.printers) f.fleet.printers[printer.target] = {2000, 0, 12000};
    EXPECT_EQ(f.Run(list), 0);
    ASSERT_EQ(f.report.printers.size(), 3u);
    for (const BatchPrinterResult& result : f.report.printers) {
        EXPECT_EQ(result.outcome, BatchOutcome::kUpdated);
        EXPECT_TRUE(result.backReady);
        EXPECT_EQ(result.firmwareBefore, L"1.00");
        EXPECT_EQ(result.firmwareAfter, L"2.00");
        EXPECT_EQ(result.startMs, kStartMs);
        // Polled every 5 s from the end of the update: ready at 2 + 15 s.
        EXPECT_EQ(result.endMs, kStartMs + 2000 + 15000);
        EXPECT_EQ(f.fleet.stateReads[result.printer.target], 3);
    }
    EXPECT_EQ(f.fleet.maxRunning, 3);
    EXPECT_EQ(f.fleet.finishedCounts, (std::vector<std::size_t>{1, 2, 3}));
    EXPECT_EQ(f.fleet.finishedIndexes, (std::vector<std::size_t>{0, 1, 2}));
}

TEST(BatchRun, RunsAtMostParallelNetworkUpdatesAndOneUsbUpdateAtOnce) {
    Fixture f;
    BatchList list = NetworkList(10, 3);
    list.printers.insert(list.printers.begin(), {{BatchRoad::kUsb, L"USB A"}, {BatchRoad::kUsb, L"USB B"}});
    EXPECT_EQ(f.Run(list), 0);
    EXPECT_EQ(f.fleet.maxRunning, 3);
    EXPECT_EQ(f.fleet.maxUsbRunning, 1);
    EXPECT_EQ(f.fleet.startOrder.size(), 12u);
    // The second USB printer waits for the first; network printers fill the other slots.
    EXPECT_EQ(f.fleet.startOrder[0], L"USB A");
    EXPECT_EQ(f.fleet.startOrder[1], L"10.0.0.1");
    EXPECT_EQ(f.fleet.startOrder[2], L"10.0.0.2");
    EXPECT_EQ(f.fleet.startOrder[3], L"USB B");
}

TEST(BatchRun, ParallelShortensTheRun) {
    Fixture one, eight;
    for (Fixture* f : {&one, &eight})
        for (int i = 0; i < 16; ++i) f->fleet.printers[L"10.0.0." + std::to_wstring(i + 1)] = {20000, 0, 20000};
    one.Run(NetworkList(16, 1));
    eight.Run(NetworkList(16, 8));
    const auto elapsed = [](const Fixture& f) { return f.clock.now - kStartMs; };
    EXPECT_GE(elapsed(one), 16 * 1000);
    EXPECT_LE(elapsed(eight) * 6, elapsed(one));
}

TEST(BatchRun, AFailedOrNeverReadyPrinterMakesTheRunExitWithSix) {
    Fixture f;
    const BatchList list = NetworkList(4, 4, 20);
    f.fleet.printers[L"10.0.0.1"] = {1000, 0, 0};
    f.fleet.printers[L"10.0.0.2"] = {1000, 4, 0};
    f.fleet.printers[L"10.0.0.3"] = {1000, 0, -1};
    f.fleet.printers[L"10.0.0.4"] = {1000, static_cast<int>(0xC0000005u), 0};  // the child crashed
    EXPECT_EQ(f.Run(list), kExitNotAllUpdated);
    const auto& results = f.report.printers;
    EXPECT_TRUE(results[0].outcome == BatchOutcome::kUpdated && results[0].backReady);
    EXPECT_EQ(results[1].outcome, BatchOutcome::kFailed);
    EXPECT_EQ(results[1].reason, 4);
    EXPECT_FALSE(results[1].firmwareAfter);
    EXPECT_EQ(results[2].outcome, BatchOutcome::kUpdated);
    EXPECT_FALSE(results[2].backReady);
    // Waited exactly the list's 20 s after the update, with the last read at the end.
    EXPECT_EQ(results[2].endMs, kStartMs + 1000 + 20000);
    EXPECT_EQ(f.fleet.stateReads[L"10.0.0.3"], 4);
    EXPECT_EQ(results[3].outcome, BatchOutcome::kFailed);
    EXPECT_EQ(results[3].reason, 255);
}

TEST(BatchRun, WaitZeroReadsTheStateOnceAtTheEndOfTheUpdate) {
    Fixture f;
    const BatchList list = NetworkList(1, 1, 0);
    f.fleet.printers[L"10.0.0.1"] = {1000, 0, 1};
    EXPECT_EQ(f.Run(list), kExitNotAllUpdated);
    EXPECT_EQ(f.fleet.stateReads[L"10.0.0.1"], 1);
    EXPECT_FALSE(f.report.printers[0].backReady);
}

TEST(BatchRun, AChildThatCannotStartFailsItsPrinterAndTheRunGoesOn) {
    Fixture f;
    f.fleet.refuseStart = true;
    EXPECT_EQ(f.Run(NetworkList(2, 1)), kExitNotAllUpdated);
    for (const auto& result : f.report.printers) {
        EXPECT_EQ(result.outcome, BatchOutcome::kFailed);
        EXPECT_EQ(result.reason, 255);
        EXPECT_TRUE(result.endMs);
    }
}

// A printer refused before it is touched fails with the refusal's reason and
// words; no child is started and its firmware is not read.
TEST(BatchRun, ARefusedPrinterIsNeitherStartedNorReadAndKeepsItsWords) {
    Fixture f;
    const BatchList list = NetworkList(2, 1);
    f.fleet.refusals[L"10.0.0.1"] = UpdateRefusal{2, L"the firmware file \"C:\\pkg\\main.bin\" is empty"};
    EXPECT_EQ(f.Run(list), kExitNotAllUpdated);
    EXPECT_EQ(f.fleet.startOrder, (std::vector<std::wstring>{L"10.0.0.2"}));
    EXPECT_EQ(f.report.printers[0].outcome, BatchOutcome::kFailed);
    EXPECT_EQ(f.report.printers[0].reason, 2);
    EXPECT_EQ(f.report.printers[0].problem, L"the firmware file \"C:\\pkg\\main.bin\" is empty");
    EXPECT_FALSE(f.report.printers[0].firmwareBefore);
    EXPECT_TRUE(f.report.printers[0].endMs);
    EXPECT_EQ(std::count(f.fleet.firmwareReads.begin(), f.fleet.firmwareReads.end(), L"10.0.0.1"), 0);
    EXPECT_EQ(f.report.printers[1].outcome, BatchOutcome::kUpdated);
    EXPECT_FALSE(f.report.printers[1].problem);
}

TEST(BatchRun, CancelStopsRunningUpdatesAndStartsNoMore) {
    Fixture f;
    const BatchList list = NetworkList(5, 2);
    for (const auto& printer : list.printers) f.fleet.printers[printer.target] = {4000, 0, 0};
    f.fleet.printers[L"10.0.0.1"].sendMs = 1000;
    f.fleet.printers[L"10.0.0.1"].updatingMs = 60000;  // holds its place while it restarts
    f.fleet.cancelAtMs = kStartMs + 2000;
    EXPECT_EQ(f.Run(list), kExitNotAllUpdated);
    const auto& results = f.report.printers;
    // Restarting: no longer waited for. Sending: asked to stop. Pending: not started.
    EXPECT_EQ(results[0].outcome, BatchOutcome::kUpdated);
    EXPECT_FALSE(results[0].backReady);
    EXPECT_EQ(f.fleet.stopsRequested, (std::vector<std::wstring>{L"10.0.0.2"}));
    EXPECT_EQ(results[1].outcome, BatchOutcome::kFailed);
    for (int i = 2; i < 5; ++i) {
        EXPECT_EQ(results[i].outcome, BatchOutcome::kNotStarted);
        EXPECT_FALSE(results[i].startMs);
    }
    EXPECT_EQ(f.fleet.startOrder.size(), 2u);
}

TEST(BatchRun, EachSnapshotIsACompleteReport) {
    Fixture f;
    f.fleet.printers[L"10.0.0.2"] = {60000, 0, 0};
    f.Run(NetworkList(2, 1));
    ASSERT_EQ(f.fleet.snapshots.size(), 2u);
    // The second printer is still sending when the first finishes.
    EXPECT_NE(f.fleet.snapshots[0].find("\"not-started\""), std::string::npos);
    EXPECT_EQ(f.fleet.snapshots[1].find("\"not-started\""), std::string::npos);
}

TEST(BatchRun, ChildExitCodesBecomeOutcomes) {
    const std::pair<int, std::pair<BatchOutcome, int>> cases[] = {
        {0, {BatchOutcome::kUpdated, 0}},     {1, {BatchOutcome::kFailed, 1}},   {2, {BatchOutcome::kFailed, 2}},
        {3, {BatchOutcome::kFailed, 3}},      {4, {BatchOutcome::kFailed, 4}},   {255, {BatchOutcome::kFailed, 255}},
        {1067, {BatchOutcome::kFailed, 255}}, {87, {BatchOutcome::kFailed, 255}}, {-1, {BatchOutcome::kFailed, 255}}};
    for (const auto& [code, expected] : cases) {
        BatchPrinterResult result;
        ApplyChildExitCode(code, result);
        EXPECT_EQ(result.outcome, expected.first) << code;
        EXPECT_EQ(result.reason, expected.second) << code;
    }
}

}  // namespace
