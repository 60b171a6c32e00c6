// A package whose libraries are of the other architecture than the program:
// the wizard says so before it opens, in the package's language, and then
// runs as without those libraries.
#include <gtest/gtest.h>

#include <string>

#include "device/library_architecture.h"
#include "tests/library_header.h"
#include "ui/texts/resource_ids.h"
#include "ui_driver.h"
#include "wizard_fixture.h"

using namespace ui_driver;

namespace {

struct Language {
    int index;
    const wchar_t* caption;
    const wchar_t* x86;
    const wchar_t* x64;
    const wchar_t* program;
};

}  // namespace

TEST(LibraryArchitectureWizard, ALibraryOfTheOtherArchitectureIsNamedBeforeTheWizardOpens) {
    const Language languages[] = {
        {0, L"Error", L"32-bit (x86)", L"64-bit (x64)", L"This program: "},
        {1, L"\u30A8\u30E9\u30FC", L"32 \u30D3\u30C3\u30C8 (x86)", L"64 \u30D3\u30C3\u30C8 (x64)",
         L"\u3053\u306E\u30D7\u30ED\u30B0\u30E9\u30E0\uFF1A "},
    };
    for (const Language& language : languages) {
        SCOPED_TRACE(language.index);
        const std::wstring other = kOtherMachine == kMachineX86 ? language.x86 : language.x64;
        const std::wstring own = kProgramMachine == kMachineX86 ? language.x86 : language.x64;
        WizardRun run(OneEntryConfig(language.index), kOneUsbPrinter);
        run.AddFile("main.bin", FilePattern(3000, 1));
        // The device-utility library lists the USB printers, the USB library
        // sends to them.
        run.AddFile("vorlendu.dll", LibraryHeaderFor(kOtherMachine));
        run.AddFile("vorlenusb.dll", LibraryHeaderFor(kOtherMachine));
        ASSERT_TRUE(run.Launch());

        const auto box = WaitForMessageBox(run.ProcessId());
        ASSERT_TRUE(box) << "no message box";
        EXPECT_EQ(box->caption, language.caption);
        EXPECT_NE(box->text.find(L"\n\tvorlendu.dll: " + other + L"\n\tvorlenusb.dll: " + other + L"\n\n"),
                  std::wstring::npos)
            << box->text;
        EXPECT_NE(box->text.find(language.program + own), std::wstring::npos) << box->text;
        EXPECT_EQ(box->text.find(L"vorlennet.dll"), std::wstring::npos)
            << "a library of the program's own architecture";
        ASSERT_TRUE(AnswerOk(*box));

        // The wizard opens as without those libraries: no USB printer is listed.
        ASSERT_TRUE(run.WaitForWizard());
        ASSERT_TRUE(run.WaitForPage(IDC_LANG_COMBO));
        ASSERT_TRUE(PressNextWhenEnabled(run.Sheet()));
        HWND usb = run.WaitForPage(IDC_USB_LIST);
        ASSERT_TRUE(usb);
        // The page fills its list while it is activated, before it shows,
        // and the list answers only after that.
        RemoteList list(Control(usb, IDC_USB_LIST));
        EXPECT_EQ(list.Count(), 0);
        PressCancel(run.Sheet());
        EXPECT_TRUE(run.WaitForExit());
    }
}
