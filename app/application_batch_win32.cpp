// The application's batch runs: the batch process that reads the list, runs
// the scheduler and keeps the result file, and the child process that
// updates one printer of it. Windows only.
#include <algorithm>
#include <cwchar>
#include <optional>
#include <string>
#include <vector>

#include "app/application.h"
#include "app/batch_children_win32.h"
#include "app/batch_dry_run.h"
#include "app/batch_list.h"
#include "app/batch_probe.h"
#include "app/batch_result.h"
#include "app/batch_run.h"
#include "app/console_report.h"
#include "app/stop_request_win32.h"
#include "package/config.h"
#include "package/package_model.h"
#include "transfer/update_record.h"

namespace {

constexpr UINT kCallerNotice = WM_USER + 1;
// A list of this size holds thousands of printers; anything larger is not a list.
constexpr DWORD kMaxListBytes = 1 << 20;

// Notices of the whole batch to the caller's window, when there is one.
class BatchNotices {
public:
    explicit BatchNotices(HWND window) : window_(window) {}
    void Post(int code, int value) {
        if (window_) PostMessageW(window_, kCallerNotice, static_cast<WPARAM>(code), static_cast<LPARAM>(value));
    }
    // Closing the caller's window cancels the batch.
    bool CallerGone() const { return window_ && !IsWindow(window_); }

private:
    HWND window_;
};

// The list's bytes, or why it was refused. It is opened sharing reads only:
// a list that another program still writes (a copy, an editor saving it)
// is refused rather than read cut short, where "net 10.0.0.12" cut mid-line
// names another printer; and nobody can write it while it is read.
BatchListParse ReadAndParseList(const std::wstring& path) {
    const KernelHandle file(
        CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        const bool busy = GetLastError() == ERROR_SHARING_VIOLATION;
        return {std::nullopt, busy ? BusyBatchList(path) : UnreadableBatchList(path)};
    }
    LARGE_INTEGER size = {};
    if (GetFileSizeEx(file.Get(), &size) && size.QuadPart <= kMaxListBytes) {
        std::string content(static_cast<std::size_t>(size.QuadPart), '\0');
        DWORD read = 0;
        if (content.empty() || (ReadFile(file.Get(), content.data(), static_cast<DWORD>(content.size()), &read, nullptr) &&
                                read == content.size()))
            return ParseBatchList(content);
    }
    return {std::nullopt, UnreadableBatchList(path)};
}

std::wstring ConfigText(const PackageSettings& settings, const wchar_t* section, const wchar_t* key, int chars) {
    std::wstring text(static_cast<std::size_t>(chars), L'\0');
    ReadConfigString(settings.Encoding, section, key, L"", text.data(), chars, settings.ConfigPath.c_str());
    text.resize(std::wcslen(text.c_str()));
    return text;
}

// The package as the result file names it: each entry's "FileName" (the file
// the silent update sends) and "Version".
BatchPackage DescribePackage(const PackageSettings& settings) {
    BatchPackage package{settings.ModelName, settings.ModuleName, {}};
    for (int i = 0; i < settings.FwCount && i < kMaxFirmwareEntries; ++i) {
        wchar_t section[16];
        std::swprintf(section, 16, L"Fw%d", i);
        package.entries.push_back({ConfigText(settings, section, L"FileName", kFileNameChars),
                                   ConfigText(settings, section, L"Version", kEntryTextChars)});
    }
    return package;
}

// Writes the history's line of each printer that was updated or tried, once,
// when its turn ends: the batch ends every turn, since it waits for the
// printer to come back and reads its firmware afterwards. Printers not
// started are not recorded.
class BatchRecords {
public:
    BatchRecords(UpdateHistory* history, std::wstring problem, const PackageSettings& settings, FileOpener& files,
                 LibraryPrinterProbe& probe)
        : history_(history), problem_(std::move(problem)), settings_(settings), files_(files), probe_(probe) {}

