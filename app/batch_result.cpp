#include "app/batch_result.h"

#include <cstdio>

#include "base/text.h"

namespace {

void AppendUtf8(std::string& out, std::uint32_t code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

void AppendEscape(std::string& out, std::uint32_t unit) {
    char escape[8];
    std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(unit));
    out += escape;
}

bool IsHighSurrogate(std::uint32_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(std::uint32_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

std::string OptionalString(const std::optional<std::wstring>& text) { return text ? JsonString(*text) : "null"; }

std::string OptionalTime(const std::optional<std::int64_t>& ms) {
    if (!ms) return "null";
    std::string out(1, '"');
    out += IsoUtcTime(*ms);
    out += '"';
    return out;
}

// Days since 1970-01-01 to a civil date (proleptic Gregorian).
void CivilFromDays(std::int64_t days, int& year, int& month, int& day) {
    days += 719468;
    const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const std::int64_t dayOfEra = days - era * 146097;
    const std::int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const std::int64_t mp = (5 * dayOfYear + 2) / 153;
    day = static_cast<int>(dayOfYear - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    year = static_cast<int>(yearOfEra + era * 400 + (month <= 2 ? 1 : 0));
}

std::string PrinterJson(const BatchPrinterResult& result) {
    std::string out = "    {\"target\": " + JsonString(result.printer.target);
    out += ", \"port\": ";
    out += result.printer.road == BatchRoad::kUsb ? "\"usb\"" : "\"net\"";
    out += ",\n     \"outcome\": \"";
    out += OutcomeName(result.outcome);
    out += "\", \"reason\": " + std::to_string(result.reason);
    out += ", \"problem\": " + (result.problem.empty() ? std::string("null") : JsonString(result.problem));
    out += ",\n     \"start\": " + OptionalTime(result.startMs) + ", \"end\": " + OptionalTime(result.endMs);
    out += ", \"seconds\": ";
    if (result.elapsedMs && *result.elapsedMs >= 0) {
        const std::int64_t tenths = (*result.elapsedMs + 50) / 100;
        out += std::to_string(tenths / 10) + "." + std::to_string(tenths % 10);
    } else {
        out += "null";
    }
    out += ",\n     \"firmwareBefore\": " + OptionalString(result.firmwareBefore);
    out += ", \"firmwareAfter\": " + OptionalString(result.firmwareAfter);
    out += ", \"ready\": ";
    out += !result.ready ? "null" : *result.ready ? "true" : "false";
    out += "}";
    return out;
}

}  // namespace

std::string JsonString(std::wstring_view text) {
    std::string out = "\"";
    for (std::size_t i = 0; i < text.size(); ++i) {
        std::uint32_t c = static_cast<std::uint32_t>(text[i]);
        switch (c) {
        case '"': out += "\\\""; continue;
        case '\\': out += "\\\\"; continue;
        case '\n': out += "\\n"; continue;
        case '\r': out += "\\r"; continue;
        case '\t': out += "\\t"; continue;
        default: break;
        }
        if (c < 0x20 || c == 0x7F) {
            AppendEscape(out, c);
        } else if (IsHighSurrogate(c) && i + 1 < text.size() &&
                   IsLowSurrogate(static_cast<std::uint32_t>(text[i + 1]))) {
            const std::uint32_t low = static_cast<std::uint32_t>(text[++i]);
            AppendUtf8(out, 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00));
        } else if (IsHighSurrogate(c) || IsLowSurrogate(c)) {
            AppendEscape(out, c);  // a lone half of a pair: kept, but as an escape, so the file stays UTF-8
        } else if (c > 0x10FFFF) {
            AppendEscape(out, 0xFFFD);
        } else {
            AppendUtf8(out, c);
        }
    }
    return out + "\"";
}

std::string IsoUtcTime(std::int64_t unixMs) {
    std::int64_t days = unixMs / 86400000;
    std::int64_t msOfDay = unixMs % 86400000;
    if (msOfDay < 0) {
        msOfDay += 86400000;
        --days;
    }
    int year = 0, month = 0, day = 0;
    CivilFromDays(days, year, month, day);
    char text[40];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", year, month, day,
                  static_cast<int>(msOfDay / 3600000), static_cast<int>(msOfDay / 60000 % 60),
                  static_cast<int>(msOfDay / 1000 % 60), static_cast<int>(msOfDay % 1000));
    return text;
}

const char* OutcomeName(BatchOutcome outcome) {
    switch (outcome) {
    case BatchOutcome::kRestarting: return "restarting";
    case BatchOutcome::kUpdated: return "updated";
    case BatchOutcome::kFailed: return "failed";
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
