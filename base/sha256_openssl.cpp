#include <openssl/evp.h>

#include "base/sha256.h"

struct Sha256::State {
    EVP_MD_CTX* context = EVP_MD_CTX_new();
    bool failed = false;  // sticks until Finish, which then yields nothing

    void Start() { failed = !context || EVP_DigestInit_ex(context, EVP_sha256(), nullptr) != 1; }
};

Sha256::Sha256() : state_(std::make_unique<State>()) { state_->Start(); }

Sha256::~Sha256() { EVP_MD_CTX_free(state_->context); }

void Sha256::Update(const void* bytes, std::size_t count) {
    if (count == 0 || state_->failed) return;
    if (EVP_DigestUpdate(state_->context, bytes, count) != 1) state_->failed = true;
}

std::optional<Sha256Digest> Sha256::Finish() {
    Sha256Digest digest{};
    unsigned int length = 0;
    const bool ok = !state_->failed && EVP_DigestFinal_ex(state_->context, digest.data(), &length) == 1 &&
                    length == digest.size();
    state_->Start();
    if (!ok) return std::nullopt;
    return digest;
}
