#include <gtest/gtest.h>

#include "app/library_refusals.h"
#include "test_support.h"
#include "ui/texts/resource_ids.h"

namespace {

const TableTexts kTexts({{IDS_MSG_LIBRARY_ARCHITECTURE, L"Other architecture:"},
                         {IDS_PROGRAM_ARCHITECTURE, L"This program:"},
                         {IDS_ARCH_X86, L"32-bit (x86)"},
                         {IDS_ARCH_X64, L"64-bit (x64)"},
                         {IDS_ARCH_OTHER, L"machine type"},
                         {IDS_MSG_LIBRARY_ADVICE, L"Use the matching build."}});

}  // namespace

TEST(LibraryRefusals, TheMessageNamesEachFileItsArchitectureAndTheProgramsOne) {
    EXPECT_EQ(
        LibraryRefusalMessage(kTexts, {{"vorlendu.dll", kMachineX86}, {"vorlennet.dll", kMachineArm64}}, kMachineX64),
        L"Other architecture:\n\tvorlendu.dll: 32-bit (x86)\n\tvorlennet.dll: machine type 0xAA64\n\n"
        L"This program: 64-bit (x64)\n\nUse the matching build.");
    EXPECT_EQ(LibraryRefusalMessage(kTexts, {{"vorlenusb.dll", kMachineX64}}, kMachineX86),
              L"Other architecture:\n\tvorlenusb.dll: 64-bit (x64)\n\nThis program: 32-bit (x86)\n\n"
              L"Use the matching build.");
}

TEST(LibraryRefusals, TheConsoleLineIsFixedEnglish) {
    EXPECT_EQ(LibraryRefusalLine({"vorlenusb.dll", kMachineX86}, kMachineX64),
              L"library not loaded: vorlenusb.dll is built for x86 (32-bit), this program for x64 (64-bit)");
    EXPECT_EQ(LibraryRefusalLine({"vorlennet.dll", 0x01C4}, kMachineX86),
              L"library not loaded: vorlennet.dll is built for machine type 0x01C4, this program for x86 (32-bit)");
}
