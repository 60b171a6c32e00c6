#include <gtest/gtest.h>

#include <string>

#include "base/text.h"
#include "device/net_address_input.h"

namespace {

TEST(Ipv4AddressText, FirstOctetFromTheMostSignificantByte) {
    EXPECT_EQ(FormatIpv4Address(0xC0000215u), "192.0.2.21");
    EXPECT_EQ(FormatIpv4Address(0), "0.0.0.0");  // blank fields of the address control
    EXPECT_EQ(FormatIpv4Address(0xFFFFFFFFu), "255.255.255.255");
    EXPECT_EQ(FormatIpv4Address(0x0A000001u), "10.0.0.1");
}

TEST(LinkLocalScope, NeededOnlyByLinkLocalTextsAndOnlyBeforeTheLastCharacter) {
    struct Case {
        const wchar_t* text;
        bool lacksScope;
    };
    const Case cases[] = {
        {L"fe80::21c:42ff:fe2a:1001", true},
        {L"FE80::1", true},
        {L"Fe80::1", true},
        {L"fe80::1%", true},   // "%" as the very last character names no scope
        {L"fe80::1%11", false},
        {L"fe80::1%x", false},  // whether the scope reads is for the address check
        {L"fe81::1", false},   // fourth character not "0": not link-local
        {L"fe8a::1", false},
        {L"2001:db8::1", false},
        {L"fe8", false},
        {L"", false},
    };
    for (const Case& c : cases) EXPECT_EQ(LacksLinkLocalScope(c.text), c.lacksScope) << ToEightBit(c.text);
}

TEST(CommunityCharacters, LettersDigitsHyphenAndUnderscoreOnly) {
    EXPECT_EQ(FirstInvalidCommunityCharacter(L"meadow"), std::wstring_view::npos);
    EXPECT_EQ(FirstInvalidCommunityCharacter(L"Public-2_x"), std::wstring_view::npos);
    EXPECT_EQ(FirstInvalidCommunityCharacter(L""), std::wstring_view::npos);
    EXPECT_EQ(FirstInvalidCommunityCharacter(L"abc "), 3u);
    EXPECT_EQ(FirstInvalidCommunityCharacter(L"a.b"), 1u);
    EXPECT_EQ(FirstInvalidCommunityCharacter(L"ab\u00E9c"), 2u);  // letters outside ASCII are refused
    EXPECT_EQ(FirstInvalidCommunityCharacter(L"%x"), 0u);
}

}  // namespace
