// SHA-256 of firmware files, from the platform: CNG on Windows, the system's
// libcrypto elsewhere. Callers see only this interface.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

using Sha256Digest = std::array<std::uint8_t, 32>;

class Sha256 {
public:
    Sha256();
    ~Sha256();
    Sha256(const Sha256&) = delete;
    Sha256& operator=(const Sha256&) = delete;

    void Update(const void* bytes, std::size_t count);
    // The digest of everything given since construction or the last Finish;
    // the object then starts afresh. Nothing when the platform could not
    // hash (no provider, no memory): such a result never equals a pin.
    std::optional<Sha256Digest> Finish();

    // One-shot digest of a block of bytes.
    static std::optional<Sha256Digest> Of(const void* bytes, std::size_t count);

private:
    struct State;
    std::unique_ptr<State> state_;
};

// 64 lower-case hexadecimal digits.
std::string Sha256Hex(const Sha256Digest& digest);
// A digest from exactly 64 hexadecimal digits of either case; nothing for
// any other text.
std::optional<Sha256Digest> ParseSha256Hex(std::wstring_view text);
