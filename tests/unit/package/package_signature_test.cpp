#include <gtest/gtest.h>

#include <string>

#include "base/base64.h"
#include "base/files.h"
#include "base/sha256.h"
#include "base/text.h"
#include "package/package_libraries.h"
#include "package/package_signature.h"
#include "sim/recorder.h"
#include "test_support.h"

namespace {

constexpr char kSignedLines[] =
    "KeyId=0123456789abcdef\nSigned=2026-12-11T06:50:00Z\nSequence=42\nComment=Release 1.10, \xE6\x97\xA5\xE6\x9C\xAC\n";
const std::string kSignatureLine = "Signature=" + EncodeBase64(std::string(64, '\x5A')) + "\n";

}  // namespace

TEST(SignatureFile, ReadsTheSignedLinesAndTheSignature) {
    for (const std::string& file : {kSignedLines + kSignatureLine,
                                    kSignedLines + kSignatureLine.substr(0, kSignatureLine.size() - 1)}) {
        std::string problem;
        const std::optional<PackageSignature> signature = ReadPackageSignature(file, &problem);
        ASSERT_TRUE(signature) << problem;
        EXPECT_EQ(signature->keyId, "0123456789abcdef");
        EXPECT_EQ(signature->signedAt, "2026-12-11T06:50:00Z");
        EXPECT_EQ(signature->sequence, 42u);
        EXPECT_EQ(signature->comment, "Release 1.10, \xE6\x97\xA5\xE6\x9C\xAC");
        EcdsaP256Signature expected;
        expected.fill(0x5A);
        EXPECT_EQ(signature->signature, expected);
        EXPECT_EQ(signature->signedBytes, kSignedLines);
    }
    // Lines ended the Windows way are read too; the signed bytes keep them.
    const std::string crlf =
        "KeyId=0123456789abcdef\r\nSigned=2026-12-11T06:50:00Z\r\nSequence=1\r\nComment=\r\n" + kSignatureLine;
    const std::optional<PackageSignature> signature = ReadPackageSignature(crlf, nullptr);
    ASSERT_TRUE(signature);
    EXPECT_EQ(signature->signedBytes, crlf.substr(0, crlf.find("Signature=")));
    EXPECT_EQ(signature->comment, "");
}

TEST(SignatureFile, RefusesEveryMalformedFile) {
    const std::string good = kSignedLines + kSignatureLine;
    const auto replaced = [&](const std::string& from, const std::string& to) {
        std::string file = good;
        file.replace(file.find(from), from.size(), to);
        return file;
    };
    struct Case {
        const char* what;
        std::string file;
    };
    const Case cases[] = {
        {"empty", ""},
        {"signed lines only", kSignedLines},
        {"signature only", kSignatureLine},
        {"a line missing", replaced("Sequence=42\n", "")},
        {"a line repeated", replaced("Sequence=42\n", "Sequence=42\nSequence=42\n")},
        {"lines out of order", replaced("KeyId=0123456789abcdef\nSigned=2026-12-11T06:50:00Z\n",
                                        "Signed=2026-12-11T06:50:00Z\nKeyId=0123456789abcdef\n")},
        {"an unknown line", replaced("Comment=", "Signer=me\nComment=")},
        {"a key in another case", replaced("KeyId=", "keyid=")},
        {"space before the equals sign", replaced("KeyId=", "KeyId =")},
        {"a byte-order mark", "\xEF\xBB\xBF" + good},
        {"a blank line", replaced("Signature=", "\nSignature=")},
        {"bytes after the signature", good + "x"},
        {"a second signature", good + kSignatureLine},
        {"key id too short", replaced("0123456789abcdef", "0123456789abcde")},
        {"key id in upper case", replaced("0123456789abcdef", "0123456789ABCDEF")},
        {"key id not hexadecimal", replaced("0123456789abcdef", "0123456789abcdeg")},
        {"time without zone", replaced("06:50:00Z", "06:50:00")},
        {"time with a month 13", replaced("2026-12-11", "2026-13-11")},
        {"time with an hour 24", replaced("T06:", "T24:")},
        {"time not digits", replaced("2026", "20x6")},
        {"sequence empty", replaced("Sequence=42", "Sequence=")},
        {"sequence signed", replaced("Sequence=42", "Sequence=+42")},
        {"sequence with a leading zero", replaced("Sequence=42", "Sequence=042")},
        {"sequence beyond 64 bits", replaced("Sequence=42", "Sequence=18446744073709551616")},
        {"comment with a control character", replaced("Release", "Rel\x01" "ease")},
        {"comment not UTF-8", replaced("Release", "Rel\xE9" "ase")},
        {"comment with a lone carriage return", replaced("Release", "Rel\rease")},
        {"signature not base64", replaced("Signature=", "Signature=!")},
        {"signature of 63 bytes", std::string(kSignedLines) + "Signature=" + EncodeBase64(std::string(63, 'x')) + "\n"},
        {"signature of 65 bytes", std::string(kSignedLines) + "Signature=" + EncodeBase64(std::string(65, 'x')) + "\n"},
        {"signature line empty", std::string(kSignedLines) + "Signature=\n"},
        {"a zero byte", replaced("Comment=", std::string("Comment=\0", 9))},
        {"too large", std::string(kSignedLines) + std::string(kMaxSignatureFileBytes, ' ') + kSignatureLine},
    };
    for (const Case& c : cases) {
        std::string problem;
        EXPECT_FALSE(ReadPackageSignature(c.file, &problem)) << c.what;
        EXPECT_FALSE(problem.empty()) << c.what;
        // The file's bytes stand alone in memory: a read past their end is
        // caught by the sanitizers.
        const std::string copy(c.file);
        EXPECT_FALSE(ReadPackageSignature(std::string_view(copy.data(), copy.size()), nullptr)) << c.what;
    }
}

