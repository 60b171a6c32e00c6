// The firmware stream as a printer takes it: each file in chunks of 4096
// bytes, then a 4-byte end marker; the raw port and connection settings of a
// network printer. The silent command-line update and both transfer jobs
// send through this one module, so the printers always see the same stream.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/files.h"
#include "base/sleeper.h"
#include "device/library_table.h"

inline constexpr int kChunkBytes = 4096;

// End markers, sent as 4 little-endian bytes right after each file.
inline constexpr std::uint32_t kMarkerMoreFiles = 0xAA5555AAu;  // another file follows
inline constexpr std::uint32_t kMarkerLastFile = 0x00000000u;   // the image is complete
inline constexpr std::uint32_t kMarkerAbandon = 0xFFFFFFFFu;    // drop what this update sent
inline constexpr int kMarkerBytes = 4;

std::array<unsigned char, kMarkerBytes> MarkerBytes(std::uint32_t marker);

// A network printer: its raw print port unless the library names another,
// the connect timeout in the library's unit, and the community a printer
// answers to out of the box.
inline constexpr int kRawPrintPort = 9100;
inline constexpr int kConnectTimeout = 300000;
inline constexpr char kDefaultCommunity[] = "meadow";

// A marker write that takes nothing is tried again after a short pause;
// only when the printer has taken none of it for this long is it given up.
// A send buffer that is full for a moment must not fail the update.
inline constexpr int kMarkerIdlePauseMs = 25;
inline constexpr int kMarkerIdleLimitMs = 2000;

// ---------------------------------------------------------------------------
// The files of a package as one printer gets them, every one opened before
// the first byte goes out: a package that cannot be sent whole is refused
// before the printer has anything to throw away. Each file keeps the size it
// had when opened; the stream must yield exactly that many bytes.
class EntryFiles {
public:
    enum class Problem {
        kNone,
        kNoFile,     // the entry has no file for this printer (a per-variant file without a variant code)
        kNotOpened,  // the file cannot be opened, or its size cannot be told
    };

    // Opens the file of entries 0..count-1, pathOf(j) -> std::optional<std::wstring>
    // naming it, and stops at the first that cannot be used (all are closed then).
    template <typename PathOf>
    Problem OpenAll(int count, FileOpener& files, FileSharing sharing, PathOf&& pathOf) {
        entries_.clear();
        failedEntry_ = -1;
        failedPath_.clear();
        for (int j = 0; j < count; ++j) {
            std::optional<std::wstring> path = pathOf(j);
            if (!path) return Fail(j, L"", Problem::kNoFile);
            std::unique_ptr<InputFile> file = files.OpenForReading(*path, sharing);
            const std::int64_t size = file ? file->Size() : -1;
            if (!file || size < 0) return Fail(j, *path, Problem::kNotOpened);
            entries_.push_back({std::move(*path), std::move(file), size});
        }
        return Problem::kNone;
    }

    int FailedEntry() const { return failedEntry_; }
    const std::wstring& FailedPath() const { return failedPath_; }

    const std::wstring& Path(int j) const { return entries_.at(static_cast<std::size_t>(j)).path; }
    std::int64_t Size(int j) const { return entries_.at(static_cast<std::size_t>(j)).size; }
    // Entry j's file; it stays open until Close(j) or the end of this object.
    InputFile& File(int j) { return *entries_.at(static_cast<std::size_t>(j)).file; }
    void Close(int j) { entries_.at(static_cast<std::size_t>(j)).file.reset(); }

private:
    struct Entry {
        std::wstring path;
        std::unique_ptr<InputFile> file;
        std::int64_t size;
    };

    Problem Fail(int j, std::wstring path, Problem problem) {
        entries_.clear();
        failedEntry_ = j;
        failedPath_ = std::move(path);
        return problem;
    }

    std::vector<Entry> entries_;
    int failedEntry_ = -1;
    std::wstring failedPath_;
};

// ---------------------------------------------------------------------------
enum class StreamResult {
    kSent,        // every byte of the file went out
    kSendFailed,  // the printer did not take a chunk
    kReadFailed,  // the file did not yield exactly its size: a read error, or it changed while sent
};

// Sends a file of `size` bytes (its size when opened) in chunks through
// `buffer` (kChunkBytes): send(bytes, count) -> bool says whether the
// printer took the chunk, sent(count) follows each chunk taken. Reading goes
// on while a read fills a whole chunk, so a file whose size is a multiple
// of the chunk ends with a send of 0 bytes, as printers expect. A read that
// fails, ends early or runs past the size sends nothing of that chunk.
template <typename Send, typename Sent>
StreamResult StreamFile(InputFile& file, std::int64_t size, unsigned char* buffer, Send&& send, Sent&& sent) {
    std::int64_t fileBytes = 0;
    int count = 0;
    do {
        count = file.Read(buffer, kChunkBytes);
        if (count < 0 || count > kChunkBytes) return StreamResult::kReadFailed;
        const std::int64_t after = fileBytes + count;
        if (after > size || (count < kChunkBytes && after != size)) return StreamResult::kReadFailed;
        if (!send(static_cast<const unsigned char*>(buffer), count)) return StreamResult::kSendFailed;
        fileBytes = after;
        sent(count);
    } while (count == kChunkBytes);
    return StreamResult::kSent;
}

// Sends a marker over a connection that may take fewer bytes than given:
// write(bytes, count) -> int returns the bytes taken, negative on failure.
// The bytes not yet taken are written again until none remain; a write that
// takes nothing is followed by a pause, and the marker is given up after
// kMarkerIdleLimitMs without progress. A write that reports more bytes than
// it was given has failed: what the printer took is then unknown.
template <typename Write>
bool WriteMarker(std::uint32_t marker, Sleeper& sleeper, Write&& write) {
    const std::array<unsigned char, kMarkerBytes> bytes = MarkerBytes(marker);
    int sent = 0;
    int idleMs = 0;
    while (sent < kMarkerBytes) {
        const int result = write(bytes.data() + sent, kMarkerBytes - sent);
        if (result < 0 || result > kMarkerBytes - sent) return false;
        if (result == 0) {
            if (idleMs >= kMarkerIdleLimitMs) return false;
            sleeper.SleepMs(kMarkerIdlePauseMs);
            idleMs += kMarkerIdlePauseMs;
            continue;
        }
        idleMs = 0;
        sent += result;
    }
    return true;
}

// ---------------------------------------------------------------------------
// One connection to a network printer's raw port, closed once (at the latest
// when the object goes).
class RawPortConnection {
public:
    RawPortConnection(DeviceLibraries& libraries, NetHandle handle) : libraries_(libraries), handle_(handle) {}
    ~RawPortConnection() { Close(); }
    RawPortConnection(const RawPortConnection&) = delete;
    RawPortConnection& operator=(const RawPortConnection&) = delete;

    bool IsOpen() const { return handle_ != kNoNetHandle; }
    // Whether the printer took all `count` bytes.
    bool Send(const void* bytes, int count) { return libraries_.NetworkWrite(handle_, bytes, count) == count; }
    // The marker, written as WriteMarker says.
    bool SendMarker(std::uint32_t marker, Sleeper& sleeper) {
        return WriteMarker(marker, sleeper, [this](const void* bytes, int count) {
            return libraries_.NetworkWrite(handle_, bytes, count);
        });
    }
    void Close() {
        if (handle_ != kNoNetHandle) libraries_.NetworkClose(handle_);
        handle_ = kNoNetHandle;
    }

private:
    DeviceLibraries& libraries_;
    NetHandle handle_;
};
