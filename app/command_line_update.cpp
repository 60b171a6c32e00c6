#include "app/command_line_update.h"

#include <algorithm>
#include <cstdint>
#include <cwchar>
#include <memory>
#include <vector>

#include "base/text.h"
#include "package/config.h"
#include "package/package_model.h"
#include "package/package_pins.h"

namespace {

constexpr int kChunkBytes = 4096;
constexpr int kRawPrintPort = 9100;  // the library's raw-port query is not asked here
constexpr int kConnectTimeout = 300000;
constexpr char kDefaultCommunity[] = "meadow";
constexpr int kStatusReadMode = 3;
constexpr std::size_t kAddressBytes = 128;

constexpr std::uint32_t kMoreFilesMarker = 0xAA5555AA;
constexpr std::uint32_t kLastFileMarker = 0;
constexpr int kMarkerBytes = 4;
// A library that keeps taking 0 bytes of the marker would hold the caller
// forever; after this many such writes in a row the send counts as failed.
constexpr int kMaxIdleMarkerWrites = 16;

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

// Streams one file through one buffer. `write` gets each chunk and says
// whether the printer took all of it. A file whose size is a multiple of the
// chunk ends with a write of 0 bytes, as the printer expects.
template <typename Write>
bool SendFileChunks(InputFile& file, std::vector<unsigned char>& buffer, int index, int entryCount, Notices& notices,
                    Write write) {
    const std::int64_t size = file.Size();
    std::int64_t sent = 0;
    int count = 0;
    do {
        count = std::clamp(file.Read(buffer.data(), kChunkBytes), 0, kChunkBytes);
        if (!write(buffer.data(), count)) return false;
        sent += count;
        notices.Progress(PackagePercent(index, entryCount, sent, size));
    } while (count == kChunkBytes);
    return true;
}

void MarkerBytes(std::uint32_t marker, unsigned char (&bytes)[kMarkerBytes]) {
    for (int k = 0; k < kMarkerBytes; ++k) bytes[k] = static_cast<unsigned char>(marker >> (8 * k));
}

class UsbConnection {
public:
    UsbConnection(DeviceLibraries& libraries, void* handle) : libraries_(libraries), handle_(handle) {}
    ~UsbConnection() { libraries_.USBDisconnect(handle_); }
    UsbConnection(const UsbConnection&) = delete;
    UsbConnection& operator=(const UsbConnection&) = delete;

    bool Write(const void* bytes, int count) { return libraries_.USBWrite(handle_, bytes, count) == count; }

private:
    DeviceLibraries& libraries_;
    void* handle_;
};

class NetworkConnection {
public:
    NetworkConnection(DeviceLibraries& libraries, NetHandle handle) : libraries_(libraries), handle_(handle) {}
    ~NetworkConnection() { libraries_.NetworkClose(handle_); }
    NetworkConnection(const NetworkConnection&) = delete;
    NetworkConnection& operator=(const NetworkConnection&) = delete;

    bool Write(const void* bytes, int count) { return libraries_.NetworkWrite(handle_, bytes, count) == count; }

