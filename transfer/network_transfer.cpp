#include "transfer/network_transfer.h"

#include <memory>
#include <string>

#include "base/text.h"

namespace {

constexpr std::size_t kAddressChars = 128;  // column 0, also the 8-bit address buffer
constexpr std::size_t kNameChars = 128;     // column 1

constexpr int kConnectAttempts = 10;
constexpr int kConnectRetryPauseMs = 100;
// Fixed arguments of the two status reads, as the library defines them.
constexpr int kStatusModeCheck = 3;
constexpr int kStatusModePoll = 50;
// The final rounds end after this many unanswered status reads in a row.
constexpr int kFinalRoundFailedReads = 3;

class NetworkJob {
public:
    NetworkJob(TransferJob& job, const TransferContext& context, NetPrinterRows& printers)
        : steps_(job, context),
          printers_(printers),
          community_(job.community, BoundedLength(job.community, kCommunityBytes)) {}

    void Run() {
        steps_.ForEachCheckedPrinter(printers_, [this](int row) { return UpdatePrinter(row); });
    }

private:
    PrinterOutcome UpdatePrinter(int row);
    int RawPort(const std::string& address);
    NetHandle Connect(const std::string& address, int port);

    TransferSteps steps_;
    NetPrinterRows& printers_;
    const std::string community_;
};

int NetworkJob::RawPort(const std::string& address) {
    DeviceLibraries& libraries = steps_.Libraries();
    int port = 0;
    if (libraries.HasRawPortQuery() && libraries.GetRAWPortNum(address.c_str(), community_.c_str(), &port) != 0 &&
        port > 0 && port <= 65535)
        return port;
    return kRawPrintPort;
}

NetHandle NetworkJob::Connect(const std::string& address, int port) {
    for (int attempt = 0; attempt < kConnectAttempts; ++attempt) {
        if (attempt > 0) steps_.Sleep(kConnectRetryPauseMs);
        const NetHandle handle = steps_.Libraries().NetworkConnectNonBlock(address.c_str(), port, kConnectTimeout);
        if (handle != kNoNetHandle) return handle;
    }
    return kNoNetHandle;
}

PrinterOutcome NetworkJob::UpdatePrinter(int row) {
    DeviceLibraries& libraries = steps_.Libraries();
    NetPrinterItem* printer = printers_.Record(row);
    const auto setResult = [printer](std::int32_t result) {
        if (printer) printer->transferResult = result;
    };

    const std::wstring addressText = FitText(printers_.ColumnText(row, 0), kAddressChars);
    steps_.ShowPrinter(addressText, FitText(printers_.ColumnText(row, 1), kNameChars));
    const std::string address = ToEightBit(addressText);
    const char* community = community_.c_str();
    if (!steps_.CheckPinnedFiles(printer ? printer->variantCode : "")) {
        setResult(kTransferPending);
        return PrinterOutcome::kEndJob;
    }

    PrinterStatusBlock status;
    if (libraries.NetworkReadStatusV3(address.c_str(), community, kStatusModeCheck, &status) == 0 ||
        !IsUpdateGranted(steps_.Context().settings, status.stateCode(), status.detailCode1(), status.detailCode2())) {
        setResult(kTransferPending);
        steps_.ShowNotReady();
        return PrinterOutcome::kEndJob;
    }
    const int port = RawPort(address);

    const auto readStatus = [&libraries, &address, community] {
        return ReadNetworkStatus(libraries, address.c_str(), community);
    };

    bool sentOk = true;
    TransferSteps::Fault fault;
    std::uint64_t bytesSent = 0;
    std::uint32_t marker = kMarkerMoreFiles;
    steps_.BeginPrinter();
    EntryFiles files;
    steps_.EnableCancel(true);

    for (int j = 0; j < steps_.FileCount() && marker == kMarkerMoreFiles; ++j) {
        RawPortConnection connection(libraries, Connect(address, port));
        if (!connection.IsOpen()) {
            setResult(kTransferPending);
            steps_.StopByJob();
            steps_.ShowSendFailed(addressText);
            return PrinterOutcome::kEndJob;
        }
        const auto send = [&connection](const void* bytes, int count) { return connection.Send(bytes, count); };

        // Every file is checked where the first one is opened, before its
        // first byte goes out.
        if (j == 0) {
            const EntryFiles::Problem problem = steps_.OpenFiles(files, printer ? printer->variantCode : "");
            if (problem != EntryFiles::Problem::kNone) {
                connection.Close();
                setResult(kTransferPending);
                if (problem == EntryFiles::Problem::kNoFile) steps_.StopByJob();
                steps_.ShowUnusable(files, problem, addressText);
                return PrinterOutcome::kEndJob;
            }
        }

        const StreamResult streamed = steps_.StreamFile(files, j, bytesSent, send);
        if (streamed == StreamResult::kReadFailed) {
            // The printer holds part of a file that cannot be read whole: it
            // drops the update, and no other printer gets this file either.
            setResult(kTransferPending);
            steps_.StopByJob();
            steps_.SendMarker(connection, kMarkerAbandon);
            files.Close(j);
            connection.Close();
            steps_.EnableCancel(false);
            steps_.ShowSendFailed(addressText);
            return PrinterOutcome::kEndJob;
        }
        if (streamed == StreamResult::kSendFailed) {
            // No marker: the closed connection ends the printer's stream.
            files.Close(j);
            connection.Close();
            sentOk = false;
            setResult(kTransferPending);
            steps_.ShowSendFailed(addressText);
            break;
        }

        marker = steps_.ChooseMarker(j, fault.seen, true);
        if (!steps_.SendMarker(connection, marker)) {
            // Without its marker the printer has not taken the file.
            files.Close(j);
            connection.Close();
            sentOk = false;
            setResult(kTransferPending);
            steps_.ShowSendFailed(addressText);
            break;
        }
        steps_.MarkerSent(marker);
        files.Close(j);
        const FirmwareEntry& entry = steps_.Entry(j);
        steps_.WaitAfterFile(entry);
        steps_.SendSubCommands(entry, addressText, send);
        connection.Close();

        if (marker != kMarkerMoreFiles) steps_.EnableCancel(false);
        steps_.PollAfterFile(fault, readStatus);
    }

    steps_.FinalRounds(fault, kFinalRoundFailedReads, readStatus);
    if (steps_.Proceeding()) {
        steps_.MoveBar(100);
        // A fault the printer reported after its last file is no completed update.
        if (sentOk && !fault.seen) setResult(kTransferCompleted);
    }
    if (fault.seen) {
        steps_.ShowFault(fault.codes);
        return PrinterOutcome::kEndJob;
    }
    return steps_.Running() ? PrinterOutcome::kNextPrinter : PrinterOutcome::kEndJob;
}

}  // namespace

std::optional<DetailCodes> ReadNetworkStatus(DeviceLibraries& libraries, const char* address, const char* community) {
    PrinterStatusBlock status;
    if (libraries.NetworkReadStatusV4(address, community, kStatusModePoll, &status) == 0) return std::nullopt;
    return DetailCodes{status.detailCode1(), status.detailCode2()};
}

void RunNetworkTransfer(TransferJob& job, const TransferContext& context, NetPrinterRows& printers) {
    RunToEnd(job, [&] { NetworkJob(job, context, printers).Run(); });
}
