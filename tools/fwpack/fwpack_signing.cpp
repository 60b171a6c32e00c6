#include "tools/fwpack/fwpack_signing.h"

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <ctime>
#include <optional>

#include "base/base64.h"
#include "base/ecdsa_p256.h"
#include "base/files.h"
#include "base/text.h"
#include "package/package_signature.h"
#include "tools/fwpack/fwpack_files.h"

// A private key file holds one line: "ecdsa-p256-private", the base64 of
// the scalar d followed by the point X||Y (96 bytes), and the key's name.
// Only fwpack reads it; the program takes public keys only.

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

constexpr char kPrivateKeyType[] = "ecdsa-p256-private";

struct NamedPrivateKey {
    EcdsaP256PrivateKey key;
    std::string name;
};

std::string PrivateKeyText(const NamedPrivateKey& key) {
    std::string bytes(key.key.scalar.begin(), key.key.scalar.end());
    bytes.append(key.key.publicKey.point.begin(), key.key.publicKey.point.end());
    return std::string(kPrivateKeyType) + " " + EncodeBase64(bytes) + " " + key.name + "\n";
}

std::optional<NamedPrivateKey> ParsePrivateKeyText(std::string_view text) {
    if (!text.empty() && text.back() == '\n') text.remove_suffix(1);
    if (!text.empty() && text.back() == '\r') text.remove_suffix(1);
    const std::string_view type = kPrivateKeyType;
    if (text.substr(0, type.size() + 1) != std::string(type) + " ") return std::nullopt;
    text.remove_prefix(type.size() + 1);
    const std::size_t space = text.find(' ');
    const std::optional<std::string> bytes = DecodeBase64(text.substr(0, space));
    NamedPrivateKey key;
    if (!bytes || bytes->size() != key.key.scalar.size() + key.key.publicKey.point.size()) return std::nullopt;
    std::copy(bytes->begin(), bytes->begin() + 32, key.key.scalar.begin());
    std::copy(bytes->begin() + 32, bytes->end(), key.key.publicKey.point.begin());
    if (space != std::string_view::npos) key.name = text.substr(space + 1);
    return key;
}

// The last part of a path, without its extension: the key's name.
std::wstring StemOf(const std::wstring& path) {
    const std::size_t slash = path.find_last_of(L"\\/");
    std::wstring name = slash == std::wstring::npos ? path : path.substr(slash + 1);
    const std::size_t dot = name.find_last_of(L'.');
    return dot == std::wstring::npos || dot == 0 ? name : name.substr(0, dot);
}

// Settings for a description given by its path; its folder holds the files.
PackageSettings SettingsOfConfig(const std::wstring& configPath) {
    PackageSettings settings;
    const std::size_t slash = configPath.find_last_of(L"\\/");
    settings.ModuleDir = slash == std::wstring::npos ? L"." : configPath.substr(0, slash);
    settings.ConfigPath = configPath;
    ReadGeneralSettings(settings);
    return settings;
}

std::string UtcNow() {
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
#if defined(_WIN32)
    gmtime_s(&utc, &now);
#else
    gmtime_r(&now, &utc);
#endif
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text;
}

std::optional<std::uint64_t> ParseSequenceArgument(const std::wstring& text) {
    if (text.empty() || text.size() > 20 || text[0] == L'0') return std::nullopt;
    std::uint64_t value = 0;
    for (wchar_t c : text) {
        if (c < L'0' || c > L'9') return std::nullopt;
        const auto digit = static_cast<std::uint64_t>(c - L'0');
        if (value > (UINT64_MAX - digit) / 10) return std::nullopt;
        value = value * 10 + digit;
    }
    return value;
}

std::optional<PackageSignature> ExistingSignature(const PackageSettings& settings, std::string* problem) {
    const std::optional<std::string> bytes = ReadText(FileSystemPath(SignaturePathOf(settings.ConfigPath)));
    if (!bytes) return std::nullopt;
    return ReadPackageSignature(*bytes, problem);
}

void ReportSignedLines(const PackageSignature& signature, std::ostream& out) {
    out << "  Key id     " << signature.keyId << "\n"
        << "  Sequence   " << signature.sequence << "\n"
        << "  Signed     " << signature.signedAt << "\n"
        << "  Comment    " << signature.comment << "\n";
}

// "--name value" options after the description's path; `repeatable` may
// come more than once. False for anything else.
bool ReadOptions(const std::vector<std::wstring>& arguments, const std::vector<std::wstring>& names,
                 const std::wstring& repeatable, std::vector<std::pair<std::wstring, std::wstring>>& options) {
    for (std::size_t i = 1; i < arguments.size(); i += 2) {
        if (i + 1 >= arguments.size()) return false;
        bool known = false;
        for (const std::wstring& name : names) known = known || arguments[i] == name;
        if (!known) return false;
        for (const auto& [name, value] : options)
            if (name == arguments[i] && name != repeatable) return false;
        options.emplace_back(arguments[i], arguments[i + 1]);
    }
    return !arguments.empty();
}

}  // namespace

