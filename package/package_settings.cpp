#include "package/package_settings.h"

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string_view>

#include "base/text.h"
#include "package/config.h"

namespace {

constexpr wchar_t kGeneral[] = L"General";
constexpr int kIdChars = 32;  // "VID", "PID"

std::wstring ReadText(const PackageSettings& s, const wchar_t* key, const wchar_t* defaultText, int chars) {
    std::wstring buffer(static_cast<std::size_t>(chars), L'\0');
    ReadConfigString(s.Encoding, kGeneral, key, defaultText, buffer.data(), chars, s.ConfigPath.c_str());
    buffer.resize(BoundedLength(buffer.data(), buffer.size()));
    return buffer;
}

int ReadInt(const PackageSettings& s, const wchar_t* key, int defaultValue) {
    return ReadConfigInt(s.Encoding, kGeneral, key, defaultValue, s.ConfigPath.c_str());
}

std::wstring Numbered(const wchar_t* format, int index) {
    wchar_t key[32];
    std::swprintf(key, 32, format, index);
    return key;
}

}  // namespace

void SetPathsFromProgramFile(PackageSettings& settings, const std::wstring& programPath) {
    const std::size_t slash = programPath.rfind(L'\\');
    const std::wstring fileName = slash == std::wstring::npos ? programPath : programPath.substr(slash + 1);
    settings.ModuleDir = slash == std::wstring::npos ? std::wstring() : programPath.substr(0, slash);
    const std::wstring configName = fileName.substr(0, fileName.size() >= 3 ? fileName.size() - 3 : 0) + L"cfg";
    settings.ConfigPath = settings.ModuleDir + L"\\" + configName;
}

void ReadGeneralSettings(PackageSettings& s) {
    // "Encoding" says how the other values are stored; it is always plain.
    s.Encoding = ReadConfigInt(0, kGeneral, L"Encoding", 1, s.ConfigPath.c_str());
    s.ModuleName = ReadText(s, L"ModuleName", L"", kNameChars);
    s.ModelName = ReadText(s, L"ModelName", L"", kNameChars);

    s.MDLCnt = ReadInt(s, L"MDLCnt", 0);
    int models = 0;
    while (models < s.MDLCnt && models < kModelSlots) {
        const std::wstring name = ReadText(s, Numbered(L"MDL%d", models).c_str(), L"", kModelBytes);
        if (name.empty()) break;
        CopyTruncated(ToEightBit(name), s.MDL[models], kModelBytes);
        ++models;
    }
    // The table holds 16 names: a larger count is limited to what was read.
    s.MDLCnt = models;

    s.NetDownload = ReadInt(s, L"NetDownload", 1);

    s.SysOIDCnt = static_cast<std::int8_t>(static_cast<std::uint8_t>(ReadInt(s, L"SysOIDCnt", 0) & 0xFF));
    if (s.SysOIDCnt > kSysOidSlots) s.SysOIDCnt = kSysOidSlots;  // the table holds 8
    if (s.SysOIDCnt < 0) s.SysOIDCnt = 0;                        // 128 to 255 read none
    for (int j = 0; j < s.SysOIDCnt; ++j) {
        const std::wstring oid = ReadText(s, Numbered(L"SysOID%d", j).c_str(), L"", kSysOidBytes);
        CopyTruncated(ToEightBit(oid), s.SysOID[j], kSysOidBytes);
    }

    s.Language = ReadInt(s, L"Language", 0);
    s.LanguageOffset = LanguageOffsetFromIndex(s.Language);
    s.FwCount = ReadInt(s, L"FwCount", 0);
    s.VID = ParseHexId(ReadText(s, L"VID", L"0000", kIdChars));
    s.PID = ParseHexId(ReadText(s, L"PID", L"0000", kIdChars));
    s.ReportedFirmware = ReadText(s, L"ReportedFirmware", L"", kReportedFirmwareChars);
}

bool IsPackageFirmware(const std::wstring& packageFirmware, const std::optional<std::wstring>& firmware) {
    const auto trimmed = [](std::wstring_view text) {
        while (!text.empty() && (text.front() == L' ' || text.front() == L'\t')) text.remove_prefix(1);
        while (!text.empty() && (text.back() == L' ' || text.back() == L'\t')) text.remove_suffix(1);
        return text;
    };
    if (!firmware || trimmed(packageFirmware).empty()) return false;
    return trimmed(*firmware) == trimmed(packageFirmware);
}

int LanguageOffsetFromIndex(int index) { return index == 1 ? kJapaneseOffset : kEnglishOffset; }

std::wstring InstanceName(std::uint16_t vid, std::uint16_t pid) {
    wchar_t name[32];
    std::swprintf(name, 32, L"XX_FWDL_%04X_%04X", static_cast<unsigned>(vid), static_cast<unsigned>(pid));
    return name;
}

std::uint16_t ParseHexId(const std::wstring& text) {
    std::wstring_view rest(text);
    while (!rest.empty() && (rest.front() == L' ' || (rest.front() >= L'\t' && rest.front() <= L'\r')))
        rest.remove_prefix(1);
    // As "%x" reads: an optional sign, an optional "0x", then the digits; a
    // minus sign negates the number, which wraps like any unsigned value.
    const bool negative = !rest.empty() && rest.front() == L'-';
    if (!rest.empty() && (rest.front() == L'-' || rest.front() == L'+')) rest.remove_prefix(1);
    if (rest.size() >= 3 && rest[0] == L'0' && (rest[1] == L'x' || rest[1] == L'X')) rest.remove_prefix(2);
    unsigned value = 0;
    for (wchar_t c : rest) {
        const int digit = c >= L'0' && c <= L'9'   ? c - L'0'
                          : c >= L'a' && c <= L'f' ? c - L'a' + 10
                          : c >= L'A' && c <= L'F' ? c - L'A' + 10
                                                   : -1;
        if (digit < 0) break;
        value = (value << 4) | static_cast<unsigned>(digit);
    }
    if (negative) value = 0u - value;
    return static_cast<std::uint16_t>(value & 0xFFFF);
}

std::vector<char> ModelNameList(const PackageSettings& settings) {
    constexpr std::size_t kModelListBytes = 1025;
    std::vector<char> list(kModelListBytes, '\0');
    std::size_t at = 0;
    for (int i = 0; i < settings.MDLCnt && i < kModelSlots; ++i) {
        const std::size_t length = BoundedLength(settings.MDL[i], kModelBytes - 1);
        if (at + length + 2 > list.size()) break;
        std::memcpy(list.data() + at, settings.MDL[i], length);
        at += length + 1;
    }
    return list;
}
