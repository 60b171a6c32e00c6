#include "app/update_outcome.h"

namespace {

// Whether the library call that ends an update over `road` with `reason`
// has no entry point. Each reason has one such call: the connection, the
// status read or the write. A firmware file that cannot be opened is no
// library call.
bool FailedCallIsUnbound(UpdateRoad road, int reason, const LibraryTable& libraries) {
    const bool usb = road == UpdateRoad::kUsb;
    switch (reason) {
    case kReasonNoConnection:
        return usb ? !libraries.USBConnectByPrinterName : !libraries.NetworkConnectNonBlock;
    case kReasonNotGranted:
        return usb ? !libraries.USBReadStatus : !libraries.NetworkReadStatusV3;
    case kReasonSendFailed:
        return usb ? !libraries.USBWrite : !libraries.NetworkWrite;
    default:
        return false;
    }
}

}  // namespace

OutcomeRecorder::OutcomeRecorder(std::initializer_list<CallerNotices*> observers) {
    for (CallerNotices* observer : observers)
        if (observer) observers_.push_back(observer);
}

void OutcomeRecorder::Post(int code, int value) {
    if ((code == kNoticeDone || code == kNoticeFailed) && outcome_.notice == UpdateOutcome::kNoFinalNotice) {
        outcome_.notice = code;
        outcome_.reason = code == kNoticeFailed ? value : 0;
    }
    for (CallerNotices* observer : observers_) observer->Post(code, value);
}

void OutcomeRecorder::Problem(const std::wstring& words) {
    if (outcome_.notice == UpdateOutcome::kNoFinalNotice) outcome_.problem = words;
    for (CallerNotices* observer : observers_) observer->Problem(words);
}

int SilentUpdateExitCode(UpdateRoad road, const UpdateOutcome& outcome, const LibraryTable& libraries) {
    if (outcome.notice == kNoticeDone) return kExitCompleted;
    // Only a completed update may read as success.
    if (outcome.notice != kNoticeFailed) return kExitEndedWithoutOutcome;
    if (!outcome.problem.empty()) return outcome.reason;
    if (FailedCallIsUnbound(road, outcome.reason, libraries)) return kExitLibraryMissing;
    return outcome.reason;
}

std::optional<int> ExitCodeWithoutUpdate(const CommandLineRequest& request, bool anotherCopyRuns) {
    if (request.mode == CommandLineRequest::kRunWizard) return kExitCompleted;
    if (request.mode == CommandLineRequest::kBatch)
        return anotherCopyRuns ? std::optional<int>(kExitAnotherCopyRunning) : std::nullopt;
    if (request.mode != CommandLineRequest::kUpdate || request.target == CommandLineRequest::kUnknownSwitch)
        return kExitArgumentsNotUnderstood;
    if (anotherCopyRuns) return kExitAnotherCopyRunning;
    return std::nullopt;
}