    // Nothing when the line was written or the printer is not one to record; else why not.
    std::optional<std::wstring> Record(const BatchPrinterResult& result) {
        const bool tried = result.outcome == BatchOutcome::kUpdated || result.outcome == BatchOutcome::kFailed;
        if (!tried || !result.startMs) return std::nullopt;
        if (!history_) return problem_;
        const bool usb = result.printer.road == BatchRoad::kUsb;
        HistoryRecord record;
        record.startMs = *result.startMs;
        record.endMs = result.endMs.value_or(*result.startMs);
        record.elapsedMs = result.elapsedMs;
        record.mode = usb ? "batch-usb" : "batch-network";
        record.port = usb ? "usb" : "network";
        record.target = result.printer.target;
        record.firmwareBefore = result.firmwareBefore;
        record.firmwareAfter = result.firmwareAfter;
        record.log = result.log;
        record.outcome = result.outcome == BatchOutcome::kUpdated ? "updated" : "failed";
        if (result.outcome == BatchOutcome::kFailed) {
            record.code = result.reason;
            record.reason = result.problem.empty() ? FailureWords(result.reason) : result.problem;
        }
        // The files the child chose as the wizard would: a per-variant file
        // by the variant code, read again only of a printer that took its update.
        PrinterEntryFiles choice(settings_, files_);
        if (choice.NeedsVariantCode() && result.outcome == BatchOutcome::kUpdated)
            choice.SetVariantCode(probe_.VariantCode(result.printer));
        return WriteUpdateRecord(*history_, std::move(record), settings_, files_, ChosenFiles(settings_, choice));
    }

private:
    UpdateHistory* history_;
    std::wstring problem_;
    const PackageSettings& settings_;
    FileOpener& files_;
    LibraryPrinterProbe& probe_;
};

// The package's signature as the result file names it.
std::optional<BatchSignature> DescribeSignature(const SignatureVerdict& verdict) {
    switch (verdict.kind) {
    case SignatureVerdict::kTrusted:
        return BatchSignature{verdict.signerName, verdict.keyId, verdict.sequence, verdict.signedAt, {}};
    case SignatureVerdict::kRefused: return BatchSignature{{}, {}, 0, {}, verdict.reason};
    default: return std::nullopt;
    }
}

// Keeps the result file and the console up to date as printers finish, and
// tells the scheduler when the caller's window has gone.
class BatchShell final : public BatchEvents {
public:
    BatchShell(ResultFileReplacer& resultFile, Sleeper& sleeper, std::wstring resultPath, ConsoleLines& console,
               BatchNotices& notices, const ConsoleBreak& consoleBreak)
        : resultFile_(resultFile),
          sleeper_(sleeper),
          resultPath_(std::move(resultPath)),
          console_(console),
          notices_(notices),
          consoleBreak_(consoleBreak) {}

    // A replacement refused for a moment (a reader holding the file) is
    // tried again for a bounded time before it counts as failed.
    bool Write(const BatchReport& report) {
        if (ReplaceResultFile(resultFile_, sleeper_, resultPath_, FormatBatchResult(report))) return true;
        console_.WriteLine(L"result file cannot be written: " + resultPath_);
        return false;
    }

    // Printers are recorded in the history from here on.
    void KeepRecords(BatchRecords& records) { records_ = &records; }

    void ReportChanged(const BatchReport& report, const std::vector<std::size_t>& finishedNow,
                       std::size_t finished) override {
        Write(report);
        if (finishedNow.empty()) return;
        for (const std::size_t index : finishedNow) {
            const BatchPrinterResult& result = report.printers[index];
            console_.WriteLine(BatchPrinterLine(result));
            if (result.outcome == BatchOutcome::kFailed && result.log)
                console_.WriteLine(L"support log: " + *result.log);
            if (!records_) continue;
            if (const std::optional<std::wstring> why = records_->Record(result))
                console_.WriteLine(L"history not written: " + *why);
        }
        notices_.Post(kNoticeProgress, static_cast<int>(finished * 100 / report.printers.size()));
    }

    bool CancelRequested() override {
        if (cancelled_) return true;
        if (notices_.CallerGone()) {
            cancelled_ = true;
            console_.WriteLine(L"batch cancelled: the caller's window was closed");
        } else if (consoleBreak_.Requested()) {
            cancelled_ = true;
            console_.WriteLine(L"batch cancelled: Ctrl+Break");
        }
        return cancelled_;
    }

private:
    ResultFileReplacer& resultFile_;
    Sleeper& sleeper_;
    std::wstring resultPath_;
    ConsoleLines& console_;
    BatchNotices& notices_;
    const ConsoleBreak& consoleBreak_;
    BatchRecords* records_ = nullptr;
    bool cancelled_ = false;
};

}  // namespace

