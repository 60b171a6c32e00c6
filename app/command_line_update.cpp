#include "app/command_line_update.h"

#include <algorithm>
#include <cstdint>
#include <cwchar>
#include <memory>
#include <optional>
#include <vector>

#include "base/system_code_page.h"
#include "base/text.h"
#include "package/config.h"
#include "package/package_model.h"
#include "transfer/firmware_stream.h"
#include "package/package_pins.h"

namespace {

constexpr int kStatusReadMode = 3;
constexpr std::size_t kAddressBytes = 128;

// What an update came to: every file sent, or the reason of its failure.
constexpr int kAllSent = 0;

// The caller's window, if any. Progress is posted only when its value
// changes: one notice per chunk would flood the caller's message queue for
// large files, and the final notice could then be lost.
class Notices {
public:
    explicit Notices(CallerNotices* caller) : caller_(caller) {}

    void Progress(int percent) {
        if (percent == lastProgress_) return;
        lastProgress_ = percent;
        Post(kNoticeProgress, percent);
    }

    // A refusal: its words, then its failure notice.
    int Refuse(const UpdateRefusal& refusal) {
        if (caller_) caller_->Problem(refusal.problem);
        return Finish(refusal.reason);
    }

    // Posts the final notice of an update and returns the operation's result.
    int Finish(int outcome) {
        if (outcome == kAllSent) {
            Post(kNoticeDone, 0);
            return 1;
        }
        Post(kNoticeFailed, outcome);
        return -1;
    }

private:
    void Post(int code, int value) {
        if (caller_) caller_->Post(code, value);
    }

    CallerNotices* caller_;
    int lastProgress_ = -1;
};

// Percent of the whole package once `sent` bytes of entry `index` are out.
// 64-bit so that files of several hundred megabytes do not overflow; an
// empty file (or one whose size cannot be told) counts as complete.
int PackagePercent(int index, int entryCount, std::int64_t sent, std::int64_t size) {
    const std::int64_t filePercent = size > 0 ? std::min<std::int64_t>(sent * 100 / size, 100) : 100;
    return static_cast<int>(std::int64_t{index} * 100 / entryCount + filePercent / entryCount);
}

// The package folder, a backslash and "FileName" of section "Fw<index>".
std::wstring EntryFilePath(const PackageSettings& settings, int index) {
    wchar_t section[16];
    std::swprintf(section, 16, L"Fw%d", index);
    wchar_t name[kFileNameChars] = {};
    ReadConfigString(settings.Encoding, section, L"FileName", L"", name, kFileNameChars, settings.ConfigPath.c_str());
    return settings.ModuleDir + L"\\" + name;
}

bool IsGranted(const PackageSettings& settings, const PrinterStatusBlock& status) {
    return IsUpdateGranted(settings, status.stateCode(), status.detailCode1(), status.detailCode2());
}

// Opens every file of the package before the first byte goes out, so that
// a package that cannot be sent whole is refused before the printer gets any
// of it.
bool OpenPackageFiles(const PackageSettings& settings, FileOpener& files, const EntryFileChoice& choice,
                      EntryFiles& entries) {
    return entries.OpenAll(settings.FwCount, files, FileSharing::ReadWrite,
                           [&choice](int i) { return choice.FileOf(i); }) == EntryFiles::Problem::kNone;
}

// Streams entry i through one buffer and posts the progress. The file is
// closed when this returns, before its marker goes out.
template <typename Send>
StreamResult SendEntry(EntryFiles& entries, int i, std::vector<unsigned char>& buffer, int entryCount,
                       Notices& notices, Send send) {
    const std::int64_t size = entries.Size(i);
    std::int64_t sent = 0;
    const StreamResult result = StreamFile(entries.File(i), size, buffer.data(), send, [&](int count) {
        sent += count;
        notices.Progress(PackagePercent(i, entryCount, sent, size));
    });
    entries.Close(i);
    return result;
}

class UsbNameConnection {
public:
    UsbNameConnection(DeviceLibraries& libraries, void* handle) : libraries_(libraries), handle_(handle) {}
    ~UsbNameConnection() { libraries_.USBDisconnect(handle_); }
    UsbNameConnection(const UsbNameConnection&) = delete;
    UsbNameConnection& operator=(const UsbNameConnection&) = delete;

