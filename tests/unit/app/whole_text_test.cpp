#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "base/whole_text.h"

namespace {

// A call that behaves as GetModuleFileNameW does with `text`: cut to the
// buffer and the buffer's size returned when it does not fit.
struct ModuleNameCall {
    std::wstring text;
    std::vector<std::size_t> sizesAsked;

    std::size_t operator()(wchar_t* buffer, std::size_t chars) {
        sizesAsked.push_back(chars);
        if (text.empty()) return 0;
        const std::size_t copied = std::min(text.size(), chars - 1);
        std::copy_n(text.begin(), copied, buffer);
        buffer[copied] = L'\0';
        return text.size() < chars ? text.size() : chars;
    }
};

}  // namespace

TEST(WholeText, AProgramPathIsReadWholeHoweverLong) {
    for (std::size_t length : {1u, 259u, 260u, 261u, 520u, 1000u, 32767u}) {
        ModuleNameCall call{L"C:\\" + std::wstring(length - 1, L'd')};
        EXPECT_EQ(ReadWholeText(call), call.text) << length;
    }
    ModuleNameCall exact{std::wstring(260, L'p')};
    ReadWholeText(exact);
    EXPECT_EQ(exact.sizesAsked, (std::vector<std::size_t>{260, 520}));  // 260 characters need 261 with the terminator
}

TEST(WholeText, AFailedCallOrATextPastTheLongestPathGivesNothing) {
    ModuleNameCall failing{L""};
    EXPECT_EQ(ReadWholeText(failing), L"");
    ModuleNameCall endless{std::wstring(kLongestPathChars * 3, L'x')};
    EXPECT_EQ(ReadWholeText(endless), L"");
    EXPECT_LE(endless.sizesAsked.back(), 2 * kLongestPathChars + 1024);
}
