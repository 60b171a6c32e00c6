#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/text.h"

#ifdef _WIN32
#include <windows.h>
#include <shellapi.h>
#endif

namespace {

struct QuoteCase {
    std::wstring argument;
    std::wstring quoted;
};

const std::vector<QuoteCase> kCases = {
    {L"plain", L"plain"},
    {L"", L"\"\""},
    {L"two words", L"\"two words\""},
    {L"C:\\Program Files\\Tessaro\\", L"\"C:\\Program Files\\Tessaro\\\\\""},
    {L"C:\\no\\spaces\\", L"C:\\no\\spaces\\"},
    {L"say \"hi\"", L"\"say \\\"hi\\\"\""},
    {L"a\\\"b", L"\"a\\\\\\\"b\""},
    {L"tab\there", L"\"tab\there\""},
};

TEST(QuotedArgument, FollowsTheRulesThatSplitACommandLine) {
    for (const QuoteCase& c : kCases) EXPECT_EQ(QuotedArgument(c.argument), c.quoted) << ToEightBit(c.argument);
}

#ifdef _WIN32
// The system's own splitter gives every argument back unchanged.
TEST(QuotedArgument, SurvivesTheSystemsSplitter) {
    std::wstring commandLine = L"program.exe";
    for (const QuoteCase& c : kCases) commandLine += L" " + QuotedArgument(c.argument);
    int count = 0;
    LPWSTR* split = CommandLineToArgvW(commandLine.c_str(), &count);
    ASSERT_NE(split, nullptr);
    ASSERT_EQ(count, static_cast<int>(kCases.size()) + 1);
    for (std::size_t i = 0; i < kCases.size(); ++i) EXPECT_EQ(split[i + 1], kCases[i].argument);
    LocalFree(split);
}
#endif

}  // namespace
