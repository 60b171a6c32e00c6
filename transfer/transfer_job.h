// The transfer job: the control block the progress window shares with its
// worker thread, what a job reads, and the steps the USB and the network job
// have in common (waits, end-of-file markers, status polls, progress,
// messages).
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <type_traits>
#include <vector>

#include "base/file_pins.h"
#include "base/files.h"
#include "base/keep_awake.h"
#include "base/sleeper.h"
#include "base/update_history.h"
#include "base/text_catalogue.h"
#include "device/library_table.h"
#include "package/package_model.h"
#include "package/package_settings.h"
#include "transfer/firmware_stream.h"
#include "transfer/printer_rows.h"
#include "transfer/transfer_window.h"
#include "transfer/update_record.h"

// Values of TransferJob::abortReason.
inline constexpr std::int32_t kAbortNone = 0;    // running
inline constexpr std::int32_t kAbortByUser = 1;  // the window's Cancel
inline constexpr std::int32_t kAbortByJob = 2;   // printer fault, or a failure that ends the job

inline constexpr int kCommunityBytes = 40;

// Shared by the progress window (interface thread) and its worker. The
// window fills it before the worker starts; afterwards the window may only
// set abortReason to kAbortByUser and read done, and the worker sets done
// last of all.
struct TransferJob {
    TransferWindow* window = nullptr;
    char community[kCommunityBytes] = {};  // SNMP community, 8-bit text (network job only)
    std::atomic<std::int32_t> done{0};
    std::atomic<std::int32_t> abortReason{kAbortNone};
    // 1 when the job broke off on an unexpected error rather than by its own
    // rules: the window then tells the user the update was interrupted.
    std::atomic<std::int32_t> brokenOff{0};
    // Held awake while the job runs, on the job's own thread.
    PowerRequests* power = &PlatformPowerRequests();
};

// Whether the window reports the update as interrupted when the job is done:
// the user cancelled it, or it broke off.
inline bool EndsInterrupted(const TransferJob& job) {
    return job.abortReason.load() == kAbortByUser || job.brokenOff.load() != 0;
}

// What a job reads besides its printer rows. Nothing here is changed by it.
struct TransferContext {
    const PackageSettings& settings;
    DeviceLibraries& libraries;
    FileOpener& files;
    Sleeper& sleeper;
    const PackageRows& packageRows;
    std::uint32_t totalSize;  // sum of the entry sizes: the progress runs against it
    const TextCatalogue& texts;
    UpdateHistory* history = nullptr;  // each printer's turn is recorded here; none without a history
};

// The two detail codes of a printer status (bytes 74 and 75).
struct DetailCodes {
    std::uint8_t detailCode1 = 0;
    std::uint8_t detailCode2 = 0;
};

// The printer reports that its update failed: code 1 with 30 to 33.
bool IsUpdateFault(std::uint8_t detailCode1, std::uint8_t detailCode2);
// The printer's name for that fault, "" when the codes are not a fault.
const wchar_t* UpdateFaultName(std::uint8_t detailCode1, std::uint8_t detailCode2);

// Waits `milliseconds` in slices of at most a second and stops after the
// slice after which stopped() holds. A positive wait always sleeps at least
// one slice.
template <typename Stopped>
void SlicedWaitUntil(Sleeper& sleeper, int milliseconds, Stopped&& stopped) {
    while (milliseconds > 0) {
        const int slice = milliseconds < 1000 ? milliseconds : 1000;
        sleeper.SleepMs(slice);
        milliseconds -= slice;
        if (stopped()) break;
    }
}
// The same, stopping once abortReason is non-zero.
void SlicedWait(Sleeper& sleeper, const std::atomic<std::int32_t>& abortReason, int milliseconds);

// Bar position while data is sent: the share sent of the whole package,
// scaled to 0..95 (the rest belongs to the final status rounds).
int DataBarPosition(std::uint64_t bytesSent, std::uint32_t totalSize);

// A list text as read into a buffer of `bufferChars` characters, terminator
// included.
std::wstring FitText(std::wstring text, std::size_t bufferChars);

