#include "package/package_signature.h"

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <memory>

#include "base/base64.h"
#include "base/file_pins.h"
#include "base/text.h"
#include "package/package_libraries.h"

// The signature file, UTF-8, each line ended by "\n" (or "\r\n"):
//
//   KeyId=<16 lower-case hexadecimal digits: KeyIdOf the signing key>
//   Signed=<UTC signing time, "2026-12-11T06:50:00Z">
//   Sequence=<decimal, no leading zeros: raised by the maker with each package>
//   Comment=<free text, one line of printable UTF-8, may be empty>
//   Signature=<base64 of the 64-byte signature r||s>
//
// The four signed lines come in this order, once each, and nothing follows
// the signature line. The signature covers the exact bytes of the file
// before "Signature=" (the signed lines, their line ends included) followed
// by the exact bytes of the configuration file. Since a signed line cannot
// hold a line end, where the lines stop and the configuration starts is
// fixed.

namespace {

constexpr char kKeyType[] = "ecdsa-p256";
constexpr std::size_t kKeyIdDigits = 16;
constexpr char kSignatureKey[] = "Signature";
constexpr const char* kSignedKeys[] = {"KeyId", "Signed", "Sequence", "Comment"};

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsLowerHex(char c) { return IsDigit(c) || (c >= 'a' && c <= 'f'); }

// One line of printable UTF-8: no control characters (a tab is fine).
bool IsPrintableUtf8Line(std::string_view text) {
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte < 0x20 && byte != '\t') || byte == 0x7F) return false;
    }
    return ToUtf8(FromUtf8(text)) == text;
}

bool IsKeyId(std::string_view text) {
    if (text.size() != kKeyIdDigits) return false;
    for (char c : text)
        if (!IsLowerHex(c)) return false;
    return true;
}

// "YYYY-MM-DDTHH:MM:SSZ" with each field in its range.
bool IsUtcTime(std::string_view text) {
    static constexpr char kPattern[] = "dddd-dd-ddTdd:dd:ddZ";
    if (text.size() != sizeof kPattern - 1) return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (kPattern[i] == 'd' ? !IsDigit(text[i]) : text[i] != kPattern[i]) return false;
    }
    const auto field = [&](std::size_t at) { return (text[at] - '0') * 10 + (text[at + 1] - '0'); };
    const int month = field(5), day = field(8), hour = field(11), minute = field(14), second = field(17);
    return month >= 1 && month <= 12 && day >= 1 && day <= 31 && hour <= 23 && minute <= 59 && second <= 59;
}

std::optional<std::uint64_t> ParseSequence(std::string_view text) {
    if (text.empty() || text.size() > 20 || (text.size() > 1 && text[0] == '0')) return std::nullopt;
    std::uint64_t value = 0;
    for (char c : text) {
        if (!IsDigit(c)) return std::nullopt;
        const auto digit = static_cast<std::uint64_t>(c - '0');
        if (value > (UINT64_MAX - digit) / 10) return std::nullopt;
        value = value * 10 + digit;
    }
    return value;
}

std::string FileNameOf(const std::wstring& path) {
    const std::size_t slash = path.find_last_of(L"\\/");
    return ToUtf8(slash == std::wstring::npos ? path : path.substr(slash + 1));
}

// One line of the file: its text without the line end, and where the next
// line starts. Nothing when the line has no end.
struct Line {
    std::string_view text;
    std::size_t next;
};
std::optional<Line> LineAt(std::string_view bytes, std::size_t start) {
    const std::size_t end = bytes.find('\n', start);
    if (end == std::string_view::npos) return std::nullopt;
    std::string_view text = bytes.substr(start, end - start);
    if (!text.empty() && text.back() == '\r') text.remove_suffix(1);
    return Line{text, end + 1};
}

bool Fail(std::string* problem, std::string text) {
    if (problem) *problem = std::move(text);
    return false;
}

