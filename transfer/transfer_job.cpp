#include "transfer/transfer_job.h"

#include <algorithm>

#include "base/text_ids.h"
#include "package/package_pins.h"

namespace {

// Taken when a package row carries no entry: a plain file, no waits.
const FirmwareEntry kEmptyEntry{};

}  // namespace

bool IsUpdateFault(std::uint8_t detailCode1, std::uint8_t detailCode2) {
    return detailCode1 == 1 && detailCode2 >= 30 && detailCode2 <= 33;
}

const wchar_t* UpdateFaultName(std::uint8_t detailCode1, std::uint8_t detailCode2) {
    if (detailCode1 != 1) return L"";
    switch (detailCode2) {
        case 30: return L"016-501";
        case 31: return L"016-502";
        case 32: return L"016-744";
        case 33: return L"016-745";
        default: return L"";
    }
}

void SlicedWait(Sleeper& sleeper, const std::atomic<std::int32_t>& abortReason, int milliseconds) {
    SlicedWaitUntil(sleeper, milliseconds, [&abortReason] { return abortReason.load() != kAbortNone; });
}

int DataBarPosition(std::uint64_t bytesSent, std::uint32_t totalSize) {
    if (totalSize == 0) return 0;
    // Files may be larger than the package states; the data share never
    // passes 95, where the Cancel button stops taking effect.
    const std::uint64_t percent = std::min<std::uint64_t>(bytesSent * 100 / totalSize, 100);
    return static_cast<int>(percent * 95 / 100);
}

std::wstring FitText(std::wstring text, std::size_t bufferChars) {
    if (bufferChars > 0 && text.size() >= bufferChars) text.resize(bufferChars - 1);
    return text;
}

TransferSteps::TransferSteps(TransferJob& job, const TransferContext& context)
    : job_(job),
      context_(context),
      window_(*job.window),
      buffer_(std::make_unique<unsigned char[]>(kChunkBytes)),
      pinned_(context.files) {}

void TransferSteps::ShowPrinter(const std::wstring& column0, const std::wstring& column1) {
    window_.SetPrinterLine(context_.texts.Text(IDS_PRINTER_LABEL) + (column1.empty() ? column0 : column1));
}

void TransferSteps::MoveBar(int position) {
    // The window is a message away: ask it only when the bar really moves.
    if (position == shownBar_) return;
    window_.SetBarPosition(position);
    shownBar_ = position;
}

int TransferSteps::ReadBar() {
    shownBar_ = window_.BarPosition();
    return shownBar_;
}

void TransferSteps::ShowProblem(const std::wstring& text) {
    problem_ = text;
    window_.ShowError(text);
}

void TransferSteps::ShowNotReady() { ShowProblem(context_.texts.Text(IDS_CHECK_READY)); }

void TransferSteps::ShowOpenFailed(const std::wstring& path) {
    ShowProblem(context_.texts.Text(IDS_MSG_OPEN_FILE) + L"\n\t" + path);
}

void TransferSteps::ShowSendFailed(const std::wstring& column0) {
    ShowProblem(context_.texts.Text(IDS_MSG_DOWNLOAD_FAILED) + L"\n\t" + column0);
}

void TransferSteps::ShowFault(DetailCodes codes) {
    ShowProblem(context_.texts.Text(IDS_MSG_DOWNLOAD_FAILED) + L" " +
                      UpdateFaultName(codes.detailCode1, codes.detailCode2));
}

const FirmwareEntry& TransferSteps::Entry(int j) const {
    const PackageRow& row = context_.packageRows.At(j);
    return row.entry ? *row.entry : kEmptyEntry;
}

std::optional<std::wstring> TransferSteps::FilePath(int j, const char* variantCode) const {
    return ChooseEntryFile(context_.settings, context_.packageRows, j, variantCode);
}

EntryFiles::Problem TransferSteps::OpenFiles(EntryFiles& files, const char* variantCode) {
    return files.OpenAll(FileCount(), pinned_, FileSharing::Exclusive,
                         [this, variantCode](int j) { return FilePath(j, variantCode); });
}

void TransferSteps::ShowUnusable(const EntryFiles& files, EntryFiles::Problem problem, const std::wstring& column0) {
    // Without a variant code there is no right file for the printer's
    // controller, and any other one could harm it.
    if (problem == EntryFiles::Problem::kNoFile)
        ShowSendFailed(column0);
    else
        ShowOpenFailed(files.FailedPath());
}

bool TransferSteps::CheckPinnedFiles(const char* variantCode) {
    pinned_.Clear();
    PinPrinterFiles(context_.settings, context_.packageRows, variantCode, pinned_);
    const std::optional<std::wstring> damaged = pinned_.FindMismatch(FileSharing::ReadWrite);
    if (!damaged) return true;
    ShowProblem(context_.texts.Text(IDS_MSG_FILE_DAMAGED) + L"\n\t" + *damaged);
    return false;
}

std::uint32_t TransferSteps::ChooseMarker(int j, bool fault, bool allDataSent) {
    if (CancelledByUser()) return kMarkerAbandon;
    if (fault) {
        StopByJob();
        return kMarkerAbandon;
    }
    // A file that did not arrive whole must not be taken for a good one.
    if (!allDataSent) return kMarkerAbandon;
    if (j < FileCount() - 1) return kMarkerMoreFiles;
    // The last end marker gives the printer the whole image: from here a
    // cancel can no longer change what it gets, so the window's Cancel goes
    // off before the marker is written (a slow printer may hold the write),
    // and a cancel that came before that still counts.
    EnableCancel(false);
    return CancelledByUser() ? kMarkerAbandon : kMarkerLastFile;
}

void TransferSteps::WaitAfterFile(const FirmwareEntry& entry) {
    const WaitingForPrinter waiting(window_);
    Sleep(300);
    if (entry.PostDelay != 0) SlicedWait(entry.PostDelay);
}