TEST(PublicKeyText, RoundTripsAndRefusesOtherText) {
    TrustedKey key;
    for (std::size_t i = 0; i < key.key.point.size(); ++i) key.key.point[i] = static_cast<std::uint8_t>(i * 3);
    key.name = L"Tessaro Firmware 2027";
    const std::string text = PublicKeyText(key);
    EXPECT_EQ(text, "ecdsa-p256 " + EncodeBase64(std::string(key.key.point.begin(), key.key.point.end())) +
                        " Tessaro Firmware 2027\n");
    for (const std::string& spelling : {text, text.substr(0, text.size() - 1),
                                        text.substr(0, text.size() - 1) + "\r\n"}) {
        const std::optional<TrustedKey> read = ParsePublicKeyText(spelling);
        ASSERT_TRUE(read) << spelling;
        EXPECT_EQ(read->key.point, key.key.point);
        EXPECT_EQ(read->name, key.name);
    }
    // The name is optional: the registry list gives it as the value's name.
    const std::string bare = "ecdsa-p256 " + EncodeBase64(std::string(key.key.point.begin(), key.key.point.end()));
    const std::optional<TrustedKey> unnamed = ParsePublicKeyText(bare);
    ASSERT_TRUE(unnamed);
    EXPECT_EQ(unnamed->name, L"");
    EXPECT_EQ(PublicKeyText(*unnamed), bare + "\n");

    for (const std::string& bad : std::vector<std::string>{"", "ecdsa-p256", "ecdsa-p256 ", "rsa " + bare.substr(11),
                                   "ECDSA-P256 " + bare.substr(11), " " + bare, bare + " ", bare + "\n\n",
                                   bare + " name\nsecond line", bare.substr(0, bare.size() - 4),
                                   "ecdsa-p256 " + EncodeBase64(std::string(65, 'x')), bare + " bad\x01name"})
        EXPECT_FALSE(ParsePublicKeyText(bad)) << bad;
}

TEST(PublicKeyText, KeyIdIsTheStartOfTheDigestOfThePoint) {
    EcdsaP256PublicKey key;
    key.point.fill(0x11);
    const std::string id = KeyIdOf(key);
    EXPECT_EQ(id, Sha256Hex(*Sha256::Of(key.point.data(), key.point.size())).substr(0, 16));
    key.point[0] = 0x12;
    EXPECT_NE(KeyIdOf(key), id);
}

TEST(PublicKeyText, SignatureSitsBesideTheConfiguration) {
    EXPECT_EQ(SignaturePathOf(L"C:\\p\\X.cfg"), L"C:\\p\\X.sig");
    EXPECT_EQ(SignaturePathOf(L"C:\\p.d\\TessaroFWDL.CFG"), L"C:\\p.d\\TessaroFWDL.sig");
    EXPECT_EQ(SignaturePathOf(L"C:\\p.d\\noext"), L"C:\\p.d\\noext.sig");
}

