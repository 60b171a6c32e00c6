#include "app/batch_run.h"

#include <algorithm>
#include <vector>

#include "app/command_line_update.h"
#include "app/update_outcome.h"

namespace {

enum class Phase { kPending, kSending, kRestarting, kFinished };

// Times on the monotonic clock.
struct PrinterRun {
    Phase phase = Phase::kPending;
    std::unique_ptr<UpdateProcess> process;
    std::int64_t startMs = 0;
    std::int64_t readyDeadlineMs = 0;
    std::int64_t nextPollMs = 0;
};

std::wstring FaultProblem(const std::wstring& faultName) {
    return L"the printer reports update fault " + (faultName.empty() ? std::wstring(L"(no name)") : faultName);
}

class Scheduler {
public:
    Scheduler(const BatchList& list, BatchReport& report, UpdateStarter& starter, PrinterProbe& probe,
              BatchClock& clock, BatchEvents& events)
        : list_(list), report_(report), starter_(starter), probe_(probe), clock_(clock), events_(events),
          runs_(list.printers.size()) {
        report_.parallel = list.parallel;
        report_.waitSeconds = list.waitSeconds;
        report_.reinstall = list.reinstall;
        report_.printers.clear();
        for (const BatchPrinter& printer : list.printers) report_.printers.emplace_back(printer);
    }

    int Run() {
        while (finished_ < runs_.size()) {
            if (!cancelled_ && events_.CancelRequested()) Cancel();
            StartWhatFits();
            for (std::size_t i = 0; i < runs_.size(); ++i) Advance(i);
            if (finished_ < runs_.size()) clock_.SleepMs(kBatchTickMs);
        }
        const bool allDone = std::all_of(report_.printers.begin(), report_.printers.end(), [this](const auto& result) {
            return IsBatchSuccess(result, report_.reportedFirmware);
        });
        return allDone ? kExitCompleted : kExitNotAllUpdated;
    }

private:
    // A printer holds its place among the `parallel` from its start until it
    // has come back (or the wait is over): a restart is part of its update.
    // Over USB only one printer is updated at a time.
    void StartWhatFits() {
        if (cancelled_) return;
        for (std::size_t i = 0; i < runs_.size(); ++i) {
            if (runs_[i].phase != Phase::kPending) continue;
            const bool usb = list_.printers[i].road == BatchRoad::kUsb;
            if (CountBusy(false) >= list_.parallel) return;
            if (usb && CountBusy(true) > 0) continue;
            Start(i);
        }
    }

    int CountBusy(bool usbOnly) const {
        int count = 0;
        for (std::size_t i = 0; i < runs_.size(); ++i) {
            const bool busy = runs_[i].phase == Phase::kSending || runs_[i].phase == Phase::kRestarting;
            if (busy && (!usbOnly || list_.printers[i].road == BatchRoad::kUsb)) ++count;
        }
        return count;
    }

    void Start(std::size_t i) {
        BatchPrinterResult& result = report_.printers[i];
        result.startMs = clock_.NowUtcMs();
        runs_[i].startMs = clock_.MonotonicMs();
        // A refused printer is not touched, not even to read its firmware.
        if (const std::optional<UpdateRefusal> refusal = starter_.Refusal(list_.printers[i])) {
            result.outcome = BatchOutcome::kFailed;
            result.reason = refusal->reason;
            result.problem = refusal->problem;
            Finish(i);
            return;
        }
        result.firmwareBefore = probe_.FirmwareText(list_.printers[i]);
        // A printer that already runs what the package installs gets nothing,
        // unless the list asks for it all the same.
        if (!list_.reinstall && IsPackageFirmware(report_.reportedFirmware, result.firmwareBefore)) {
            result.outcome = BatchOutcome::kCurrent;
            result.ready.reset();
            Finish(i);
            return;
        }
        runs_[i].process = starter_.Start(list_.printers[i], result.problem);
        if (!runs_[i].process) {
            result.outcome = BatchOutcome::kFailed;
            result.reason = kReasonSendFailed;
            Finish(i);
            return;
        }
        runs_[i].phase = Phase::kSending;
    }

