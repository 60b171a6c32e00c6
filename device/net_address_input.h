// Rules for what the user types on the network road: an address to add and
// the SNMP community.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// "a.b.c.d" from an IPv4 address held with its first octet in the most
// significant byte (as the address control gives it).
std::string FormatIpv4Address(std::uint32_t address);

// A link-local IPv6 text ("fe80" in either case) must name its scope: true
// when no "%" stands before the text's last character.
bool LacksLinkLocalScope(std::wstring_view text);

// A community may hold ASCII letters, digits, "-" and "_" only. The position
// of the first other character, or npos.
std::size_t FirstInvalidCommunityCharacter(std::wstring_view community);
