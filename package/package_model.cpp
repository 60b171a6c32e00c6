#include "package/package_model.h"

#include <cwchar>
#include <cwctype>
#include <string_view>

#include "base/text.h"
#include "package/config.h"

namespace {

std::wstring EntrySection(int index) {
    wchar_t section[32];
    std::swprintf(section, 32, L"Fw%d", index);
    return section;
}

std::wstring Numbered(const wchar_t* format, int index) {
    wchar_t key[32];
    std::swprintf(key, 32, format, index);
    return key;
}

class EntryReader {
public:
    EntryReader(const PackageSettings& settings, int index) : settings_(settings), section_(EntrySection(index)) {}

    std::wstring Text(const wchar_t* key, const wchar_t* defaultText, int chars) const {
        std::wstring buffer(static_cast<std::size_t>(chars), L'\0');
        ReadInto(key, defaultText, buffer.data(), chars);
        buffer.resize(BoundedLength(buffer.data(), buffer.size()));
        return buffer;
    }

    void ReadInto(const wchar_t* key, const wchar_t* defaultText, wchar_t* out, int chars) const {
        ReadConfigString(settings_.Encoding, section_.c_str(), key, defaultText, out, chars,
                         settings_.ConfigPath.c_str());
    }

    int Int(const wchar_t* key, int defaultValue) const {
        return ReadConfigInt(settings_.Encoding, section_.c_str(), key, defaultValue, settings_.ConfigPath.c_str());
    }

private:
    const PackageSettings& settings_;
    std::wstring section_;
};

std::unique_ptr<FirmwareEntry> ReadEntry(const EntryReader& reader) {
    auto entry = std::make_unique<FirmwareEntry>();
    reader.ReadInto(L"Content", L"GeneralFW", entry->Content, kEntryTextChars);
    reader.ReadInto(L"Version", L"00.00.00", entry->Version, kEntryTextChars);
    entry->PostDelay = reader.Int(L"PostDelay", 0);
    // The record holds 32 sub-commands; a larger count is limited to them.
    const int count = reader.Int(L"SubCmdCnt", 0);
    entry->SubCmdCnt = count < 0 ? 0 : count > kMaxSubCommands ? kMaxSubCommands : count;
    for (int j = 0; j < entry->SubCmdCnt; ++j) {
        const std::wstring text = reader.Text(Numbered(L"Cmd%d", j).c_str(), L"", kCommandTextChars);
        entry->SubCmdLen[j] = ParseHexBytes(text.c_str(), entry->SubCmd[j], kSubCommandBytes);
        entry->SubCmdPostDelay[j] = reader.Int(Numbered(L"Cmd%d_PostDelay", j).c_str(), 0);
    }
    return entry;
}

std::wstring JoinPath(const std::wstring& dir, const std::wstring& name) { return dir + L"\\" + name; }

bool EqualsIgnoringCase(std::wstring_view a, std::wstring_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::towlower(static_cast<wint_t>(a[i])) != std::towlower(static_cast<wint_t>(b[i]))) return false;
    return true;
}

int HexDigit(wchar_t c) {
    if (c >= L'0' && c <= L'9') return c - L'0';
    if (c >= L'a' && c <= L'f') return c - L'a' + 10;
    if (c >= L'A' && c <= L'F') return c - L'A' + 10;
    return -1;
}

bool IsSpace(wchar_t c) { return c == L' ' || (c >= L'\t' && c <= L'\r'); }

}  // namespace

bool FirmwareEntry::IsVariantFirmware() const {
    return EqualsIgnoringCase(std::wstring_view(Content, BoundedLength(Content, kEntryTextChars)), L"MCUFW");
}

