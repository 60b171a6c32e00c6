#include "device/net_address_input.h"

std::string FormatIpv4Address(std::uint32_t address) {
    std::string text;
    for (int shift = 24; shift >= 0; shift -= 8) {
        if (!text.empty()) text += '.';
        text += std::to_string((address >> shift) & 0xFFu);
    }
    return text;
}

bool LacksLinkLocalScope(std::wstring_view text) {
    if (text.size() < 4) return false;
    const bool linkLocal = (text[0] == L'F' || text[0] == L'f') && (text[1] == L'E' || text[1] == L'e') &&
                           text[2] == L'8' && text[3] == L'0';
    if (!linkLocal) return false;
    return text.substr(0, text.size() - 1).find(L'%') == std::wstring_view::npos;
}

std::size_t FirstInvalidCommunityCharacter(std::wstring_view community) {
    for (std::size_t at = 0; at < community.size(); ++at) {
        const wchar_t c = community[at];
        const bool allowed = (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9') ||
                             c == L'-' || c == L'_';
        if (!allowed) return at;
    }
    return std::wstring_view::npos;
}
