#include "app/batch_result.h"

#include "base/text.h"

namespace {

const char* PinName(PreviewFile::Pin pin) {
    switch (pin) {
    case PreviewFile::Pin::kMatches: return "matches";
    case PreviewFile::Pin::kDiffers: return "differs";
    case PreviewFile::Pin::kUnreadable: return "unreadable";
    default: return "unpinned";
    }
}

std::string JsonOptionalBool(const std::optional<bool>& value) { return !value ? "null" : *value ? "true" : "false"; }

std::string PreviewJson(const PrinterPreview& preview) {
    std::string out = "{\"status\": " + JsonOptionalString(preview.status) + ", \"granted\": " +
                      JsonOptionalBool(preview.granted) + ", \"variantCode\": " +
                      JsonOptionalString(preview.variantCode) + ", \"files\": [";
    for (std::size_t i = 0; i < preview.files.size(); ++i) {
        out += i ? ", " : "";
        out += "{\"file\": " + JsonString(preview.files[i].file) + ", \"pin\": \"" + PinName(preview.files[i].pin) +
               "\"}";
    }
    return out + "]}";
}

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
    out += ", \"ready\": " + JsonOptionalBool(result.ready);
    out += ",\n     \"log\": " + JsonOptionalString(result.log);
    if (result.preview) out += ",\n     \"check\": " + PreviewJson(*result.preview);
    out += "}";
    return out;
}

}  // namespace

const char* OutcomeName(BatchOutcome outcome) {
    switch (outcome) {
    case BatchOutcome::kRestarting: return "restarting";
    case BatchOutcome::kUpdated: return "updated";
    case BatchOutcome::kFailed: return "failed";
    case BatchOutcome::kCurrent: return "current";
    case BatchOutcome::kWouldUpdate: return "would-update";
    case BatchOutcome::kNotGranted: return "not-granted";
    case BatchOutcome::kUnreachable: return "unreachable";
    case BatchOutcome::kRefused: return "refused";
    default: return "not-started";
    }
}

namespace {

std::string SignatureJson(const std::optional<BatchSignature>& signature) {
    if (!signature) return "null";
    if (!signature->problem.empty())
        return "{\"signer\": null, \"keyId\": null, \"sequence\": null, \"signedAt\": null, \"problem\": " +
               JsonString(signature->problem) + "}";
    return "{\"signer\": " + JsonString(signature->signer) + ", \"keyId\": " + JsonString(FromEightBit(signature->keyId)) +
           ", \"sequence\": " + std::to_string(signature->sequence) +
           ", \"signedAt\": " + JsonString(FromEightBit(signature->signedAt)) + ", \"problem\": null}";
}

}  // namespace

std::string FormatBatchResult(const BatchReport& report) {
    std::string out = "{\n  \"package\": {\"model\": " + JsonString(report.package.model) +
                      ", \"module\": " + JsonString(report.package.module) + ", \"entries\": [";
    for (std::size_t i = 0; i < report.package.entries.size(); ++i) {
        const BatchPackageEntry& entry = report.package.entries[i];
        out += i ? ",\n    " : "\n    ";
        out += "{\"file\": " + JsonString(entry.file) + ", \"version\": " + JsonString(entry.version) + "}";
    }
    out += report.package.entries.empty() ? "]},\n" : "\n  ]},\n";
    out += "  \"signature\": " + SignatureJson(report.signature) + ",\n";
    out += "  \"settings\": {\"parallel\": " + std::to_string(report.parallel) +
           ", \"wait\": " + std::to_string(report.waitSeconds);
    // Named only when given, so that the record of a plain batch stays as it was.
    if (!report.reportedFirmware.empty()) out += ", \"reportedFirmware\": " + JsonString(report.reportedFirmware);
    if (report.reinstall) out += ", \"reinstall\": true";
    if (report.dryRun) out += ", \"check\": true";
    out += "},\n";
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
    const auto withProblem = [&](std::wstring text) {
        return result.problem.empty() ? text : text + L" (" + result.problem + L")";
    };
    const std::wstring firmware = L"firmware " + result.firmwareBefore.value_or(L"?");
    switch (result.outcome) {
    case BatchOutcome::kNotStarted: return line + L"not started";
    case BatchOutcome::kRestarting: return line + L"sent, restarting";
    case BatchOutcome::kFailed: return withProblem(line + L"failed: reason " + std::to_wstring(result.reason));
    case BatchOutcome::kCurrent: return line + L"current, " + firmware;
    case BatchOutcome::kWouldUpdate: {
        line += L"would update, " + firmware + L", files";
        if (result.preview)
            for (const PreviewFile& file : result.preview->files) line += L" " + file.file;
        return line;
    }
    case BatchOutcome::kNotGranted: return withProblem(line + L"not granted");
    case BatchOutcome::kUnreachable: return withProblem(line + L"unreachable");
    case BatchOutcome::kRefused: return withProblem(line + L"refused");
    default: break;
    }
    line += L"updated, firmware " + result.firmwareBefore.value_or(L"?") + L" -> " +
            result.firmwareAfter.value_or(L"?");
    if (!result.ready) line += L", ready state not verified";
    else line += *result.ready ? L", ready" : L", not back within the wait";
    return withProblem(line);
}

bool ReplaceResultFile(ResultFileReplacer& file, Sleeper& sleeper, const std::wstring& path, std::string_view bytes) {
    for (int waited = 0;; waited += kResultRetryPauseMs) {
        if (file.Replace(path, bytes)) return true;
        if (waited >= kResultRetryMs) return false;
        sleeper.SleepMs(kResultRetryPauseMs);
    }
}