    // The marker may go out in pieces: the bytes not yet taken are written
    // again until none remain, a write fails, or the printer stops taking any.
    bool WriteMarker(std::uint32_t marker) {
        unsigned char bytes[kMarkerBytes];
        MarkerBytes(marker, bytes);
        int sent = 0;
        int idleWrites = 0;
        while (sent < kMarkerBytes) {
            const int result = libraries_.NetworkWrite(handle_, bytes + sent, kMarkerBytes - sent);
            if (result < 0) return false;
            if (result == 0) {
                if (++idleWrites >= kMaxIdleMarkerWrites) return false;
                continue;
            }
            idleWrites = 0;
            sent += std::min(result, kMarkerBytes - sent);
        }
        return true;
    }

private:
    DeviceLibraries& libraries_;
    NetHandle handle_;
};

// Pins each entry's file to `pinned`, so that it is checked again while it
// streams, and hashes them all now: a file that does not match its pin
// cannot be used, and nothing has gone to the printer yet.
int CheckPinnedFiles(const PackageSettings& settings, PinnedFiles& pinned) {
    PinEntryFiles(settings, pinned);
    return pinned.FindMismatch(FileSharing::ReadWrite) ? kReasonFileNotOpened : kAllSent;
}

// Everything opened here is released when these return, so the final notice
// always comes after the file and the connection are closed.

int SendOverUsb(const PackageSettings& settings, DeviceLibraries& libraries, FileOpener& files,
                const std::wstring& printerName, Notices& notices) {
    void* handle = libraries.USBConnectByPrinterName(printerName.c_str());
    if (!handle) return kReasonNoConnection;
    UsbConnection connection(libraries, handle);

    PrinterStatusBlock status;
    if (!libraries.USBReadStatus(printerName.c_str(), &status) || !IsGranted(settings, status))
        return kReasonNotGranted;

    std::vector<unsigned char> buffer(kChunkBytes);
    for (int i = 0; i < settings.FwCount; ++i) {
        {
            std::unique_ptr<InputFile> file = files.OpenForReading(EntryFilePath(settings, i), FileSharing::ReadWrite);
            if (!file) return kReasonFileNotOpened;
            if (!SendFileChunks(*file, buffer, i, settings.FwCount, notices,
                                [&](const void* bytes, int count) { return connection.Write(bytes, count); }))
                return kReasonSendFailed;
        }
        // Over USB every file ends with the zero marker.
        unsigned char marker[kMarkerBytes];
        MarkerBytes(kLastFileMarker, marker);
        if (!connection.Write(marker, kMarkerBytes)) return kReasonSendFailed;
    }
    return kAllSent;
}

int SendOverNetwork(const PackageSettings& settings, DeviceLibraries& libraries, FileOpener& files,
                    const std::wstring& addressText, Notices& notices) {
    char address[kAddressBytes];
    CopyTruncated(ToEightBit(addressText), address, kAddressBytes);

    PrinterStatusBlock status;
    if (!libraries.NetworkReadStatusV3(address, kDefaultCommunity, kStatusReadMode, &status) ||
        !IsGranted(settings, status))
        return kReasonNotGranted;

    std::vector<unsigned char> buffer(kChunkBytes);
    for (int i = 0; i < settings.FwCount; ++i) {
        const NetHandle handle = libraries.NetworkConnectNonBlock(address, kRawPrintPort, kConnectTimeout);
        if (handle == kNoNetHandle) return kReasonNoConnection;
        NetworkConnection connection(libraries, handle);
        {
            std::unique_ptr<InputFile> file = files.OpenForReading(EntryFilePath(settings, i), FileSharing::ReadWrite);
            if (!file) return kReasonFileNotOpened;
            if (!SendFileChunks(*file, buffer, i, settings.FwCount, notices,
                                [&](const void* bytes, int count) { return connection.Write(bytes, count); }))
                return kReasonSendFailed;
        }
        const bool more = i < settings.FwCount - 1;
        if (!connection.WriteMarker(more ? kMoreFilesMarker : kLastFileMarker)) return kReasonSendFailed;
    }
    return kAllSent;
}

}  // namespace

int UpdateViaUsb(const PackageSettings& settings, DeviceLibraries& libraries, FileOpener& files,
                 const std::wstring& printerName, CallerNotices* caller) {
    Notices notices(caller);
    PinnedFiles pinned(files);
    if (const int damaged = CheckPinnedFiles(settings, pinned); damaged != kAllSent) return notices.Finish(damaged);
    return notices.Finish(SendOverUsb(settings, libraries, pinned, printerName, notices));
}

int UpdateViaNetwork(const PackageSettings& settings, DeviceLibraries& libraries, FileOpener& files,
                     const std::wstring& address, CallerNotices* caller) {
    Notices notices(caller);
    PinnedFiles pinned(files);
    if (const int damaged = CheckPinnedFiles(settings, pinned); damaged != kAllSent) return notices.Finish(damaged);
    return notices.Finish(SendOverNetwork(settings, libraries, pinned, address, notices));
}
