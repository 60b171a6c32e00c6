// The batch scheduler in virtual time, with child processes, printers and a
// clock of the test's own.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/batch_run.h"

namespace {

constexpr std::int64_t kStartMs = 1796917082000;

// `now` goes forward with every sleep; `wall` too, unless a test sets the
// system time to something else.
class VirtualClock final : public BatchClock {
public:
    std::int64_t NowUtcMs() override { return wall; }
    std::int64_t MonotonicMs() override { return now - kStartMs + 777; }
    void SleepMs(int milliseconds) override {
        now += milliseconds;
        wall += milliseconds;
        for (const auto& [atMs, stepMs] : wallSteps) {
            if (now - milliseconds < atMs && now >= atMs) wall += stepMs;
        }
    }
    std::int64_t now = kStartMs;
    std::int64_t wall = kStartMs;
    std::vector<std::pair<std::int64_t, std::int64_t>> wallSteps;  // at `now`, the wall clock jumps by
};

// A simulated printer: how long its update runs, how it ends, how long it
// then reports "updating", and its firmware before and after.
struct FakePrinter {
    int sendMs = 1000;
    int exitCode = 0;
    int updatingMs = 0;     // after the update; -1: never ready again
    bool unreadable = false;  // status and firmware never answer
    // Firmware texts before the update and once back; nullptr: not read.
    const wchar_t* before = L"1.00";
    const wchar_t* after = L"2.00";
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
    std::vector<std::string> events;  // stops asked and reports written, in order
    std::map<std::wstring, std::vector<std::int64_t>> stateReadTimes;  // since the printer's update ended
    std::map<std::wstring, std::wstring> faults;  // once back, these printers report this update fault

    std::unique_ptr<UpdateProcess> Start(const BatchPrinter& printer, std::wstring& problem) override {
        if (refuseStart) {
            problem = L"no room in the job";
            return nullptr;
        }
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
        const wchar_t* text = completed_.count(printer.target) && IsReady(printer.target) ? fake.after : fake.before;
        return text ? std::optional<std::wstring>(text) : std::nullopt;
    }

    Reading ReadState(const BatchPrinter& printer) override {
        ++stateReads[printer.target];
        stateReadTimes[printer.target].push_back(clock_.now - completed_.at(printer.target));
        if (awake) {
            EXPECT_TRUE(*awake) << "a wait for a printer while the system may sleep";
        }
        const FakePrinter& fake = printers.at(printer.target);
        if (fake.unreadable) return {State::kUnreadable, {}};
        if (!IsReady(printer.target)) return {State::kUpdating, {}};
        if (faults.count(printer.target)) return {State::kUpdateFault, faults.at(printer.target)};
        return {State::kReady, {}};
    }

