// The package-wide settings that start-up reads from section "General" of
// the configuration file, and the names derived from them. Portable: the
// application object holds one PackageSettings and every part of the program
// reads the settings through it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

inline constexpr int kSysOidSlots = 8;
inline constexpr int kSysOidBytes = 128;
inline constexpr int kModelSlots = 16;
inline constexpr int kModelBytes = 64;
inline constexpr int kNameChars = 64;  // ModuleName, ModelName
inline constexpr int kReportedFirmwareChars = 128;

// Catalogue offsets of the two interface languages.
inline constexpr int kEnglishOffset = 0;
inline constexpr int kJapaneseOffset = 12;

struct PackageSettings {
    std::wstring ModuleDir;   // the program's folder, no trailing backslash
    std::wstring ConfigPath;  // the configuration file beside the program
    int Encoding = 1;
    std::wstring ModelName;
    std::wstring ModuleName;
    int NetDownload = 1;
    int LanguageOffset = kEnglishOffset;
    int Language = 0;
    int FwCount = 0;
    std::uint16_t VID = 0;
    std::uint16_t PID = 0;
    char SysOID[kSysOidSlots][kSysOidBytes] = {};
    std::int8_t SysOIDCnt = 0;  // the count is kept in 8 bits, as the package format defines
    int MDLCnt = 0;
    char MDL[kModelSlots][kModelBytes] = {};
    // The firmware text that a printer reports once this package is
    // installed, as the printer lists read it; empty when the package does
    // not say (its printers are then not checked against it).
    std::wstring ReportedFirmware;
};

// Whether a printer's firmware text is `packageFirmware`, the one the
// package installs: the texts compared exactly, blanks at either end aside
// (printers pad it). False when the package names none or no text was read.
bool IsPackageFirmware(const std::wstring& packageFirmware, const std::optional<std::wstring>& firmware);

// ModuleDir and ConfigPath from the program file's full path: the
// configuration file is the program's name with its last three characters
// replaced by "cfg", in the same folder.
void SetPathsFromProgramFile(PackageSettings& settings, const std::wstring& programPath);

// Reads section "General" of settings.ConfigPath, in the order the format
// defines, into settings.
void ReadGeneralSettings(PackageSettings& settings);

// 0 (English) for index 0, 12 (Japanese) for index 1; any other index counts
// as English.
int LanguageOffsetFromIndex(int index);

// "XX_FWDL_%04X_%04X": the name of the instance mutex and of the registered
// instance message.
std::wstring InstanceName(std::uint16_t vid, std::uint16_t pid);

// Low 16 bits of a hexadecimal text as "%x" reads it (leading white space, an
// optional sign, an optional "0x"; a minus sign negates), 0 when the text
// does not begin with a hexadecimal number.
std::uint16_t ParseHexId(const std::wstring& text);

// The package's model names as the USB library's enumeration takes them: each
// ended by a zero byte, the whole by one more, in 1025 bytes at most.
std::vector<char> ModelNameList(const PackageSettings& settings);
