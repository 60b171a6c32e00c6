#include "base/run_log.h"

#include <algorithm>
#include <cstdio>

#include "base/json_text.h"

namespace {

bool EndsWith(const std::wstring& text, const std::wstring& end) {
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

bool IsRunLogName(const std::wstring& name) {
    return name.size() > 8 && name.compare(0, 4, L"run-") == 0 && EndsWith(name, L".log");
}

}  // namespace

std::string FormatRunLogLine(std::int64_t utcMs, std::string_view text) {
    std::string line = IsoUtcTime(utcMs);
    line += ' ';
    for (const char c : text) line += c == '\n' || c == '\r' ? ' ' : c;
    line += '\n';
    return line;
}

std::wstring RunLogFileName(std::int64_t utcMs, unsigned processId, bool batchPrinter) {
    // "2026-12-11T07:15:00.123Z" -> "20261211-071500-123".
    const std::string time = IsoUtcTime(utcMs);
    std::wstring name = L"run-";
    for (std::size_t i = 0; i < time.size() && time[i] != 'Z'; ++i) {
        const char c = time[i];
        if (c >= '0' && c <= '9') name += static_cast<wchar_t>(c);
        else if (c == 'T' || c == '.') name += L'-';
    }
    return name + L"-" + std::to_wstring(processId) + (batchPrinter ? kBatchPrinterLogSuffix : L".log");
}

std::vector<std::wstring> RunLogsToPrune(std::vector<std::wstring> names, std::size_t keep) {
    names.erase(std::remove_if(names.begin(), names.end(), [](const std::wstring& n) { return !IsRunLogName(n); }),
                names.end());
    std::sort(names.begin(), names.end());
    std::vector<std::wstring> runs;
    for (const std::wstring& name : names)
        if (!EndsWith(name, kBatchPrinterLogSuffix)) runs.push_back(name);
    const std::size_t room = keep > 0 ? keep - 1 : 0;
    if (runs.size() <= room) return {};
    // Names sort by time: everything before the oldest run kept goes.
    if (room == 0) return names;
    const std::wstring& oldestKept = runs[runs.size() - room];
    names.erase(std::lower_bound(names.begin(), names.end(), oldestKept), names.end());
    return names;
}
