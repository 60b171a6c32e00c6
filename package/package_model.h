// The firmware package: its entries (sections "Fw%d"), the choice of the file
// to send to one printer, the eligibility rule (section "Granted") and the
// choice of a printer's state text.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/files.h"
#include "base/text_ids.h"
#include "package/package_settings.h"

inline constexpr int kMaxSubCommands = 32;
inline constexpr int kSubCommandBytes = 128;
inline constexpr int kEntryTextChars = 32;   // Content, Version, ReleaseDate
inline constexpr int kFileNameChars = 64;    // FileName, FileName_%S
inline constexpr int kCommandTextChars = 512;
// The most entries a package may have. The count is the package's own word:
// a package that claims more is not ready, and no entry past the limit is read.
inline constexpr int kMaxFirmwareEntries = 64;
// The entries that are read: FwCount, but never past the limit.
inline int ReadableEntryCount(int fwCount) { return fwCount < kMaxFirmwareEntries ? fwCount : kMaxFirmwareEntries; }

struct FirmwareEntry {
    wchar_t Content[kEntryTextChars] = {};
    wchar_t Version[kEntryTextChars] = {};
    std::int32_t PostDelay = 0;  // milliseconds after the file
    std::int32_t SubCmdCnt = 0;  // at most kMaxSubCommands
    std::int32_t SubCmdLen[kMaxSubCommands] = {};
    unsigned char SubCmd[kMaxSubCommands][kSubCommandBytes] = {};
    std::int32_t SubCmdPostDelay[kMaxSubCommands] = {};  // milliseconds after each sub-command

    bool IsVariantFirmware() const;  // Content is "MCUFW", in any case
};

// One row of the package list: the texts it shows and the entry it carries.
struct PackageRow {
    std::wstring fileName;     // column 0
    std::wstring sizeText;     // column 1, decimal
    std::wstring releaseDate;  // column 2
    std::unique_ptr<FirmwareEntry> entry;
};

// The package list as the language page keeps it and the transfer jobs walk
// it, in entry order.
class PackageRows {
public:
    virtual ~PackageRows() = default;
    virtual void Clear() = 0;
    virtual void Append(PackageRow row) = 0;
    virtual int Count() const = 0;
    virtual const PackageRow& At(int index) const = 0;
};

// Package rows held in memory.
class PackageTable final : public PackageRows {
public:
    void Clear() override { rows_.clear(); }
    void Append(PackageRow row) override { rows_.push_back(std::move(row)); }
    int Count() const override { return static_cast<int>(rows_.size()); }
    const PackageRow& At(int index) const override { return rows_.at(static_cast<std::size_t>(index)); }

private:
    std::vector<PackageRow> rows_;
};

// Every entry that keeps the package from being sent, in entry order.
struct PackageProblem {
    int entryIndex;
    std::wstring path;
    enum Kind { kMissingFile, kEmptyFile } kind;
};

struct PackageLoadResult {
    std::uint32_t TotalSize = 0;  // sum of the entry sizes; the jobs' progress runs against it
    bool PackageReady = false;    // 1 to kMaxFirmwareEntries entries, each with a file with data
    std::vector<PackageProblem> problems;
};

// Fills rows with one row per entry of the package that `settings` describe
// (at most kMaxFirmwareEntries).
PackageLoadResult LoadPackage(const PackageSettings& settings, FileOpener& files, PackageRows& rows);

// Parses hexadecimal tokens separated by white space into at most `max`
// bytes; returns the number stored. Tokens that do not start with a
// hexadecimal digit are skipped.
int ParseHexBytes(const wchar_t* text, unsigned char* out, int max);

// Reads "FileName_%S" of entry `entryIndex`, %S being the first two
// characters of variantCode, into out (kFileNameChars). Returns false, and
// leaves out alone, when variantCode is missing or empty.
bool GetVariantFileName(const PackageSettings& settings, int entryIndex, const char* variantCode, wchar_t* out);

// Full path of the file that row `entryIndex` sends to a printer of the given
// variant: the per-variant file for an "MCUFW" entry, else the row's file.
// Nothing when the entry needs a variant file and variantCode is empty.
std::optional<std::wstring> ChooseEntryFile(const PackageSettings& settings, const PackageRows& rows, int entryIndex,
                                            const char* variantCode);

// Whether a printer in this condition may be updated, by section "Granted".
bool IsUpdateGranted(const PackageSettings& settings, unsigned char stateCode, unsigned char detailCode1,
                     unsigned char detailCode2);

inline constexpr unsigned char kStateUpdating = 199;

// Base id of the state text of a printer: updating, completed (the caller's
// update of it finished), not complete (granted) or not ready (IDS_STATE_*).
int StatusTextId(const PackageSettings& settings, unsigned char stateCode, unsigned char detailCode1,
                 unsigned char detailCode2, bool completed);
// A completed printer's state text once its firmware text was read again:
// IDS_STATE_OTHER_FIRMWARE when the package names the firmware it installs
// and the printer reports another; `textId` otherwise (no setting, nothing
// read, or any other state).
int FirmwareCheckedTextId(const PackageSettings& settings, int textId, const std::wstring& firmware);
