#include "app/batch_dry_run.h"

#include <algorithm>

#include "app/command_line_update.h"
#include "app/update_outcome.h"
#include "base/file_pins.h"
#include "base/text.h"
#include "package/package_model.h"
#include "package/package_pins.h"

namespace {

// One printer's preview, in the order a real run meets the same questions:
// the package's refusal, then (the printer first read) current, not
// granted, and the files its variant gets.
void PreviewPrinter(const BatchPrinter& printer, bool reinstall, const std::wstring& reportedFirmware,
                    UpdateStarter& starter, PrinterPreviewReads& reads, BatchPrinterResult& result) {
    result.ready.reset();
    result.preview.emplace();
    if (const std::optional<UpdateRefusal> refusal = starter.Refusal(printer)) {
        result.outcome = BatchOutcome::kRefused;
        result.problem = refusal->problem;
        return;
    }
    const std::optional<PrinterPreviewReads::Status> status = reads.ReadStatus(printer);
    if (!status) {
        result.outcome = BatchOutcome::kUnreachable;
        result.problem = L"its status cannot be read";
        return;
    }
    result.preview->status = status->text;
    result.preview->granted = status->granted;
    result.firmwareBefore = reads.FirmwareText(printer);
    if (!reinstall && IsPackageFirmware(reportedFirmware, result.firmwareBefore)) {
        result.outcome = BatchOutcome::kCurrent;
        return;
    }
    if (!status->granted) {
        result.outcome = BatchOutcome::kNotGranted;
        result.problem = L"status " + status->text;
        return;
    }
    if (std::optional<std::wstring> refusal = reads.CheckFiles(printer, *result.preview)) {
        result.outcome = BatchOutcome::kRefused;
        result.problem = std::move(*refusal);
        return;
    }
    result.outcome = BatchOutcome::kWouldUpdate;
}

std::wstring Quoted(const std::wstring& text) { return L"\"" + text + L"\""; }

// The file's name as the package gives it: the path past the package folder.
std::wstring PackageFileName(const PackageSettings& settings, const std::wstring& path) {
    const std::wstring folder = settings.ModuleDir + L"\\";
    return path.compare(0, folder.size(), folder) == 0 ? path.substr(folder.size()) : path;
}

PreviewFile::Pin PinState(FileOpener& files, const std::wstring& path, const FilePin& pin) {
    const std::unique_ptr<InputFile> file = files.OpenForReading(path, FileSharing::ReadWrite);
    if (!file) return PreviewFile::Pin::kUnreadable;
    if (!pin.pinned) return PreviewFile::Pin::kUnpinned;
    const std::optional<Sha256Digest> digest = HashContent(*file);
    return digest && pin.digest && *digest == *pin.digest ? PreviewFile::Pin::kMatches : PreviewFile::Pin::kDiffers;
}

}  // namespace

// The reads are a few status and SNMP queries per printer, so the dry run
// makes them itself, one printer after the other, instead of starting a
// child for each: no process has a data connection to stop, the maker's
// libraries are only ever called from this one thread, and a list of
// hundreds is still read in minutes.
int RunDryRun(const BatchList& list, BatchReport& report, UpdateStarter& starter, PrinterPreviewReads& reads,
              BatchClock& clock, BatchEvents& events) {
    report.parallel = list.parallel;
    report.waitSeconds = list.waitSeconds;
    report.reinstall = list.reinstall;
    report.dryRun = true;
    report.printers.clear();
    for (const BatchPrinter& printer : list.printers) report.printers.emplace_back(printer);

    std::size_t finished = 0;
    for (std::size_t i = 0; i < list.printers.size(); ++i) {
        // A cancelled dry run leaves the printers not read yet as not started.
        if (events.CancelRequested()) break;
        BatchPrinterResult& result = report.printers[i];
        result.startMs = clock.NowUtcMs();
        const std::int64_t startMs = clock.MonotonicMs();
        PreviewPrinter(list.printers[i], list.reinstall, report.reportedFirmware, starter, reads, result);
        result.endMs = clock.NowUtcMs();
        result.elapsedMs = clock.MonotonicMs() - startMs;
        events.ReportChanged(report, {i}, ++finished);
    }
    const bool allWould = std::all_of(report.printers.begin(), report.printers.end(), [&](const auto& result) {
        return IsBatchSuccess(result, report.reportedFirmware);
    });
    return allWould ? kExitCompleted : kExitNotAllUpdated;
}

std::optional<PrinterPreviewReads::Status> LibraryPrinterPreview::ReadStatus(const BatchPrinter& printer) {
    const std::optional<PrinterStatusBlock> status = probe_.ReadStatus(printer);
    if (!status) return std::nullopt;
    const unsigned char state = status->stateCode(), detail1 = status->detailCode1(), detail2 = status->detailCode2();
    return Status{IsUpdateGranted(settings_, state, detail1, detail2),
                  texts_.Text(StatusTextId(settings_, state, detail1, detail2, false))};
}

std::optional<std::wstring> LibraryPrinterPreview::FirmwareText(const BatchPrinter& printer) {
    return probe_.FirmwareText(printer);
}

std::optional<std::wstring> LibraryPrinterPreview::CheckFiles(const BatchPrinter& printer, PrinterPreview& preview) {
    // The variant code only when an entry needs it, as the update reads it.
    const PrinterEntryFiles choice(settings_, files_);
    std::string variantCode;
    if (choice.NeedsVariantCode()) {
        variantCode = probe_.VariantCode(printer);
        if (!variantCode.empty()) preview.variantCode = FromEightBit(variantCode);
    }
    const auto key = std::make_pair(printer.road, variantCode);
    auto checked = checked_.find(key);
    if (checked == checked_.end()) checked = checked_.emplace(key, CheckVariant(printer, variantCode)).first;
    preview.files = checked->second.files;
    return checked->second.refusal;
}

LibraryPrinterPreview::VariantFiles LibraryPrinterPreview::CheckVariant(const BatchPrinter& printer,
                                                                        const std::string& variantCode) {
    VariantFiles result;
    PackageTable rows;
    LoadPackage(settings_, files_, rows);
    for (int i = 0; i < rows.Count(); ++i) {
        const std::optional<std::wstring> path = ChooseEntryFile(settings_, rows, i, variantCode.c_str());
        // A code the package has no "FileName_<XX>" for names the folder itself.
        if (!path || PackageFileName(settings_, *path).empty()) {
            result.refusal = variantCode.empty()
                                 ? L"the printer reports no variant code, and entry Fw" + std::to_wstring(i) +
                                       L" has a file per variant code"
                                 : L"entry Fw" + std::to_wstring(i) + L" has no file for variant code " +
                                       FromEightBit(variantCode);
            return result;
        }
        const PreviewFile::Pin pin = PinState(files_, *path, ChooseEntryPin(settings_, rows, i, variantCode.c_str()));
        result.files.push_back({PackageFileName(settings_, *path), pin});
        if (pin == PreviewFile::Pin::kUnreadable && !result.refusal)
            result.refusal = L"the firmware file " + Quoted(*path) + L" cannot be opened";
    }
    if (result.refusal) return result;
    // The update's own checks before it connects, with this printer's files.
    PrinterEntryFiles choice(settings_, files_);
    choice.SetVariantCode(variantCode);
    PinnedFiles pinned(files_);
    if (const std::optional<UpdateRefusal> refusal =
            RefuseBeforeConnecting(settings_, pinned, choice,
                                   printer.road == BatchRoad::kUsb ? UpdateRoad::kUsb : UpdateRoad::kNetwork,
                                   printer.target))
        result.refusal = refusal->problem;
    return result;
}
