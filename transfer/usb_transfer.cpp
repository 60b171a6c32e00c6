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

class UsbJob {
public:
    UsbJob(TransferJob& job, const TransferContext& context, UsbPortLocks& portLocks, UsbPrinterRows& printers)
        : steps_(job, context), portLocks_(portLocks), printers_(printers) {}

    void Run() {
        steps_.ForEachCheckedPrinter(printers_, [this](int row) { return UpdatePrinter(row); });
    }

private:
    PrinterOutcome UpdatePrinter(int row);

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
    if (!steps_.CheckPinnedFiles(printer->variantCode)) {
        printer->transferResult = kTransferPending;
        return PrinterOutcome::kEndJob;
    }
    const std::uint16_t device = printer->deviceIndex;

    char devicePath[kDevicePathBytes + 1] = {};
    libraries.DUGetDevicePath(devicePath, device);
    devicePath[kDevicePathBytes] = '\0';
    const PortLockResult acquired = portLocks_.AcquireUsbPortLock(devicePath);
    if (acquired.busy) {
        printer->transferResult = kTransferPending;
        steps_.ShowNotReady();
        return PrinterOutcome::kEndJob;
    }
    HeldPortLock lock(portLocks_, acquired.lock);

    const std::optional<PrinterStatusBlock> status = ReadUsbStatusBlock(libraries, device);
    if (!status || !IsUpdateGranted(steps_.Context().settings, status->stateCode(), status->detailCode1(),
                                    status->detailCode2())) {
        printer->transferResult = kTransferPending;
        lock.Release();
        steps_.ShowNotReady();
        return PrinterOutcome::kEndJob;
    }

    if (libraries.DUOpenConnection(device) != 0) {
        lock.Release();
        steps_.ShowSendFailed(serial);
        return PrinterOutcome::kNextPrinter;
    }
    UsbConnection connection(libraries, device);

    const auto send = [&libraries, device](const void* bytes, int count) {
        return libraries.DUWriteData(bytes, count, 0, device) == 0;
    };
    const auto readStatus = [&libraries, device] { return ReadUsbStatus(libraries, device); };

    steps_.BeginPrinter();
    EntryFiles files;
    const EntryFiles::Problem problem = steps_.OpenFiles(files, printer->variantCode);
    if (problem != EntryFiles::Problem::kNone) {
        printer->transferResult = kTransferPending;
        if (problem == EntryFiles::Problem::kNoFile) steps_.StopByJob();
        connection.Close();
        lock.Release();
        steps_.ShowUnusable(files, problem, serial);
        return PrinterOutcome::kEndJob;
    }

    bool sentOk = true;
    TransferSteps::Fault fault;
    std::uint64_t bytesSent = 0;
    std::uint32_t marker = kMarkerMoreFiles;
    steps_.EnableCancel(true);

    for (int j = 0; j < steps_.FileCount() && marker == kMarkerMoreFiles; ++j) {
        const StreamResult streamed = steps_.StreamFile(files, j, bytesSent, send);
        if (streamed == StreamResult::kReadFailed) {
            // The printer holds part of a file that cannot be read whole: it
            // drops the update, and no other printer gets this file either.
            printer->transferResult = kTransferPending;
            steps_.StopByJob();
            const auto abandon = MarkerBytes(kMarkerAbandon);
            send(abandon.data(), static_cast<int>(abandon.size()));
            steps_.EnableCancel(false);
            files.Close(j);
            connection.Close();
            lock.Release();
            steps_.ShowSendFailed(serial);
            return PrinterOutcome::kEndJob;
        }
        if (streamed == StreamResult::kSendFailed) {
            steps_.ShowSendFailed(serial);
            printer->transferResult = kTransferPending;
            sentOk = false;
        }

        // The marker goes out after a failed send too, so the printer learns
        // that the update is off.
        marker = steps_.ChooseMarker(j, fault.seen, sentOk);
        const auto markerBytes = MarkerBytes(marker);
        if (!send(markerBytes.data(), static_cast<int>(markerBytes.size()))) {
            steps_.ShowSendFailed(serial);
            sentOk = false;
            break;
        }
        steps_.MarkerSent(marker);
        if (marker != kMarkerMoreFiles) steps_.EnableCancel(false);
        steps_.PollAfterFile(fault, readStatus);
        files.Close(j);
        if (!sentOk) break;

        const FirmwareEntry& entry = steps_.Entry(j);
        steps_.WaitAfterFile(entry);
        steps_.SendSubCommands(entry, serial, send);
    }

    steps_.FinalRounds(fault, 1, readStatus);
    if (steps_.Proceeding()) {
        steps_.MoveBar(100);
        // A fault the printer reported after its last file is no completed update.
        if (sentOk && !fault.seen) printer->transferResult = kTransferCompleted;
    }
    connection.Close();
    lock.Release();
    if (fault.seen) {
        steps_.ShowFault(fault.codes);
        return PrinterOutcome::kEndJob;
    }
    return PrinterOutcome::kNextPrinter;
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
