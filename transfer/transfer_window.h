// What a transfer job may do to the progress window. The job runs on a
// worker thread; the window's implementation turns every call into a window
// message to the interface thread, which keeps its message loop running.
#pragma once

#include <string>

class TransferWindow {
public:
    virtual ~TransferWindow() = default;
    // The line that names the printer being updated.
    virtual void SetPrinterLine(const std::wstring& text) = 0;
    // The progress bar, range 0 to 100.
    virtual void SetBarPosition(int position) = 0;
    virtual int BarPosition() = 0;
    virtual void EnableCancel(bool enable) = 0;
    // Error message box owned by the window (caption "Error", error icon);
    // returns when the user has dismissed it.
    virtual void ShowError(const std::wstring& text) = 0;
    // The job waits for the printer (status polls, the pause after a file,
    // the final rounds) rather than sending; a window that shows no such
    // state ignores it.
    virtual void ShowWaiting(bool /*waiting*/) {}
};
