#include "app/batch_result.h"

namespace {

std::string PrinterJson(const BatchPrinterResult& result) {
    std::string out = "    {\"target\": " + JsonString(result.printer.target);
    out += ", \"port\": ";
    out += result.printer.road == BatchRoad::kUsb ? "\"usb\"" : "\"net\"";
    out += ",\n     \"outcome\": \"";
    out += OutcomeName(result.outcome);
    out += "\", \"reason\": " + std::to_string(result.reason);
    out += ", \"problem\": " + (result.problem.empty() ? std::string("null") : JsonString(result.problem));
    out += ",\n     \"start\": " + JsonOptionalTime(result.startMs) + ", \"end\": " + JsonOptionalTime(result.endMs);
    out += ", \"seconds\": " + JsonSeconds(result.elapsedMs);
    out += ",\n     \"firmwareBefore\": " + JsonOptionalString(result.firmwareBefore);
    out += ", \"firmwareAfter\": " + JsonOptionalString(result.firmwareAfter);
    out += ", \"ready\": ";
    out += !result.ready ? "null" : *result.ready ? "true" : "false";
    out += ",\n     \"log\": " + JsonOptionalString(result.log) + "}";
    return out;
}

}  // namespace

const char* OutcomeName(BatchOutcome outcome) {
    switch (outcome) {
    case BatchOutcome::kRestarting: return "restarting";
    case BatchOutcome::kUpdated: return "updated";
    case BatchOutcome::kFailed: return "failed";
    default: return "not-started";
    }
}

std::string FormatBatchResult(const BatchReport& report) {
    std::string out = "{\n  \"package\": {\"model\": " + JsonString(report.package.model) +
                      ", \"module\": " + JsonString(report.package.module) + ", \"entries\": [";
    for (std::size_t i = 0; i < report.package.entries.size(); ++i) {
        const BatchPackageEntry& entry = report.package.entries[i];
        out += i ? ",\n    " : "\n    ";
        out += "{\"file\": " + JsonString(entry.file) + ", \"version\": " + JsonString(entry.version) + "}";
    }
    out += report.package.entries.empty() ? "]},\n" : "\n  ]},\n";
    out += "  \"settings\": {\"parallel\": " + std::to_string(report.parallel) +
           ", \"wait\": " + std::to_string(report.waitSeconds) + "},\n";
    if (report.listError) {
        out += "  \"listError\": {\"line\": " + std::to_string(report.listError->line) +
               ", \"text\": " + JsonString(report.listError->text) +
               ", \"problem\": " + JsonString(report.listError->problem) + "},\n";
    }
    out += "  \"printers\": [";
    for (std::size_t i = 0; i < report.printers.size(); ++i) {
        out += i ? ",\n" : "\n";
        out += PrinterJson(report.printers[i]);
    }
    out += report.printers.empty() ? "]\n}\n" : "\n  ]\n}\n";
    return out;
}

std::wstring BatchPrinterLine(const BatchPrinterResult& result) {
    std::wstring line = (result.printer.road == BatchRoad::kUsb ? L"usb " : L"net ") + result.printer.target + L": ";
    switch (result.outcome) {
    case BatchOutcome::kNotStarted: return line + L"not started";
    case BatchOutcome::kRestarting: return line + L"sent, restarting";
    case BatchOutcome::kFailed:
        line += L"failed: reason " + std::to_wstring(result.reason);
        return result.problem.empty() ? line : line + L" (" + result.problem + L")";
    default: break;
    }
    line += L"updated, firmware " + result.firmwareBefore.value_or(L"?") + L" -> " +
            result.firmwareAfter.value_or(L"?");
    if (!result.ready) return line + L", ready state not verified";
    return line + (*result.ready ? L", ready" : L", not back within the wait");
}

bool ReplaceResultFile(ResultFileReplacer& file, Sleeper& sleeper, const std::wstring& path, std::string_view bytes) {
    for (int waited = 0;; waited += kResultRetryPauseMs) {
        if (file.Replace(path, bytes)) return true;
        if (waited >= kResultRetryMs) return false;
        sleeper.SleepMs(kResultRetryPauseMs);
    }
}
