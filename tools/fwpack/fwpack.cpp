#include "tools/fwpack/fwpack.h"

#include <cstdio>

#include "base/files.h"
#include "base/text.h"
#include "package/config.h"
#include "package/config_codec.h"
#include "package/package_model.h"
#include "package/package_settings.h"
#include "package/profile.h"
#include "tools/fwpack/fwpack_libraries.h"
#include "tools/fwpack/fwpack_pins.h"
#include "tools/fwpack/fwpack_signing.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitNotReady = 1;
constexpr int kExitUsage = 2;

void PrintUsage(std::ostream& err) {
    err << "usage: fwpack encode TEXT\n"
           "       fwpack decode TEXT\n"
           "       fwpack check FOLDER [PROGRAM]   (PROGRAM defaults to "
        << kDefaultProgramName << ")\n"
           "       fwpack seal FOLDER [PROGRAM]\n"
           "       fwpack keygen NAME\n"
           "       fwpack sign CFG --key NAME.key [--comment TEXT] [--sequence N]\n"
           "       fwpack verify CFG [--key NAME.pub]...\n";
}

std::string Utf8(const std::wstring& text) { return ToUtf8(text); }

std::string Hex(const unsigned char* bytes, int count) {
    std::string text;
    for (int i = 0; i < count; ++i) {
        char digits[4];
        std::snprintf(digits, sizeof digits, "%02X", bytes[i]);
        if (i > 0) text += ' ';
        text += digits;
    }
    return text;
}

int Encode(const std::wstring& text, std::ostream& out, std::ostream& err) {
    // The program widens each decoded byte to the character of that code, so
    // a value holds only characters up to U+00FF; anything else would be
    // encoded as '?'.
    for (wchar_t c : text) {
        if (static_cast<unsigned long>(c) > 0xFF) {
            err << "fwpack: a value holds only characters U+0000 to U+00FF (one byte each); this text has others: "
                << Utf8(text) << "\n";
            return kExitUsage;
        }
    }
    const std::string plain = ToEightBit(text);
    if (plain.size() > static_cast<std::size_t>(kDecodedValueBytes)) {
        err << "fwpack: a value holds at most " << kDecodedValueBytes << " bytes; this one has " << plain.size()
            << "\n";
        return kExitUsage;
    }
    if (plain.find('\0') != std::string::npos) {
        err << "fwpack: a value cannot hold a zero byte\n";
        return kExitUsage;
    }
    out << EncodeConfigValue(plain) << "\n";
    return kExitOk;
}

int Decode(const std::wstring& text, std::ostream& out, std::ostream& err) {
    unsigned char decoded[kDecodedValueBytes + 1];
    const int count = DecodeConfigValue(ToEightBit(text), decoded, kDecodedValueBytes);
    if (count < 0) {
        err << "fwpack: not a valid encoded value (check characters do not match, or longer than "
            << kDecodedValueBytes << " bytes)\n";
        return kExitNotReady;
    }
    decoded[count] = 0;
    out << Utf8(FromEightBit(reinterpret_cast<const char*>(decoded))) << "\n";
    return kExitOk;
}

void ReportGeneral(const PackageSettings& s, std::ostream& out) {
    out << "[General]\n"
        << "  Encoding     " << s.Encoding << (s.Encoding ? " (values encoded)" : " (plain values)") << "\n"
        << "  ModuleName   " << Utf8(s.ModuleName) << "\n"
        << "  ModelName    " << Utf8(s.ModelName) << "\n"
        << "  NetDownload  " << s.NetDownload << "\n"
        << "  Language     " << s.Language << " (text offset " << s.LanguageOffset << ")\n"
        << "  FwCount      " << s.FwCount << "\n";
    char ids[64];
    std::snprintf(ids, sizeof ids, "  VID/PID      %04X/%04X\n", s.VID, s.PID);
    out << ids;
    out << "  Models       " << s.MDLCnt << "\n";
    for (int i = 0; i < s.MDLCnt; ++i) out << "    MDL" << i << "  " << s.MDL[i] << "\n";
    out << "  SysOIDs      " << static_cast<int>(s.SysOIDCnt) << "\n";
    for (int j = 0; j < s.SysOIDCnt; ++j) out << "    SysOID" << j << "  " << s.SysOID[j] << "\n";
}

void ReportEntries(const PackageRows& rows, std::ostream& out) {
    for (int i = 0; i < rows.Count(); ++i) {
        const PackageRow& row = rows.At(i);
        const FirmwareEntry& entry = *row.entry;
        out << "[Fw" << i << "]\n"
            << "  File         " << Utf8(row.fileName) << "\n"
            << "  Size         " << Utf8(row.sizeText) << "\n"
            << "  Released     " << Utf8(row.releaseDate) << "\n"
            << "  Content      " << Utf8(entry.Content) << (entry.IsVariantFirmware() ? " (file per variant)" : "")
            << "\n"
            << "  Version      " << Utf8(entry.Version) << "\n"
            << "  PostDelay    " << entry.PostDelay << " ms\n"
            << "  SubCommands  " << entry.SubCmdCnt << "\n";
        for (int j = 0; j < entry.SubCmdCnt; ++j)
            out << "    Cmd" << j << "  [" << Hex(entry.SubCmd[j], entry.SubCmdLen[j]) << "] then "
                << entry.SubCmdPostDelay[j] << " ms\n";
    }
}

