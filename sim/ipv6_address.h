// IPv6 address texts as the network library accepts them: the forms of
// RFC 4291 (eight groups of up to four hexadecimal digits, one "::" for a run
// of zero groups, an optional dotted IPv4 tail) with an optional "%" and a
// decimal scope id. No blanks, no brackets, no port. Portable and free of OS
// calls, so that every text form is handled the same on every platform.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

struct Ipv6Address {
    std::array<std::uint8_t, 16> bytes{};  // network byte order
    std::uint32_t scopeId = 0;             // 0: none given

    bool operator==(const Ipv6Address&) const = default;
};

std::optional<Ipv6Address> ParseIpv6(std::string_view text);
std::optional<Ipv6Address> ParseIpv6(std::wstring_view text);

// Ordering of two texts by the addresses they name: 0 when both are valid and
// name the same address and scope; otherwise a nonzero value (negative or
// positive by address, then scope; 1 when either text is not valid).
int CompareIpv6Texts(std::wstring_view first, std::wstring_view second);

// Full form, eight groups in lower case without leading zeros, and
// "%<scope>" when the scope id is not 0: the form the simulator writes.
std::string FormatIpv6(const Ipv6Address& address);
