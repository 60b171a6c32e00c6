#include "package/package_pins.h"

#include <cwchar>
#include <cwctype>

#include "base/text.h"
#include "package/config.h"
#include "package/package_signature.h"
#include "package/profile.h"

namespace {

// Room for the 64 digits and more: a longer value must read as too long,
// not be cut to a valid-looking one.
constexpr int kPinTextChars = 80;

std::wstring EntrySectionName(int index) {
    wchar_t section[32];
    std::swprintf(section, 32, L"Fw%d", index);
    return section;
}

std::wstring ReadText(const PackageSettings& settings, const std::wstring& section, const wchar_t* key, int chars) {
    std::wstring text(static_cast<std::size_t>(chars), L'\0');
    ReadConfigString(settings.Encoding, section.c_str(), key, L"", text.data(), chars, settings.ConfigPath.c_str());
    text.resize(BoundedLength(text.data(), text.size()));
    return text;
}

std::wstring ReadEntryText(const PackageSettings& settings, int entryIndex, const wchar_t* key, int chars) {
    return ReadText(settings, EntrySectionName(entryIndex), key, chars);
}


}  // namespace

std::wstring PinKeyOf(const std::wstring& fileNameKey) {
    const std::wstring prefix = kFileNameKey;
    if (fileNameKey.size() < prefix.size()) return L"";
    for (std::size_t i = 0; i < prefix.size(); ++i)
        if (std::towlower(static_cast<wint_t>(fileNameKey[i])) != std::towlower(static_cast<wint_t>(prefix[i])))
            return L"";
    const std::wstring suffix = fileNameKey.substr(prefix.size());
    if (!suffix.empty() && suffix[0] != L'_') return L"";
    return kPinKey + suffix;
}

std::vector<NamedFile> NamedFiles(const PackageSettings& settings) {
    std::vector<NamedFile> files;
    for (int i = 0; i < ReadableEntryCount(settings.FwCount); ++i) {
        const std::wstring section = EntrySectionName(i);
        for (const auto& [key, rawValue] : ReadProfileSection(settings.ConfigPath.c_str(), section.c_str())) {
            const std::wstring pinKey = PinKeyOf(key);
            if (pinKey.empty()) continue;
            const std::wstring name = ReadEntryText(settings, i, key.c_str(), kFileNameChars);
            if (name.empty()) continue;
            files.push_back({i, section, pinKey, name, settings.ModuleDir + L"\\" + name});
        }
    }
    return files;
}

FilePin ReadPin(const PackageSettings& settings, const std::wstring& section, const std::wstring& key) {
    const std::wstring text = ReadText(settings, section, key.c_str(), kPinTextChars);
    if (text.empty()) return {};
    return {true, ParseSha256Hex(text)};
}

FilePin ReadFilePin(const PackageSettings& settings, int entryIndex, const std::wstring& pinKey) {
    return ReadPin(settings, EntrySectionName(entryIndex), pinKey);
}

FilePin LibraryPinOf(const PackageSettings& settings, const std::wstring& libraryFileName) {
    return ReadPin(settings, kLibraryPinSection, libraryFileName);
}

FilePin ChooseEntryPin(const PackageSettings& settings, const PackageRows& rows, int entryIndex,
                       const char* variantCode) {
    const PackageRow& row = rows.At(entryIndex);
    if (row.entry && row.entry->IsVariantFirmware()) {
        if (!variantCode || variantCode[0] == '\0') return {};
        const std::string prefix(variantCode, BoundedLength(variantCode, 2));
        return ReadFilePin(settings, entryIndex, std::wstring(kPinKey) + L"_" + FromEightBit(prefix));
    }
    return ReadFilePin(settings, entryIndex, kPinKey);
}

void PinPrinterFiles(const PackageSettings& settings, const PackageRows& rows, const char* variantCode,
                     PinnedFiles& pins) {
    for (int j = 0; j < rows.Count(); ++j) {
        const std::optional<std::wstring> path = ChooseEntryFile(settings, rows, j, variantCode);
        const FilePin pin = ChooseEntryPin(settings, rows, j, variantCode);
        if (path && pin.pinned) pins.Pin(*path, pin.digest);
    }
}

void PinEntryFiles(const PackageSettings& settings, PinnedFiles& pins) {
    for (int i = 0; i < ReadableEntryCount(settings.FwCount); ++i) {
        const FilePin pin = ReadFilePin(settings, i, kPinKey);
        if (!pin.pinned) continue;
        const std::wstring name = ReadEntryText(settings, i, kFileNameKey, kFileNameChars);
        pins.Pin(settings.ModuleDir + L"\\" + name, pin.digest);
    }
}
