#include <windows.h>

#include <bcrypt.h>

#include "base/sha256.h"

namespace {

bool Ok(NTSTATUS status) { return status >= 0; }

// The algorithm provider is opened once per process and kept: opening it is
// the costly step, and one handle serves every thread.
BCRYPT_ALG_HANDLE Provider() {
    static const BCRYPT_ALG_HANDLE provider = [] {
        BCRYPT_ALG_HANDLE handle = nullptr;
        if (!Ok(BCryptOpenAlgorithmProvider(&handle, BCRYPT_SHA256_ALGORITHM, nullptr, 0))) return BCRYPT_ALG_HANDLE{};
        return handle;
    }();
    return provider;
}

}  // namespace

struct Sha256::State {
    BCRYPT_HASH_HANDLE hash = nullptr;
    bool failed = false;  // sticks until Finish, which then yields nothing

    void Start() {
        const BCRYPT_ALG_HANDLE provider = Provider();
        failed = !provider || !Ok(BCryptCreateHash(provider, &hash, nullptr, 0, nullptr, 0, 0));
        if (failed) hash = nullptr;
    }
    void Stop() {
        if (hash) BCryptDestroyHash(hash);
        hash = nullptr;
    }
};

Sha256::Sha256() : state_(std::make_unique<State>()) { state_->Start(); }

Sha256::~Sha256() { state_->Stop(); }

void Sha256::Update(const void* bytes, std::size_t count) {
    // The length of one BCryptHashData call is 32-bit.
    constexpr std::size_t kMaxPiece = 0x40000000;
    const auto* data = static_cast<const unsigned char*>(bytes);
    while (count > 0 && !state_->failed) {
        const std::size_t piece = count < kMaxPiece ? count : kMaxPiece;
        if (!Ok(BCryptHashData(state_->hash, const_cast<PUCHAR>(data), static_cast<ULONG>(piece), 0)))
            state_->failed = true;
        data += piece;
        count -= piece;
    }
}

std::optional<Sha256Digest> Sha256::Finish() {
    Sha256Digest digest{};
    const bool ok = !state_->failed &&
                    Ok(BCryptFinishHash(state_->hash, digest.data(), static_cast<ULONG>(digest.size()), 0));
    state_->Stop();
    state_->Start();
    if (!ok) return std::nullopt;
    return digest;
}
