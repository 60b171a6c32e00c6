#include "app/console_report.h"

#include "base/text.h"

namespace {

constexpr int kStep = 10;

}  // namespace

const wchar_t* ReasonWords(int reason) {
    switch (reason) {
    case kReasonNoConnection:
        return L"no connection to the printer";
    case kReasonFileNotOpened:
        return L"a firmware file could not be opened";
    case kReasonNotGranted:
        return L"printer status unreadable or not in a condition that allows the update";
    case kReasonSendFailed:
        return L"sending failed: the printer took fewer bytes than given, or the end marker could not be sent";
    default:
        return nullptr;
    }
}

std::wstring FailureWords(int exitCode) {
    if (const wchar_t* words = ReasonWords(exitCode)) return words;
    if (exitCode == kExitLibraryMissing) return L"a library the update needs is missing or could not be loaded";
    return L"failed with code " + std::to_wstring(exitCode);
}

bool ProgressSteps::Reached(int percent) {
    if (percent < nextStep_) return false;
    nextStep_ = (percent / kStep + 1) * kStep;
    return true;
}

std::wstring StartLine(UpdateRoad road, const std::wstring& printer) {
    if (road == UpdateRoad::kUsb) return L"started: firmware update of USB printer \"" + printer + L"\"";
    return L"started: firmware update of network printer " + printer;
}

std::wstring ProgressLine(int percent) { return L"progress: " + std::to_wstring(percent) + L"%"; }

std::wstring OutcomeLine(const UpdateOutcome& outcome, int exitCode) {
    if (outcome.notice == kNoticeDone) return L"completed: every firmware file was sent";
    if (outcome.notice != kNoticeFailed) return L"failed: the update ended without its outcome";
    std::wstring line = L"failed: reason " + std::to_wstring(outcome.reason);
    const wchar_t* words = !outcome.problem.empty()         ? outcome.problem.c_str()
                           : exitCode == kExitLibraryMissing ? L"a library the update needs is missing or could not be loaded"
                                                             : ReasonWords(outcome.reason);
    if (words) line += std::wstring(L" (") + words + L")";
    return line;
}

std::wstring NotStartedLine(int exitCode) {
    if (exitCode == kExitAnotherCopyRunning)
        return L"not started: another copy for this printer family is running";
    return L"not started: arguments not understood; give /u and a printer name, or /n and a printer address, "
           L"optionally followed by a window class and a window title; or /batch, a list file and a result file, "
           L"optionally followed by a window class and a window title";
}

void ConsoleReport::Post(int code, int value) {
    if (code == kNoticeProgress) {
        if (steps_.Reached(value)) lines_.WriteLine(ProgressLine(value));
    } else if (code == kNoticeDone || code == kNoticeFailed) {
        const UpdateOutcome outcome{code, code == kNoticeFailed ? value : 0, code == kNoticeFailed ? problem_ : L""};
        lines_.WriteLine(OutcomeLine(outcome, SilentUpdateExitCode(road_, outcome, libraries_)));
    }
}

std::wstring SignedPackageLine(const SignatureVerdict& verdict) {
    return L"package signed by " + verdict.signerName + L", key " + FromEightBit(verdict.keyId) + L", sequence " +
           std::to_wstring(verdict.sequence) + L", at " + FromEightBit(verdict.signedAt);
}