    void Advance(std::size_t i) {
        PrinterRun& run = runs_[i];
        BatchPrinterResult& result = report_.printers[i];
        if (run.phase == Phase::kSending) {
            const std::optional<int> exitCode = run.process->ExitCode();
            if (!exitCode) return;
            result.log = run.process->RunLog();
            run.process.reset();
            ApplyChildExitCode(*exitCode, result);
            if (result.outcome != BatchOutcome::kUpdated) {
                Finish(i);
                return;
            }
            // Every byte went out; the printer is not back yet. The first
            // read that counts comes after the settle time; a wait that ends
            // before it leaves the printer's state unverified.
            const std::int64_t now = clock_.MonotonicMs();
            run.readyDeadlineMs = now + std::int64_t{list_.waitSeconds} * 1000;
            run.nextPollMs = now + kReadySettleMs;
            result.ready.reset();
            if (run.readyDeadlineMs < run.nextPollMs) {
                Finish(i);
                return;
            }
            result.outcome = BatchOutcome::kRestarting;
            run.phase = Phase::kRestarting;
            events_.ReportChanged(report_, {}, finished_);
            return;
        }
        if (run.phase == Phase::kRestarting) {
            const std::int64_t now = clock_.MonotonicMs();
            if (now < run.nextPollMs) return;
            const PrinterProbe::Reading reading = probe_.ReadState(list_.printers[i]);
            if (reading.state == PrinterProbe::State::kUpdateFault) {
                result.outcome = BatchOutcome::kFailed;
                result.reason = kReasonSendFailed;
                result.problem = FaultProblem(reading.faultName);
                result.ready = false;
            } else if (reading.state == PrinterProbe::State::kReady) {
                result.ready = true;
            } else if (now < run.readyDeadlineMs) {
                run.nextPollMs = std::min(now + kReadyPollMs, run.readyDeadlineMs);
                return;
            } else {
                result.ready = false;
            }
            result.firmwareAfter = probe_.FirmwareText(list_.printers[i]);
            JudgeFirmwareAfter(result);
            Finish(i);
        }
    }

    // Back and ready, a printer must report the firmware the package
    // installs, when the package names it: one that restarted into its old
    // firmware (or any other) did not take the update.
    void JudgeFirmwareAfter(BatchPrinterResult& result) const {
        if (report_.reportedFirmware.empty() || result.outcome == BatchOutcome::kFailed || result.ready != true) return;
        if (IsPackageFirmware(report_.reportedFirmware, result.firmwareAfter)) return;
        if (!result.firmwareAfter) {
            result.problem = L"its firmware could not be read after the update";
            return;
        }
        result.outcome = BatchOutcome::kFailed;
        result.reason = kReasonSendFailed;
        result.problem = L"came back with firmware " + *result.firmwareAfter;
    }

    // A finished printer is recorded at once, unless `later` collects it for
    // one record of several.
    void Finish(std::size_t i, std::vector<std::size_t>* later = nullptr) {
        BatchPrinterResult& result = report_.printers[i];
        if (result.outcome == BatchOutcome::kRestarting) result.outcome = BatchOutcome::kUpdated;
        runs_[i].phase = Phase::kFinished;
        if (result.startMs) {
            result.endMs = clock_.NowUtcMs();
            result.elapsedMs = clock_.MonotonicMs() - runs_[i].startMs;
        }
        ++finished_;
        if (later)
            later->push_back(i);
        else
            events_.ReportChanged(report_, {i}, finished_);
    }

    // Running updates are asked to stop first, so that each ends its file
    // with the abandon marker as soon as it can, and report later how they
    // ended; then the printers not started (which stay so) and the
    // restarting ones (no longer waited for, their state unverified) are
    // recorded in one write.
    void Cancel() {
        cancelled_ = true;
        for (PrinterRun& run : runs_)
            if (run.phase == Phase::kSending) run.process->RequestStop();
        std::vector<std::size_t> finishedNow;
        for (std::size_t i = 0; i < runs_.size(); ++i)
            if (runs_[i].phase == Phase::kPending || runs_[i].phase == Phase::kRestarting) Finish(i, &finishedNow);
        if (!finishedNow.empty()) events_.ReportChanged(report_, finishedNow, finished_);
    }

    const BatchList& list_;
    BatchReport& report_;
    UpdateStarter& starter_;
    PrinterProbe& probe_;
    BatchClock& clock_;
    BatchEvents& events_;
    std::vector<PrinterRun> runs_;
    std::size_t finished_ = 0;
    bool cancelled_ = false;
};

}  // namespace

void ApplyChildExitCode(int exitCode, BatchPrinterResult& result) {
    switch (exitCode) {
    case kExitCompleted:
        result.outcome = BatchOutcome::kUpdated;
        result.reason = 0;
        return;
    case kReasonNoConnection:
    case kReasonFileNotOpened:
    case kExitLibraryMissing:
    case kReasonNotGranted:
    case kReasonSendFailed:
        result.outcome = BatchOutcome::kFailed;
        result.reason = exitCode;
        return;
    default:
        // Without an outcome of its own the update cannot count as done.
        result.outcome = BatchOutcome::kFailed;
        result.reason = kReasonSendFailed;
    }
}

bool IsBatchSuccess(const BatchPrinterResult& result, const std::wstring& reportedFirmware) {
    if (result.outcome == BatchOutcome::kCurrent || result.outcome == BatchOutcome::kWouldUpdate) return true;
    if (result.outcome != BatchOutcome::kUpdated || result.ready != true) return false;
    return reportedFirmware.empty() || IsPackageFirmware(reportedFirmware, result.firmwareAfter);
}

int RunBatch(const BatchList& list, BatchReport& report, UpdateStarter& starter, PrinterProbe& probe,
             BatchClock& clock, BatchEvents& events, PowerRequests& power) {
    const KeepAwake awake(power);
    return Scheduler(list, report, starter, probe, clock, events).Run();
}
