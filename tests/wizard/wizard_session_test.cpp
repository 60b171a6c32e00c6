// The wizard when Windows asks to end the session, and the language chosen on
// the first page as the USB list page shows it; driven from another process.
#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <string>

#include "ui/texts/resource_ids.h"
#include "ui_driver.h"
#include "wizard_fixture.h"

using namespace ui_driver;

namespace {

constexpr UINT kAnswerWait = 5000;

// No network option: Next on the language page goes straight to the USB list.
std::string Config(const std::string& firstEntryExtra = "") {
    return "[General]\nEncoding=0\nModuleName=Main controller\nModelName=Tessaro 7000\nMDLCnt=1\n"
           "MDL0=Korvane Laser 7000\nNetDownload=0\nLanguage=0\nFwCount=2\nVID=0A1B\nPID=00C2\n"
           "[Fw0]\nFileName=main.bin\nReleaseDate=2026-11-02\n" +
           firstEntryExtra +
           "[Fw1]\nFileName=engine.bin\nReleaseDate=2026-11-20\n"
           "[Granted]\nS0A*=1\n";
}

const std::string kReadyPrinter =
    "[Usb0]\nIndex=1\nVID=0A1B\nPID=00C2\nModel=Korvane Laser 7000\nSerial=E7300123\n"
    "Firmware=01.00.00\nVariant=JP01\nName=Tessaro 7000\nStatus=10/0/0\n";

// What the program answers to a message sent from here; kNoAnswer when it
// does not answer in time.
constexpr LRESULT kNoAnswer = -1;
LRESULT Answer(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG, kAnswerWait, &result))
        return kNoAnswer;
    return static_cast<LRESULT>(result);
}

// The texts of the USB list page before sending.
struct UsbPageTexts {
    std::wstring line1, line2, moduleLabel, refresh;
    std::array<std::wstring, 4> headings;
    std::wstring state;  // of a ready printer
};

UsbPageTexts ReadUsbPage(HWND page) {
    RemoteList list(Control(page, IDC_USB_LIST));
    return {WindowText(Control(page, IDC_USB_LINE1)),
            WindowText(Control(page, IDC_USB_LINE2)),
            WindowText(Control(page, IDC_USB_MODULE_LABEL)),
            WindowText(Control(page, IDC_USB_REFRESH)),
            {list.Heading(0), list.Heading(1), list.Heading(2), list.Heading(3)},
            list.Count() > 0 ? list.Text(0, 3) : L""};
}

const UsbPageTexts kEnglishUsbPage{
    L"Please select printers to update. Check that the printers are ready.",
    L"Update data will be sent to the printer when you click Next.",
    L"Module Name:",
    L"&Refresh",
    {L"Serial No.", L"Printer Name", L"Printer F/W", L"Status"},
    L"Not complete"};

const UsbPageTexts kJapaneseUsbPage{
    L"\u30D7\u30EA\u30F3\u30BF\u30FC\u3092\u9078\u629E\u3057\u3066\u304F\u3060\u3055\u3044\u3002 "
    L"\u30D7\u30EA\u30F3\u30BF\u30FC\u304C\u5370\u5237\u53EF\u80FD\u304B\u78BA\u8A8D\u3057\u3066\u304F\u3060\u3055\u3044"
    L"\u3002",
    L"[\u6B21\u3078]\u3092\u30AF\u30EA\u30C3\u30AF\u3059\u308B\u3068\u3001\u30D7\u30EA\u30F3\u30BF\uFF0D\u306B\u30D0"
    L"\uFF0D\u30B8\u30E7\u30F3\u30A2\u30C3\u30D7\u30C7\uFF0D\u30BF\u3092\u9001\u4FE1\u3057\u307E\u3059\u3002",
    L"\u30E2\u30B8\u30E5\u30FC\u30EB\u540D\uFF1A",
    L"\u8868\u793A\u3092\u66F4\u65B0(&R)",
    {L"\u30B7\u30EA\u30A2\u30EB\u756A\u53F7", L"\u30D7\u30EA\u30F3\u30BF\u30FC\u540D",
     L"\u30D5\u30A1\u30FC\u30E0\u30A6\u30A8\u30A2", L"\u72B6\u614B"},
    L"\u672A\u5B8C\u4E86"};

class WizardSession : public ::testing::Test {
protected:
    void Start(const std::string& config) {
        run_ = std::make_unique<WizardRun>(config, kReadyPrinter);
        run_->AddFile("main.bin", FilePattern(5000, 1));
        run_->AddFile("engine.bin", FilePattern(3000, 2));
        ASSERT_TRUE(run_->Start());
    }

    void Next() { ASSERT_TRUE(PressNextWhenEnabled(run_->Sheet())); }

    // The USB list page once its printer is listed.
    HWND UsbPageWithPrinter() {
        HWND usb = run_->WaitForPage(IDC_USB_LIST);
        if (!usb) return nullptr;
        RemoteList list(Control(usb, IDC_USB_LIST));
        return WaitUntil([&] { return list.Count() == 1 && !list.Text(0, 0).empty(); }) ? usb : nullptr;
    }