PackageLoadResult LoadPackage(const PackageSettings& settings, FileOpener& files, PackageRows& rows) {
    PackageLoadResult result;
    result.PackageReady = true;
    rows.Clear();
    for (int i = 0; i < ReadableEntryCount(settings.FwCount); ++i) {
        const EntryReader reader(settings, i);
        PackageRow row;
        row.fileName = reader.Text(L"FileName", L"", kFileNameChars);
        const std::wstring path = JoinPath(settings.ModuleDir, row.fileName);
        row.releaseDate = reader.Text(L"ReleaseDate", L"", kEntryTextChars);
        row.entry = ReadEntry(reader);

        // A stated size is taken as it is; the file is then not looked at.
        std::int64_t size = reader.Int(L"FileSize", 0);
        if (size == 0) {
            const std::unique_ptr<InputFile> file = files.OpenForReading(path, FileSharing::ReadWrite);
            size = file ? file->Size() : 0;
            if (size < 0) size = 0;
            if (!file || size == 0) {
                result.PackageReady = false;
                result.problems.push_back({i, path, file ? PackageProblem::kEmptyFile : PackageProblem::kMissingFile});
            }
        }
        // Sizes and their sum are 32-bit quantities of the package format.
        const std::int32_t size32 = static_cast<std::int32_t>(size);
        row.sizeText = std::to_wstring(size32);
        result.TotalSize += static_cast<std::uint32_t>(size32);
        rows.Append(std::move(row));
    }
    if (settings.FwCount <= 0 || settings.FwCount > kMaxFirmwareEntries) result.PackageReady = false;
    return result;
}

int ParseHexBytes(const wchar_t* text, unsigned char* out, int max) {
    int stored = 0;
    std::size_t i = 0;
    while (stored < max) {
        while (text[i] != L'\0' && IsSpace(text[i])) ++i;
        if (text[i] == L'\0') break;
        std::size_t digits = i;
        if (text[digits] == L'0' && (text[digits + 1] == L'x' || text[digits + 1] == L'X') &&
            HexDigit(text[digits + 2]) >= 0)
            digits += 2;
        if (HexDigit(text[digits]) >= 0) {
            unsigned value = 0;
            for (; HexDigit(text[digits]) >= 0; ++digits) value = (value << 4) | unsigned(HexDigit(text[digits]));
            out[stored++] = static_cast<unsigned char>(value & 0xFF);
        }
        i = digits;
        while (text[i] != L'\0' && !IsSpace(text[i])) ++i;
    }
    return stored;
}

bool GetVariantFileName(const PackageSettings& settings, int entryIndex, const char* variantCode, wchar_t* out) {
    if (!variantCode || variantCode[0] == '\0') return false;
    const std::string prefix(variantCode, BoundedLength(variantCode, 2));
    const std::wstring key = L"FileName_" + FromEightBit(prefix);
    EntryReader(settings, entryIndex).ReadInto(key.c_str(), L"", out, kFileNameChars);
    return true;
}

std::optional<std::wstring> ChooseEntryFile(const PackageSettings& settings, const PackageRows& rows, int entryIndex,
                                            const char* variantCode) {
    const PackageRow& row = rows.At(entryIndex);
    if (row.entry && row.entry->IsVariantFirmware()) {
        wchar_t name[kFileNameChars] = {};
        if (!GetVariantFileName(settings, entryIndex, variantCode, name)) return std::nullopt;
        return JoinPath(settings.ModuleDir, name);
    }
    return JoinPath(settings.ModuleDir, row.fileName);
}

bool IsUpdateGranted(const PackageSettings& settings, unsigned char stateCode, unsigned char detailCode1,
                     unsigned char detailCode2) {
    wchar_t key[32];
    std::swprintf(key, 32, L"S%02X*", static_cast<unsigned>(stateCode));
    if (ReadConfigInt(settings.Encoding, L"Granted", key, 0, settings.ConfigPath.c_str()) != 0) return true;
    std::swprintf(key, 32, L"S%02X%02d%03d", static_cast<unsigned>(stateCode), static_cast<int>(detailCode1),
                  static_cast<int>(detailCode2));
    return ReadConfigInt(settings.Encoding, L"Granted", key, 0, settings.ConfigPath.c_str()) != 0;
}

int StatusTextId(const PackageSettings& settings, unsigned char stateCode, unsigned char detailCode1,
                 unsigned char detailCode2, bool completed) {
    if (stateCode == kStateUpdating) return IDS_STATE_UPDATING;
    if (completed) return IDS_STATE_COMPLETED;
    return IsUpdateGranted(settings, stateCode, detailCode1, detailCode2) ? IDS_STATE_NOT_COMPLETE : IDS_STATE_NOT_READY;
}

int FirmwareCheckedTextId(const PackageSettings& settings, int textId, const std::wstring& firmware) {
    if (textId != IDS_STATE_COMPLETED || settings.ReportedFirmware.empty() || firmware.empty()) return textId;
    return IsPackageFirmware(settings.ReportedFirmware, firmware) ? textId : IDS_STATE_OTHER_FIRMWARE;
}
