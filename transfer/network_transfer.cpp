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

// What a network printer's turn holds: the connection of the file being sent.
struct NetHeld {
    std::unique_ptr<RawPortConnection> connection;
    void Release() { connection.reset(); }
};
using NetTurn = PrinterTurn<NetPrinterItem, NetHeld>;

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
    // Sends file j and its end marker over the turn's connection, which it
    // closes, then what follows the file.
    template <typename ReadStatus>
    FileStep SendFile(int j, EntryFiles& files, NetTurn& turn, PrinterProgress& progress,
                      const std::wstring& addressText, ReadStatus&& readStatus);
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
    NetTurn turn(printer);
    const char* variantCode = printer ? printer->variantCode : "";

    const std::wstring addressText = FitText(printers_.ColumnText(row, 0), kAddressChars);
    steps_.ShowPrinter(addressText, FitText(printers_.ColumnText(row, 1), kNameChars));
    const std::string address = ToEightBit(addressText);
    const char* community = community_.c_str();
    if (!steps_.CheckPinnedFiles(variantCode)) return turn.End(PrinterOutcome::kEndJob);

    PrinterStatusBlock status;
    if (libraries.NetworkReadStatusV3(address.c_str(), community, kStatusModeCheck, &status) == 0 ||
        !IsUpdateGranted(steps_.Context().settings, status.stateCode(), status.detailCode1(), status.detailCode2()))
        return turn.End(PrinterOutcome::kEndJob, [this] { steps_.ShowNotReady(); });
    const int port = RawPort(address);

    const auto readStatus = [&libraries, &address, community] {
        return ReadNetworkStatus(libraries, address.c_str(), community);
    };

    PrinterProgress progress;
    steps_.BeginPrinter();
    EntryFiles files;
    steps_.EnableCancel(true);

    for (int j = 0; j < steps_.FileCount() && progress.marker == kMarkerMoreFiles; ++j) {
        turn.Holds().connection = std::make_unique<RawPortConnection>(libraries, Connect(address, port));
        if (!turn.Holds().connection->IsOpen()) {
            steps_.StopByJob();
            return turn.End(PrinterOutcome::kEndJob, [&] { steps_.ShowSendFailed(addressText); });
        }
        // Every file is checked where the first one is opened, before its
        // first byte goes out.
        if (j == 0) {
            const EntryFiles::Problem problem = steps_.OpenFiles(files, variantCode);
            if (problem != EntryFiles::Problem::kNone) {
                if (problem == EntryFiles::Problem::kNoFile) steps_.StopByJob();
                return turn.End(PrinterOutcome::kEndJob,
                                [&] { steps_.ShowUnusable(files, problem, addressText); });
            }
        }

        const FileStep step = SendFile(j, files, turn, progress, addressText, readStatus);
        if (step == FileStep::kAbandoned) {
            return turn.End(PrinterOutcome::kEndJob, [&] {
                steps_.EnableCancel(false);
                steps_.ShowSendFailed(addressText);
            });
        }
        if (step == FileStep::kStopSending) break;
    }

    steps_.FinalRounds(progress.fault, kFinalRoundFailedReads, readStatus);
    if (steps_.Proceeding()) {
        steps_.MoveBar(100);
        // A fault the printer reported after its last file is no completed update.
        if (progress.sentOk && !progress.fault.seen) turn.Commit();
    }
    if (progress.fault.seen)
        return turn.End(PrinterOutcome::kEndJob, [&] { steps_.ShowFault(progress.fault.codes); });
    return turn.End(steps_.Running() ? PrinterOutcome::kNextPrinter : PrinterOutcome::kEndJob);
}

template <typename ReadStatus>
FileStep NetworkJob::SendFile(int j, EntryFiles& files, NetTurn& turn, PrinterProgress& progress,
                              const std::wstring& addressText, ReadStatus&& readStatus) {
    RawPortConnection& connection = *turn.Holds().connection;
    const auto send = [&connection](const void* bytes, int count) { return connection.Send(bytes, count); };

    const StreamResult streamed = steps_.StreamFile(files, j, progress.bytesSent, send);
    if (streamed == StreamResult::kReadFailed) {
        // The printer holds part of a file that cannot be read whole: it
        // drops the update, and no other printer gets this file either.
        steps_.StopByJob();
        steps_.SendMarker(connection, kMarkerAbandon);
        files.Close(j);
        return FileStep::kAbandoned;
    }
    // After a failed send no marker: the closed connection ends the
    // printer's stream. Without its marker the printer has not taken the file.
    bool delivered = streamed != StreamResult::kSendFailed;
    if (delivered) {
        progress.marker = steps_.ChooseMarker(j, progress.fault.seen, true);
        delivered = steps_.SendMarker(connection, progress.marker);
    }
    if (!delivered) {
        files.Close(j);
        turn.Holds().Release();
        progress.sentOk = false;
        steps_.ShowSendFailed(addressText);
        return FileStep::kStopSending;
    }
    steps_.MarkerSent(progress.marker);
    files.Close(j);
    const FirmwareEntry& entry = steps_.Entry(j);
    steps_.WaitAfterFile(entry);
    steps_.SendSubCommands(entry, send, [&] { turn.TellAtEnd([this, &addressText] { steps_.ShowSendFailed(addressText); }); });
    turn.Holds().Release();

    if (progress.marker == kMarkerAbandon) steps_.EnableCancel(false);
    steps_.PollAfterFile(progress.fault, readStatus);
    return FileStep::kNextFile;
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
