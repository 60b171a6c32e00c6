// The support log of one run: what the run did, line by line with times,
// in a file of its own under the history's "logs" folder; the last
// kKeptRunLogs runs are kept. The lines are what an operator sends to
// support, so callers never give it a secret. Naming and pruning are
// portable; the file is a seam (base/update_history_win32.cpp).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

inline constexpr std::size_t kKeptRunLogs = 40;
inline constexpr wchar_t kRunLogFolderName[] = L"logs";

class RunLog {
public:
    virtual ~RunLog() = default;
    // One line; the log stamps it with the time.
    virtual void Line(std::string_view text) = 0;
};

// Writes nothing: a run without a log file.
class NoRunLog final : public RunLog {
public:
    void Line(std::string_view) override {}
};

// "2026-12-11T07:15:00.123Z <text>\n"; line breaks inside the text become spaces.
std::string FormatRunLogLine(std::int64_t utcMs, std::string_view text);
// "run-20261211-071500-123-4242.log": names sort by the time of their run.
// A batch's child for one printer ends its name in "-batch-printer.log".
std::wstring RunLogFileName(std::int64_t utcMs, unsigned processId, bool batchPrinter = false);
inline constexpr wchar_t kBatchPrinterLogSuffix[] = L"-batch-printer.log";
// The log files among `names` to delete so that, with the run about to
// start, at most `keep` runs remain: the oldest first. A batch and the logs
// of its children count as one run: a child's log goes with the runs older
// than the oldest run kept, never while its batch is kept. Only a run that a
// user started prunes (a batch's child never does, so that a batch of
// hundreds keeps its own children's logs). Other files are left alone.
std::vector<std::wstring> RunLogsToPrune(std::vector<std::wstring> names, std::size_t keep = kKeptRunLogs);
