#include "app/batch_run.h"

#include <algorithm>
#include <vector>

#include "app/command_line_update.h"
#include "app/update_outcome.h"

namespace {

enum class Phase { kPending, kSending, kRestarting, kFinished };

struct PrinterRun {
    Phase phase = Phase::kPending;
    std::unique_ptr<UpdateProcess> process;
    std::int64_t readyDeadlineMs = 0;
    std::int64_t nextPollMs = 0;
};

class Scheduler {
public:
    Scheduler(const BatchList& list, BatchReport& report, UpdateStarter& starter, PrinterProbe& probe,
              BatchClock& clock, BatchEvents& events)
        : list_(list), report_(report), starter_(starter), probe_(probe), clock_(clock), events_(events),
          runs_(list.printers.size()) {
        report_.parallel = list.parallel;
        report_.waitSeconds = list.waitSeconds;
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
        const bool allDone = std::all_of(report_.printers.begin(), report_.printers.end(), [](const auto& result) {
            return result.outcome == BatchOutcome::kUpdated && result.backReady;
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
        // A refused printer is not touched, not even to read its firmware.
        if (const std::optional<UpdateRefusal> refusal = starter_.Refusal(list_.printers[i])) {
            result.outcome = BatchOutcome::kFailed;
            result.reason = refusal->reason;
            result.problem = refusal->problem;
            Finish(i);
            return;
        }
        result.firmwareBefore = probe_.FirmwareText(list_.printers[i]);
        runs_[i].process = starter_.Start(list_.printers[i]);
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
            run.process.reset();
            ApplyChildExitCode(*exitCode, result);
            if (result.outcome != BatchOutcome::kUpdated) {
                Finish(i);
                return;
            }
            // The first read comes after one poll period: right after the
            // last marker a printer may still report its old ready state.
            const std::int64_t now = clock_.NowUtcMs();
            run.readyDeadlineMs = now + std::int64_t{list_.waitSeconds} * 1000;
            run.nextPollMs = std::min(now + kReadyPollMs, run.readyDeadlineMs);
            run.phase = Phase::kRestarting;
        }
        if (run.phase == Phase::kRestarting) {
            if (cancelled_) {
                Finish(i);
                return;
            }
            const std::int64_t now = clock_.NowUtcMs();
            if (now < run.nextPollMs) return;
            if (probe_.ReadState(list_.printers[i]) == PrinterProbe::State::kReady) {
                result.backReady = true;
            } else if (now < run.readyDeadlineMs) {
                run.nextPollMs = std::min(now + kReadyPollMs, run.readyDeadlineMs);
                return;
            }
            result.firmwareAfter = probe_.FirmwareText(list_.printers[i]);
            Finish(i);
        }
    }

    void Finish(std::size_t i) {
        runs_[i].phase = Phase::kFinished;
        if (report_.printers[i].startMs) report_.printers[i].endMs = clock_.NowUtcMs();
        ++finished_;
        events_.PrinterFinished(report_, i, finished_);
    }

    // Printers not yet started stay so; running updates are asked to stop
    // and report how they ended; restarting printers are no longer waited for.
    void Cancel() {
        cancelled_ = true;
        for (std::size_t i = 0; i < runs_.size(); ++i) {
            if (runs_[i].phase == Phase::kSending) runs_[i].process->RequestStop();
            if (runs_[i].phase == Phase::kPending) Finish(i);
        }
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

int RunBatch(const BatchList& list, BatchReport& report, UpdateStarter& starter, PrinterProbe& probe,
             BatchClock& clock, BatchEvents& events, PowerRequests& power) {
    const KeepAwake awake(power);
    return Scheduler(list, report, starter, probe, clock, events).Run();
}
