#include <gtest/gtest.h>

#include <string>

#include "sim/ipv6_address.h"

namespace {

struct Ipv6Case {
    const char* text;
    const char* full;  // FormatIpv6 of the address, or nullptr when the text is not valid
};

class Ipv6Texts : public ::testing::TestWithParam<Ipv6Case> {};

TEST_P(Ipv6Texts, ParseAsTheNetworkLibraryAcceptsThem) {
    const Ipv6Case& c = GetParam();
    const auto narrow = ParseIpv6(std::string(c.text));
    const std::string text(c.text);
    const auto wide = ParseIpv6(std::wstring(text.begin(), text.end()));
    ASSERT_EQ(narrow.has_value(), c.full != nullptr) << c.text;
    EXPECT_EQ(narrow, wide);
    if (narrow) {
        EXPECT_EQ(FormatIpv6(*narrow), c.full);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Ipv6Texts,
    ::testing::Values(
        Ipv6Case{"::", "0:0:0:0:0:0:0:0"}, Ipv6Case{"::1", "0:0:0:0:0:0:0:1"}, Ipv6Case{"1::", "1:0:0:0:0:0:0:0"},
        Ipv6Case{"2001:db8::1", "2001:db8:0:0:0:0:0:1"},
        Ipv6Case{"2001:0DB8:0000:0000:0000:ff00:0042:8329", "2001:db8:0:0:0:ff00:42:8329"},
        Ipv6Case{"1:2:3:4:5:6:7:8", "1:2:3:4:5:6:7:8"}, Ipv6Case{"1:2:3:4:5:6:7::", "1:2:3:4:5:6:7:0"},
        Ipv6Case{"::2:3:4:5:6:7:8", "0:2:3:4:5:6:7:8"}, Ipv6Case{"1::8", "1:0:0:0:0:0:0:8"},
        Ipv6Case{"fe80::211:22ff:fe33:4455%11", "fe80:0:0:0:211:22ff:fe33:4455%11"},
        Ipv6Case{"fe80::1%0", "fe80:0:0:0:0:0:0:1"}, Ipv6Case{"fe80::1%4294967295", "fe80:0:0:0:0:0:0:1%4294967295"},
        Ipv6Case{"::ffff:192.0.2.128", "0:0:0:0:0:ffff:c000:280"},
        Ipv6Case{"1:2:3:4:5:6:1.2.3.4", "1:2:3:4:5:6:102:304"}, Ipv6Case{"::1.2.3.4", "0:0:0:0:0:0:102:304"},
        // Not valid:
        Ipv6Case{"", nullptr}, Ipv6Case{":", nullptr}, Ipv6Case{":::", nullptr}, Ipv6Case{"1:2", nullptr},
        Ipv6Case{"1:2:3:4:5:6:7", nullptr}, Ipv6Case{"1:2:3:4:5:6:7:8:9", nullptr},
        Ipv6Case{"1:2:3:4:5:6:7:8::", nullptr}, Ipv6Case{"::1:2:3:4:5:6:7:8", nullptr},
        Ipv6Case{"1::2::3", nullptr}, Ipv6Case{":1::2", nullptr}, Ipv6Case{"1::2:", nullptr},
        Ipv6Case{"12345::1", nullptr}, Ipv6Case{"g::1", nullptr}, Ipv6Case{" ::1", nullptr},
        Ipv6Case{"::1 ", nullptr}, Ipv6Case{"[::1]", nullptr}, Ipv6Case{"::1%", nullptr},
        Ipv6Case{"::1%eth0", nullptr}, Ipv6Case{"::1%4294967296", nullptr}, Ipv6Case{"::1%-1", nullptr},
        Ipv6Case{"%1", nullptr}, Ipv6Case{"192.0.2.1", nullptr}, Ipv6Case{"::1.2.3", nullptr},
        Ipv6Case{"::1.2.3.256", nullptr}, Ipv6Case{"::01.2.3.4", nullptr}, Ipv6Case{"::1.2.3.4:5", nullptr},
        Ipv6Case{"1:2:3:4:5:6:7:1.2.3.4", nullptr}, Ipv6Case{"::1.2.3.4.5", nullptr}));

TEST(Ipv6Texts, NonAsciiWideCharactersAreNotDigits) {
    EXPECT_FALSE(ParseIpv6(std::wstring(L"::\x0661")));  // an Arabic-Indic digit one
    EXPECT_FALSE(ParseIpv6(std::wstring(L"::1\0", 4)));
}

struct CompareCase {
    const wchar_t* first;
    const wchar_t* second;
    bool same;
};

class Ipv6Compare : public ::testing::TestWithParam<CompareCase> {};

TEST_P(Ipv6Compare, ComparesAddressesNotTexts) {
    const CompareCase& c = GetParam();
    EXPECT_EQ(CompareIpv6Texts(c.first, c.second) == 0, c.same) << std::wstring(c.first) << L" " << c.second;
    EXPECT_EQ(CompareIpv6Texts(c.second, c.first) == 0, c.same);
}

INSTANTIATE_TEST_SUITE_P(Cases, Ipv6Compare,
                         ::testing::Values(CompareCase{L"::1", L"0:0:0:0:0:0:0:1", true},
                                           CompareCase{L"2001:DB8::1", L"2001:db8:0::0:1", true},
                                           CompareCase{L"::ffff:192.0.2.1", L"::ffff:c000:201", true},
                                           CompareCase{L"fe80::1%3", L"fe80::0001%3", true},
                                           CompareCase{L"fe80::1%3", L"fe80::1%4", false},
                                           CompareCase{L"fe80::1", L"fe80::1%0", true},
                                           CompareCase{L"::1", L"::2", false},
                                           CompareCase{L"bad", L"bad", false},
                                           CompareCase{L"::1", L"", false}));

TEST(Ipv6Compare, OrdersByAddressThenScope) {
    EXPECT_LT(CompareIpv6Texts(L"::1", L"::2"), 0);
    EXPECT_GT(CompareIpv6Texts(L"::2", L"::1"), 0);
    EXPECT_LT(CompareIpv6Texts(L"fe80::1%1", L"fe80::1%2"), 0);
}

}  // namespace
