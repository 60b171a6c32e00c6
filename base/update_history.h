// The history of every update: one JSON object a line (UTF-8, LF-ended) in
// "history.jsonl" under the user's local application data folder, appended
// by every mode and by several processes at once. Formatting, the append
// rule and rotation are portable; the files, the lock and the folder are a
// seam (base/update_history_win32.cpp).
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/files.h"
#include "base/sleeper.h"

// Past this size the file moves to "history.1.jsonl" (replacing the older
// one) before the next line is appended.
inline constexpr std::int64_t kHistoryRotateBytes = 4 * 1024 * 1024;
inline constexpr wchar_t kHistoryFileName[] = L"history.jsonl";
inline constexpr wchar_t kOlderHistoryFileName[] = L"history.1.jsonl";

struct HistoryFileSent {
    std::wstring name;                   // file name, without its folder
    std::optional<std::int64_t> bytes;   // none when the file could not be read
    std::optional<std::string> sha256;   // 64 lower-case hex digits
};

struct HistoryRecord {
    std::int64_t startMs = 0, endMs = 0;     // UTC, milliseconds since 1970
    std::optional<std::int64_t> elapsedMs;   // on the monotonic clock
    std::string mode;                        // "wizard-usb", "wizard-network", "usb", "network", "batch-usb", ...
    // The printer: its address or spooler name, and what else is known.
    std::string port;                        // "usb" or "network"
    std::wstring target;
    std::optional<std::wstring> deviceName, serial;
    std::wstring model;
    // The package.
    std::wstring module;
    std::wstring packageFolder;
    std::optional<std::string> configSha256;
    std::optional<std::wstring> signer;      // who signed the package; none when it is not signed
    std::vector<HistoryFileSent> files;
    std::optional<std::wstring> firmwareBefore, firmwareAfter;  // none when not read
    std::string outcome;                     // "updated", "failed" or "cancelled"
    std::optional<int> code;                 // the silent update's reason code of a failure
    std::wstring reason;                     // what went wrong in words; empty on success
    std::optional<std::wstring> log;         // the run's support log
};

// One line, '\n' included. Texts are escaped so that no name breaks the line.
std::string FormatHistoryLine(const HistoryRecord& record);

// The size and SHA-256 of each file, read through `files`; the names keep
// only the part after the last separator.
std::vector<HistoryFileSent> DescribeFilesSent(FileOpener& files, const std::vector<std::wstring>& paths);
// The SHA-256 of one file; nothing when it cannot be read.
std::optional<std::string> FileSha256(FileOpener& files, const std::wstring& path);

// The files of a history folder, under a lock that every process appending
// to it takes (appends and rotation are done while it is held).
class HistoryStorage {
public:
    virtual ~HistoryStorage() = default;
    // Takes the lock, waiting a bounded time; false (and why) when it could
    // not be had.
    virtual bool Lock(std::wstring& why) = 0;
    virtual void Unlock() = 0;
    // Size in bytes; nothing when the file does not exist or cannot be read.
    virtual std::optional<std::int64_t> Size(const std::wstring& name) = 0;
    // The file's last byte; nothing when it is empty or cannot be read.
    virtual std::optional<char> LastByte(const std::wstring& name) = 0;
    // Moves `from` over `to`, replacing it.
    virtual bool Rotate(const std::wstring& from, const std::wstring& to) = 0;
    // Appends in one write at the end of the file, creating it when needed.
    virtual bool Append(const std::wstring& name, std::string_view bytes, std::wstring& why) = 0;
};

// Appends one line: a line is built whole before it is written, and written
// in one write; a file past the bound is rotated first; a file whose last
// line was cut (a power cut mid-write) gets a newline first, so that the
// damaged line never swallows this one. False, and why, when nothing was
// written.
bool AppendHistoryLine(HistoryStorage& storage, std::string_view line, std::wstring& why);

// Where the records of updates go. The history never stops or fails an
// update: Record says whether the line was written, and why not.
class UpdateHistory {
public:
    virtual ~UpdateHistory() = default;
    virtual Clock& Time() = 0;
    // The run's support log, named in each record; none when the run has none.
    virtual std::optional<std::wstring> RunLogPath() const { return std::nullopt; }
    // Who signed the package the run updates with; none when it is unsigned.
    virtual std::optional<std::wstring> PackageSigner() const { return std::nullopt; }
    virtual bool Record(const HistoryRecord& record, std::wstring& why) = 0;
};

// An UpdateHistory over a storage.
class StoredHistory final : public UpdateHistory {
public:
    StoredHistory(HistoryStorage& storage, Clock& clock, std::optional<std::wstring> logPath = std::nullopt)
        : storage_(storage), clock_(clock), logPath_(std::move(logPath)) {}
    Clock& Time() override { return clock_; }
    std::optional<std::wstring> RunLogPath() const override { return logPath_; }
    std::optional<std::wstring> PackageSigner() const override { return signer_; }
    // Known once the package's signature has been checked, after the history is opened.
    void SetPackageSigner(std::wstring signer) { signer_ = std::move(signer); }
    bool Record(const HistoryRecord& record, std::wstring& why) override {
        return AppendHistoryLine(storage_, FormatHistoryLine(record), why);
    }

private:
    HistoryStorage& storage_;
    Clock& clock_;
    std::optional<std::wstring> logPath_;
    std::optional<std::wstring> signer_;
};