    std::unique_ptr<WizardRun> run_;
};

TEST_F(WizardSession, ProgressWindowRefusesToEndTheSessionAndTheTransferCarriesOn) {
    Start(Config("PostDelay=8000\n"));
    Next();
    HWND usb = UsbPageWithPrinter();
    ASSERT_TRUE(usb);
    RemoteList(Control(usb, IDC_USB_LIST)).SetTicked(0, true);
    Next();
    HWND progress = run_->WaitForProgressWindow();
    ASSERT_TRUE(progress);
    // The first file is out and its post delay runs.
    ASSERT_TRUE(WaitUntil([&] { return run_->Received("Usb0").size() >= 5004; }));

    for (LPARAM reason : {LPARAM{0}, static_cast<LPARAM>(ENDSESSION_LOGOFF), LPARAM{ENDSESSION_CLOSEAPP}})
        EXPECT_EQ(Answer(progress, WM_QUERYENDSESSION, 0, reason), LRESULT{0}) << "reason " << reason;
    // The refusal is the progress window's: the frame still lets go.
    EXPECT_EQ(Answer(run_->Sheet(), WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF), LRESULT{1});
    // Asked while the transfer ran: the progress window, which lives as
    // long as the transfer, is still there after the answers.
    EXPECT_TRUE(IsWindow(progress) && IsWindowVisible(progress));

    // The update goes on to its end, whole, with no message.
    ASSERT_TRUE(WaitUntil([&] { return WindowText(Control(usb, IDC_USB_LINE1)) == L"Update data has been sent."; },
                          std::chrono::seconds(60)));
    const std::string expected =
        FilePattern(5000, 1) + std::string("\xAA\x55\x55\xAA", 4) + FilePattern(3000, 2) + std::string(4, '\0');
    EXPECT_EQ(run_->Received("Usb0"), expected);
    // An interruption message would have come before the sent state.
    EXPECT_FALSE(WaitForMessageBox(run_->ProcessId(), std::chrono::milliseconds(0)));
}

TEST_F(WizardSession, FrameLetsTheSessionEndAndOtherwiseCarriesOn) {
    Start(Config());
    ASSERT_TRUE(run_->WaitForPage(IDC_LANG_COMBO));

    for (LPARAM reason : {LPARAM{0}, static_cast<LPARAM>(ENDSESSION_LOGOFF), LPARAM{ENDSESSION_CLOSEAPP}})
        EXPECT_EQ(Answer(run_->Sheet(), WM_QUERYENDSESSION, 0, reason), LRESULT{1}) << "reason " << reason;
    for (WPARAM ending : {WPARAM{TRUE}, WPARAM{FALSE}})
        EXPECT_EQ(Answer(run_->Sheet(), WM_ENDSESSION, ending, ENDSESSION_LOGOFF), LRESULT{0}) << "ending " << ending;

    // Nothing else happens: the program neither ends nor closes its wizard,
    // which still goes on to the printer list, and is still running once
    // that list has been filled, after all it was told.
    EXPECT_TRUE(IsWindowVisible(run_->Sheet()));
    Next();
    EXPECT_TRUE(UsbPageWithPrinter());
    EXPECT_FALSE(run_->WaitForExit(std::chrono::milliseconds(0)));
    EXPECT_TRUE(IsWindowVisible(run_->Sheet()));
}

TEST_F(WizardSession, LanguageChosenOnTheFirstPageReachesTheUsbListPage) {
    Start(Config());
    struct Case {
        int comboIndex;
        const std::wstring& title;
        const UsbPageTexts& page;
    };
    // Japanese first, then back to English from the list page.
    for (const Case& language : {Case{1, kJapaneseTitle, kJapaneseUsbPage}, Case{0, kEnglishTitle, kEnglishUsbPage}}) {
        SCOPED_TRACE(language.comboIndex);
        HWND first = run_->WaitForPage(IDC_LANG_COMBO);
        ASSERT_TRUE(first);
        SelectComboItem(Control(first, IDC_LANG_COMBO), language.comboIndex);
        ASSERT_TRUE(WaitUntil([&] { return WindowText(run_->Sheet()) == language.title; }));
        Next();
        HWND usb = UsbPageWithPrinter();
        ASSERT_TRUE(usb);
        // The texts follow the list within the page's activation.
        WaitUntil([&] { return WindowText(Control(usb, IDC_USB_LINE1)) == language.page.line1; });
        const UsbPageTexts shown = ReadUsbPage(usb);
        EXPECT_EQ(shown.line1, language.page.line1);
        EXPECT_EQ(shown.line2, language.page.line2);
        EXPECT_EQ(shown.moduleLabel, language.page.moduleLabel);
        EXPECT_EQ(shown.refresh, language.page.refresh);
        for (std::size_t column = 0; column < shown.headings.size(); ++column)
            EXPECT_EQ(shown.headings[column], language.page.headings[column]) << "column " << column;
        EXPECT_EQ(shown.state, language.page.state);
        EXPECT_EQ(WindowText(run_->Sheet()), language.title);
        PressBack(run_->Sheet());
    }
}

}  // namespace