int CTessaroFWDLApp::RunBatch(const CommandLineRequest& request, HWND callerWindow) {
    BatchNotices notices(callerWindow);
    notices.Post(kNoticeStart, 0);
    PlatformResultFile resultFile;
    PlatformClock clock;
    BatchShell shell(resultFile, clock, request.resultPath, console_, notices, consoleBreak_);

    BatchReport report;
    report.package = DescribePackage(*this);
    report.reportedFirmware = ReportedFirmware;
    report.signature = DescribeSignature(signature_);
    const BatchListParse parse = ReadAndParseList(request.listPath);
    if (parse.error) {
        // Nothing is updated from a list that is not understood whole.
        report.listError = parse.error;
        console_.WriteLine(DescribeBatchListError(*parse.error));
        shell.Write(report);
        notices.Post(kNoticeFailed, kReasonSendFailed);
        return kExitArgumentsNotUnderstood;
    }

    const BatchList& list = *parse.list;
    report.parallel = list.parallel;
    report.waitSeconds = list.waitSeconds;
    report.reinstall = list.reinstall;
    report.dryRun = list.dryRun;
    for (const BatchPrinter& printer : list.printers) report.printers.emplace_back(printer);
    // A batch whose outcome could not be recorded is not started.
    if (!shell.Write(report)) {
        notices.Post(kNoticeFailed, kReasonSendFailed);
        return kExitArgumentsNotUnderstood;
    }
    std::wstring settingsLine = list.dryRun ? L"check of " + std::to_wstring(list.printers.size()) +
                                                  L" printers: nothing is sent"
                                            : L"batch of " + std::to_wstring(list.printers.size()) +
                                                  L" printers, parallel " + std::to_wstring(list.parallel) +
                                                  L", wait " + std::to_wstring(list.waitSeconds) + L" s";
    if (!ReportedFirmware.empty()) settingsLine += L", package firmware " + ReportedFirmware;
    if (list.reinstall) settingsLine += L", reinstall";
    console_.WriteLine(settingsLine);
    if (signature_.kind == SignatureVerdict::kTrusted) console_.WriteLine(SignedPackageLine(signature_));
    if (signature_.kind == SignatureVerdict::kRefused) {
        // Refused before its first printer: none is touched, each says why.
        for (BatchPrinterResult& printer : report.printers)
            printer.problem = L"package refused: " + signature_.reason;
        console_.WriteLine(L"batch not started: package refused: " + signature_.reason);
        const bool recorded = shell.Write(report);
        notices.Post(kNoticeFailed, kReasonFileNotOpened);
        return recorded ? kExitNotAllUpdated : kExitResultNotRecorded;
    }

    ChildUpdateStarter starter(programPath_, InstanceMutex.Get(), *this, files_, BatchJobObject());
    if (!historyFolder_.empty()) starter.KeepRunLogsIn(historyFolder_ + L"\\" + kRunLogFolderName);
    LibraryPrinterProbe probe(*this, libraries_, portLocks_);
    BatchRecords records(history_.get(), historyProblem_, *this, files_, probe);
    int exitCode = kExitCompleted;
    if (list.dryRun) {
        // Status texts in the console's language, whatever the package's.
        // A dry run updates nothing, so it leaves no history.
        const int english = kEnglishOffset;
        const ResourceCatalogue englishTexts(GetModuleHandleW(nullptr), english);
        LibraryPrinterPreview preview(*this, libraries_, portLocks_, files_, englishTexts);
        exitCode = RunDryRun(list, report, starter, preview, clock, shell);
    } else {
        shell.KeepRecords(records);
        exitCode = ::RunBatch(list, report, starter, probe, clock, shell);
    }
    if (!shell.Write(report)) {
        // Without its final record the batch cannot claim any outcome.
        exitCode = kExitResultNotRecorded;
        console_.WriteLine(L"batch done: the result file does not hold its outcome (exit " +
                           std::to_wstring(kExitResultNotRecorded) + L")");
    } else if (list.dryRun) {
        console_.WriteLine(exitCode == kExitCompleted ? L"check done: every printer would be updated or is current"
                                                      : L"check done: not every printer would be updated (exit 6)");
    } else {
        const bool anyCurrent = std::any_of(report.printers.begin(), report.printers.end(), [](const auto& result) {
            return result.outcome == BatchOutcome::kCurrent;
        });
        console_.WriteLine(exitCode != kExitCompleted ? L"batch done: not every printer updated and ready (exit 6)"
                           : anyCurrent          ? L"batch done: every printer updated and ready, or already current"
                                                 : L"batch done: every printer updated and ready");
    }
    notices.Post(exitCode == kExitCompleted ? kNoticeDone : kNoticeFailed,
                 exitCode == kExitCompleted ? 0 : kReasonSendFailed);
    return exitCode;
}

int CTessaroFWDLApp::RunBatchChild(const CommandLineRequest& request) {
    // Only a batch of this program that holds this session's instance mutex
    // may start an update here: a child started any other way would bypass
    // the single instance.
    if (!ParentHoldsInstanceMutex(request.proofHandle, InstanceName(VID, PID)) || !StartedByProgram(programPath_))
        return kExitArgumentsNotUnderstood;
    // Ctrl+Break reaches the batch, which stops its children through their events.
    IgnoreConsoleBreaks();
    // The child checks the package again: it may have changed since the batch checked it.
    CheckPackageAndBind();
    if (signature_.kind == SignatureVerdict::kRefused) return kReasonFileNotOpened;
    StoppableFiles files(files_, InheritedHandle(request.stopHandle));
    OutcomeRecorder recorder({});
    const bool usb = request.target == CommandLineRequest::kUsbPrinter;
    // Each printer gets the files that the wizard would send it: for a
    // per-variant entry the file of its variant code, read before the first
    // byte; a printer that reports no code gets no such entry at all.
    PrinterEntryFiles choice(*this, files);
    if (choice.NeedsVariantCode()) {
        LibraryPrinterProbe probe(*this, libraries_, portLocks_);
        choice.SetVariantCode(probe.VariantCode({usb ? BatchRoad::kUsb : BatchRoad::kNetwork, request.printer}));
    }
    if (usb) {
        ::UpdateViaUsb(*this, libraries_, files, choice, request.printer, &recorder);
    } else {
        PlatformSleeper sleeper;
        ::UpdateViaNetwork(*this, libraries_, files, sleeper, choice, request.printer, &recorder);
    }
    const int exitCode =
        SilentUpdateExitCode(usb ? UpdateRoad::kUsb : UpdateRoad::kNetwork, recorder.outcome(), binding_.table());
    binding_.Unload();
    return exitCode;
}