// Runs a job's body with the system held awake and then sets done, on every
// path: an exception that escapes the body (only a failed allocation can)
// stops the job instead of leaving the window waiting for ever. The request
// is withdrawn before done is set: nothing of the job outlives it.
template <typename Body>
void RunToEnd(TransferJob& job, Body&& body) {
    {
        const KeepAwake awake(*job.power);
        try {
            body();
        } catch (...) {
            job.abortReason.store(kAbortByJob);
            job.brokenOff.store(1);
        }
    }
    job.done.store(1);
}

// How a printer's turn ends.
enum class PrinterOutcome { kNextPrinter, kEndJob };

// A printer's turn, ended on every path the same way: what the turn holds
// (Held: the connection, the port lock) is given back, and the printer's row
// stays pending unless the update was committed as complete. End gives
// everything back before the message that tells the user how the turn
// ended, so no message box keeps a printer or its port.
template <typename Item, typename Held>
class PrinterTurn {
public:
    explicit PrinterTurn(Item* printer) : printer_(printer) {}
    ~PrinterTurn() { Release(); }
    PrinterTurn(const PrinterTurn&) = delete;
    PrinterTurn& operator=(const PrinterTurn&) = delete;

    Held& Holds() { return held_; }
    // The update is complete: the row says so.
    void Commit() {
        if (printer_) printer_->transferResult = kTransferCompleted;
        committed_ = true;
    }

    // A failure the turn goes on after (a sub-command or a file that did
    // not go out): told once the turn has given everything back, before
    // its closing message.
    void TellAtEnd(std::function<void()> report) { toTell_.push_back(std::move(report)); }

    template <typename Report>
    PrinterOutcome End(PrinterOutcome outcome, Report&& report) {
        End(outcome);
        report();
        return outcome;
    }
    PrinterOutcome End(PrinterOutcome outcome) {
        Release();
        for (const auto& report : toTell_) report();
        toTell_.clear();
        return outcome;
    }

private:
    void Release() {
        held_.Release();
        if (printer_ && !committed_) printer_->transferResult = kTransferPending;
    }

    Item* printer_;
    Held held_;
    bool committed_ = false;
    std::vector<std::function<void()>> toTell_;
};


// ---------------------------------------------------------------------------
// Steps both jobs share. One object per run of a job.
class TransferSteps {
public:
    TransferSteps(TransferJob& job, const TransferContext& context);

    const TransferContext& Context() const { return context_; }
    DeviceLibraries& Libraries() const { return context_.libraries; }
    int FileCount() const { return context_.packageRows.Count(); }

    bool Running() const { return job_.abortReason.load() == kAbortNone; }
    // Whether the current printer's update goes on: while the job runs, and
    // after its last end marker also despite a user cancel, since the
    // printer then has the whole image and its sub-commands and final
    // status rounds belong to it. A stop by the job still ends it.
    bool Proceeding() const {
        const std::int32_t reason = job_.abortReason.load();
        return reason == kAbortNone || (reason == kAbortByUser && lastMarkerSent_);
    }
    // A new printer's turn, and the marker that went out to it.
    void BeginPrinter() { lastMarkerSent_ = false; }
    void MarkerSent(std::uint32_t marker) {
        if (marker == kMarkerLastFile) lastMarkerSent_ = true;
    }

    // Gives every checked printer its turn, in list order, while the job
    // runs; update(row) tells whether the job goes on. An empty package
    // opens no printer.
    // Each printer's turn is recorded in the history when it has ended.
    template <typename Item, typename Update>
    void ForEachCheckedPrinter(PrinterRows<Item>& printers, Update&& update) {
        if (FileCount() <= 0) return;
        for (int row = 0; row < printers.Count() && Running(); ++row) {
            if (!printers.IsChecked(row)) continue;
            problem_.clear();
            const bool usb = std::is_same_v<Item, UsbPrinterItem>;
            // USB rows show the serial number and the spooler's name; network
            // rows the address and the printer's name.
            const std::wstring name = printers.ColumnText(row, 1), first = printers.ColumnText(row, 0);
            UpdateRecording recording(context_.history, usb ? "wizard-usb" : "wizard-network",
                                      usb ? "usb" : "network", usb ? name : first);
            if (usb) {
                recording.Record().serial = first;
            } else if (!name.empty()) {
                recording.Record().deviceName = name;
            }
            // The firmware the list showed when the turn began.
            if (const std::wstring firmware = printers.ColumnText(row, kFirmwareTextColumn); !firmware.empty())
                recording.Record().firmwareBefore = firmware;
            const PrinterOutcome outcome = update(row);
            RecordTurn(recording, printers.Record(row));
            if (outcome == PrinterOutcome::kEndJob) return;
        }
    }
    bool CancelledByUser() const { return job_.abortReason.load() == kAbortByUser; }
    void StopByJob() { job_.abortReason.store(kAbortByJob); }

