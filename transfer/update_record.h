// One update's record in the history, as every mode writes it: the times
// taken around the update, the package and the files it sends, then one
// line. A record that cannot be written never changes the update's outcome:
// the caller hears why, to tell its user.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "base/files.h"
#include "base/update_history.h"
#include "package/package_settings.h"

// Fills in the package (with its signer as the history knows it), the files (their sizes and digests, read now) and,
// unless the record names another, the run's log, and appends the line. Nothing when it was written (or
// there is no history), else why not.
std::optional<std::wstring> WriteUpdateRecord(UpdateHistory& history, HistoryRecord record,
                                              const PackageSettings& settings, FileOpener& files,
                                              const std::vector<std::wstring>& filePaths);

// The times of one update, from its start to its record. Without a history
// it does nothing.
class UpdateRecording {
public:
    UpdateRecording(UpdateHistory* history, std::string mode, std::string port, std::wstring target);

    HistoryRecord& Record() { return record_; }
    // Stamps the end and writes the record; nothing, or why it was not written.
    std::optional<std::wstring> Finish(const PackageSettings& settings, FileOpener& files,
                                       const std::vector<std::wstring>& filePaths);

private:
    UpdateHistory* history_;
    HistoryRecord record_;
    std::int64_t startMonotonicMs_ = 0;
};
