#include "base/sha256.h"

std::optional<Sha256Digest> Sha256::Of(const void* bytes, std::size_t count) {
    Sha256 hash;
    hash.Update(bytes, count);
    return hash.Finish();
}

std::string Sha256Hex(const Sha256Digest& digest) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text;
    text.reserve(digest.size() * 2);
    for (const std::uint8_t byte : digest) {
        text += kDigits[byte >> 4];
        text += kDigits[byte & 0x0F];
    }
    return text;
}

namespace {

int HexValue(wchar_t c) {
    if (c >= L'0' && c <= L'9') return c - L'0';
    if (c >= L'a' && c <= L'f') return c - L'a' + 10;
    if (c >= L'A' && c <= L'F') return c - L'A' + 10;
    return -1;
}

}  // namespace

std::optional<Sha256Digest> ParseSha256Hex(std::wstring_view text) {
    Sha256Digest digest{};
    if (text.size() != digest.size() * 2) return std::nullopt;
    for (std::size_t i = 0; i < digest.size(); ++i) {
        const int high = HexValue(text[2 * i]);
        const int low = HexValue(text[2 * i + 1]);
        if (high < 0 || low < 0) return std::nullopt;
        digest[i] = static_cast<std::uint8_t>(high << 4 | low);
    }
    return digest;
}
