// The progress window: the modal dialog a printer list page shows while the
// package goes to the ticked printers. It runs the USB or the network job on
// a worker thread, lets the user ask to cancel, and closes when the job is
// done. Windows only.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <thread>

#include "transfer/printer_rows.h"
#include "transfer/transfer_job.h"
#include "transfer/transfer_window.h"
#include "ui/dialog_window.h"
#include "ui/taskbar_progress.h"
#include "ui/wizard_services.h"

// Starts the worker thread that calls runJob; the default starts a plain
// thread. A test may put something else in its place, or fail to start.
using WorkerStart = std::function<std::thread(TransferJob& job, std::function<void()> runJob)>;

// What a list page hands the window.
struct TransferRequest {
    HWND parent = nullptr;
    bool usb = true;                       // the sheet's port choice
    char community[kCommunityBytes] = {};  // network page only
    const PackageRows* package = nullptr;
    std::uint32_t totalSize = 0;
    UsbPrinterRows* usbPrinters = nullptr;
    NetPrinterRows* netPrinters = nullptr;
    WorkerStart startWorker;  // empty: a plain thread
};

class CDownloadProgress final : public ModalDialog, public TransferWindow {
public:
    CDownloadProgress(WizardServices& services, const TransferRequest& request);
    ~CDownloadProgress() override;

    // Runs the window modally until the job is done.
    void RunModal();

    // TransferWindow, called from the worker: each becomes a message that
    // the interface thread handles.
    void SetPrinterLine(const std::wstring& text) override;
    void SetBarPosition(int position) override;
    int BarPosition() override;
    void EnableCancel(bool enable) override;
    void ShowError(const std::wstring& text) override;
    void ShowWaiting(bool waiting) override;

private:
    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void OnInitDialog();
    void OnTimer(UINT_PTR id);
    void OnCancel();
    void StartWorker();
    void RunJob();
    void RunTransfer();

    WizardServices& services_;
    TransferRequest request_;
    TransferJob job_;
    std::thread worker_;
    TaskbarProgress taskbar_;  // the bar again, on the wizard's taskbar button
};
