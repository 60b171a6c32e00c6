#include <gtest/gtest.h>

#include <string>

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
        "usb \xE5\x8F\xB0\xE6\x89\x80");  // no line end at the last line
    ASSERT_TRUE(parse.list) << (parse.error ? DescribeBatchListError(*parse.error) : L"");
    EXPECT_EQ(parse.list->parallel, 8);
    EXPECT_EQ(parse.list->waitSeconds, 30);
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
        BadListCase{"net 10.0.0.1\nnet 10.0.0.1\n", 2, L"net 10.0.0.1", L"printer listed twice"},
        BadListCase{"net FE80::1%3\nnet fe80::1%3\n", 2, L"net fe80::1%3", L"printer listed twice"},
        BadListCase{"usb Office\nusb OFFICE\n", 2, L"usb OFFICE", L"printer listed twice"},
        BadListCase{"parallel 0\n", 1, L"parallel 0", L"parallel takes 1 to 16"},
        BadListCase{"parallel 17\n", 1, L"parallel 17", L"parallel takes 1 to 16"},
        BadListCase{"parallel -1\n", 1, L"parallel -1", L"parallel takes 1 to 16"},
        BadListCase{"parallel 4\nparallel 4\n", 2, L"parallel 4", L"parallel given twice"},
        BadListCase{"wait 86401\n", 1, L"wait 86401", L"wait takes 0 to 86400 seconds"},
        BadListCase{"wait ten\n", 1, L"wait ten", L"wait takes 0 to 86400 seconds"},
        BadListCase{"usb a\xFF" "b\n", 1, L"usb a\u00FF" L"b", L"not UTF-8 text"},
        BadListCase{std::string("usb a\0b\n", 8), 1, std::wstring(L"usb a\0b", 7), L"not UTF-8 text"},
        // Other control characters inside a line: a printer name that no
        // spooler shows, or an escape sequence on the console that shows it.
        BadListCase{"usb a\x01" "b\n", 1, L"usb a\x01" L"b", L"not UTF-8 text"},
        BadListCase{"usb Office\x1B[2J\n", 1, L"usb Office\x1B[2J", L"not UTF-8 text"},
        BadListCase{"net 192.0.2.7\nusb a\x7F" "b\n", 2, L"usb a\x7F" L"b", L"not UTF-8 text"},
        BadListCase{"usb a\rb\n", 1, L"usb a\rb", L"not UTF-8 text"},
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

TEST(BatchList, DescribesTheRefusedLine) {
    EXPECT_EQ(DescribeBatchListError({3, L"nett 10.0.0.1", L"unknown keyword"}),
              L"list line 3 not understood (unknown keyword): nett 10.0.0.1");
    EXPECT_EQ(DescribeBatchListError(UnreadableBatchList(L"C:\\lists\\fleet.txt")),
              L"list not understood (the list cannot be read): C:\\lists\\fleet.txt");
}

}  // namespace