// The value of a "Key=value" line, when the line is that key's.
std::optional<std::string_view> ValueOf(std::string_view line, std::string_view key) {
    if (line.size() <= key.size() || line.substr(0, key.size()) != key || line[key.size()] != '=')
        return std::nullopt;
    return line.substr(key.size() + 1);
}

bool ReadSignedLine(std::size_t index, std::string_view value, PackageSignature& signature, std::string* problem) {
    switch (index) {
    case 0:
        if (!IsKeyId(value)) return Fail(problem, "The key id is not 16 lower-case hexadecimal digits.");
        signature.keyId = value;
        return true;
    case 1:
        if (!IsUtcTime(value)) return Fail(problem, "The signing time is not a UTC time such as 2026-12-11T06:50:00Z.");
        signature.signedAt = value;
        return true;
    case 2: {
        const std::optional<std::uint64_t> sequence = ParseSequence(value);
        if (!sequence) return Fail(problem, "The sequence number is not a decimal number.");
        signature.sequence = *sequence;
        return true;
    }
    default:
        if (!IsPrintableUtf8Line(value)) return Fail(problem, "The comment is not one line of printable UTF-8 text.");
        signature.comment = value;
        return true;
    }
}

SignatureVerdict Refused(SignatureProblem problem, std::wstring subject, std::string reason) {
    SignatureVerdict verdict;
    verdict.kind = SignatureVerdict::kRefused;
    verdict.problem = problem;
    verdict.subject = std::move(subject);
    verdict.reason = FromUtf8(reason);
    return verdict;
}

std::optional<std::string> ReadFileBytes(FileOpener& files, const std::wstring& path, std::size_t maxBytes) {
    const std::unique_ptr<InputFile> file = files.OpenForReading(path, FileSharing::ReadWrite);
    if (!file) return std::nullopt;
    return ReadAllBytes(*file, maxBytes);
}

// Whether the file at `path` is there, pinned, and its content matches
// the pin (hashed only when `hash`). The refusal names the file by `name`
// and says what it is ("" or "the library ").
std::optional<SignatureVerdict> CheckPinnedFile(FileOpener& files, const std::wstring& path, const std::wstring& name,
                                                const FilePin& pin, bool hash, const std::string& what) {
    const std::string text = what + ToUtf8(name);
    const std::unique_ptr<InputFile> file = files.OpenForReading(path, FileSharing::ReadWrite);
    if (!file)
        return Refused(SignatureProblem::kFileMissing, name,
                       "The signed package names " + text + ", which is missing or cannot be read.");
    if (!pin.pinned)
        return Refused(SignatureProblem::kFileUnpinned, name,
                       "The signed package does not pin " + text + ", so the signature does not cover it.");
    if (!pin.digest)
        return Refused(SignatureProblem::kFileMismatch, name, "The pin of " + text + " is not a SHA-256 value.");
    if (!hash) return std::nullopt;
    const std::optional<Sha256Digest> digest = HashContent(*file);
    if (!digest || *digest != *pin.digest)
        return Refused(SignatureProblem::kFileMismatch, name,
                       "The content of " + text + " differs from what the package's maker signed.");
    return std::nullopt;
}

}  // namespace

std::optional<TrustedKey> ParsePublicKeyText(std::string_view text) {
    // One line, its end optional.
    if (!text.empty() && text.back() == '\n') text.remove_suffix(1);
    if (!text.empty() && text.back() == '\r') text.remove_suffix(1);
    const std::string_view type = kKeyType;
    if (text.size() <= type.size() || text.substr(0, type.size()) != type || text[type.size()] != ' ')
        return std::nullopt;
    text.remove_prefix(type.size() + 1);
    const std::size_t space = text.find(' ');
    const std::string_view encoded = text.substr(0, space);
    const std::string_view name = space == std::string_view::npos ? std::string_view() : text.substr(space + 1);
    if (space != std::string_view::npos && (name.empty() || !IsPrintableUtf8Line(name))) return std::nullopt;
    const std::optional<std::string> point = DecodeBase64(encoded);
    TrustedKey key;
    if (!point || point->size() != key.key.point.size()) return std::nullopt;
    std::copy(point->begin(), point->end(), key.key.point.begin());
    key.name = FromUtf8(name);
    return key;
}

