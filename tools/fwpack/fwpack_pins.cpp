#include "tools/fwpack/fwpack_pins.h"

#include <cwchar>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>

#include "base/file_pins.h"
#include "base/files.h"
#include "base/text.h"
#include "package/config.h"
#include "package/config_codec.h"
#include "package/package_model.h"
#include "package/package_pins.h"
#include "package/profile.h"
#include "tools/fwpack/ini_edit.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;

// One file the description names: an entry's "FileName" or one of its
// "FileName_<XX>".
struct NamedFile {
    int entry;
    std::wstring section;
    std::wstring pinKey;  // "Sha256" or "Sha256_<XX>"
    std::wstring name;
    std::wstring path;
    std::string Label() const {
        const std::wstring suffix = pinKey.substr(std::wcslen(kPinKey));
        return ToUtf8(section + (suffix.empty() ? L"" : L" (" + suffix.substr(1) + L")"));
    }
};

std::vector<NamedFile> NamedFiles(const PackageSettings& settings) {
    std::vector<NamedFile> files;
    for (int i = 0; i < ReadableEntryCount(settings.FwCount); ++i) {
        wchar_t section[32];
        std::swprintf(section, 32, L"Fw%d", i);
        for (const auto& [key, rawValue] : ReadProfileSection(settings.ConfigPath.c_str(), section)) {
            const std::wstring pinKey = PinKeyOf(key);
            if (pinKey.empty()) continue;
            wchar_t name[kFileNameChars] = {};
            ReadConfigString(settings.Encoding, section, key.c_str(), L"", name, kFileNameChars,
                             settings.ConfigPath.c_str());
            if (name[0] == L'\0') continue;
            files.push_back({i, section, pinKey, name, settings.ModuleDir + L"\\" + name});
        }
    }
    return files;
}

std::optional<Sha256Digest> HashOf(const std::wstring& path) {
    PlatformFiles platform;
    const std::unique_ptr<InputFile> file = platform.OpenForReading(path, FileSharing::ReadWrite);
    if (!file) return std::nullopt;
    return HashContent(*file);
}

std::filesystem::path FileSystemPath(const std::wstring& path) {
#if defined(_WIN32)
    return std::filesystem::path(path);
#else
    return std::filesystem::path(ToNativePath(path));
#endif
}

std::optional<std::string> ReadText(const std::filesystem::path& path) {
    std::ifstream stream(path, std::ios::binary);
    if (!stream) return std::nullopt;
    return std::string((std::istreambuf_iterator<char>(stream)), std::istreambuf_iterator<char>());
}

// Replaces the file through a temporary beside it, so that a failed write
// never leaves half a description.
bool WriteText(const std::filesystem::path& path, const std::string& text) {
    std::filesystem::path temporary = path;
    temporary += ".sealing";
    {
        std::ofstream stream(temporary, std::ios::binary | std::ios::trunc);
        if (!stream || !stream.write(text.data(), static_cast<std::streamsize>(text.size())) || !stream.flush())
            return false;
    }
    std::error_code error;
    std::filesystem::rename(temporary, path, error);
    if (error) std::filesystem::remove(temporary, error);
    return !error;
}

}  // namespace

void ReportPins(const PackageSettings& settings, std::ostream& out, std::vector<std::string>& problems) {
    out << "[Pins]\n";
    const std::vector<NamedFile> files = NamedFiles(settings);
    if (files.empty()) out << "  (no files named)\n";
    for (const NamedFile& file : files) {
        const FilePin pin = ReadFilePin(settings, file.entry, file.pinKey);
        std::string state = "unpinned";
        if (pin.pinned) {
            const std::optional<Sha256Digest> digest = HashOf(file.path);
            if (digest && pin.digest && *digest == *pin.digest) {
                state = "matching";
            } else {
                const std::string why = !pin.digest ? ToUtf8(file.pinKey) + " is not 64 hexadecimal digits"
                                        : !digest   ? "file missing or unreadable"
                                                    : "content differs from " + ToUtf8(file.pinKey);
                state = "not matching (" + why + ")";
                problems.push_back(file.Label() + ": file does not match its pin (" + why + "): " + ToUtf8(file.path));
            }
        }
        out << "  " << file.Label() << "  " << ToUtf8(file.name) << "  " << state << "\n";
    }
}

int SealPackage(const PackageSettings& settings, std::ostream& out, std::ostream& err) {
    const std::filesystem::path configPath = FileSystemPath(settings.ConfigPath);
    std::optional<std::string> text = ReadText(configPath);
    if (!text) {
        err << "fwpack: cannot read " << ToUtf8(settings.ConfigPath) << "\n";
        return kExitFailed;
    }
    if (text->rfind("\xFF\xFE", 0) == 0 || text->rfind("\xFE\xFF", 0) == 0) {
        err << "fwpack: " << ToUtf8(settings.ConfigPath) << " is UTF-16 text; seal works on 8-bit descriptions\n";
        return kExitFailed;
    }

    const std::vector<NamedFile> files = NamedFiles(settings);
    std::vector<std::string> pins;
    for (const NamedFile& file : files) {
        const std::optional<Sha256Digest> digest = HashOf(file.path);
        if (!digest) {
            err << "fwpack: cannot read " << file.Label() << " " << ToUtf8(file.path) << "; nothing was sealed\n";
            return kExitFailed;
        }
        pins.push_back(Sha256Hex(*digest));
    }
    for (std::size_t k = 0; k < files.size(); ++k) {
        const std::string value = settings.Encoding ? EncodeConfigValue(pins[k]) : pins[k];
        SetIniValue(*text, ToEightBit(files[k].section), ToEightBit(files[k].pinKey), value);
    }
    if (!WriteText(configPath, *text)) {
        err << "fwpack: cannot write " << ToUtf8(settings.ConfigPath) << "\n";
        return kExitFailed;
    }

    // Read back as the program reads them: a pin the program would not
    // find is no seal.
    bool allRead = true;
    for (std::size_t k = 0; k < files.size(); ++k) {
        const FilePin pin = ReadFilePin(settings, files[k].entry, files[k].pinKey);
        const bool read = pin.digest && Sha256Hex(*pin.digest) == pins[k];
        allRead = allRead && read;
        out << "  " << files[k].Label() << "  " << ToUtf8(files[k].name) << "  " << pins[k]
            << (read ? "" : "  (does not read back)") << "\n";
    }
    out << "Sealed " << files.size() << (files.size() == 1 ? " file" : " files") << " in "
        << ToUtf8(settings.ConfigPath) << (settings.Encoding ? " (values encoded)" : "") << "\n";
    if (!allRead) {
        err << "fwpack: some pins do not read back as written\n";
        return kExitFailed;
    }
    return kExitOk;
}
