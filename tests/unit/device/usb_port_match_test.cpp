#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "base/text.h"
#include "device/usb_port_match.h"
#include "null_libraries.h"

namespace {

TEST(FamilyDriver, ComparedCaseSensitively) {
    EXPECT_TRUE(IsFamilyDriver(L"Korvane Laser 7030F"));
    EXPECT_TRUE(IsFamilyDriver(L"Korvane Laser 7000"));
    EXPECT_TRUE(IsFamilyDriver(L"Korvane Laser 7000F"));
    EXPECT_FALSE(IsFamilyDriver(L"korvane laser 7000"));
    EXPECT_FALSE(IsFamilyDriver(L"KORVANE LASER 7030F"));
    EXPECT_FALSE(IsFamilyDriver(L"Korvane Laser 7030"));
    EXPECT_FALSE(IsFamilyDriver(L"Korvane Laser 7000 "));
    EXPECT_FALSE(IsFamilyDriver(L"Generic / Text Only"));
    EXPECT_FALSE(IsFamilyDriver(L""));
}

TEST(UsbPortName, BeginsWithUsbInAnyCase) {
    for (const wchar_t* port : {L"USB001", L"usb001", L"Usb002", L"uSB", L"USBPRINT"})
        EXPECT_TRUE(IsUsbPortName(port)) << ToEightBit(port);
    for (const wchar_t* port : {L"US", L"", L"LPT1:", L"COM1:", L" USB001", L"XUSB001", L"FILE:"})
        EXPECT_FALSE(IsUsbPortName(port)) << ToEightBit(port);
}

struct PathCase {
    const char* symbolicName;
    const char* devicePath;
    bool matches;
};

class SymbolicNameMatching : public ::testing::TestWithParam<PathCase> {};

TEST_P(SymbolicNameMatching, ComparesFromTheFifthCharacterIgnoringCase) {
    const PathCase& c = GetParam();
    EXPECT_EQ(SymbolicNameMatchesDevicePath(c.symbolicName, c.devicePath), c.matches)
        << c.symbolicName << " / " << c.devicePath;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SymbolicNameMatching,
    ::testing::Values(
        PathCase{"\\??\\USB#VID_1234&PID_5678#AB12#{28d78fad}", "\\\\?\\usb#vid_1234&pid_5678#ab12#{28d78fad}", true},
        PathCase{"\\??\\USB#VID_1234&PID_5678#AB12", "\\??\\USB#VID_1234&PID_5678#AB12", true},
        PathCase{"1234same", "abcdsame", true},              // the first four characters never count
        PathCase{"\\??\\USB#VID_1234#AB12", "\\\\?\\usb#vid_1234#ab13", false},
        PathCase{"\\??\\USB#VID_1234#AB12", "\\\\?\\usb#vid_1234#ab12#more", false},
        PathCase{"abcd", "wxyz", true},                      // both exactly four characters
        PathCase{"abcd", "wxyzq", false},
        PathCase{"abc", "abc", false},                       // fewer than four never match
        PathCase{"abc", "abcd", false},
        PathCase{"", "", false},
        PathCase{"abcd\xC4", "abcd\xE4", false},             // letter case folds in ASCII only
        PathCase{"abcd[", "abcd{", false}),
    [](const auto& info) { return "case" + std::to_string(info.index); });

// The USB library's symbolic names per port; every question goes to `asked`.
class FakeSymbolicNames : public NullLibraries {
public:
    int USBGetSymbolicNameByPortEx(const wchar_t* portName, int reserved1, int reserved2, wchar_t* nameBuffer,
                                   int nameChars) override {
        asked.push_back(portName);
        EXPECT_EQ(reserved1, 0);
        EXPECT_EQ(reserved2, 0);
        EXPECT_EQ(nameChars, kSymbolicNameChars);
        const auto found = names.find(portName);
        if (found == names.end()) return 0;
        // Like the library, writes the whole buffer when the name fills it.
        const std::wstring& name = found->second;
        const std::size_t count = std::min<std::size_t>(name.size() + 1, static_cast<std::size_t>(nameChars));
        std::copy_n(name.c_str(), count, nameBuffer);
        return 1;
    }

    std::map<std::wstring, std::wstring> names;
    std::vector<std::wstring> asked;
};

constexpr char kDevicePath[] = "\\\\?\\usb#vid_1234&pid_5678#ab12#{28d78fad}";
const std::wstring kSymbolicName = L"\\??\\USB#VID_1234&PID_5678#AB12#{28D78FAD}";
const std::wstring kOtherSymbolicName = L"\\??\\USB#VID_1234&PID_5678#CD34#{28D78FAD}";

TEST(PortToLock, FirstKeptPrinterWhoseSymbolicNameMatches) {
    FakeSymbolicNames usb;
    usb.names = {{L"USB001", kOtherSymbolicName}, {L"usb002", kSymbolicName}, {L"USB003", kSymbolicName}};
    const std::vector<SpoolerPrinter> printers = {
        {L"Generic / Text Only", L"USB002"},       // another driver: never asked
        {L"korvane laser 7000", L"USB002"},        // driver names compare case-sensitively
        {L"Korvane Laser 7000", L"LPT1:"},         // not a USB port
        {L"Korvane Laser 7000F", L"USB009"},       // the library knows no name
        {L"Korvane Laser 7030F", L"USB001"},       // another device
        {L"Korvane Laser 7000", L"usb002"},        // the match
        {L"Korvane Laser 7000", L"USB003"},        // matches too, but comes later
    };
    EXPECT_EQ(FindPortToLock(usb, printers, kDevicePath), std::optional<std::wstring>(L"usb002"));
    EXPECT_EQ(usb.asked, (std::vector<std::wstring>{L"USB009", L"USB001", L"usb002"}));
}

TEST(PortToLock, NoneWhenNothingMatches) {
    FakeSymbolicNames usb;
    usb.names = {{L"USB001", kOtherSymbolicName}};
    EXPECT_EQ(FindPortToLock(usb, {{L"Korvane Laser 7000", L"USB001"}}, kDevicePath), std::nullopt);
    EXPECT_EQ(FindPortToLock(usb, {}, kDevicePath), std::nullopt);
    EXPECT_EQ(FindPortToLock(usb, {{L"Korvane Laser 7000", L"USB001"}}, ""), std::nullopt);
}

TEST(PortToLock, SymbolicNameFillingTheBufferIsCut) {
    FakeSymbolicNames usb;
    usb.names = {{L"USB001", std::wstring(kSymbolicNameChars + 40, L'n')}};
    const std::string path(kSymbolicNameChars - 1, 'n');
    EXPECT_TRUE(FindPortToLock(usb, {{L"Korvane Laser 7000", L"USB001"}}, path));
    EXPECT_FALSE(FindPortToLock(usb, {{L"Korvane Laser 7000", L"USB001"}}, path + "n"));
}

TEST(PortLockName, NamesThePortInTheGlobalNamespace) {
    EXPECT_EQ(PortLockName(L"USB001"), L"Global\\Ulmix-Port-USB001");
    EXPECT_EQ(PortLockName(L"usb002"), L"Global\\Ulmix-Port-usb002");
}

}  // namespace
