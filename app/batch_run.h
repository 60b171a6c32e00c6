// The scheduler of a "/batch" run: it starts each printer's silent update in
// a process of its own (network printers up to `parallel` at once, USB
// printers one at a time), waits for each updated printer to report a state
// other than "updating" (bounded by the list's wait), reads its firmware
// before and after, and hands the result on each time a printer finishes.
// Single-threaded and portable: the child processes, the clock, the printer
// queries and the cancel signal are seams, so tests run it in virtual time.
// With the firmware text that the package installs (report.reportedFirmware),
// a printer that already reports it is left alone (`current`) unless the list
// says `reinstall`, and one that comes back ready with another text failed.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/batch_list.h"
#include "app/batch_result.h"
#include "app/update_outcome.h"
#include "base/keep_awake.h"
#include "base/sleeper.h"
#include "package/package_settings.h"

// How often the scheduler looks at its children, and how often an updated
// printer's status is read while it restarts. Right after its last marker a
// printer may still report its old ready state: only a read made at least
// kReadySettleMs after the update counts.
inline constexpr int kBatchTickMs = 250;
inline constexpr int kReadyPollMs = 5000;
inline constexpr int kReadySettleMs = 5000;

// One printer's update running in a child process.
class UpdateProcess {
public:
    virtual ~UpdateProcess() = default;
    // The child's exit code once it has ended; nothing while it runs.
    virtual std::optional<int> ExitCode() = 0;
    // Asks the child to stop: it finishes the piece it is sending and ends
    // the file with the abandon marker.
    virtual void RequestStop() = 0;
    // The child's support log, once it has ended; nothing when it kept none.
    virtual std::optional<std::wstring> RunLog() { return std::nullopt; }
};

class UpdateStarter {
public:
    virtual ~UpdateStarter() = default;
    // nullptr when the child could not be started; `problem` then says why.
    virtual std::unique_ptr<UpdateProcess> Start(const BatchPrinter& printer, std::wstring& problem) = 0;
    // What refuses the printer's update before it touches the printer, as
    // the child's own first checks would (RefuseBeforeConnecting); nothing
    // when it may start.
    virtual std::optional<UpdateRefusal> Refusal(const BatchPrinter& /*printer*/) { return std::nullopt; }
};

// The scheduler's clocks (base/sleeper.h).
using BatchClock = Clock;

// Reads of a printer outside its update, as the list pages make them.
class PrinterProbe {
public:
    // kUpdateFault: the printer reports that its update failed, by the
    // detail codes the wizard's jobs take for a fault.
    enum class State { kReady, kUpdating, kUnreadable, kUpdateFault };
    struct Reading {
        State state = State::kUnreadable;
        std::wstring faultName;  // of kUpdateFault, as the printer's panel shows it
    };
    virtual ~PrinterProbe() = default;
    // The firmware text; nothing when it cannot be read.
    virtual std::optional<std::wstring> FirmwareText(const BatchPrinter& printer) = 0;
    virtual Reading ReadState(const BatchPrinter& printer) = 0;
};

// Hears of the run: each time the report changes (the whole report so far,
// the printers that have just finished, in list order, and how many have
// finished in all), and whether the run is to stop. A printer that starts
// its restart is a change with no printer finished.
class BatchEvents {
public:
    virtual ~BatchEvents() = default;
    virtual void ReportChanged(const BatchReport& report, const std::vector<std::size_t>& finishedNow,
                               std::size_t finished) = 0;
    virtual bool CancelRequested() = 0;
};

// The outcome of a child's exit code: 0 updated, the reason codes of the
// silent update (1, 2, 3, 4, 255) failed with that reason; anything else (a
// crash, a child ended from outside) failed with 255.
void ApplyChildExitCode(int exitCode, BatchPrinterResult& result);

// Whether a printer counts toward a batch's exit 0: updated and seen back
// ready, and then reporting `reportedFirmware` when the package names it; or
// current (it already did); or, in a dry run, one that would be updated.
bool IsBatchSuccess(const BatchPrinterResult& result, const std::wstring& reportedFirmware);

// Runs the whole list; `report` comes with the package and settings filled in
// and receives one result per printer, in list order. Returns the exit code:
// 0 when every printer was updated and was seen back ready (reporting the
// package's firmware, when it names one) or was current, else 6. The system is
// held awake for the whole run, the waits for printers to come back included:
// a machine that slept through a wait would find the printers "never back".
int RunBatch(const BatchList& list, BatchReport& report, UpdateStarter& starter, PrinterProbe& probe,
             BatchClock& clock, BatchEvents& events, PowerRequests& power = PlatformPowerRequests());