    void Sleep(int milliseconds) { context_.sleeper.SleepMs(milliseconds); }
    void SlicedWait(int milliseconds) {
        SlicedWaitUntil(context_.sleeper, milliseconds, [this] { return !Proceeding(); });
    }

    // Window.
    void ShowPrinter(const std::wstring& column0, const std::wstring& column1);
    void EnableCancel(bool enable) { window_.EnableCancel(enable); }
    void MoveBar(int position);
    int ReadBar();
    void ShowNotReady();
    void ShowOpenFailed(const std::wstring& path);
    void ShowSendFailed(const std::wstring& column0);
    void ShowFault(DetailCodes codes);

    // The entry of package row j; an empty one when the row carries none.
    const FirmwareEntry& Entry(int j) const;
    // Full path of the file of row j for a printer of this variant; nothing
    // when an "MCUFW" entry meets a printer without a variant code.
    std::optional<std::wstring> FilePath(int j, const char* variantCode) const;
    // Opens the file of every package row for a printer of this variant,
    // before anything is sent to it; pinned files through their pins, so a
    // pinned file fails its last read when its bytes are not the pinned ones.
    EntryFiles::Problem OpenFiles(EntryFiles& files, const char* variantCode);
    // Shows what keeps a package from going to the printer named column0.
    void ShowUnusable(const EntryFiles& files, EntryFiles::Problem problem, const std::wstring& column0);
    // Pins the files a printer of this variant will get and hashes them
    // before anything is sent; false, after the message naming the first
    // file that does not match its pin, when one does not.
    bool CheckPinnedFiles(const char* variantCode);

    // Sends file j in chunks through send(bytes, count) -> bool and moves
    // the bar.
    template <typename Send>
    StreamResult StreamFile(EntryFiles& files, int j, std::uint64_t& bytesSent, Send&& send);
    // Sends a marker over a raw-port connection, which may take it in pieces.
    bool SendMarker(RawPortConnection& connection, std::uint32_t marker) {
        return connection.SendMarker(marker, context_.sleeper);
    }

    // Marker after file j of the package. A cancel, a fault (which also
    // stops the job) or data that did not all arrive make it the abandon
    // marker. Choosing the last end marker turns the window's Cancel off.
    std::uint32_t ChooseMarker(int j, bool fault, bool allDataSent);

    // Sleeps 300 ms, then the entry's post delay (sliced).
    void WaitAfterFile(const FirmwareEntry& entry);
    // Sends the entry's sub-commands with send(bytes, count) -> bool and
    // waits after each; a failed send calls failed() and the rest still go.
    template <typename Send, typename Failed>
    void SendSubCommands(const FirmwareEntry& entry, Send&& send, Failed&& failed);

    // Tells the window that the job waits for the printer, for its lifetime.
    class WaitingForPrinter {
    public:
        explicit WaitingForPrinter(TransferWindow& window) : window_(window) { window_.ShowWaiting(true); }
        ~WaitingForPrinter() { window_.ShowWaiting(false); }
        WaitingForPrinter(const WaitingForPrinter&) = delete;
        WaitingForPrinter& operator=(const WaitingForPrinter&) = delete;

    private:
        TransferWindow& window_;
    };

    // A fault the printer reported, and its codes for the message.
    struct Fault {
        bool seen = false;
        DetailCodes codes;
        void Note(std::optional<DetailCodes> status) {
            if (status && IsUpdateFault(status->detailCode1, status->detailCode2)) {
                seen = true;
                codes = *status;
            }
        }
    };
    // Up to five status reads 200 ms apart, until one shows a fault.
    template <typename ReadStatus>
    void PollAfterFile(Fault& fault, ReadStatus&& read);
    // Up to ten rounds a second apart, while no fault and not stopped,
    // moving the bar from where it stands to 100; they end early after
    // `failedReadLimit` failed status reads in a row. A fault stops the job.
    template <typename ReadStatus>
    void FinalRounds(Fault& fault, int failedReadLimit, ReadStatus&& read);

private:
    // An error message of the turn, kept as its reason in the history.
    void ShowProblem(const std::wstring& text);
    // Writes the turn's line: updated once the row was committed, else
    // cancelled or failed with the turn's last error message.
    template <typename Item>
    void RecordTurn(UpdateRecording& recording, const Item* item);

