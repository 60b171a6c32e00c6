// The wizard and signed packages: a refused package is explained in the
// package's language before any printer is listed, and the program ends; an
// accepted one shows on the language page who signed it, or that nobody did.
#include <gtest/gtest.h>

#include <string>

#include "tests/e2e/signed_package.h"
#include "ui/texts/resource_ids.h"
#include "ui_driver.h"
#include "wizard_fixture.h"

using namespace ui_driver;

namespace {

// The package of `language`, signed by `signer` when there is one.
std::unique_ptr<WizardRun> Package(int language, const e2e::TestSigner* signer) {
    auto run = std::make_unique<WizardRun>(OneEntryConfig(language), kOneUsbPrinter);
    run->AddFile("main.bin", FilePattern(3000, 1));
    if (signer) signer->SealAndSign(run->Folder(), "TessaroFWDL.cfg", OneEntryConfig(language));
    return run;
}

std::wstring SignatureLine(const WizardRun& run) {
    HWND page = run.WaitForPage(IDC_LANG_SIGNATURE);
    return page ? WindowText(Control(page, IDC_LANG_SIGNATURE)) : L"(no language page)";
}

struct Refusal {
    int language;
    const wchar_t* caption;
    const wchar_t* why;
};

}  // namespace

TEST(SignatureWizard, ARefusedPackageIsExplainedInItsLanguageAndNoPrinterIsListed) {
    const e2e::TestSigner stranger(L"");
    ASSERT_TRUE(stranger.Ready());
    const std::wstring keyId = FromEightBit(stranger.KeyId());
    for (const Refusal& refusal :
         {Refusal{0, L"Error", L"The package is signed with a key that this computer does not trust. Key id:"},
          Refusal{1, L"\u30A8\u30E9\u30FC",
                  L"\u3053\u306E\u30B3\u30F3\u30D4\u30E5\u30FC\u30BF\u30FC\u304C\u4FE1\u983C\u3057\u3066\u3044"
                  L"\u306A\u3044\u9375\u3067\u7F72\u540D\u3055\u308C\u3066\u3044\u307E\u3059\u3002\u9375 ID\uFF1A"}}) {
        SCOPED_TRACE(refusal.language);
        const auto run = Package(refusal.language, &stranger);
        ASSERT_TRUE(run->Launch());
        const auto box = WaitForMessageBox(run->ProcessId());
        ASSERT_TRUE(box) << "no message box";
        EXPECT_EQ(box->caption, refusal.caption);
        EXPECT_NE(box->text.find(std::wstring(refusal.why) + L"\n\t" + keyId), std::wstring::npos) << box->text;
        ASSERT_TRUE(AnswerOk(*box));
        // The program ends: no wizard, and the printer was never asked anything.
        EXPECT_TRUE(run->WaitForExit());
        EXPECT_EQ(run->Transcript("Usb0"), "");
    }
}

TEST(SignatureWizard, TheLanguagePageNamesTheSignerOrSaysThePackageIsUnsigned) {
    const e2e::TestSigner signer(L"Korvane Release");
    ASSERT_TRUE(signer.Ready());
    {
        const auto run = Package(0, &signer);
        ASSERT_TRUE(run->Start());
        EXPECT_EQ(SignatureLine(*run), L"Signed by Korvane Release  on 2026-12-11 06:50:00 UTC");
        // What was checked is what the run reads: nobody may write it meanwhile.
        for (const char* file : {"TessaroFWDL.cfg", "TessaroFWDL.sig"}) {
            const HANDLE writer = CreateFileW((run->Folder() / file).c_str(), GENERIC_WRITE,
                                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
            EXPECT_EQ(writer, INVALID_HANDLE_VALUE) << file;
            if (writer != INVALID_HANDLE_VALUE) CloseHandle(writer);
        }
        PressCancel(run->Sheet());
        EXPECT_TRUE(run->WaitForExit());
    }
    {
        const auto run = Package(1, &signer);
        ASSERT_TRUE(run->Start());
        EXPECT_EQ(SignatureLine(*run),
                  L"\u7F72\u540D\u8005\uFF1A Korvane Release  \u7F72\u540D\u65E5\u6642\uFF1A 2026-12-11 06:50:00 UTC");
        PressCancel(run->Sheet());
        EXPECT_TRUE(run->WaitForExit());
    }
    {
        const auto run = Package(0, nullptr);
        ASSERT_TRUE(run->Start());
        EXPECT_EQ(SignatureLine(*run), L"This package is not signed.");
        // Nothing else changes for an unsigned package: Next leads on.
        EXPECT_TRUE(PressNextWhenEnabled(run->Sheet()));
        EXPECT_TRUE(run->WaitForPage(IDC_USB_LIST));
        PressCancel(run->Sheet());
        EXPECT_TRUE(run->WaitForExit());
    }
}