std::string PublicKeyText(const TrustedKey& key) {
    const std::string point(key.key.point.begin(), key.key.point.end());
    std::string text = std::string(kKeyType) + " " + EncodeBase64(point);
    if (!key.name.empty()) text += " " + ToUtf8(key.name);
    return text + "\n";
}

std::string KeyIdOf(const EcdsaP256PublicKey& key) {
    const std::optional<Sha256Digest> digest = Sha256::Of(key.point.data(), key.point.size());
    // A platform that cannot hash gives no id, which matches no signature.
    return digest ? Sha256Hex(*digest).substr(0, kKeyIdDigits) : std::string();
}

std::wstring SignaturePathOf(const std::wstring& configPath) {
    const std::size_t dot = configPath.find_last_of(L'.');
    const std::size_t slash = configPath.find_last_of(L"\\/");
    if (dot == std::wstring::npos || (slash != std::wstring::npos && dot < slash)) return configPath + L"." + kSignatureExtension;
    return configPath.substr(0, dot + 1) + kSignatureExtension;
}

std::optional<PackageSignature> ReadPackageSignature(std::string_view fileBytes, std::string* problem) {
    if (fileBytes.size() > kMaxSignatureFileBytes) {
        Fail(problem, "The signature file is larger than a signature file can be.");
        return std::nullopt;
    }
    PackageSignature signature;
    std::size_t at = 0;
    for (std::size_t index = 0; index < std::size(kSignedKeys); ++index) {
        const std::optional<Line> line = LineAt(fileBytes, at);
        const std::optional<std::string_view> value = line ? ValueOf(line->text, kSignedKeys[index]) : std::nullopt;
        if (!value) {
            Fail(problem, std::string("The signature file does not have its \"") + kSignedKeys[index] +
                              "=\" line where it belongs.");
            return std::nullopt;
        }
        if (!ReadSignedLine(index, *value, signature, problem)) return std::nullopt;
        at = line->next;
    }
    signature.signedBytes = fileBytes.substr(0, at);

    // The last line may end without a line end.
    std::optional<Line> last = LineAt(fileBytes, at);
    if (!last) last = Line{fileBytes.substr(at), fileBytes.size()};
    const std::optional<std::string_view> encoded = ValueOf(last->text, kSignatureKey);
    if (!encoded) {
        Fail(problem, "The signature file does not have its \"Signature=\" line after the signed lines.");
        return std::nullopt;
    }
    const std::optional<std::string> bytes = DecodeBase64(*encoded);
    if (!bytes || bytes->size() != signature.signature.size()) {
        Fail(problem, "The signature is not the base64 text of 64 bytes.");
        return std::nullopt;
    }
    std::copy(bytes->begin(), bytes->end(), signature.signature.begin());
    if (last->next != fileBytes.size()) {
        Fail(problem, "The signature file has more after its signature.");
        return std::nullopt;
    }
    return signature;
}

std::optional<SignatureVerdict> CheckSignedFiles(FileOpener& files, const PackageSettings& settings,
                                                 bool hashLibraries) {
    for (const NamedFile& named : NamedFiles(settings)) {
        const FilePin pin = ReadFilePin(settings, named.entry, named.pinKey);
        if (auto refused = CheckPinnedFile(files, named.path, named.name, pin, true, "")) return refused;
    }
    for (const char* library : kPackageLibraryNames) {
        const std::wstring name = FromEightBit(library);
        const std::wstring path = settings.ModuleDir + L"\\" + name;
        const FilePin pin = LibraryPinOf(settings, name);
        // An absent library that nothing pins is no part of the package.
        if (!pin.pinned && !files.OpenForReading(path, FileSharing::ReadWrite)) continue;
        if (auto refused = CheckPinnedFile(files, path, name, pin, hashLibraries, "the library ")) return refused;
    }
    return std::nullopt;
}