    TransferJob& job_;
    const TransferContext& context_;
    TransferWindow& window_;
    std::wstring problem_;
    std::unique_ptr<unsigned char[]> buffer_;
    PinnedFiles pinned_;
    int shownBar_ = -1;  // last position the window was given
    bool lastMarkerSent_ = false;
};

// What a printer's files have left it with, carried from one file to the next.
struct PrinterProgress {
    bool sentOk = true;  // every byte and marker went out
    TransferSteps::Fault fault;
    std::uint64_t bytesSent = 0;
    std::uint32_t marker = kMarkerMoreFiles;
};

// How sending one file to a printer ended.
enum class FileStep {
    kNextFile,      // go on with the next file, if the marker asks for one
    kStopSending,   // no further file; the turn goes on to its final rounds
    kAbandoned,     // the printer dropped the update: the turn and the job end
};

template <typename Send>
StreamResult TransferSteps::StreamFile(EntryFiles& files, int j, std::uint64_t& bytesSent, Send&& send) {
    return ::StreamFile(files.File(j), files.Size(j), buffer_.get(), send, [&](int count) {
        bytesSent += static_cast<std::uint64_t>(count);
        // Once cancelled the bar stays where it is; the file still goes out whole.
        if (Running()) MoveBar(DataBarPosition(bytesSent, context_.totalSize));
    });
}

template <typename Item>
void TransferSteps::RecordTurn(UpdateRecording& recording, const Item* item) {
    if (!context_.history) return;
    HistoryRecord& record = recording.Record();
    const bool completed = item && item->transferResult == kTransferCompleted;
    record.outcome = completed ? "updated" : CancelledByUser() ? "cancelled" : "failed";
    if (!completed) record.reason = problem_.empty() ? std::wstring(L"not completed") : problem_;
    const char* variant = item ? item->variantCode : "";
    std::vector<std::wstring> paths;
    for (int j = 0; j < FileCount(); ++j)
        if (const std::optional<std::wstring> path = FilePath(j, variant)) paths.push_back(*path);
    // The wizard has no console: a line not written is only missing.
    recording.Finish(context_.settings, context_.files, paths);
}

template <typename Send, typename Failed>
void TransferSteps::SendSubCommands(const FirmwareEntry& entry, Send&& send, Failed&& failed) {
    const int count = entry.SubCmdCnt < kMaxSubCommands ? entry.SubCmdCnt : kMaxSubCommands;
    for (int k = 0; k < count && Proceeding(); ++k) {
        const int length = entry.SubCmdLen[k] < kSubCommandBytes ? entry.SubCmdLen[k] : kSubCommandBytes;
        if (length > 0 && !send(entry.SubCmd[k], length)) failed();
        if (entry.SubCmdPostDelay[k] > 0) SlicedWait(entry.SubCmdPostDelay[k]);
    }
}

template <typename ReadStatus>
void TransferSteps::PollAfterFile(Fault& fault, ReadStatus&& read) {
    const WaitingForPrinter waiting(window_);
    for (int poll = 0; poll < 5 && !fault.seen; ++poll) {
        Sleep(200);
        fault.Note(read());
    }
}

template <typename ReadStatus>
void TransferSteps::FinalRounds(Fault& fault, int failedReadLimit, ReadStatus&& read) {
    const WaitingForPrinter waiting(window_);
    const int start = ReadBar();
    int failedReads = 0;
    for (int round = 0; round < 10 && !fault.seen && Proceeding(); ++round) {
        Sleep(1000);
        const std::optional<DetailCodes> status = read();
        if (!status) {
            if (++failedReads >= failedReadLimit) break;
            continue;
        }
        failedReads = 0;
        MoveBar((round + 1) * (100 - start) / 10 + start);
        fault.Note(status);
        if (fault.seen) StopByJob();
    }
}