    bool Write(const void* bytes, int count) { return libraries_.USBWrite(handle_, bytes, count) == count; }
    bool WriteMarker(std::uint32_t marker) {
        const auto bytes = MarkerBytes(marker);
        return Write(bytes.data(), kMarkerBytes);
    }

private:
    DeviceLibraries& libraries_;
    void* handle_;
};

// Everything opened here is released when these return, so the final notice
// always comes after the file and the connection are closed.

int SendOverUsb(const PackageSettings& settings, DeviceLibraries& libraries, FileOpener& files,
                const EntryFileChoice& choice, const std::wstring& printerName, Notices& notices) {
    void* handle = libraries.USBConnectByPrinterName(printerName.c_str());
    if (!handle) return kReasonNoConnection;
    UsbNameConnection connection(libraries, handle);

    PrinterStatusBlock status;
    if (!libraries.USBReadStatus(printerName.c_str(), &status) || !IsGranted(settings, status))
        return kReasonNotGranted;

    EntryFiles entries;
    if (!OpenPackageFiles(settings, files, choice, entries)) return kReasonFileNotOpened;
    std::vector<unsigned char> buffer(kChunkBytes);
    for (int i = 0; i < settings.FwCount; ++i) {
        const auto send = [&connection](const void* bytes, int count) { return connection.Write(bytes, count); };
        const StreamResult streamed = SendEntry(entries, i, buffer, settings.FwCount, notices, send);
        if (streamed != StreamResult::kSent) {
            // The printer holds part of a file: a file that cannot be read
            // whole, or one it did not take whole. Over USB no closed
            // connection ends its stream, so it is told to drop the update.
            connection.WriteMarker(kMarkerAbandon);
            return kReasonSendFailed;
        }
        // Over USB every file ends with the zero marker.
        if (!connection.WriteMarker(kMarkerLastFile)) return kReasonSendFailed;
    }
    return kAllSent;
}

int SendOverNetwork(const PackageSettings& settings, DeviceLibraries& libraries, FileOpener& files, Sleeper& sleeper,
                    const EntryFileChoice& choice, const std::wstring& addressText, Notices& notices) {
    char address[kAddressBytes];
    CopyTruncated(ToEightBit(addressText), address, kAddressBytes);

    PrinterStatusBlock status;
    if (!libraries.NetworkReadStatusV3(address, kDefaultCommunity, kStatusReadMode, &status) ||
        !IsGranted(settings, status))
        return kReasonNotGranted;

    EntryFiles entries;
    std::vector<unsigned char> buffer(kChunkBytes);
    for (int i = 0; i < settings.FwCount; ++i) {
        // Always the raw print port: the library's raw-port query is not asked here.
        const NetHandle handle = libraries.NetworkConnectNonBlock(address, kRawPrintPort, kConnectTimeout);
        if (handle == kNoNetHandle) return kReasonNoConnection;
        RawPortConnection connection(libraries, handle);
        // Every file is checked where the first one is opened, before its
        // first byte goes out.
        if (i == 0 && !OpenPackageFiles(settings, files, choice, entries)) return kReasonFileNotOpened;

        const auto send = [&connection](const void* bytes, int count) { return connection.Send(bytes, count); };
        const StreamResult streamed = SendEntry(entries, i, buffer, settings.FwCount, notices, send);
        if (streamed == StreamResult::kSendFailed) return kReasonSendFailed;
        if (streamed == StreamResult::kReadFailed) {
            // The printer holds part of a file that cannot be read whole.
            connection.SendMarker(kMarkerAbandon, sleeper);
            return kReasonSendFailed;
        }
        const bool more = i < settings.FwCount - 1;
        if (!connection.SendMarker(more ? kMarkerMoreFiles : kMarkerLastFile, sleeper)) return kReasonSendFailed;
    }
    return kAllSent;
}

std::wstring Quoted(const std::wstring& text) { return L"\"" + text + L"\""; }

// An entry file that the wizard's readiness rule refuses for being empty: 0
// bytes and no "FileSize" (a package without entries keeps its outcome).
std::optional<std::wstring> FindEmptyEntryFile(const PackageSettings& settings, FileOpener& files) {
    PackageTable rows;
    const PackageLoadResult loaded = LoadPackage(settings, files, rows);
    for (const PackageProblem& problem : loaded.problems)
        if (problem.kind == PackageProblem::kEmptyFile) return problem.path;
    return std::nullopt;
}

}  // namespace

std::vector<std::wstring> ChosenFiles(const PackageSettings& settings, const EntryFileChoice& choice) {
    std::vector<std::wstring> paths;
    for (int i = 0; i < settings.FwCount && i < kMaxFirmwareEntries; ++i)
        if (const std::optional<std::wstring> path = choice.FileOf(i)) paths.push_back(*path);
    return paths;
}

std::optional<std::wstring> PlainEntryFiles::FileOf(int entryIndex) const { return EntryFilePath(settings_, entryIndex); }

void PlainEntryFiles::PinFiles(PinnedFiles& pins) const { PinEntryFiles(settings_, pins); }

PrinterEntryFiles::PrinterEntryFiles(const PackageSettings& settings, FileOpener& files) : settings_(settings) {
    LoadPackage(settings, files, rows_);
}

