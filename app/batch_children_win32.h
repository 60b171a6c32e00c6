// The processes of a batch on Windows. The batch starts each printer's
// update as a child: the same program with "/batch-printer", the road, the
// target, and two inherited handles: its instance mutex, which proves that
// the child was started by the copy that holds it, and an event that asks the
// child to stop. The children are kept in a job object that ends them when
// the batch ends, however it ends. Windows only.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "app/batch_run.h"
#include "base/kernel_handle_win32.h"

class ChildUpdateStarter final : public UpdateStarter {
public:
    // programPath: this program; instanceMutex: the family's mutex, held;
    // settings and files: the package, for the checks before a child starts.
    ChildUpdateStarter(std::wstring programPath, HANDLE instanceMutex, const PackageSettings& settings,
                       FileOpener& files);
    ChildUpdateStarter(const ChildUpdateStarter&) = delete;
    ChildUpdateStarter& operator=(const ChildUpdateStarter&) = delete;

    std::unique_ptr<UpdateProcess> Start(const BatchPrinter& printer) override;
    std::optional<UpdateRefusal> Refusal(const BatchPrinter& printer) override;

private:
    std::wstring programPath_;
    HANDLE instanceMutex_;
    const PackageSettings& settings_;
    FileOpener& files_;
    KernelHandle job_;  // ends every child when the batch ends
};

// Real time for the scheduler.
class PlatformBatchClock final : public BatchClock {
public:
    std::int64_t NowUtcMs() override;
    void SleepMs(int milliseconds) override { Sleep(static_cast<DWORD>(milliseconds)); }
};

// The child's side. Whether `proofText`, a handle value passed down, is a
// handle to the mutex named `instanceName` that another process holds now.
bool ParentHoldsInstanceMutex(const std::wstring& proofText, const std::wstring& instanceName);

// The stop event that the batch passed down; nullptr when the text names none.
HANDLE InheritedHandle(const std::wstring& text);