// ---- The check at start -------------------------------------------------

namespace {

class SignedPackage : public ::testing::Test {
protected:
    void SetUp() override {
        const std::optional<EcdsaP256PrivateKey> key = GenerateEcdsaP256Key();
        ASSERT_TRUE(key);
        key_ = *key;
        trusted_ = {TrustedKey{L"Tessaro Firmware", key_.publicKey}};
        folder_.AddPatternFile("main.bin", 5000, 1);
        folder_.AddPatternFile("mcu_jp.bin", 300, 2);
        folder_.AddPatternFile("mcu_eu.bin", 200, 3);
        folder_.AddFile(kDeviceUtilityLibraryName, "MZ utility");
        folder_.AddFile(kUsbLibraryName, "MZ usb");
        config_ = "[General]\r\nEncoding=0\r\nFwCount=2\r\n"
                  "[Fw0]\r\nFileName=main.bin\r\nSha256=" + Pin("main.bin") + "\r\n"
                  "[Fw1]\r\nContent=MCUFW\r\nFileName_JP=mcu_jp.bin\r\nSha256_JP=" + Pin("mcu_jp.bin") +
                  "\r\nFileName_EU=mcu_eu.bin\r\nSha256_EU=" + Pin("mcu_eu.bin") + "\r\n"
                  "[Libraries]\r\n" + std::string(kDeviceUtilityLibraryName) + "=" + Pin(kDeviceUtilityLibraryName) +
                  "\r\n" + kUsbLibraryName + "=" + Pin(kUsbLibraryName) + "\r\n";
        settings_ = folder_.WriteConfig(config_);
        Sign(key_);
    }

    std::string Pin(const std::string& name) const {
        const std::string bytes = ReadWholeFile(folder_.dir().path() / name).value_or("");
        return Sha256Hex(*Sha256::Of(bytes.data(), bytes.size()));
    }
    void Sign(const EcdsaP256PrivateKey& key) {
        PackageSignature lines;
        lines.keyId = KeyIdOf(key.publicKey);
        lines.signedAt = "2026-12-11T06:50:00Z";
        lines.sequence = 7;
        lines.comment = "release 1.10";
        const std::string signedLines = SignedLinesOf(lines);
        const std::optional<EcdsaP256Signature> signature =
            SignEcdsaP256(key, SignedMessageOf(signedLines, ReadWholeFile(Path("pkg.cfg")).value_or("")));
        ASSERT_TRUE(signature);
        folder_.AddFile("pkg.sig", SignatureFileText(signedLines, *signature));
    }
    std::filesystem::path Path(const std::string& name) const { return folder_.dir().path() / name; }
    void FlipByte(const std::string& name, std::size_t at) {
        std::string bytes = ReadWholeFile(Path(name)).value_or("");
        ASSERT_LT(at, bytes.size());
        bytes[at] = static_cast<char>(bytes[at] ^ 0x01);
        WriteBytes(Path(name), bytes);
    }
    void Rewrite(const std::string& name, const std::string& from, const std::string& to) {
        std::string bytes = ReadWholeFile(Path(name)).value_or("");
        const std::size_t at = bytes.find(from);
        ASSERT_NE(at, std::string::npos) << from;
        bytes.replace(at, from.size(), to);
        WriteBytes(Path(name), bytes);
    }
    SignatureVerdict Check(bool requireSigned = false) {
        settings_ = folder_.WriteConfig(ReadWholeFile(Path("pkg.cfg")).value_or(""));
        return CheckPackageSignature(files_, settings_, trusted_, requireSigned);
    }
    void ExpectRefused(SignatureProblem problem, const std::wstring& subject, const std::string& why) {
        const SignatureVerdict verdict = Check();
        EXPECT_EQ(verdict.kind, SignatureVerdict::kRefused) << why;
        EXPECT_EQ(verdict.problem, problem) << why << ": " << ToUtf8Text(verdict.reason);
        EXPECT_EQ(verdict.subject, subject) << why;
        EXPECT_NE(verdict.reason.find(subject), std::wstring::npos) << why << ": " << ToUtf8Text(verdict.reason);
    }
    static std::string ToUtf8Text(const std::wstring& text) { return ToUtf8(text); }

