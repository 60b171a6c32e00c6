// Signed packages: a maker signs the configuration file's exact bytes, with a
// few signed lines of its own, in a detached signature file beside it (the
// configuration path with "cfg" replaced by "sig"). The configuration file
// pins every firmware file ("Sha256" keys) and every library present
// (section "Libraries", a key per library file name), so one signature
// covers every byte the program acts on. ECDSA P-256 over SHA-256; the
// signature's byte form is r followed by s, 32 bytes each, big-endian.
//
// Trusted keys come from outside the package: keys built into the program
// and the machine's policy list. A key is known by its id, the first eight
// bytes of the SHA-256 of its 64-byte public point in 16 lower-case
// hexadecimal digits.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/ecdsa_p256.h"
#include "base/files.h"
#include "base/sha256.h"
#include "package/package_pins.h"
#include "package/package_settings.h"

inline constexpr wchar_t kSignatureExtension[] = L"sig";
inline constexpr wchar_t kLibraryPinSection[] = L"Libraries";

// A public key as the program takes it: the text of a ".pub" file, one line
// "ecdsa-p256 <base64 of the 64-byte point X||Y> <name>". The name is
// optional in the text (the registry list gives it as the value's name).
struct TrustedKey {
    std::wstring name;
    EcdsaP256PublicKey key;
};
std::optional<TrustedKey> ParsePublicKeyText(std::string_view text);
std::string PublicKeyText(const TrustedKey& key);  // the ".pub" line, newline-ended
std::string KeyIdOf(const EcdsaP256PublicKey& key);

// The signature file beside a configuration file: "C:\p\X.cfg" -> "C:\p\X.sig".
std::wstring SignaturePathOf(const std::wstring& configPath);

// The longest signature file read: its lines take a few hundred bytes.
inline constexpr std::size_t kMaxSignatureFileBytes = 16 * 1024;

// The signed lines of a signature file. Only what is here is acted on;
// nothing unsigned is read from the file.
struct PackageSignature {
    std::string keyId;         // 16 hexadecimal digits
    std::string signedAt;      // UTC, "2026-12-11T06:50:00Z"
    std::uint64_t sequence = 0;
    std::string comment;       // UTF-8, one line, may be empty
    EcdsaP256Signature signature{};
    std::string signedBytes;   // the exact bytes the signature covers, less the configuration file
};

// Reads a signature file's bytes. Nothing (and `problem` set to an English
// sentence) for anything malformed: a missing or repeated line, a bad value,
// an unknown line, bytes after the signature.
std::optional<PackageSignature> ReadPackageSignature(std::string_view fileBytes, std::string* problem);

// Why a package is refused. The interface composes its message from this
// and `subject` (a file name or a key id) in the package's language.
enum class SignatureProblem {
    kNone,
    kUnsignedRequired,      // unsigned, and the machine's policy requires signatures
    kUnreadableSignature,   // the signature file cannot be read or is malformed
    kUnknownKey,            // subject: the key id
    kBadSignature,          // subject: the configuration file's name
    kFileMismatch,          // subject: the file whose content differs from its pin
    kFileMissing,           // subject: a file the signed package names that is not there
    kFileUnpinned,          // subject: a firmware file or present library the signed package does not pin
};

struct SignatureVerdict {
    enum Kind { kUnsigned, kTrusted, kRefused } kind = kUnsigned;
    SignatureProblem problem = SignatureProblem::kNone;
    std::wstring subject;
    std::wstring reason;      // English sentence for the console, RESULT and fwpack: says which file or key
    // When trusted:
    std::wstring signerName;  // the trusted key's name
    std::string keyId;
    std::uint64_t sequence = 0;
    std::string signedAt;
    std::string comment;
};

// The whole check made at start, before any printer is listed or touched:
// without a signature file, kUnsigned (kRefused with kUnsignedRequired when
// `requireSigned`); with one, the signature must verify with a key of
// `trusted`, and every firmware file the package names (each entry's
// "FileName" and "FileName_<XX>") must be present, pinned and match its
// pin. Libraries are not hashed here: each is checked against its pin
// (LibraryPinOf) by whoever loads it, from a handle held until the load.
// A library (kPackageLibraryNames) present but unpinned, or pinned but
// absent, refuses a signed package as well.
SignatureVerdict CheckPackageSignature(FileOpener& files, const PackageSettings& settings,
                                       const std::vector<TrustedKey>& trusted, bool requireSigned);

// The files part of the check above: every firmware file present, pinned
// and matching; every library present pinned and every pinned one present;
// with `hashLibraries`, each library's content matching its pin as well (the
// package tool's check; the program checks a library as it loads it). The
// refusal, or nothing when every file is covered.
std::optional<SignatureVerdict> CheckSignedFiles(FileOpener& files, const PackageSettings& settings,
                                                 bool hashLibraries);

// Writing a signature file, the maker's side: the signed lines of
// `signature` (keyId, signedAt, sequence, comment; the comment one line of
// printable UTF-8), the bytes a signature covers, and the whole file.
std::string SignedLinesOf(const PackageSignature& signature);
std::string SignedMessageOf(std::string_view signedLines, std::string_view configBytes);
std::string SignatureFileText(const std::string& signedLines, const EcdsaP256Signature& signature);

// The pin of a library file ("vorlendu.dll", ...) in section "Libraries",
// read and decoded like every other value.
FilePin LibraryPinOf(const PackageSettings& settings, const std::wstring& libraryFileName);
