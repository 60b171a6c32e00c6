// ECDSA over P-256 with SHA-256, from the platform: CNG on Windows, the
// system's libcrypto elsewhere. Keys and signatures travel in one fixed byte
// form on every platform: a public key is its point X||Y (64 bytes), a
// private key its scalar d (32 bytes), a signature r||s (64 bytes), every
// number big-endian and padded to 32 bytes.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

#include "base/sha256.h"

struct EcdsaP256PublicKey {
    std::array<std::uint8_t, 64> point{};
};
struct EcdsaP256PrivateKey {
    std::array<std::uint8_t, 32> scalar{};
    EcdsaP256PublicKey publicKey;
};
using EcdsaP256Signature = std::array<std::uint8_t, 64>;

// Whether `signature` is a valid signature of `message` (hashed with
// SHA-256 here) by `key`. False for a point not on the curve and for any
// failure of the platform.
bool VerifyEcdsaP256(const EcdsaP256PublicKey& key, std::string_view message, const EcdsaP256Signature& signature);

// A new key pair from the platform's random source; nothing on failure.
std::optional<EcdsaP256PrivateKey> GenerateEcdsaP256Key();

// The signature of `message` by `key`; nothing on failure.
std::optional<EcdsaP256Signature> SignEcdsaP256(const EcdsaP256PrivateKey& key, std::string_view message);