    void ReportChanged(const BatchReport& report, const std::vector<std::size_t>& finishedNow,
                       std::size_t finished) override {
        std::string event = "write";
        for (std::size_t index : finishedNow) {
            finishedIndexes.push_back(index);
            EXPECT_TRUE(report.printers.at(index).endMs || !report.printers.at(index).startMs);
            event += " " + std::to_string(index);
        }
        events.push_back(event);
        if (!finishedNow.empty()) finishedCounts.push_back(finished);
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
            fleet.events.push_back("stop " + std::string(target.begin(), target.end()));
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
        EXPECT_EQ(result.ready, true);
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
    EXPECT_TRUE(results[0].outcome == BatchOutcome::kUpdated && results[0].ready == true);
    EXPECT_EQ(results[1].outcome, BatchOutcome::kFailed);
    EXPECT_EQ(results[1].reason, 4);
    EXPECT_FALSE(results[1].firmwareAfter);
    EXPECT_EQ(results[2].outcome, BatchOutcome::kUpdated);
    EXPECT_EQ(results[2].ready, false);
    // Waited exactly the list's 20 s after the update, with the last read at the end.
    EXPECT_EQ(results[2].endMs, kStartMs + 1000 + 20000);
    EXPECT_EQ(f.fleet.stateReads[L"10.0.0.3"], 4);
    EXPECT_EQ(results[3].outcome, BatchOutcome::kFailed);
    EXPECT_EQ(results[3].reason, 255);
}

// Right after its last marker a printer may still report its old ready
// state: no read before the settle time, and a wait shorter than it leaves
// the state unverified (never ready, never a clean run).
TEST(BatchRun, NoStateReadCountsBeforeTheSettleTime) {
    struct Case {
        int waitSeconds;
        int updatingMs;
        int expectedReads;
        std::optional<bool> expectedReady;
    } const cases[] = {{0, 0, 0, std::nullopt},  {4, 0, 0, std::nullopt}, {5, 0, 1, true},
                       {5, 6000, 1, false},      {12, 6000, 2, true},      {600, 12000, 3, true}};
    for (const Case& c : cases) {
        Fixture f;
        f.fleet.printers[L"10.0.0.1"] = {1000, 0, c.updatingMs};
        const int exitCode = f.Run(NetworkList(1, 1, c.waitSeconds));
        const BatchPrinterResult& result = f.report.printers[0];
        EXPECT_EQ(f.fleet.stateReads[L"10.0.0.1"], c.expectedReads) << c.waitSeconds;
        for (const std::int64_t readAt : f.fleet.stateReadTimes[L"10.0.0.1"]) EXPECT_GE(readAt, kReadySettleMs);
        EXPECT_EQ(result.outcome, BatchOutcome::kUpdated) << c.waitSeconds;
        EXPECT_EQ(result.ready, c.expectedReady) << c.waitSeconds;
        EXPECT_EQ(exitCode, c.expectedReady == true ? kExitCompleted : kExitNotAllUpdated) << c.waitSeconds;
        if (!c.expectedReady) {
            EXPECT_FALSE(result.firmwareAfter);
            EXPECT_NE(FormatBatchResult(f.report).find("\"ready\": null"), std::string::npos);
            EXPECT_EQ(BatchPrinterLine(result), L"net 10.0.0.1: updated, firmware 1.00 -> ?, ready state not verified");
        }
    }
}

// A printer that comes back reporting an update fault (the detail codes the
// wizard's jobs take for one) is no update.
TEST(BatchRun, APrinterBackWithAnUpdateFaultFailed) {
    Fixture f;
    f.fleet.printers[L"10.0.0.1"] = {1000, 0, 6000};
    f.fleet.faults[L"10.0.0.1"] = L"016-744";
    f.fleet.printers[L"10.0.0.2"] = {1000, 0, 0};
    EXPECT_EQ(f.Run(NetworkList(2, 2, 60)), kExitNotAllUpdated);
    const BatchPrinterResult& faulty = f.report.printers[0];
    EXPECT_EQ(faulty.outcome, BatchOutcome::kFailed);
    EXPECT_EQ(faulty.reason, 255);
    EXPECT_EQ(faulty.problem, L"the printer reports update fault 016-744");
    EXPECT_EQ(faulty.ready, false);
    EXPECT_EQ(BatchPrinterLine(faulty), L"net 10.0.0.1: failed: reason 255 (the printer reports update fault 016-744)");
    EXPECT_EQ(f.report.printers[1].ready, true);
}

// Durations and deadlines follow the monotonic clock: a system time set back
// during an update or forward during a restart changes only the times
// written, never `seconds` or how long a printer is waited for.
TEST(BatchRun, AWallClockSteppedEitherWayMovesNoDurationOrDeadline) {
    for (const std::int64_t stepMs : {std::int64_t{-3600000}, std::int64_t{86400000}}) {
        Fixture f;
        f.clock.wallSteps = {{kStartMs + 500, stepMs}, {kStartMs + 4000, stepMs}};
        f.fleet.printers[L"10.0.0.1"] = {2000, 0, 12000};
        f.fleet.printers[L"10.0.0.2"] = {2000, 0, -1};  // never back: waited the whole 30 s
        EXPECT_EQ(f.Run(NetworkList(2, 2, 30)), kExitNotAllUpdated);
        const BatchPrinterResult& back = f.report.printers[0];
        const BatchPrinterResult& never = f.report.printers[1];
        EXPECT_EQ(back.ready, true);
        EXPECT_EQ(back.elapsedMs, 2000 + 15000);
        EXPECT_EQ(back.endMs, kStartMs + 2000 + 15000 + 2 * stepMs);
        EXPECT_EQ(f.fleet.stateReads[L"10.0.0.1"], 3);
        EXPECT_EQ(never.ready, false);
        EXPECT_EQ(never.elapsedMs, 2000 + 30000);
        EXPECT_EQ(f.fleet.stateReads[L"10.0.0.2"], 6);
        const std::string json = FormatBatchResult(f.report);
        EXPECT_NE(json.find("\"seconds\": 17.0"), std::string::npos) << json;
        EXPECT_NE(json.find("\"seconds\": 32.0"), std::string::npos) << json;
        EXPECT_EQ(json.find("\"seconds\": -"), std::string::npos) << json;
    }
}

TEST(BatchRun, AChildThatCannotStartFailsItsPrinterAndTheRunGoesOn) {
    Fixture f;
    f.fleet.refuseStart = true;
    EXPECT_EQ(f.Run(NetworkList(2, 1)), kExitNotAllUpdated);
    for (const auto& result : f.report.printers) {
        EXPECT_EQ(result.outcome, BatchOutcome::kFailed);
        EXPECT_EQ(result.reason, 255);
        EXPECT_EQ(result.problem, L"no room in the job");
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
    EXPECT_TRUE(f.report.printers[1].problem.empty());
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
    EXPECT_EQ(results[0].ready, std::nullopt);
    EXPECT_EQ(f.fleet.stopsRequested, (std::vector<std::wstring>{L"10.0.0.2"}));
    EXPECT_EQ(results[1].outcome, BatchOutcome::kFailed);
    for (int i = 2; i < 5; ++i) {
        EXPECT_EQ(results[i].outcome, BatchOutcome::kNotStarted);
        EXPECT_FALSE(results[i].startMs);
    }
    EXPECT_EQ(f.fleet.startOrder.size(), 2u);
    // The running update hears of the cancel first; then one write records
    // the printers the cancel finished, and the stopped one follows when it ends.
    EXPECT_EQ(f.fleet.events, (std::vector<std::string>{"write", "stop 10.0.0.2", "write 0 2 3 4", "write 1"}));
}

TEST(BatchRun, CancelStopsEveryRunningUpdateBeforeItWritesAnything) {
    Fixture f;
    const BatchList list = NetworkList(8, 3);
    for (const auto& printer : list.printers) f.fleet.printers[printer.target] = {4000, 0, 0};
    f.fleet.cancelAtMs = kStartMs + 1000;
    EXPECT_EQ(f.Run(list), kExitNotAllUpdated);
    ASSERT_GE(f.fleet.events.size(), 4u);
    EXPECT_EQ(std::vector<std::string>(f.fleet.events.begin(), f.fleet.events.begin() + 4),
              (std::vector<std::string>{"stop 10.0.0.1", "stop 10.0.0.2", "stop 10.0.0.3", "write 3 4 5 6 7"}));
}

TEST(BatchRun, EachSnapshotIsACompleteReport) {
    Fixture f;
    f.fleet.printers[L"10.0.0.2"] = {60000, 0, 0};
    f.Run(NetworkList(2, 1));
    // Restart and end of each printer; the second is not started while the
    // first holds the only place.
    ASSERT_EQ(f.fleet.snapshots.size(), 4u);
    EXPECT_NE(f.fleet.snapshots[1].find("\"not-started\""), std::string::npos);
    EXPECT_EQ(f.fleet.snapshots[3].find("\"not-started\""), std::string::npos);
}

// A printer that has taken every file and restarts is not finished: the
// result file says "restarting", without an end, until it is back.
TEST(BatchRun, ARestartingPrinterIsRecordedAsSuchUntilItIsBack) {
    Fixture f;
    f.fleet.printers[L"10.0.0.1"] = {1000, 0, 6000};
    f.Run(NetworkList(1, 1));
    ASSERT_EQ(f.fleet.events, (std::vector<std::string>{"write", "write 0"}));
    const std::string& restarting = f.fleet.snapshots[0];
    EXPECT_NE(restarting.find("\"outcome\": \"restarting\", \"reason\": 0"), std::string::npos) << restarting;
    EXPECT_NE(restarting.find("\"end\": null, \"seconds\": null"), std::string::npos) << restarting;
    EXPECT_NE(restarting.find("\"firmwareAfter\": null, \"ready\": null"), std::string::npos) << restarting;
    EXPECT_NE(f.fleet.snapshots[1].find("\"outcome\": \"updated\""), std::string::npos);
    EXPECT_NE(f.fleet.snapshots[1].find("\"ready\": true"), std::string::npos);
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

// ---- The firmware a package installs --------------------------------------

// One printer against the package's firmware text: whether it is sent
// anything, how it ends and the batch's exit code.
struct FirmwareCase {
    const char* name;
    const wchar_t* packageFirmware;  // "" : the package names none
    bool reinstall;
    FakePrinter printer;
    BatchOutcome outcome;
    int reason;
    const wchar_t* problem;
    int exitCode;
};

TEST(BatchRun, APrinterIsJudgedByTheFirmwareThePackageInstalls) {
    const FirmwareCase cases[] = {
        {"no setting: as before", L"", false, {}, BatchOutcome::kUpdated, 0, L"", 0},
        {"no setting, old firmware after", L"", false, {1000, 0, 0, false, L"1.00", L"1.00"}, BatchOutcome::kUpdated,
         0, L"", 0},
        {"updated to it", L"2.00", false, {}, BatchOutcome::kUpdated, 0, L"", 0},
        {"already runs it", L"2.00", false, {1000, 0, 0, false, L"2.00", L"2.00"}, BatchOutcome::kCurrent, 0, L"", 0},
        {"already runs it, padded", L"2.00", false, {1000, 0, 0, false, L" 2.00  ", L"2.00"},
         BatchOutcome::kCurrent, 0, L"", 0},
        {"reinstall sends it all the same", L"2.00", true, {1000, 0, 0, false, L"2.00", L"2.00"},
         BatchOutcome::kUpdated, 0, L"", 0},
        {"back on its old firmware", L"2.00", false, {1000, 0, 0, false, L"1.00", L"1.00"}, BatchOutcome::kFailed,
         255, L"came back with firmware 1.00", 6},
        {"back on a third firmware", L"2.00", false, {1000, 0, 0, false, L"1.00", L"2.00b"}, BatchOutcome::kFailed,
         255, L"came back with firmware 2.00b", 6},
        {"firmware unread once back", L"2.00", false, {1000, 0, 0, false, L"1.00", nullptr}, BatchOutcome::kUpdated,
         0, L"its firmware could not be read after the update", 6},
        {"firmware unread before", L"2.00", false, {1000, 0, 0, false, nullptr, L"2.00"}, BatchOutcome::kUpdated, 0,
         L"", 0},
        {"never back", L"2.00", false, {1000, 0, -1, false, L"1.00", L"1.00"}, BatchOutcome::kUpdated, 0, L"", 6},
        {"update failed", L"2.00", false, {1000, 4, 0, false, L"1.00", L"1.00"}, BatchOutcome::kFailed, 4, L"", 6},
    };
    for (const FirmwareCase& c : cases) {
        SCOPED_TRACE(c.name);
        Fixture f;
        BatchList list = NetworkList(1, 1, 60);
        list.reinstall = c.reinstall;
        f.report.reportedFirmware = c.packageFirmware;
        f.fleet.printers[list.printers[0].target] = c.printer;
        EXPECT_EQ(f.Run(list), c.exitCode);
        const BatchPrinterResult& result = f.report.printers.at(0);
        EXPECT_EQ(result.outcome, c.outcome);
        EXPECT_EQ(result.reason, c.reason);
        EXPECT_EQ(result.problem, c.problem);
        const bool sent = c.outcome != BatchOutcome::kCurrent;
        EXPECT_EQ(f.fleet.startOrder.size(), sent ? 1u : 0u);
        if (!sent) {
            EXPECT_EQ(f.fleet.firmwareReads.size(), 1u) << "a current printer is read once, before";
            EXPECT_FALSE(result.firmwareAfter);
            EXPECT_FALSE(result.ready);
        }
    }
}

// Current printers count as done: with the rest updated to the package's
// firmware the batch exits 0, and the record and console say what each is.
TEST(BatchRun, CurrentAndUpdatedPrintersTogetherExitZero) {
    Fixture f;
    const BatchList list = NetworkList(3, 2);
    f.report.reportedFirmware = L"2.00";
    f.fleet.printers[L"10.0.0.2"] = {1000, 0, 0, false, L"2.00", L"2.00"};
    EXPECT_EQ(f.Run(list), 0);
    EXPECT_EQ(f.fleet.startOrder, (std::vector<std::wstring>{L"10.0.0.1", L"10.0.0.3"}));
    EXPECT_EQ(BatchPrinterLine(f.report.printers[1]), L"net 10.0.0.2: current, firmware 2.00");
    const std::string json = FormatBatchResult(f.report);
    EXPECT_NE(json.find("\"settings\": {\"parallel\": 2, \"wait\": 600, \"reportedFirmware\": \"2.00\"}"),
              std::string::npos)
        << json;
    EXPECT_NE(json.find("\"outcome\": \"current\""), std::string::npos) << json;
}

}  // namespace
