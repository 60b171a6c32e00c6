#include "base/run_log.h"

#include <algorithm>
#include <cstdio>

#include "base/json_text.h"

namespace {

bool IsRunLogName(const std::wstring& name) {
    return name.size() > 8 && name.compare(0, 4, L"run-") == 0 && name.compare(name.size() - 4, 4, L".log") == 0;
}

}  // namespace

std::string FormatRunLogLine(std::int64_t utcMs, std::string_view text) {
    std::string line = IsoUtcTime(utcMs);
    line += ' ';
    for (const char c : text) line += c == '\n' || c == '\r' ? ' ' : c;
    line += '\n';
    return line;
}

std::wstring RunLogFileName(std::int64_t utcMs, unsigned processId) {
    // "2026-12-11T07:15:00.123Z" -> "20261211-071500-123".
    const std::string time = IsoUtcTime(utcMs);
    std::wstring name = L"run-";
    for (std::size_t i = 0; i < time.size() && time[i] != 'Z'; ++i) {
        const char c = time[i];
        if (c >= '0' && c <= '9') name += static_cast<wchar_t>(c);
        else if (c == 'T' || c == '.') name += L'-';
    }
    return name + L"-" + std::to_wstring(processId) + L".log";
}

std::vector<std::wstring> RunLogsToPrune(std::vector<std::wstring> names, std::size_t keep) {
    names.erase(std::remove_if(names.begin(), names.end(), [](const std::wstring& n) { return !IsRunLogName(n); }),
                names.end());
    std::sort(names.begin(), names.end());
    const std::size_t room = keep > 0 ? keep - 1 : 0;
    if (names.size() <= room) return {};
    names.resize(names.size() - room);
    return names;
}
