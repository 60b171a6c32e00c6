#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>
#include <utility>

#include "app/batch_list.h"

namespace {

TEST(BatchList, TakesPrintersAndSettingsAndSkipsCommentsAndBlanks) {
    const BatchListParse parse = ParseBatchList(
        "\xEF\xBB\xBF# office fleet\r\n"
        "usb Korvane Laser 7000 (Office)\r\n"
        "\r\n"
        "  net 192.0.2.7  \n"
        "\tnet fe80::211:22ff:fe33:4455%11\n"
        "   # indented comment\n"
        "parallel 8\n"
        "wait 30\n"
        "reinstall\n"
        "  check \t\n"
        "usb \xE5\x8F\xB0\xE6\x89\x80");  // no line end at the last line
    ASSERT_TRUE(parse.list) << (parse.error ? DescribeBatchListError(*parse.error) : L"");
    EXPECT_EQ(parse.list->parallel, 8);
    EXPECT_EQ(parse.list->waitSeconds, 30);
    EXPECT_TRUE(parse.list->reinstall);
    EXPECT_TRUE(parse.list->dryRun);
    EXPECT_EQ(parse.list->printers,
              (std::vector<BatchPrinter>{{BatchRoad::kUsb, L"Korvane Laser 7000 (Office)"},
                                         {BatchRoad::kNetwork, L"192.0.2.7"},
                                         {BatchRoad::kNetwork, L"fe80::211:22ff:fe33:4455%11"},
                                         {BatchRoad::kUsb, L"\u53F0\u6240"}}));
}

TEST(BatchList, DefaultsWithoutSettings) {
    const BatchListParse parse = ParseBatchList("net 10.0.0.1\n");
    ASSERT_TRUE(parse.list);
    EXPECT_EQ(parse.list->parallel, 4);
    EXPECT_EQ(parse.list->waitSeconds, 600);
    EXPECT_FALSE(parse.list->reinstall);
    EXPECT_FALSE(parse.list->dryRun);
}

TEST(BatchList, TakesEveryParallelUpToItsLimit) {
    for (const int parallel : {1, 16, 64}) {
        const BatchListParse parse = ParseBatchList("parallel " + std::to_string(parallel) + "\nnet 10.0.0.1\n");
        ASSERT_TRUE(parse.list) << parallel;
        EXPECT_EQ(parse.list->parallel, parallel);
    }
}

struct BadListCase {
    std::string text;
    int line;
    std::wstring lineText;
    std::wstring problem;
};

class BadBatchList : public ::testing::TestWithParam<BadListCase> {};

TEST_P(BadBatchList, IsRefusedNamingTheLine) {
    const BadListCase& c = GetParam();
    const BatchListParse parse = ParseBatchList(c.text);
    EXPECT_FALSE(parse.list);
    ASSERT_TRUE(parse.error);
    EXPECT_EQ(*parse.error, (BatchListError{c.line, c.lineText, c.problem}));
}

INSTANTIATE_TEST_SUITE_P(
    Lines, BadBatchList,
    ::testing::Values(
        BadListCase{"net 10.0.0.1\nnett 10.0.0.2\n", 2, L"nett 10.0.0.2", L"unknown keyword"},
        BadListCase{"NET 10.0.0.1\n", 1, L"NET 10.0.0.1", L"unknown keyword"},
        BadListCase{"net\n", 1, L"net", L"no address"},
        BadListCase{"usb   \n", 1, L"usb", L"no printer name"},
        BadListCase{"net 10.0.0.256\n", 1, L"net 10.0.0.256", L"not an IPv4 or IPv6 address"},
        BadListCase{"net 010.0.0.1\n", 1, L"net 010.0.0.1", L"not an IPv4 or IPv6 address"},
        BadListCase{"net 10.0.0\n", 1, L"net 10.0.0", L"not an IPv4 or IPv6 address"},
        BadListCase{"net 10.0.0.1.5\n", 1, L"net 10.0.0.1.5", L"not an IPv4 or IPv6 address"},
        BadListCase{"net printer.example\n", 1, L"net printer.example", L"not an IPv4 or IPv6 address"},
        BadListCase{"net 1::2::3\n", 1, L"net 1::2::3", L"not an IPv4 or IPv6 address"},
        BadListCase{"net 1:2:3:4:5:6:7\n", 1, L"net 1:2:3:4:5:6:7", L"not an IPv4 or IPv6 address"},
        BadListCase{"net fe80::1%x\n", 1, L"net fe80::1%x", L"not an IPv4 or IPv6 address"},
        BadListCase{"net 10.0.0.1 extra\n", 1, L"net 10.0.0.1 extra", L"not an IPv4 or IPv6 address"},
        BadListCase{"net 10.0.0.1\nnet 10.0.0.1\n", 2, L"net 10.0.0.1",
                    L"printer listed twice, first on line 1: net 10.0.0.1"},
        BadListCase{"net FE80::1%3\n# c\nnet fe80::1%3\n", 3, L"net fe80::1%3",
                    L"printer listed twice, first on line 1: net FE80::1%3"},
        BadListCase{"usb Office\nusb OFFICE\n", 2, L"usb OFFICE", L"printer listed twice, first on line 1: usb Office"},
        BadListCase{"net fe80::1%4294967296\n", 1, L"net fe80::1%4294967296", L"not an IPv4 or IPv6 address"},
        BadListCase{"net fe80::1%9999999999\n", 1, L"net fe80::1%9999999999", L"not an IPv4 or IPv6 address"},
        BadListCase{"net fe80::1%00000000001\n", 1, L"net fe80::1%00000000001", L"not an IPv4 or IPv6 address"},
        BadListCase{"usb \"Office\n", 1, L"usb \"Office",
                    L"a quoted name must end with its closing quote and hold no other"},
        BadListCase{"usb \"Off\"ice\"\n", 1, L"usb \"Off\"ice\"",
                    L"a quoted name must end with its closing quote and hold no other"},
        BadListCase{"usb \"\"\n", 1, L"usb \"\"", L"no printer name"},
        BadListCase{"net 10.0.0.1\nnet 10.0.0.2\rnet 10.0.0.3\n", 2, L"net 10.0.0.2\uFFFDnet 10.0.0.3",
                    L"a carriage return not followed by a line feed"},
        BadListCase{"net 10.0.0.1\r\r\n", 1, L"net 10.0.0.1\uFFFD", L"a carriage return not followed by a line feed"},
        BadListCase{std::string("n\0e\0t\0 \0", 8), 1, L"n\uFFFDe\uFFFDt\uFFFD \uFFFD",
                    L"a NUL byte: the list must be UTF-8 text, not UTF-16"},
        BadListCase{std::string("\xFF\xFEn\0e\0t\0", 8), 0, L"", L"the list is UTF-16 text; save it as UTF-8"},
        BadListCase{std::string("\xFE\xFF\0n\0e\0t", 8), 0, L"", L"the list is UTF-16 text; save it as UTF-8"},
        BadListCase{"parallel 0\n", 1, L"parallel 0", L"parallel takes 1 to 64"},
        BadListCase{"parallel 65\n", 1, L"parallel 65", L"parallel takes 1 to 64"},
        BadListCase{"parallel -1\n", 1, L"parallel -1", L"parallel takes 1 to 64"},
        BadListCase{"parallel 4\nparallel 4\n", 2, L"parallel 4", L"parallel given twice"},
        BadListCase{"reinstall\nreinstall\n", 2, L"reinstall", L"reinstall given twice"},
        BadListCase{"reinstall yes\n", 1, L"reinstall yes", L"reinstall takes no value"},
        BadListCase{"check\nnet 10.0.0.1\ncheck\n", 3, L"check", L"check given twice"},
        BadListCase{"check all\n", 1, L"check all", L"check takes no value"},
        BadListCase{"checks\n", 1, L"checks", L"unknown keyword"},
        BadListCase{"wait 86401\n", 1, L"wait 86401", L"wait takes 0 to 86400 seconds"},
        BadListCase{"wait ten\n", 1, L"wait ten", L"wait takes 0 to 86400 seconds"},
        BadListCase{"usb a\xFF" "b\n", 1, L"usb a\u00FF" L"b", L"not UTF-8 text"},
        BadListCase{"usb a\x01" "b\n", 1, L"usb a\uFFFD" L"b", L"not UTF-8 text"},
        // Other control characters inside a line: a printer name that no
        // spooler shows, or an escape sequence on the console that shows it.
        BadListCase{std::string("usb a\0b\n", 8), 1, L"usb a\uFFFD" L"b",
                    L"a NUL byte: the list must be UTF-8 text, not UTF-16"},
        BadListCase{"usb Office\x1B[2J\n", 1, L"usb Office\uFFFD[2J", L"not UTF-8 text"},
        BadListCase{"net 192.0.2.7\nusb a\x7F" "b\n", 2, L"usb a\uFFFD" L"b", L"not UTF-8 text"},
        BadListCase{"usb a\rb\n", 1, L"usb a\uFFFD" L"b", L"a carriage return not followed by a line feed"},
        BadListCase{"# nothing\n\n", 0, L"", L"the list names no printer"},
        BadListCase{"", 0, L"", L"the list names no printer"}));

TEST(BatchList, AcceptsTheAddressFormsTheLibraryTakes) {
    for (const wchar_t* address : {L"0.0.0.0", L"255.255.255.255", L"::1", L"::", L"1:2:3:4:5:6:7:8",
                                   L"::ffff:10.0.0.1", L"fe80::1%0", L"2001:db8::", L"1::8"})
        EXPECT_TRUE(IsDottedIpv4(address) || IsIpv6Text(address)) << address;
    for (const wchar_t* address : {L"", L":", L"1.2.3.4:9100", L"[::1]", L"1:2:3:4:5:6:7:8:9", L"12345::",
                                   L"::1.2.3", L"1.2.3.4::", L":1::2"})
        EXPECT_FALSE(IsDottedIpv4(address) || IsIpv6Text(address)) << address;
}

// Two lines that name one printer in other spellings: the second is refused,
// naming the first.
TEST(BatchList, ASecondNamingOfAPrinterInAnySpellingIsRefused) {
    const std::pair<const char*, const char*> samePrinter[] = {
        {"net 2001:db8::5", "net 2001:db8:0:0:0:0:0:5"},
        {"net 2001:db8::5", "net 2001:DB8::0005"},
        {"net 2001:db8::5", "net 2001:0db8:0000::0:5"},
        {"net ::ffff:192.0.2.7", "net 192.0.2.7"},
        {"net 192.0.2.7", "net ::FFFF:c000:0207"},
        {"net ::ffff:192.0.2.7", "net 0:0:0:0:0:ffff:192.0.2.7"},
        {"net fe80::1%3", "net fe80::1%03"},
        {"net fe80::1", "net fe80::1%0"},
        {"net 2001:db8::1.2.3.4", "net 2001:db8::102:304"},
        {"net fe80::1%4294967295", "net FE80:0::1%4294967295"},
        {"usb Office", "usb OFFICE"},
        {"usb Office", "usb \"office\""},
        {"usb \"Floor 2 (East)\"", "usb floor 2 (east)"},
        {"usb B\xC3\xBCro", "usb B\xC3\x9CRO"},                // Büro, BÜRO
        {"usb \xD0\x9F\xD1\x80\xD0\xB8", "usb \xD0\xBF\xD0\xA0\xD0\x98"},  // Cyrillic, in other cases
    };
    for (const auto& [first, second] : samePrinter) {
        const BatchListParse parse = ParseBatchList(std::string(first) + "\n" + second + "\n");
        ASSERT_TRUE(parse.error) << first << " / " << second;
        EXPECT_EQ(parse.error->line, 2) << first << " / " << second;
        EXPECT_EQ(parse.error->problem.rfind(L"printer listed twice, first on line 1: ", 0), 0u)
            << first << " / " << second;
    }
    const std::pair<const char*, const char*> otherPrinters[] = {
        {"net 2001:db8::5", "net 2001:db8::50"},
        {"net fe80::1%3", "net fe80::1%4"},
        {"net fe80::1%3", "net fe80::1"},
        {"net ::ffff:192.0.2.7", "net ::192.0.2.7"},  // IPv4-compatible, not mapped
        {"net 192.0.2.7", "net 192.0.2.70"},
        {"net ::1", "usb ::1"},
        {"usb Office", "usb Office 2"},
        {"usb stra\xC3\x9F" "e", "usb STRASSE"},  // no rules of a language: ß is not SS
        {"usb Office", "usb \" Office\""},
    };
    for (const auto& [first, second] : otherPrinters) {
        const BatchListParse parse = ParseBatchList(std::string(first) + "\n" + second + "\n");
        EXPECT_TRUE(parse.list) << first << " / " << second << ": "
                                << (parse.error ? DescribeBatchListError(*parse.error) : L"");
    }
}

TEST(BatchList, AQuotedNameIsTakenWithoutItsQuotes) {
    const BatchListParse parse =
        ParseBatchList("usb \"Korvane Laser 7000 (Office)\"\nusb Plain \"name\"\nusb \"  spaced  \"\n");
    ASSERT_TRUE(parse.list) << (parse.error ? DescribeBatchListError(*parse.error) : L"");
    EXPECT_EQ(parse.list->printers, (std::vector<BatchPrinter>{{BatchRoad::kUsb, L"Korvane Laser 7000 (Office)"},
                                                               {BatchRoad::kUsb, L"Plain \"name\""},
                                                               {BatchRoad::kUsb, L"  spaced  "}}));
}

TEST(BatchList, CanonicalAddresses) {
    const auto key = CanonicalNetAddress(L"fe80::21c:42ff:fe2a:1001%4294967295");
    ASSERT_TRUE(key);
    EXPECT_TRUE(key->ipv6);
    EXPECT_EQ(key->scope, 4294967295u);
    EXPECT_EQ(key->bytes, (std::array<std::uint8_t, 16>{0xfe, 0x80, 0, 0, 0, 0, 0, 0, 0x02, 0x1c, 0x42, 0xff, 0xfe,
                                                        0x2a, 0x10, 0x01}));
    const auto mapped = CanonicalNetAddress(L"::ffff:192.0.2.7");
    ASSERT_TRUE(mapped);
    EXPECT_FALSE(mapped->ipv6);
    EXPECT_EQ(mapped, CanonicalNetAddress(L"192.0.2.7"));
    EXPECT_FALSE(CanonicalNetAddress(L"fe80::1%4294967296"));
    EXPECT_FALSE(CanonicalNetAddress(L"10.0.0.01"));
}

TEST(BatchList, DescribesTheRefusedLine) {
    EXPECT_EQ(DescribeBatchListError({3, L"nett 10.0.0.1", L"unknown keyword"}),
              L"list line 3 not understood (unknown keyword): nett 10.0.0.1");
    EXPECT_EQ(DescribeBatchListError(UnreadableBatchList(L"C:\\lists\\fleet.txt")),
              L"list not understood (the list cannot be read): C:\\lists\\fleet.txt");
}

}  // namespace
