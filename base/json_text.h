// The program's one JSON writer: string literals and UTC times, for the
// records that other programs read (the batch result, the update history).
// Portable.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// "2026-12-10T15:38:02.250Z".
std::string IsoUtcTime(std::int64_t unixMs);
// A JSON string literal, quotes included, in UTF-8.
std::string JsonString(std::wstring_view text);
// A string literal, or null.
std::string JsonOptionalString(const std::optional<std::wstring>& text);
// A quoted UTC time, or null.
std::string JsonOptionalTime(const std::optional<std::int64_t>& unixMs);
// Seconds to the tenth ("12.3"), or null for none or a negative duration.
std::string JsonSeconds(const std::optional<std::int64_t>& milliseconds);