int MakeKeyPair(const std::wstring& name, std::ostream& out, std::ostream& err) {
    const std::wstring keyPath = name + L".key";
    const std::wstring publicPath = name + L".pub";
    std::error_code ignored;
    if (std::filesystem::exists(FileSystemPath(keyPath), ignored) ||
        std::filesystem::exists(FileSystemPath(publicPath), ignored)) {
        err << "fwpack: " << ToUtf8(keyPath) << " or " << ToUtf8(publicPath)
            << " exists already; a key is never written over\n";
        return kExitFailed;
    }
    const std::optional<EcdsaP256PrivateKey> key = GenerateEcdsaP256Key();
    if (!key) {
        err << "fwpack: the platform could not make a key pair\n";
        return kExitFailed;
    }
    const std::string keyName = ToUtf8(StemOf(name));
    const TrustedKey publicKey{FromUtf8(keyName), key->publicKey};
    if (keyName.empty() || !ParsePublicKeyText(PublicKeyText(publicKey))) {
        err << "fwpack: a key's name is one line of printable text: " << keyName << "\n";
        return kExitUsage;
    }
    if (!CreateNewFile(FileSystemPath(keyPath), PrivateKeyText({*key, keyName}), true)) {
        err << "fwpack: cannot create " << ToUtf8(keyPath) << "\n";
        return kExitFailed;
    }
    if (!WriteText(FileSystemPath(publicPath), PublicKeyText(publicKey))) {
        std::filesystem::remove(FileSystemPath(keyPath), ignored);
        err << "fwpack: cannot write " << ToUtf8(publicPath) << "; no key was made\n";
        return kExitFailed;
    }
    out << "Key " << keyName << " (id " << KeyIdOf(key->publicKey) << ")\n"
        << "  private  " << ToUtf8(keyPath) << "  (keep it secret: whoever has it signs as you)\n"
        << "  public   " << ToUtf8(publicPath) << "\n";
    return kExitOk;
}

int SignPackage(const std::vector<std::wstring>& arguments, std::ostream& out, std::ostream& err) {
    std::vector<std::pair<std::wstring, std::wstring>> options;
    if (!ReadOptions(arguments, {L"--key", L"--comment", L"--sequence"}, L"", options)) return kExitUsage;
    std::optional<std::wstring> keyPath, comment, sequenceText;
    for (const auto& [name, value] : options) (name == L"--key" ? keyPath : name == L"--comment" ? comment : sequenceText) = value;
    if (!keyPath) return kExitUsage;

    const std::optional<std::string> keyText = ReadText(FileSystemPath(*keyPath));
    const std::optional<NamedPrivateKey> key = keyText ? ParsePrivateKeyText(*keyText) : std::nullopt;
    if (!key) {
        err << "fwpack: " << ToUtf8(*keyPath) << " is not a private key file made by fwpack keygen\n";
        return kExitUsage;
    }
    std::optional<std::uint64_t> sequence;
    if (sequenceText) {
        sequence = ParseSequenceArgument(*sequenceText);
        if (!sequence) {
            err << "fwpack: the sequence number is a whole number from 1: " << ToUtf8(*sequenceText) << "\n";
            return kExitUsage;
        }
    }

    const PackageSettings settings = SettingsOfConfig(arguments[0]);
    const std::optional<std::string> config = ReadText(FileSystemPath(settings.ConfigPath));
    if (!config) {
        err << "fwpack: cannot read " << ToUtf8(settings.ConfigPath) << "\n";
        return kExitFailed;
    }
    PlatformFiles files;
    if (const std::optional<SignatureVerdict> refused = CheckSignedFiles(files, settings, true)) {
        err << "fwpack: nothing was signed: " << ToUtf8(refused->reason) << " (fwpack seal pins every file)\n";
        return kExitFailed;
    }

    const std::optional<PackageSignature> previous = ExistingSignature(settings, nullptr);
    if (!sequence) {
        if (previous && previous->sequence == UINT64_MAX) {
            err << "fwpack: the previous sequence number is the highest there is; give one with --sequence\n";
            return kExitUsage;
        }
        sequence = previous ? previous->sequence + 1 : 1;
    } else if (previous && *sequence <= previous->sequence) {
        out << "Note: sequence " << *sequence << " is not above the previous signature's " << previous->sequence
            << "\n";
    }

    PackageSignature lines;
    lines.keyId = KeyIdOf(key->key.publicKey);
    lines.signedAt = UtcNow();
    lines.sequence = *sequence;
    lines.comment = comment ? ToUtf8(*comment) : "";
    const std::string signedLines = SignedLinesOf(lines);
    std::string problem;
    if (!ReadPackageSignature(SignatureFileText(signedLines, EcdsaP256Signature{}), &problem)) {
        err << "fwpack: " << problem << "\n";
        return kExitUsage;
    }
    const std::string message = SignedMessageOf(signedLines, *config);
    const std::optional<EcdsaP256Signature> signature = SignEcdsaP256(key->key, message);
    if (!signature) {
        err << "fwpack: the platform could not sign\n";
        return kExitFailed;
    }
    // A key file whose halves do not belong together signs nothing anyone
    // can verify.
    if (!VerifyEcdsaP256(key->key.publicKey, message, *signature)) {
        err << "fwpack: " << ToUtf8(*keyPath) << " is damaged: its signature does not verify with its public key\n";
        return kExitFailed;
    }
    const std::wstring signaturePath = SignaturePathOf(settings.ConfigPath);
    if (!WriteText(FileSystemPath(signaturePath), SignatureFileText(signedLines, *signature))) {
        err << "fwpack: cannot write " << ToUtf8(signaturePath) << "\n";
        return kExitFailed;
    }
    out << "Signed " << ToUtf8(settings.ConfigPath) << " with key " << key->name << "\n";
    ReportSignedLines(lines, out);
    out << "  Written    " << ToUtf8(signaturePath) << "\n";
    return kExitOk;
}

