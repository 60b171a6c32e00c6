#include "transfer/update_record.h"

std::optional<std::wstring> WriteUpdateRecord(UpdateHistory& history, HistoryRecord record,
                                              const PackageSettings& settings, FileOpener& files,
                                              const std::vector<std::wstring>& filePaths) {
    record.model = settings.ModelName;
    record.module = settings.ModuleName;
    record.packageFolder = settings.ModuleDir;
    record.configSha256 = FileSha256(files, settings.ConfigPath);
    record.signer = history.PackageSigner();
    record.files = DescribeFilesSent(files, filePaths);
    if (!record.log) record.log = history.RunLogPath();
    std::wstring why;
    if (history.Record(record, why)) return std::nullopt;
    return why.empty() ? std::wstring(L"the history file could not be written") : why;
}

UpdateRecording::UpdateRecording(UpdateHistory* history, std::string mode, std::string port, std::wstring target)
    : history_(history) {
    record_.mode = std::move(mode);
    record_.port = std::move(port);
    record_.target = std::move(target);
    if (!history_) return;
    record_.startMs = history_->Time().NowUtcMs();
    startMonotonicMs_ = history_->Time().MonotonicMs();
}

std::optional<std::wstring> UpdateRecording::Finish(const PackageSettings& settings, FileOpener& files,
                                                    const std::vector<std::wstring>& filePaths) {
    if (!history_) return std::nullopt;
    record_.endMs = history_->Time().NowUtcMs();
    record_.elapsedMs = history_->Time().MonotonicMs() - startMonotonicMs_;
    return WriteUpdateRecord(*history_, record_, settings, files, filePaths);
}