    PackageFolder folder_;
    PlatformFiles files_;
    EcdsaP256PrivateKey key_;
    std::vector<TrustedKey> trusted_;
    std::string config_;
    PackageSettings settings_;
};

}  // namespace

TEST_F(SignedPackage, ASignedPackageWithATrustedKeyIsTrusted) {
    const SignatureVerdict verdict = Check(true);
    EXPECT_EQ(verdict.kind, SignatureVerdict::kTrusted) << ToUtf8Text(verdict.reason);
    EXPECT_EQ(verdict.problem, SignatureProblem::kNone);
    EXPECT_EQ(verdict.signerName, L"Tessaro Firmware");
    EXPECT_EQ(verdict.keyId, KeyIdOf(key_.publicKey));
    EXPECT_EQ(verdict.sequence, 7u);
    EXPECT_EQ(verdict.signedAt, "2026-12-11T06:50:00Z");
    EXPECT_EQ(verdict.comment, "release 1.10");

    // Among other trusted keys, the one the signature names is used.
    const std::optional<EcdsaP256PrivateKey> other = GenerateEcdsaP256Key();
    ASSERT_TRUE(other);
    trusted_.insert(trusted_.begin(), TrustedKey{L"Other", other->publicKey});
    EXPECT_EQ(Check().kind, SignatureVerdict::kTrusted);
}

TEST_F(SignedPackage, OneChangedByteAnywhereIsRefused) {
    FlipByte("pkg.cfg", config_.find("Encoding"));
    ExpectRefused(SignatureProblem::kBadSignature, L"pkg.cfg", "configuration");
    SetUp();
    Rewrite("pkg.sig", "Sequence=7", "Sequence=8");
    ExpectRefused(SignatureProblem::kBadSignature, L"pkg.cfg", "sequence");
    SetUp();
    Rewrite("pkg.sig", "release 1.10", "release 1.11");
    ExpectRefused(SignatureProblem::kBadSignature, L"pkg.cfg", "comment");
    SetUp();
    FlipByte("main.bin", 2500);
    ExpectRefused(SignatureProblem::kFileMismatch, L"main.bin", "firmware file");
    SetUp();
    FlipByte("mcu_eu.bin", 0);
    ExpectRefused(SignatureProblem::kFileMismatch, L"mcu_eu.bin", "per-variant file");
}

TEST_F(SignedPackage, AnUnknownKeyOrABrokenSignatureFileIsRefused) {
    const std::string keyId = KeyIdOf(key_.publicKey);
    trusted_.clear();
    ExpectRefused(SignatureProblem::kUnknownKey, std::wstring(keyId.begin(), keyId.end()), "no keys");
    const std::optional<EcdsaP256PrivateKey> other = GenerateEcdsaP256Key();
    ASSERT_TRUE(other);
    trusted_ = {TrustedKey{L"Other", other->publicKey}};
    ExpectRefused(SignatureProblem::kUnknownKey, std::wstring(keyId.begin(), keyId.end()), "another key");

    // A key whose id matches but whose point differs does not verify.
    Sign(*other);
    Rewrite("pkg.sig", KeyIdOf(other->publicKey), keyId);
    trusted_ = {TrustedKey{L"Tessaro Firmware", key_.publicKey}};
    ExpectRefused(SignatureProblem::kBadSignature, L"pkg.cfg", "signed by another key");

    Rewrite("pkg.sig", "Comment=", "Note=");
    ExpectRefused(SignatureProblem::kUnreadableSignature, L"pkg.sig", "malformed");
}

TEST_F(SignedPackage, MissingAndUnpinnedFilesAreRefused) {
    std::filesystem::remove(Path("mcu_jp.bin"));
    ExpectRefused(SignatureProblem::kFileMissing, L"mcu_jp.bin", "missing firmware file");

    SetUp();
    Rewrite("pkg.cfg", "Sha256_EU=" + Pin("mcu_eu.bin") + "\r\n", "");
    Sign(key_);
    ExpectRefused(SignatureProblem::kFileUnpinned, L"mcu_eu.bin", "unpinned firmware file");

    SetUp();
    folder_.AddFile(kNetworkLibraryName, "MZ network");
    ExpectRefused(SignatureProblem::kFileUnpinned, L"vorlennet.dll", "a library put beside the package");

    SetUp();
    std::filesystem::remove(Path(kUsbLibraryName));
    ExpectRefused(SignatureProblem::kFileMissing, L"vorlenusb.dll", "a pinned library taken away");
}

