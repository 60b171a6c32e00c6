#include "ui/progress_window.h"

#include <commctrl.h>

#include <cstring>

#include "transfer/network_transfer.h"
#include "transfer/usb_transfer.h"
#include "ui/texts/resource_ids.h"

namespace {

constexpr UINT_PTR kStartTimer = 1;
constexpr UINT_PTR kPollTimer = 2;
constexpr UINT kTimerPeriodMs = 500;
constexpr int kNoCancelFrom = 95;  // the printers are finishing by then: too late to cancel

// Requests of the worker, answered on the interface thread.
constexpr UINT kSetPrinterLine = WM_APP + 10;
constexpr UINT kSetBar = WM_APP + 11;
constexpr UINT kGetBar = WM_APP + 12;
constexpr UINT kEnableCancel = WM_APP + 13;
constexpr UINT kShowError = WM_APP + 14;
constexpr UINT kShowWaiting = WM_APP + 15;

constexpr ControlText kTexts[] = {
    {IDC_PROGRESS_STATUS, IDS_SENDING},
    {IDCANCEL, IDS_CANCEL},
};

}  // namespace

CDownloadProgress::CDownloadProgress(WizardServices& services, const TransferRequest& request)
    : services_(services), request_(request) {}

CDownloadProgress::~CDownloadProgress() {
    // The job has set done, its last step, before the window could close.
    if (worker_.joinable()) worker_.join();
}

void CDownloadProgress::RunModal() {
    RunDialog(services_.instance, IDD_PROGRESS, request_.parent);
    if (worker_.joinable()) worker_.join();
}

INT_PTR CDownloadProgress::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        OnInitDialog();
        return TRUE;
    case WM_TIMER:
        OnTimer(wParam);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDCANCEL) OnCancel();  // also Escape and the close box
        return TRUE;
    case WM_QUERYENDSESSION:
        // Printers must not be left half-updated: refuse to log off meanwhile.
        return Answer(FALSE);
    case kSetPrinterLine:
        SetItemText(IDC_PROGRESS_PRINTER, reinterpret_cast<const wchar_t*>(lParam));
        taskbar_.SetState(TaskbarProgress::State::kNormal);  // the next printer's turn
        return TRUE;
    case kSetBar:
        SendDlgItemMessageW(Window(), IDC_PROGRESS_BAR, PBM_SETPOS, wParam, 0);
        taskbar_.SetValue(static_cast<int>(wParam));
        return TRUE;
    case kShowWaiting:
        taskbar_.SetState(wParam ? TaskbarProgress::State::kPaused : TaskbarProgress::State::kNormal);
        return TRUE;
    case kGetBar:
        return Answer(SendDlgItemMessageW(Window(), IDC_PROGRESS_BAR, PBM_GETPOS, 0, 0));
    case kEnableCancel:
        EnableWindow(Item(IDCANCEL), wParam != 0);
        return TRUE;
    case kShowError:
        taskbar_.SetState(TaskbarProgress::State::kError);
        MessageBoxW(Window(), reinterpret_cast<const wchar_t*>(lParam), services_.texts.Text(IDS_CAPTION_ERROR).c_str(),
                    MB_OK | MB_ICONERROR);
        return TRUE;
    default:
        return FALSE;
    }
}

void CDownloadProgress::OnInitDialog() {
    SetWindowTextW(Window(), services_.texts.Text(IDS_PROGRESS_TITLE).c_str());
    SetItemTexts(services_.texts, kTexts);
    SetItemText(IDC_PROGRESS_PRINTER, L"");
    SendDlgItemMessageW(Window(), IDC_PROGRESS_BAR, PBM_SETRANGE32, 0, 100);
    SetForegroundWindow(Window());
    taskbar_.Attach(Window());  // without a taskbar interface the window goes on alone
    SetTimer(Window(), kStartTimer, kTimerPeriodMs, nullptr);
}

void CDownloadProgress::OnTimer(UINT_PTR id) {
    if (id == kStartTimer) {
        KillTimer(Window(), kStartTimer);
        StartWorker();
        SetTimer(Window(), kPollTimer, kTimerPeriodMs, nullptr);
        return;
    }
    if (id != kPollTimer || job_.done.load() != 1) return;
    KillTimer(Window(), kPollTimer);
    if (EndsInterrupted(job_))
        MessageBoxW(Window(), services_.texts.Text(IDS_MSG_INTERRUPTED).c_str(), services_.texts.Text(IDS_CAPTION_CANCEL_UPDATE).c_str(),
                    MB_OK | MB_ICONEXCLAMATION);
    taskbar_.Detach();
    End(0);
}

void CDownloadProgress::OnCancel() {
    // Escape and the close box raise the command too; none of them acts
    // while the button is disabled (after a printer's last end marker).
    if (!IsWindowEnabled(Item(IDCANCEL))) return;
    const auto position = SendDlgItemMessageW(Window(), IDC_PROGRESS_BAR, PBM_GETPOS, 0, 0);
    if (position >= kNoCancelFrom) return;
    // A job that already stopped itself keeps its own reason.
    std::int32_t running = kAbortNone;
    job_.abortReason.compare_exchange_strong(running, kAbortByUser);
    EnableWindow(Item(IDCANCEL), FALSE);
}

void CDownloadProgress::StartWorker() {
    job_.window = this;
    job_.abortReason.store(kAbortNone);
    job_.done.store(0);
    std::memcpy(job_.community, request_.community, kCommunityBytes);
    job_.community[kCommunityBytes - 1] = '\0';
    const std::function<void()> runJob = [this] { RunJob(); };
    try {
        worker_ = request_.startWorker ? request_.startWorker(job_, runJob) : std::thread(runJob);
    } catch (...) {
        // Without a worker nothing was sent and done would never come: the
        // window closes at its next poll, reporting the update interrupted.
        job_.brokenOff.store(1);
        job_.done.store(1);
    }
}

void CDownloadProgress::RunJob() {
    try {
        RunTransfer();
    } catch (...) {
        // The jobs end themselves on their own failures; this is anything
        // before or after them.
        job_.brokenOff.store(1);
    }
    job_.done.store(1);
}

void CDownloadProgress::RunTransfer() {
    const TransferContext context{services_.settings, services_.libraries, services_.files, services_.sleeper,
                                  *request_.package,  request_.totalSize,  services_.texts,
                                  services_.history};
    if (request_.usb)
        RunUsbTransfer(job_, context, services_.portLocks, *request_.usbPrinters);
    else
        RunNetworkTransfer(job_, context, *request_.netPrinters);
}

void CDownloadProgress::SetPrinterLine(const std::wstring& text) {
    SendMessageW(Window(), kSetPrinterLine, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

void CDownloadProgress::SetBarPosition(int position) {
    SendMessageW(Window(), kSetBar, static_cast<WPARAM>(position), 0);
}

int CDownloadProgress::BarPosition() { return static_cast<int>(SendMessageW(Window(), kGetBar, 0, 0)); }

void CDownloadProgress::EnableCancel(bool enable) { SendMessageW(Window(), kEnableCancel, enable ? 1 : 0, 0); }

void CDownloadProgress::ShowError(const std::wstring& text) {
    SendMessageW(Window(), kShowError, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

void CDownloadProgress::ShowWaiting(bool waiting) { SendMessageW(Window(), kShowWaiting, waiting ? 1 : 0, 0); }
