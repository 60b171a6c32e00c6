#include "base/json_text.h"

#include <cstdint>
#include <cstdio>

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

std::string JsonOptionalString(const std::optional<std::wstring>& text) { return text ? JsonString(*text) : "null"; }

std::string JsonOptionalTime(const std::optional<std::int64_t>& unixMs) {
    return unixMs ? "\"" + IsoUtcTime(*unixMs) + "\"" : "null";
}

std::string JsonSeconds(const std::optional<std::int64_t>& milliseconds) {
    if (!milliseconds || *milliseconds < 0) return "null";
    const std::int64_t tenths = (*milliseconds + 50) / 100;
    return std::to_string(tenths / 10) + "." + std::to_string(tenths % 10);
}
