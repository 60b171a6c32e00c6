#include "sim/ipv6_address.h"

#include <cstdio>
#include <vector>

namespace {

template <typename Char>
int HexValue(Char c) {
    if (c >= '0' && c <= '9') return static_cast<int>(c - '0');
    if (c >= 'a' && c <= 'f') return static_cast<int>(c - 'a' + 10);
    if (c >= 'A' && c <= 'F') return static_cast<int>(c - 'A' + 10);
    return -1;
}

template <typename Char>
bool IsDigit(Char c) {
    return c >= '0' && c <= '9';
}

// A decimal number of 1 to `maxDigits` digits, without a leading zero unless
// it is "0"; nothing when the text is not such a number or exceeds `max`.
template <typename Char>
std::optional<std::uint32_t> ParseDecimal(std::basic_string_view<Char> text, std::size_t maxDigits,
                                          std::uint64_t max) {
    if (text.empty() || text.size() > maxDigits) return std::nullopt;
    if (text.size() > 1 && text[0] == '0') return std::nullopt;
    std::uint64_t value = 0;
    for (Char c : text) {
        if (!IsDigit(c)) return std::nullopt;
        value = value * 10 + static_cast<std::uint64_t>(c - '0');
    }
    if (value > max) return std::nullopt;
    return static_cast<std::uint32_t>(value);
}

// Dotted IPv4 tail: exactly four decimal parts of 0 to 255.
template <typename Char>
bool ParseIpv4Tail(std::basic_string_view<Char> text, std::vector<std::uint16_t>& groups) {
    std::uint8_t parts[4];
    for (int k = 0; k < 4; ++k) {
        const std::size_t dot = text.find(static_cast<Char>('.'));
        const bool last = k == 3;
        if (last != (dot == std::basic_string_view<Char>::npos)) return false;
        const auto part = ParseDecimal(last ? text : text.substr(0, dot), 3, 255);
        if (!part) return false;
        parts[k] = static_cast<std::uint8_t>(*part);
        if (!last) text.remove_prefix(dot + 1);
    }
    groups.push_back(static_cast<std::uint16_t>(parts[0] << 8 | parts[1]));
    groups.push_back(static_cast<std::uint16_t>(parts[2] << 8 | parts[3]));
    return true;
}

template <typename Char>
std::optional<Ipv6Address> Parse(std::basic_string_view<Char> text) {
    using View = std::basic_string_view<Char>;
    Ipv6Address address;

    const std::size_t percent = text.find(static_cast<Char>('%'));
    if (percent != View::npos) {
        const auto scope = ParseDecimal(text.substr(percent + 1), 10, 0xFFFFFFFFull);
        if (!scope) return std::nullopt;
        address.scopeId = *scope;
        text = text.substr(0, percent);
    }

    // Groups before and after the "::", if there is one.
    std::vector<std::uint16_t> head, tail;
    std::vector<std::uint16_t>* groups = &head;
    bool gap = false;
    std::size_t i = 0;
    const std::size_t n = text.size();
    if (n >= 2 && text[0] == ':' && text[1] == ':') {
        gap = true;
        groups = &tail;
        i = 2;
    } else if (n == 0 || text[0] == ':') {
        return std::nullopt;
    }
    while (i < n) {
        std::size_t end = text.find(static_cast<Char>(':'), i);
        if (end == View::npos) end = n;
        const View token = text.substr(i, end - i);
        if (token.empty()) return std::nullopt;  // ":::" or a second "::"
        if (token.find(static_cast<Char>('.')) != View::npos) {
            if (end != n || !ParseIpv4Tail(token, *groups)) return std::nullopt;
            break;
        }
        if (token.size() > 4) return std::nullopt;
        std::uint16_t value = 0;
        for (Char c : token) {
            const int digit = HexValue(c);
            if (digit < 0) return std::nullopt;
            value = static_cast<std::uint16_t>(value << 4 | digit);
        }
        groups->push_back(value);
        if (end == n) break;
        if (end + 1 < n && text[end + 1] == ':') {
            if (gap) return std::nullopt;
            gap = true;
            groups = &tail;
            i = end + 2;
        } else {
            i = end + 1;
            if (i == n) return std::nullopt;  // a single trailing ":"
        }
    }

    const std::size_t count = head.size() + tail.size();
    // "::" stands for at least one zero group.
    if (gap ? count > 7 : count != 8) return std::nullopt;
    std::size_t at = 0;
    for (std::uint16_t group : head) {
        address.bytes[at++] = static_cast<std::uint8_t>(group >> 8);
        address.bytes[at++] = static_cast<std::uint8_t>(group);
    }
    at = 16 - 2 * tail.size();
    for (std::uint16_t group : tail) {
        address.bytes[at++] = static_cast<std::uint8_t>(group >> 8);
        address.bytes[at++] = static_cast<std::uint8_t>(group);
    }
    return address;
}

}  // namespace

std::optional<Ipv6Address> ParseIpv6(std::string_view text) { return Parse(text); }
std::optional<Ipv6Address> ParseIpv6(std::wstring_view text) { return Parse(text); }

int CompareIpv6Texts(std::wstring_view first, std::wstring_view second) {
    const auto a = ParseIpv6(first);
    const auto b = ParseIpv6(second);
    if (!a || !b) return 1;
    if (a->bytes != b->bytes) return a->bytes < b->bytes ? -1 : 1;
    if (a->scopeId != b->scopeId) return a->scopeId < b->scopeId ? -1 : 1;
    return 0;
}

std::string FormatIpv6(const Ipv6Address& address) {
    std::string text;
    char group[8];
    for (int k = 0; k < 8; ++k) {
        std::snprintf(group, sizeof group, k ? ":%x" : "%x", address.bytes[2 * k] << 8 | address.bytes[2 * k + 1]);
        text += group;
    }
    if (address.scopeId != 0) text += "%" + std::to_string(address.scopeId);
    return text;
}
