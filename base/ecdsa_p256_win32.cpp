#include <windows.h>

#include <bcrypt.h>

#include <cstring>
#include <vector>

#include "base/ecdsa_p256.h"

namespace {

bool Ok(NTSTATUS status) { return status >= 0; }

// Opened once per process and kept, as for SHA-256: one handle serves every
// thread.
BCRYPT_ALG_HANDLE Provider() {
    static const BCRYPT_ALG_HANDLE provider = [] {
        BCRYPT_ALG_HANDLE handle = nullptr;
        if (!Ok(BCryptOpenAlgorithmProvider(&handle, BCRYPT_ECDSA_P256_ALGORITHM, nullptr, 0)))
            return BCRYPT_ALG_HANDLE{};
        return handle;
    }();
    return provider;
}

class KeyHandle {
public:
    KeyHandle() = default;
    ~KeyHandle() {
        if (handle_) BCryptDestroyKey(handle_);
    }
    KeyHandle(const KeyHandle&) = delete;
    KeyHandle& operator=(const KeyHandle&) = delete;
    BCRYPT_KEY_HANDLE* Out() { return &handle_; }
    BCRYPT_KEY_HANDLE get() const { return handle_; }

private:
    BCRYPT_KEY_HANDLE handle_ = nullptr;
};

// CNG's key blobs: a header, then X, Y and (private blobs) d, 32 bytes
// each, big-endian, the same form as ours.
std::vector<UCHAR> BlobOf(ULONG magic, const EcdsaP256PublicKey& key, const std::array<std::uint8_t, 32>* scalar) {
    BCRYPT_ECCKEY_BLOB header{magic, 32};
    std::vector<UCHAR> blob(sizeof header + key.point.size() + (scalar ? scalar->size() : 0));
    std::memcpy(blob.data(), &header, sizeof header);
    std::memcpy(blob.data() + sizeof header, key.point.data(), key.point.size());
    if (scalar) std::memcpy(blob.data() + sizeof header + key.point.size(), scalar->data(), scalar->size());
    return blob;
}

bool Import(const wchar_t* blobType, std::vector<UCHAR>& blob, KeyHandle& key) {
    const BCRYPT_ALG_HANDLE provider = Provider();
    const bool ok = provider && Ok(BCryptImportKeyPair(provider, nullptr, blobType, key.Out(), blob.data(),
                                                       static_cast<ULONG>(blob.size()), 0));
    SecureZeroMemory(blob.data(), blob.size());
    return ok;
}

}  // namespace

bool VerifyEcdsaP256(const EcdsaP256PublicKey& key, std::string_view message, const EcdsaP256Signature& signature) {
    const std::optional<Sha256Digest> digest = Sha256::Of(message.data(), message.size());
    std::vector<UCHAR> blob = BlobOf(BCRYPT_ECDSA_PUBLIC_P256_MAGIC, key, nullptr);
    KeyHandle handle;
    if (!digest || !Import(BCRYPT_ECCPUBLIC_BLOB, blob, handle)) return false;
    return Ok(BCryptVerifySignature(handle.get(), nullptr, const_cast<PUCHAR>(digest->data()),
                                    static_cast<ULONG>(digest->size()), const_cast<PUCHAR>(signature.data()),
                                    static_cast<ULONG>(signature.size()), 0));
}

std::optional<EcdsaP256PrivateKey> GenerateEcdsaP256Key() {
    const BCRYPT_ALG_HANDLE provider = Provider();
    KeyHandle handle;
    if (!provider || !Ok(BCryptGenerateKeyPair(provider, handle.Out(), 256, 0)) ||
        !Ok(BCryptFinalizeKeyPair(handle.get(), 0)))
        return std::nullopt;
    std::vector<UCHAR> blob(sizeof(BCRYPT_ECCKEY_BLOB) + 96);
    ULONG written = 0;
    const bool exported = Ok(BCryptExportKey(handle.get(), nullptr, BCRYPT_ECCPRIVATE_BLOB, blob.data(),
                                             static_cast<ULONG>(blob.size()), &written, 0));
    BCRYPT_ECCKEY_BLOB header{};
    std::memcpy(&header, blob.data(), sizeof header);
    std::optional<EcdsaP256PrivateKey> result;
    if (exported && written == blob.size() && header.dwMagic == BCRYPT_ECDSA_PRIVATE_P256_MAGIC &&
        header.cbKey == 32) {
        result.emplace();
        std::memcpy(result->publicKey.point.data(), blob.data() + sizeof header, 64);
        std::memcpy(result->scalar.data(), blob.data() + sizeof header + 64, 32);
    }
    SecureZeroMemory(blob.data(), blob.size());
    return result;
}

std::optional<EcdsaP256Signature> SignEcdsaP256(const EcdsaP256PrivateKey& key, std::string_view message) {
    const std::optional<Sha256Digest> digest = Sha256::Of(message.data(), message.size());
    std::vector<UCHAR> blob = BlobOf(BCRYPT_ECDSA_PRIVATE_P256_MAGIC, key.publicKey, &key.scalar);
    KeyHandle handle;
    if (!digest || !Import(BCRYPT_ECCPRIVATE_BLOB, blob, handle)) return std::nullopt;
    EcdsaP256Signature signature{};
    ULONG written = 0;
    if (!Ok(BCryptSignHash(handle.get(), nullptr, const_cast<PUCHAR>(digest->data()),
                           static_cast<ULONG>(digest->size()), signature.data(),
                           static_cast<ULONG>(signature.size()), &written, 0)) ||
        written != signature.size())
        return std::nullopt;
    return signature;
}
