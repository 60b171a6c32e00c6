// The history's and the support logs' files on Windows: the user's folder
// for them, the history file under a named mutex, and one run's log file.
// Windows only.
#pragma once

#include <windows.h>

#include <mutex>
#include <optional>
#include <string>

#include "base/kernel_handle_win32.h"
#include "base/run_log.h"
#include "base/sleeper.h"
#include "base/update_history.h"

// "<local application data>\Tessaro\TessaroFWDL", created when missing;
// nothing, and why, when it cannot be had.
std::optional<std::wstring> UserHistoryFolder(std::wstring& why);

// The history files of one folder. Every process that appends to it takes
// the same session-local mutex, named after the folder's path.
class FolderHistoryStorage final : public HistoryStorage {
public:
    explicit FolderHistoryStorage(std::wstring folder);

    bool Lock(std::wstring& why) override;
    void Unlock() override;
    std::optional<std::int64_t> Size(const std::wstring& name) override;
    std::optional<char> LastByte(const std::wstring& name) override;
    bool Rotate(const std::wstring& from, const std::wstring& to) override;
    bool Append(const std::wstring& name, std::string_view bytes, std::wstring& why) override;

private:
    std::wstring Path(const std::wstring& name) const { return folder_ + L"\\" + name; }

    std::wstring folder_;
    KernelHandle mutex_;
};

// One run's support log in "<folder>\logs", made at Open after the oldest
// logs beyond the kept number are deleted. Lines may come from several
// threads (the wizard's interface thread and its transfer worker).
class FileRunLog final : public RunLog {
public:
    explicit FileRunLog(Clock& clock) : clock_(clock) {}
    // False, and why, when the log file could not be made; the run goes on
    // without it. A batch's child for one printer keeps the logs as they are.
    bool Open(const std::wstring& historyFolder, bool batchPrinter, std::wstring& why);
    void Line(std::string_view text) override;
    // The file's path; empty while none is open.
    const std::wstring& Path() const { return path_; }

private:
    Clock& clock_;
    std::mutex lock_;
    KernelHandle file_;
    std::wstring path_;
};

// The newest support log in `logFolder` of the batch's child `processId`;
// nothing when there is none.
std::optional<std::wstring> FindRunLogOfProcess(const std::wstring& logFolder, unsigned long processId);

// Why a call failed, from the system's message for the last error.
std::wstring LastErrorText();
