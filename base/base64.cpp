#include "base/base64.h"

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int ValueOf(char c) {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+') return 62;
    if (c == '/') return 63;
    return -1;
}

}  // namespace

std::string EncodeBase64(std::string_view bytes) {
    std::string text;
    text.reserve((bytes.size() + 2) / 3 * 4);
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        const std::size_t count = bytes.size() - i < 3 ? bytes.size() - i : 3;
        unsigned long group = 0;
        for (std::size_t k = 0; k < 3; ++k)
            group = (group << 8) | (k < count ? static_cast<unsigned char>(bytes[i + k]) : 0u);
        for (std::size_t k = 0; k < 4; ++k)
            text += k <= count ? kAlphabet[(group >> (18 - 6 * k)) & 0x3F] : '=';
    }
    return text;
}

std::optional<std::string> DecodeBase64(std::string_view text) {
    if (text.size() % 4 != 0) return std::nullopt;
    std::string bytes;
    bytes.reserve(text.size() / 4 * 3);
    for (std::size_t i = 0; i < text.size(); i += 4) {
        const bool last = i + 4 == text.size();
        std::size_t padding = 0;
        if (last) {
            while (padding < 2 && text[i + 3 - padding] == '=') ++padding;
        }
        unsigned long group = 0;
        for (std::size_t k = 0; k < 4; ++k) {
            const int value = k < 4 - padding ? ValueOf(text[i + k]) : 0;
            if (value < 0) return std::nullopt;
            group = (group << 6) | static_cast<unsigned long>(value);
        }
        // The bits that padding leaves over must be zero.
        if ((padding == 1 && (group & 0xFF) != 0) || (padding == 2 && (group & 0xFFFF) != 0)) return std::nullopt;
        for (std::size_t k = 0; k < 3 - padding; ++k) bytes += static_cast<char>((group >> (16 - 8 * k)) & 0xFF);
    }
    return bytes;
}
