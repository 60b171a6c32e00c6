#include "transfer/usb_transfer.h"

#include <memory>
#include <string>

#include "device/usb_guards.h"

namespace {

constexpr std::size_t kSerialChars = 64;  // column 0
constexpr std::size_t kNameChars = 128;   // column 1

std::optional<PrinterStatusBlock> ReadUsbStatusBlock(DeviceLibraries& libraries, std::uint16_t deviceIndex) {
    // One byte beyond what the library may fill, so the text always ends.
    char deviceId[kDeviceIdBytes + 1] = {};
    if (libraries.DUGetDeviceID(deviceId, deviceIndex) == 0) return std::nullopt;
    deviceId[kDeviceIdBytes] = '\0';
    PrinterStatusBlock status;
    libraries.DecodeStatusFromDeviceID(deviceId, &status);
    return status;
}

// What a USB printer's turn holds once it has them: the port lock, then
// the connection. The connection is closed first.
struct UsbHeld {
    std::unique_ptr<HeldPortLock> lock;
    std::unique_ptr<UsbConnection> connection;
    void Release() {
        connection.reset();
        lock.reset();
    }
};
using UsbTurn = PrinterTurn<UsbPrinterItem, UsbHeld>;

class UsbJob {
public:
    UsbJob(TransferJob& job, const TransferContext& context, UsbPortLocks& portLocks, UsbPrinterRows& printers)
        : steps_(job, context), portLocks_(portLocks), printers_(printers) {}

    void Run() {
        steps_.ForEachCheckedPrinter(printers_, [this](int row) { return UpdatePrinter(row); });
    }

private:
    PrinterOutcome UpdatePrinter(int row);
    // Sends file j and its end marker, then what follows the file.
    template <typename Send, typename ReadStatus>
    FileStep SendFile(int j, EntryFiles& files, UsbTurn& turn, PrinterProgress& progress, const std::wstring& serial,
                      Send&& send, ReadStatus&& readStatus);

