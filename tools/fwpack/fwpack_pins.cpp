#include "tools/fwpack/fwpack_pins.h"

#include <algorithm>
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
#include "package/package_libraries.h"
#include "package/package_pins.h"
#include "package/package_signature.h"
#include "package/profile.h"
#include "tools/fwpack/fwpack_files.h"
#include "tools/fwpack/ini_edit.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;

// A file the package pins, or should: each file the description names,
// and each library (present ones only when `presentLibrariesOnly`).
struct PinTarget {
    std::string label;  // "Fw1", "Fw1 (JP)", "Library"
    std::wstring name;
    std::wstring path;
    std::wstring section;
    std::wstring key;
};

std::vector<PinTarget> PinTargets(const PackageSettings& settings, bool presentLibrariesOnly) {
    std::vector<PinTarget> targets;
    for (const NamedFile& file : NamedFiles(settings)) {
        // "Fw1" for an entry's file, "Fw1 (JP)" for a per-variant one.
        const std::wstring suffix = file.pinKey.substr(std::wcslen(kPinKey));
        const std::string label = ToUtf8(file.section + (suffix.empty() ? L"" : L" (" + suffix.substr(1) + L")"));
        targets.push_back({label, file.name, file.path, file.section, file.pinKey});
    }
    for (const char* library : kPackageLibraryNames) {
        const std::wstring name = FromEightBit(library);
        const std::wstring path = settings.ModuleDir + L"\\" + name;
        PlatformFiles platform;
        if (presentLibrariesOnly && !platform.OpenForReading(path, FileSharing::ReadWrite)) continue;
        targets.push_back({"Library", name, path, kLibraryPinSection, name});
    }
    return targets;
}

std::optional<Sha256Digest> HashOf(const std::wstring& path) {
    PlatformFiles platform;
    const std::unique_ptr<InputFile> file = platform.OpenForReading(path, FileSharing::ReadWrite);
    if (!file) return std::nullopt;
    return HashContent(*file);
}

}  // namespace

void ReportPins(const PackageSettings& settings, std::ostream& out, std::vector<std::string>& problems) {
    out << "[Pins]\n";
    const std::vector<PinTarget> files = PinTargets(settings, true);
    if (files.empty()) out << "  (no files named)\n";
    for (const PinTarget& file : files) {
        const FilePin pin = ReadPin(settings, file.section, file.key);
        std::string state = "unpinned";
        if (pin.pinned) {
            const std::optional<Sha256Digest> digest = HashOf(file.path);
            if (digest && pin.digest && *digest == *pin.digest) {
                state = "matching";
            } else {
                const std::string why = !pin.digest ? ToUtf8(file.key) + " is not 64 hexadecimal digits"
                                        : !digest   ? "file missing or unreadable"
                                                    : "content differs from " + ToUtf8(file.key);
                state = "not matching (" + why + ")";
                problems.push_back(file.label + ": file does not match its pin (" + why + "): " + ToUtf8(file.path));
            }
        }
        out << "  " << file.label << "  " << ToUtf8(file.name) << "  " << state << "\n";
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

    const std::vector<PinTarget> files = PinTargets(settings, true);
    std::vector<std::string> pins;
    for (const PinTarget& file : files) {
        const std::optional<Sha256Digest> digest = HashOf(file.path);
        if (!digest) {
            err << "fwpack: cannot read " << file.label << " " << ToUtf8(file.path) << "; nothing was sealed\n";
            return kExitFailed;
        }
        pins.push_back(Sha256Hex(*digest));
    }
    for (std::size_t k = 0; k < files.size(); ++k) {
        const std::string value = settings.Encoding ? EncodeConfigValue(pins[k]) : pins[k];
        SetIniValue(*text, ToEightBit(files[k].section), ToEightBit(files[k].key), value);
    }
    // A library taken out of the package loses its pin: a signed package
    // names no file that is not there.
    for (const PinTarget& library : PinTargets(settings, false)) {
        if (library.section != kLibraryPinSection) continue;
        const bool present = std::any_of(files.begin(), files.end(),
                                         [&](const PinTarget& file) { return file.path == library.path; });
        if (!present) RemoveIniValue(*text, ToEightBit(library.section), ToEightBit(library.key));
    }
    if (!WriteText(configPath, *text)) {
        err << "fwpack: cannot write " << ToUtf8(settings.ConfigPath) << "\n";
        return kExitFailed;
    }

    // Read back as the program reads them: a pin the program would not
    // find is no seal.
    bool allRead = true;
    for (std::size_t k = 0; k < files.size(); ++k) {
        const FilePin pin = ReadPin(settings, files[k].section, files[k].key);
        const bool read = pin.digest && Sha256Hex(*pin.digest) == pins[k];
        allRead = allRead && read;
        out << "  " << files[k].label << "  " << ToUtf8(files[k].name) << "  " << pins[k]
            << (read ? "" : "  (does not read back)") << "\n";
    }
    out << "Sealed " << files.size() << (files.size() == 1 ? " file" : " files") << " in "
        << ToUtf8(settings.ConfigPath) << (settings.Encoding ? " (values encoded)" : "") << "\n";
    if (!allRead) {
        err << "fwpack: some pins do not read back as written\n";
        return kExitFailed;
    }
    PlatformFiles platform;
    if (platform.OpenForReading(SignaturePathOf(settings.ConfigPath), FileSharing::ReadWrite))
        out << "The package's signature no longer covers the description: sign it again (fwpack sign)\n";
    return kExitOk;
}
