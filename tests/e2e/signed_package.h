// A maker's key for one test: it seals a package folder (pins every firmware
// file and every library present into the configuration file) and signs it,
// as the package tool does; and the machine's list trusts it while the object
// lives, under the test's own name. Windows only.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "base/ecdsa_p256.h"
#include "base/sha256.h"
#include "base/text.h"
#include "package/package_signature.h"
#include "tests/wizard/registry_override.h"

namespace e2e {

inline constexpr wchar_t kPolicyKey[] = L"SOFTWARE\\Policies\\Tessaro\\TessaroFWDL";
inline constexpr wchar_t kTrustedKeysKey[] = L"SOFTWARE\\Policies\\Tessaro\\TessaroFWDL\\TrustedKeys";
inline constexpr char kSignedAt[] = "2026-12-11T06:50:00Z";
inline constexpr std::uint64_t kSequence = 7;

class TestSigner {
public:
    // A new key; `trustedAs` non-empty: the machine's list trusts it under that name.
    explicit TestSigner(const std::wstring& trustedAs) : key_(GenerateEcdsaP256Key()) {
        if (!key_ || trustedAs.empty()) return;
        const std::wstring text = FromEightBit(PublicKeyText(TrustedKey{L"", key_->publicKey}));
        trust_.emplace(HKEY_LOCAL_MACHINE, kTrustedKeysKey, trustedAs.c_str(), REG_SZ, text.c_str(),
                       static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    }
    bool Ready() const { return key_.has_value() && (!trust_ || trust_->Set()); }
    std::string KeyId() const { return key_ ? KeyIdOf(key_->publicKey) : std::string(); }

    // `config` with a pin after each "FileName=" line and a section of
    // library pins, written as `configName` in `folder`, and its signature
    // file beside it.
    void SealAndSign(const std::filesystem::path& folder, const std::string& configName, const std::string& config) const {
        std::string sealed;
        std::size_t at = 0;
        while (at < config.size()) {
            std::size_t end = config.find('\n', at);
            end = end == std::string::npos ? config.size() : end + 1;
            const std::string line = config.substr(at, end - at);
            sealed += line;
            if (line.rfind("FileName=", 0) == 0) {
                std::string name = line.substr(9);
                while (!name.empty() && (name.back() == '\n' || name.back() == '\r')) name.pop_back();
                sealed += "Sha256=" + HexOf(folder / name) + "\n";
            }
            at = end;
        }
        sealed += "[Libraries]\n";
        for (const char* library : {"vorlendu.dll", "vorlenusb.dll", "vorlennet.dll"})
            if (std::filesystem::exists(folder / library))
                sealed += std::string(library) + "=" + HexOf(folder / library) + "\n";
        WriteBytes(folder / configName, sealed);
        Sign(folder, configName);
    }

    // Signs the configuration file as it stands.
    void Sign(const std::filesystem::path& folder, const std::string& configName) const {
        PackageSignature signature;
        signature.keyId = KeyId();
        signature.signedAt = kSignedAt;
        signature.sequence = kSequence;
        signature.comment = "end-to-end test";
        const std::string lines = SignedLinesOf(signature);
        const std::string config = ReadBytes(folder / configName);
        const std::optional<EcdsaP256Signature> signed_ = SignEcdsaP256(*key_, SignedMessageOf(lines, config));
        std::filesystem::path sig = folder / configName;
        sig.replace_extension(".sig");
        WriteBytes(sig, signed_ ? SignatureFileText(lines, *signed_) : std::string());
    }

private:
    static std::string HexOf(const std::filesystem::path& file) {
        const std::string bytes = ReadBytes(file);
        return Sha256Hex(*Sha256::Of(bytes.data(), bytes.size()));
    }
    static std::string ReadBytes(const std::filesystem::path& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    static void WriteBytes(const std::filesystem::path& path, const std::string& bytes) {
        std::FILE* out = _wfopen(path.c_str(), L"wb");
        if (!out) return;
        std::fwrite(bytes.data(), 1, bytes.size(), out);
        std::fclose(out);
    }

    std::optional<EcdsaP256PrivateKey> key_;
    std::optional<RegistryOverride> trust_;
};

// The test's name, as the machine's list names its key.
inline std::wstring TestKeyName() {
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    return FromEightBit(std::string("e2e ") + test->test_suite_name() + "." + test->name());
}

}  // namespace e2e