    TransferSteps steps_;
    UsbPortLocks& portLocks_;
    UsbPrinterRows& printers_;
};

PrinterOutcome UsbJob::UpdatePrinter(int row) {
    DeviceLibraries& libraries = steps_.Libraries();
    const std::wstring serial = FitText(printers_.ColumnText(row, 0), kSerialChars);
    steps_.ShowPrinter(serial, FitText(printers_.ColumnText(row, 1), kNameChars));

    UsbPrinterItem* printer = printers_.Record(row);
    if (!printer) {
        // A row without its record has no device to address: unreachable.
        steps_.ShowSendFailed(serial);
        return PrinterOutcome::kNextPrinter;
    }
    UsbTurn turn(printer);
    if (!steps_.CheckPinnedFiles(printer->variantCode)) return turn.End(PrinterOutcome::kEndJob);
    const std::uint16_t device = printer->deviceIndex;

    char devicePath[kDevicePathBytes + 1] = {};
    libraries.DUGetDevicePath(devicePath, device);
    devicePath[kDevicePathBytes] = '\0';
    const PortLockResult acquired = portLocks_.AcquireUsbPortLock(devicePath);
    if (acquired.busy) return turn.End(PrinterOutcome::kEndJob, [this] { steps_.ShowNotReady(); });
    turn.Holds().lock = std::make_unique<HeldPortLock>(portLocks_, acquired.lock);

    const std::optional<PrinterStatusBlock> status = ReadUsbStatusBlock(libraries, device);
    if (!status || !IsUpdateGranted(steps_.Context().settings, status->stateCode(), status->detailCode1(),
                                    status->detailCode2()))
        return turn.End(PrinterOutcome::kEndJob, [this] { steps_.ShowNotReady(); });

    if (libraries.DUOpenConnection(device) != 0)
        return turn.End(PrinterOutcome::kNextPrinter, [&] { steps_.ShowSendFailed(serial); });
    turn.Holds().connection = std::make_unique<UsbConnection>(libraries, device);

    const auto send = [&libraries, device](const void* bytes, int count) {
        return libraries.DUWriteData(bytes, count, 0, device) == 0;
    };
    const auto readStatus = [&libraries, device] { return ReadUsbStatus(libraries, device); };

    steps_.BeginPrinter();
    EntryFiles files;
    const EntryFiles::Problem problem = steps_.OpenFiles(files, printer->variantCode);
    if (problem != EntryFiles::Problem::kNone) {
        if (problem == EntryFiles::Problem::kNoFile) steps_.StopByJob();
        return turn.End(PrinterOutcome::kEndJob, [&] { steps_.ShowUnusable(files, problem, serial); });
    }

    PrinterProgress progress;
    steps_.EnableCancel(true);
    for (int j = 0; j < steps_.FileCount() && progress.marker == kMarkerMoreFiles; ++j) {
        const FileStep step = SendFile(j, files, turn, progress, serial, send, readStatus);
        if (step == FileStep::kAbandoned)
            return turn.End(PrinterOutcome::kEndJob, [&] { steps_.ShowSendFailed(serial); });
        if (step == FileStep::kStopSending) break;
    }

    steps_.FinalRounds(progress.fault, 1, readStatus);
    if (steps_.Proceeding()) {
        steps_.MoveBar(100);
        // A fault the printer reported after its last file is no completed update.
        if (progress.sentOk && !progress.fault.seen) turn.Commit();
    }
    if (progress.fault.seen)
        return turn.End(PrinterOutcome::kEndJob, [&] { steps_.ShowFault(progress.fault.codes); });
    return turn.End(PrinterOutcome::kNextPrinter);
}

template <typename Send, typename ReadStatus>
FileStep UsbJob::SendFile(int j, EntryFiles& files, UsbTurn& turn, PrinterProgress& progress, const std::wstring& serial,
                          Send&& send, ReadStatus&& readStatus) {
    const StreamResult streamed = steps_.StreamFile(files, j, progress.bytesSent, send);
    if (streamed == StreamResult::kReadFailed) {
        // The printer holds part of a file that cannot be read whole: it
        // drops the update, and no other printer gets this file either.
        steps_.StopByJob();
        const auto abandon = MarkerBytes(kMarkerAbandon);
        send(abandon.data(), static_cast<int>(abandon.size()));
        steps_.EnableCancel(false);
        files.Close(j);
        return FileStep::kAbandoned;
    }
    // Failures are told once the turn has given back the port and the
    // connection: no message box holds them.
    const auto tellSendFailed = [&] { turn.TellAtEnd([this, &serial] { steps_.ShowSendFailed(serial); }); };
    if (streamed == StreamResult::kSendFailed) {
        tellSendFailed();
        progress.sentOk = false;
    }

    // The marker goes out after a failed send too, so the printer learns
    // that the update is off.
    progress.marker = steps_.ChooseMarker(j, progress.fault.seen, progress.sentOk);
    const auto markerBytes = MarkerBytes(progress.marker);
    if (!send(markerBytes.data(), static_cast<int>(markerBytes.size()))) {
        tellSendFailed();
        progress.sentOk = false;
        return FileStep::kStopSending;
    }
    steps_.MarkerSent(progress.marker);
    if (progress.marker == kMarkerAbandon) steps_.EnableCancel(false);
    steps_.PollAfterFile(progress.fault, readStatus);
    files.Close(j);
    if (!progress.sentOk) return FileStep::kStopSending;

    const FirmwareEntry& entry = steps_.Entry(j);
    steps_.WaitAfterFile(entry);
    steps_.SendSubCommands(entry, send, tellSendFailed);
    return FileStep::kNextFile;
}

}  // namespace

std::optional<DetailCodes> ReadUsbStatus(DeviceLibraries& libraries, std::uint16_t deviceIndex) {
    const std::optional<PrinterStatusBlock> status = ReadUsbStatusBlock(libraries, deviceIndex);
    if (!status) return std::nullopt;
    return DetailCodes{status->detailCode1(), status->detailCode2()};
}

void RunUsbTransfer(TransferJob& job, const TransferContext& context, UsbPortLocks& portLocks,
                    UsbPrinterRows& printers) {
    RunToEnd(job, [&] { UsbJob(job, context, portLocks, printers).Run(); });
}