bool PrinterEntryFiles::NeedsVariantCode() const {
    for (int j = 0; j < rows_.Count(); ++j)
        if (rows_.At(j).entry && rows_.At(j).entry->IsVariantFirmware()) return true;
    return false;
}

std::optional<std::wstring> PrinterEntryFiles::FileOf(int entryIndex) const {
    // Past the entries read there is nothing to send; the package is
    // refused before this is asked.
    if (entryIndex >= rows_.Count()) return std::nullopt;
    return ChooseEntryFile(settings_, rows_, entryIndex, variantCode_.c_str());
}

void PrinterEntryFiles::PinFiles(PinnedFiles& pins) const {
    PinPrinterFiles(settings_, rows_, variantCode_.c_str(), pins);
}

std::optional<UpdateRefusal> RefuseBeforeConnecting(const PackageSettings& settings, PinnedFiles& pinned,
                                                    const EntryFileChoice& choice, UpdateRoad road,
                                                    const std::wstring& target) {
    // Without its description the package grants no printer: the status
    // check would refuse it, but for a reason that is not the printer's.
    if (!pinned.OpenForReading(settings.ConfigPath, FileSharing::ReadWrite))
        return UpdateRefusal{kReasonNotGranted, L"the package description " + Quoted(settings.ConfigPath) +
                                                    L" is missing"};
    if (settings.FwCount > kMaxFirmwareEntries)
        return UpdateRefusal{kReasonFileNotOpened, L"the package has more than " +
                                                       std::to_wstring(kMaxFirmwareEntries) + L" firmware entries"};
    // The library would get the name with '?' for what the code page lacks,
    // and find no printer of that name, or another one.
    if (road == UpdateRoad::kUsb && !FitsSystemCodePage(target))
        return UpdateRefusal{kReasonNoConnection, L"the printer name " + Quoted(target) +
                                                      L" cannot be passed to the maker's library on this system "
                                                      L"(it holds characters that the system's code page lacks)"};
    if (const auto empty = FindEmptyEntryFile(settings, pinned))
        return UpdateRefusal{kReasonFileNotOpened, L"the firmware file " + Quoted(*empty) + L" is empty"};
    choice.PinFiles(pinned);
    if (const auto mismatch = pinned.FindMismatch(FileSharing::ReadWrite)) {
        // A stop while the files are hashed fails their reads: that is the
        // stop, not a file that differs from its pin.
        if (pinned.StopRequested())
            return UpdateRefusal{kReasonSendFailed, L"stopped while the pinned files were checked"};
        return UpdateRefusal{kReasonFileNotOpened,
                             L"the firmware file " + Quoted(*mismatch) + L" does not match its pin"};
    }
    return std::nullopt;
}

int UpdateViaUsb(const PackageSettings& settings, DeviceLibraries& libraries, FileOpener& files,
                 const std::wstring& printerName, CallerNotices* caller, PowerRequests& power) {
    return UpdateViaUsb(settings, libraries, files, PlainEntryFiles(settings), printerName, caller, power);
}

int UpdateViaUsb(const PackageSettings& settings, DeviceLibraries& libraries, FileOpener& files,
                 const EntryFileChoice& choice, const std::wstring& printerName, CallerNotices* caller,
                 PowerRequests& power) {
    const KeepAwake awake(power);
    Notices notices(caller);
    PinnedFiles pinned(files);
    if (const auto refusal = RefuseBeforeConnecting(settings, pinned, choice, UpdateRoad::kUsb, printerName))
        return notices.Refuse(*refusal);
    return notices.Finish(SendOverUsb(settings, libraries, pinned, choice, printerName, notices));
}

int UpdateViaNetwork(const PackageSettings& settings, DeviceLibraries& libraries, FileOpener& files,
                     const std::wstring& address, CallerNotices* caller, PowerRequests& power) {
    PlatformSleeper sleeper;
    return UpdateViaNetwork(settings, libraries, files, sleeper, address, caller, power);
}

int UpdateViaNetwork(const PackageSettings& settings, DeviceLibraries& libraries, FileOpener& files, Sleeper& sleeper,
                     const std::wstring& address, CallerNotices* caller, PowerRequests& power) {
    return UpdateViaNetwork(settings, libraries, files, sleeper, PlainEntryFiles(settings), address, caller, power);
}

int UpdateViaNetwork(const PackageSettings& settings, DeviceLibraries& libraries, FileOpener& files, Sleeper& sleeper,
                     const EntryFileChoice& choice, const std::wstring& address, CallerNotices* caller,
                     PowerRequests& power) {
    const KeepAwake awake(power);
    Notices notices(caller);
    PinnedFiles pinned(files);
    if (const auto refusal = RefuseBeforeConnecting(settings, pinned, choice, UpdateRoad::kNetwork, address))
        return notices.Refuse(*refusal);
    return notices.Finish(SendOverNetwork(settings, libraries, pinned, sleeper, choice, address, notices));
}