int VerifyPackage(const std::vector<std::wstring>& arguments, std::ostream& out, std::ostream& err) {
    std::vector<std::pair<std::wstring, std::wstring>> options;
    if (!ReadOptions(arguments, {L"--key"}, L"--key", options)) return kExitUsage;
    std::vector<TrustedKey> trusted;
    for (const auto& [name, path] : options) {
        const std::optional<std::string> text = ReadText(FileSystemPath(path));
        std::optional<TrustedKey> key = text ? ParsePublicKeyText(*text) : std::nullopt;
        if (!key) {
            err << "fwpack: " << ToUtf8(path) << " is not a public key file (\"ecdsa-p256 <key> <name>\")\n";
            return kExitUsage;
        }
        if (key->name.empty()) key->name = StemOf(path);
        trusted.push_back(*key);
    }

    const PackageSettings settings = SettingsOfConfig(arguments[0]);
    out << "Package " << ToUtf8(settings.ConfigPath) << "\n";
    if (trusted.empty()) {
        std::string problem;
        const std::optional<PackageSignature> signature = ExistingSignature(settings, &problem);
        if (signature) {
            ReportSignedLines(*signature, out);
            out << "NOT VERIFIED: no trusted key was given (--key NAME.pub)\n";
        } else {
            out << "NOT VERIFIED: " << (problem.empty() ? "the package is not signed." : problem) << "\n";
        }
        return kExitFailed;
    }

    PlatformFiles files;
    SignatureVerdict verdict = CheckPackageSignature(files, settings, trusted, false);
    // The program checks each library as it loads it; here they are
    // checked now.
    if (verdict.kind == SignatureVerdict::kTrusted) {
        if (std::optional<SignatureVerdict> refused = CheckSignedFiles(files, settings, true)) verdict = *refused;
    }
    if (verdict.kind != SignatureVerdict::kTrusted) {
        out << (verdict.kind == SignatureVerdict::kUnsigned ? "NOT VERIFIED: " : "REFUSED: ")
            << ToUtf8(verdict.reason) << "\n";
        return kExitFailed;
    }
    out << "  Signer     " << ToUtf8(verdict.signerName) << "\n"
        << "  Key id     " << verdict.keyId << "\n"
        << "  Sequence   " << verdict.sequence << "\n"
        << "  Signed     " << verdict.signedAt << "\n"
        << "  Comment    " << verdict.comment << "\n"
        << "VERIFIED\n";
    return kExitOk;
}

void ReportSignature(const PackageSettings& settings, std::ostream& out, std::vector<std::string>& problems) {
    out << "[Signature]\n";
    std::string problem;
    const std::optional<PackageSignature> signature = ExistingSignature(settings, &problem);
    if (!signature && problem.empty()) {
        out << "  unsigned\n";
        return;
    }
    if (!signature) {
        out << "  not readable\n";
        problems.push_back("signature: " + problem);
        return;
    }
    ReportSignedLines(*signature, out);
    out << "  (fwpack verify checks it with a trusted key)\n";
    PlatformFiles files;
    if (const std::optional<SignatureVerdict> refused = CheckSignedFiles(files, settings, true))
        problems.push_back("signature: " + ToUtf8(refused->reason));
}