void ReportGranted(const PackageSettings& s, std::ostream& out) {
    out << "[Granted]\n";
    const auto pairs = ReadProfileSection(s.ConfigPath.c_str(), L"Granted");
    if (pairs.empty()) out << "  (none: no printer may be updated)\n";
    for (const auto& [key, value] : pairs) {
        const int granted = ReadConfigInt(s.Encoding, L"Granted", key.c_str(), 0, s.ConfigPath.c_str());
        out << "  " << Utf8(key) << (granted ? "  grants" : "  does not grant") << "\n";
    }
}

std::wstring WithoutTrailingSeparators(std::wstring dir) {
    while (dir.size() > 1 && (dir.back() == L'/' || dir.back() == L'\\')) dir.pop_back();
    return dir;
}

PackageSettings SettingsOf(const std::wstring& folder, const std::wstring& program) {
    PackageSettings settings;
    SetPathsFromProgramFile(settings, WithoutTrailingSeparators(folder) + L"\\" + program);
    ReadGeneralSettings(settings);
    return settings;
}

int Check(const std::wstring& folder, const std::wstring& program, std::ostream& out) {
    const PackageSettings settings = SettingsOf(folder, program);

    PlatformFiles files;
    // Without its description the program reads every setting as its default.
    const bool described = files.OpenForReading(settings.ConfigPath, FileSharing::ReadWrite) != nullptr;
    PackageTable rows;
    const PackageLoadResult result = LoadPackage(settings, files, rows);

    out << "Package " << Utf8(settings.ConfigPath) << (described ? "" : " (missing)") << "\n";
    ReportGeneral(settings, out);
    ReportEntries(rows, out);
    ReportGranted(settings, out);
    std::vector<std::string> pinProblems;
    ReportPins(settings, out, pinProblems);
    std::vector<std::string> libraryProblems;
    ReportLibraries(files, WithoutTrailingSeparators(folder), program, out, libraryProblems);
    std::vector<std::string> signatureProblems;
    ReportSignature(settings, out, signatureProblems);
    out << "Total size   " << result.TotalSize << " bytes\n";

    if (described && result.PackageReady && pinProblems.empty() && libraryProblems.empty() &&
        signatureProblems.empty()) {
        out << "READY\n";
        return kExitOk;
    }
    out << "NOT READY\n";
    if (!described) out << "  the package description is missing: " << Utf8(settings.ConfigPath) << "\n";
    if (described && settings.FwCount <= 0) out << "  the package has no firmware entries (FwCount " << settings.FwCount << ")\n";
    if (settings.FwCount > kMaxFirmwareEntries)
        out << "  the package has more firmware entries than the program takes (FwCount " << settings.FwCount
            << ", at most " << kMaxFirmwareEntries << ")\n";
    for (const PackageProblem& problem : result.problems) {
        out << "  Fw" << problem.entryIndex << ": "
            << (problem.kind == PackageProblem::kMissingFile ? "file missing or unreadable: " : "file is empty: ")
            << Utf8(problem.path) << "\n";
    }
    for (const std::string& problem : pinProblems) out << "  " << problem << "\n";
    for (const std::string& problem : libraryProblems) out << "  " << problem << "\n";
    for (const std::string& problem : signatureProblems) out << "  " << problem << "\n";
    return kExitNotReady;
}

}  // namespace

int RunFwpack(const std::vector<std::wstring>& arguments, std::ostream& out, std::ostream& err) {
    if (arguments.size() < 3) {
        PrintUsage(err);
        return kExitUsage;
    }
    const std::wstring& command = arguments[1];
    if (command == L"encode" && arguments.size() == 3) return Encode(arguments[2], out, err);
    if (command == L"decode" && arguments.size() == 3) return Decode(arguments[2], out, err);
    if (command == L"check" && (arguments.size() == 3 || arguments.size() == 4))
        return Check(arguments[2], arguments.size() == 4 ? arguments[3] : FromEightBit(kDefaultProgramName), out);
    if (command == L"seal" && (arguments.size() == 3 || arguments.size() == 4))
        return SealPackage(
            SettingsOf(arguments[2], arguments.size() == 4 ? arguments[3] : FromEightBit(kDefaultProgramName)), out,
            err);
    if (command == L"keygen" && arguments.size() == 3) return MakeKeyPair(arguments[2], out, err);
    const std::vector<std::wstring> rest(arguments.begin() + 2, arguments.end());
    int code = kExitUsage;
    if (command == L"sign") code = SignPackage(rest, out, err);
    if (command == L"verify") code = VerifyPackage(rest, out, err);
    if (code != kExitUsage) return code;
    err << "fwpack: unknown command or wrong number of arguments: " << Utf8(command) << "\n";
    PrintUsage(err);
    return kExitUsage;
}
