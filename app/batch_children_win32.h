// The processes of a batch on Windows. The batch starts each printer's
// update as a child: the same program with "/batch-printer", the road, the
// target, and two inherited handles: its instance mutex, which proves that
// the child was started by the copy that holds it, and an event that asks the
// child to stop. The children are kept in a job object that ends them when
// the batch ends, however it ends. Windows only.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>

#include "app/batch_run.h"
#include "base/kernel_handle_win32.h"

// The job object of a batch: it ends every child when the batch ends.
KernelHandle BatchJobObject();

// Milliseconds of a monotonic clock: how long a child asked to stop has had.
using MonotonicMs = std::function<ULONGLONG()>;

// How long a child asked to stop may take before it is ended: long enough
// for the piece in flight and the abandon marker.
inline constexpr ULONGLONG kStopGraceMs = 30000;

class ChildUpdateStarter final : public UpdateStarter {
public:
    // programPath: this program; instanceMutex: the family's mutex, held;
    // settings and files: the package, for the checks before a child starts;
    // job: where every child goes before its first instruction; now: the
    // clock of the children's grace time after a stop request.
    ChildUpdateStarter(std::wstring programPath, HANDLE instanceMutex, const PackageSettings& settings,
                       FileOpener& files, KernelHandle job, MonotonicMs now = [] { return GetTickCount64(); });
    ChildUpdateStarter(const ChildUpdateStarter&) = delete;
    ChildUpdateStarter& operator=(const ChildUpdateStarter&) = delete;

    // A child that cannot be put in the job is ended before it runs.
    std::unique_ptr<UpdateProcess> Start(const BatchPrinter& printer, std::wstring& problem) override;
    std::optional<UpdateRefusal> Refusal(const BatchPrinter& printer) override;
    // Where the children keep their support logs, for each printer's result.
    void KeepRunLogsIn(std::wstring folder) { runLogFolder_ = std::move(folder); }

private:
    std::wstring programPath_;
    HANDLE instanceMutex_;
    const PackageSettings& settings_;
    FileOpener& files_;
    MonotonicMs now_;
    // The package's own refusal, once known (nothing inside: it may start).
    std::optional<std::optional<UpdateRefusal>> packageRefusal_;
    KernelHandle job_;  // ends every child when the batch ends
    std::wstring runLogFolder_;
};

// The child's side. Whether `proofText`, a handle value passed down, is a
// handle to this session's mutex named `instanceName` (by its exact kernel
// name) that another process holds now.
bool ParentHoldsInstanceMutex(const std::wstring& proofText, const std::wstring& instanceName);

// Whether the process that started this one runs the program at
// `programPath` (compared as the system compares paths) and is older than
// this one.
bool StartedByProgram(const std::wstring& programPath);

// The stop event that the batch passed down; nullptr when the text names none.
HANDLE InheritedHandle(const std::wstring& text);