std::string SignedLinesOf(const PackageSignature& signature) {
    return std::string(kSignedKeys[0]) + "=" + signature.keyId + "\n" + kSignedKeys[1] + "=" + signature.signedAt +
           "\n" + kSignedKeys[2] + "=" + std::to_string(signature.sequence) + "\n" + kSignedKeys[3] + "=" +
           signature.comment + "\n";
}

std::string SignedMessageOf(std::string_view signedLines, std::string_view configBytes) {
    std::string message;
    message.reserve(signedLines.size() + configBytes.size());
    message.append(signedLines);
    message.append(configBytes);
    return message;
}

std::string SignatureFileText(const std::string& signedLines, const EcdsaP256Signature& signature) {
    return signedLines + kSignatureKey + "=" + EncodeBase64(std::string(signature.begin(), signature.end())) + "\n";
}

SignatureVerdict CheckPackageSignature(FileOpener& files, const PackageSettings& settings,
                                       const std::vector<TrustedKey>& trusted, bool requireSigned) {
    const std::wstring signaturePath = SignaturePathOf(settings.ConfigPath);
    const std::unique_ptr<InputFile> signatureFile = files.OpenForReading(signaturePath, FileSharing::ReadWrite);
    if (!signatureFile) {
        if (requireSigned)
            return Refused(SignatureProblem::kUnsignedRequired, L"",
                           "The package is not signed, and this computer takes signed packages only.");
        SignatureVerdict verdict;
        verdict.reason = L"The package is not signed.";
        return verdict;
    }

    const std::wstring signatureName = FromUtf8(FileNameOf(signaturePath));
    const std::optional<std::string> signatureBytes = ReadAllBytes(*signatureFile, kMaxSignatureFileBytes);
    std::string problem = "The signature file cannot be read or is larger than a signature file can be.";
    const std::optional<PackageSignature> signature =
        signatureBytes ? ReadPackageSignature(*signatureBytes, &problem) : std::nullopt;
    if (!signature)
        return Refused(SignatureProblem::kUnreadableSignature, signatureName,
                       "The signature file " + ToUtf8(signatureName) + " is not valid: " + problem);

    const std::wstring configName = FromUtf8(FileNameOf(settings.ConfigPath));
    // A description has no reason to be larger than this; a larger one is
    // not read whole into memory.
    constexpr std::size_t kMaxConfigBytes = 64 * 1024 * 1024;
    const std::optional<std::string> configBytes = ReadFileBytes(files, settings.ConfigPath, kMaxConfigBytes);
    if (!configBytes)
        return Refused(SignatureProblem::kFileMissing, configName,
                       "The package description " + ToUtf8(configName) + " is missing or cannot be read.");

    const TrustedKey* signer = nullptr;
    bool known = false;
    const std::string message = SignedMessageOf(signature->signedBytes, *configBytes);
    for (const TrustedKey& key : trusted) {
        if (KeyIdOf(key.key) != signature->keyId) continue;
        known = true;
        if (VerifyEcdsaP256(key.key, message, signature->signature)) {
            signer = &key;
            break;
        }
    }
    if (!known)
        return Refused(SignatureProblem::kUnknownKey, FromUtf8(signature->keyId),
                       "The package is signed with key " + signature->keyId + ", which this computer does not trust.");
    if (!signer)
        return Refused(SignatureProblem::kBadSignature, configName,
                       "The signature does not match the package description " + ToUtf8(configName) +
                           " or its signed lines: they were changed after signing.");

    if (std::optional<SignatureVerdict> refused = CheckSignedFiles(files, settings, false)) return *refused;

    SignatureVerdict verdict;
    verdict.kind = SignatureVerdict::kTrusted;
    verdict.signerName = signer->name;
    verdict.keyId = signature->keyId;
    verdict.sequence = signature->sequence;
    verdict.signedAt = signature->signedAt;
    verdict.comment = signature->comment;
    verdict.reason = L"The package is signed by " + signer->name + L" (key " + FromUtf8(signature->keyId) + L").";
    return verdict;
}
