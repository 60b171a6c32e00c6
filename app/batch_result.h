// The result file of a "/batch" run: JSON in UTF-8 that says what the
// package was, how the list was set, and for every printer what happened and
// which firmware it runs. It is written whole each time a printer finishes,
// through a temporary file that then replaces it, so that a reader always
// finds a complete file. Portable: replacing the file is a seam.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "app/batch_list.h"
#include "base/json_text.h"
#include "base/sleeper.h"

struct BatchPackageEntry {
    std::wstring file;
    std::wstring version;
};

struct BatchPackage {
    std::wstring model;
    std::wstring module;
    std::vector<BatchPackageEntry> entries;
};

// kRestarting: every file went out and the batch waits for the printer to
// come back; not finished yet. kCurrent: the printer already reported the
// firmware the package installs and got nothing. The last four are a dry
// run's: what a real run would do with the printer.
enum class BatchOutcome {
    kNotStarted,
    kRestarting,
    kUpdated,
    kFailed,
    kCurrent,
    kWouldUpdate,
    kNotGranted,
    kUnreachable,
    kRefused
};

// A file that a dry run found a printer would get, and how it stands
// against its pin.
struct PreviewFile {
    enum class Pin { kUnpinned, kMatches, kDiffers, kUnreadable };
    std::wstring file;  // as the package names it
    Pin pin = Pin::kUnpinned;
    bool operator==(const PreviewFile&) const = default;
};

// What a dry run read of a printer before the first byte an update would
// send; fields not reached stay empty.
struct PrinterPreview {
    std::optional<std::wstring> status;  // the state in the list pages' words
    std::optional<bool> granted;
    std::optional<std::wstring> variantCode;  // none when the printer reported none
    std::vector<PreviewFile> files;          // entry by entry, as far as they were picked
    bool operator==(const PrinterPreview&) const = default;
};

struct BatchPrinterResult {
    BatchPrinterResult() = default;
    explicit BatchPrinterResult(BatchPrinter printerIn, BatchOutcome outcomeIn = BatchOutcome::kNotStarted,
                                int reasonIn = 0)
        : printer(std::move(printerIn)), outcome(outcomeIn), reason(reasonIn) {}

    BatchPrinter printer;
    BatchOutcome outcome = BatchOutcome::kNotStarted;
    int reason = 0;  // the silent update's reason code of a failure; 0 otherwise
    std::wstring problem;  // what went wrong in words, where the reason code alone does not say it
    std::optional<std::int64_t> startMs, endMs;  // UTC, milliseconds since 1970, as the wall clock said
    std::optional<std::int64_t> elapsedMs;  // from start to end on a clock that only goes forward
    std::optional<std::wstring> firmwareBefore, firmwareAfter;  // none when not read
    // Reported a ready state within the wait, from a read made at least the
    // settle time after the update; none when that was not verified.
    std::optional<bool> ready = false;
    std::optional<std::wstring> log;        // the support log of the printer's update, when one was kept
    std::optional<PrinterPreview> preview;  // a dry run's reads
};

// The package's signature as the result names it: who signed it, with which
// key, which of the maker's packages it is and when it was signed; or why
// the package was refused (the rest is then empty).
struct BatchSignature {
    std::wstring signer;
    std::string keyId;
    std::uint64_t sequence = 0;
    std::string signedAt;
    std::wstring problem;
};

struct BatchReport {
    BatchPackage package;
    std::optional<BatchSignature> signature;  // none: the package is not signed
    int parallel = kDefaultBatchParallel;
    int waitSeconds = kDefaultBatchWaitSeconds;
    std::vector<BatchPrinterResult> printers;
    std::optional<BatchListError> listError;  // the list was refused
    // The firmware text the package installs; empty when it names none.
    std::wstring reportedFirmware;
    bool reinstall = false;
    bool dryRun = false;
};

std::string FormatBatchResult(const BatchReport& report);

// The console line of a finished printer, for example
// `net 192.0.2.7: updated, firmware 1.00 -> 1.10, ready` or
// `usb Office: failed: reason 4`, with a refusal's words in brackets.
std::wstring BatchPrinterLine(const BatchPrinterResult& result);

const char* OutcomeName(BatchOutcome outcome);

// Replaces a file's content whole: a temporary file beside it, then a rename
// over it. False when the file could not be written.
class ResultFileReplacer {
public:
    virtual ~ResultFileReplacer() = default;
    virtual bool Replace(const std::wstring& path, std::string_view bytes) = 0;
};

// The platform's files: MoveFileExW with replacement on Windows, rename
// elsewhere. The temporary file is created new under a name of this process
// (never over an existing file or link, such as someone else's
// "RESULT.tmp") in the file's folder, and removed when the replacement fails.
class PlatformResultFile final : public ResultFileReplacer {
public:
    bool Replace(const std::wstring& path, std::string_view bytes) override;
};

// A replacement refused for a moment (a reader holding the file open) is
// tried again every kResultRetryPauseMs for up to kResultRetryMs.
inline constexpr int kResultRetryMs = 5000;
inline constexpr int kResultRetryPauseMs = 100;
bool ReplaceResultFile(ResultFileReplacer& file, Sleeper& sleeper, const std::wstring& path, std::string_view bytes);