TEST_F(SignedPackage, LibraryPinsAreReadLikeEveryOtherValue) {
    const FilePin pin = LibraryPinOf(settings_, L"VORLENDU.DLL");
    EXPECT_TRUE(pin.pinned);
    ASSERT_TRUE(pin.digest);
    EXPECT_EQ(Sha256Hex(*pin.digest), Pin(kDeviceUtilityLibraryName));
    EXPECT_FALSE(LibraryPinOf(settings_, L"vorlennet.dll").pinned);
}

TEST_F(SignedPackage, AnUnsignedPackageIsRefusedOnlyWhenSignaturesAreRequired) {
    std::filesystem::remove(Path("pkg.sig"));
    FlipByte("main.bin", 10);  // pins of an unsigned package are checked as the files are sent
    const SignatureVerdict unsigned_ = Check(false);
    EXPECT_EQ(unsigned_.kind, SignatureVerdict::kUnsigned);
    EXPECT_EQ(unsigned_.problem, SignatureProblem::kNone);
    const SignatureVerdict required = Check(true);
    EXPECT_EQ(required.kind, SignatureVerdict::kRefused);
    EXPECT_EQ(required.problem, SignatureProblem::kUnsignedRequired);
    EXPECT_FALSE(required.reason.empty());
}

// A package signed once with "fwpack sign" on Linux by the TEST key of
// ecdsa_p256_test.cpp ("fwdl-test-key-do-not-trust"): the signature file's
// format and its signature are taken alike by both builds.
TEST(SignedPackageKnownAnswer, AFileSignedNativelyVerifiesInEveryBuild) {
    constexpr char kConfig[] = "[General]\r\nEncoding=0\r\nModelName=Known answer\r\nFwCount=0\r\n";
    constexpr char kSignature[] =
        "KeyId=7fa743abb82d36d5\nSigned=2026-12-11T07:09:53Z\nSequence=1\nComment=known-answer test\n"
        "Signature=yQp5AYmvrmUDTHH7GfgqkIa5tAj5SJm2zcfhH2t86nVHiHRVUW9PrJtfwfYFBXvjE5vf4iclu1wTzRxr/42yyA==\n";
    const std::optional<TrustedKey> key = ParsePublicKeyText(
        "ecdsa-p256 RrNEbXzLtHDh6JsbLFy/nJ/jdV42bxc65AiTSK6fCc8zlCtOsz7zMP+SZyGeYdYkVIZvrtCNDv3fvqICrrrWhw== "
        "fwdl-test-key-do-not-trust\n");
    ASSERT_TRUE(key);
    EXPECT_EQ(KeyIdOf(key->key), "7fa743abb82d36d5");

    PackageFolder folder;
    PackageSettings settings = folder.WriteConfig(kConfig);
    folder.AddFile("pkg.sig", kSignature);
    PlatformFiles files;
    const SignatureVerdict verdict = CheckPackageSignature(files, settings, {*key}, true);
    EXPECT_EQ(verdict.kind, SignatureVerdict::kTrusted) << ToUtf8(verdict.reason);
    EXPECT_EQ(verdict.signerName, L"fwdl-test-key-do-not-trust");
    EXPECT_EQ(verdict.signedAt, "2026-12-11T07:09:53Z");

    // One bit changed in the description, or in the signature: refused.
    std::string config = kConfig;
    config[config.find("Known")] ^= 0x20;
    settings = folder.WriteConfig(config);
    EXPECT_EQ(CheckPackageSignature(files, settings, {*key}, true).problem, SignatureProblem::kBadSignature);
    settings = folder.WriteConfig(kConfig);
    std::string signature = kSignature;
    signature[signature.find("Signature=") + 12] ^= 0x01;
    folder.AddFile("pkg.sig", signature);
    EXPECT_EQ(CheckPackageSignature(files, settings, {*key}, true).problem, SignatureProblem::kBadSignature);
}
