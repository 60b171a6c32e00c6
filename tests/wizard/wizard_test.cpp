// The wizard, driven from another process as a person would drive it.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/e2e/json_check.h"
#include "ui/texts/resource_ids.h"
#include "ui_driver.h"
#include "wizard_fixture.h"

using namespace ui_driver;

namespace {


std::string Config(int netDownload, int language = 0, const std::string& firstEntryExtra = "") {
    return "[General]\nEncoding=0\nModuleName=Main controller\nModelName=Tessaro 7000\nMDLCnt=1\n"
           "MDL0=Korvane Laser 7000\nNetDownload=" +
           std::to_string(netDownload) + "\nLanguage=" + std::to_string(language) +
           "\nFwCount=2\nVID=0A1B\nPID=00C2\n"
           "[Fw0]\nFileName=main.bin\nReleaseDate=2026-11-02\n" + firstEntryExtra +
           "[Fw1]\nFileName=engine.bin\nReleaseDate=2026-11-20\n"
           "[Granted]\nS0A*=1\n";
}

std::string UsbPrinter(int number, const std::string& serial, const std::string& status,
                       const std::string& extra = "") {
    return "[Usb" + std::to_string(number) + "]\nIndex=" + std::to_string(number + 1) +
           "\nVID=0A1B\nPID=00C2\nModel=Korvane Laser 7000\nSerial=" + serial +
           "\nFirmware=01.00.00\nVariant=JP01\nName=Tessaro 7000\nStatus=" + status + "\n" + extra;
}

class Wizard : public ::testing::Test {
protected:
    void Start(const std::string& config, const std::string& scenario) {
        run_ = std::make_unique<WizardRun>(config, scenario);
        run_->AddFile("main.bin", FilePattern(5000, 1));
        run_->AddFile("engine.bin", FilePattern(3000, 2));
        ASSERT_TRUE(run_->Start());
    }

    void Next() { ASSERT_TRUE(PressNextWhenEnabled(run_->Sheet())); }

    // Ticks the only USB printer once it is listed and presses Next.
    HWND TickAndSend() {
        HWND usb = run_->WaitForPage(IDC_USB_LIST);
        if (!usb) return nullptr;
        RemoteList list(Control(usb, IDC_USB_LIST));
        if (!WaitUntil([&] { return list.Count() == 1 && !list.Text(0, 0).empty(); })) return nullptr;
        list.SetTicked(0, true);
        Next();
        return usb;
    }


    std::unique_ptr<WizardRun> run_;
};

TEST_F(Wizard, WithoutTheNetworkOptionNextGoesStraightToTheUsbListAndBackReturns) {
    Start(Config(0), UsbPrinter(0, "E7300123", "10/0/0"));
    HWND language = run_->WaitForPage(IDC_LANG_COMBO);
    ASSERT_TRUE(language);
    EXPECT_TRUE(WaitUntil([&] { return !IsVisible(Control(run_->Sheet(), kWizardBack)); }));
    Next();
    HWND usb = run_->WaitForPage(IDC_USB_LIST);
    ASSERT_TRUE(usb);
    EXPECT_TRUE(WaitUntil([&] { return IsVisible(Control(run_->Sheet(), kWizardBack)); }));
    PressBack(run_->Sheet());
    EXPECT_TRUE(run_->WaitForPage(IDC_LANG_COMBO));
    EXPECT_EQ(WindowText(run_->Sheet()), kEnglishTitle);
}

// The package offers the network, but its library is not in the folder:
// every operation of the network page needs it, so USB is chosen for the
// user and the port page is passed over both ways.
TEST_F(Wizard, WithoutTheNetworkLibraryUsbIsChosenForTheUser) {
    run_ = std::make_unique<WizardRun>(Config(1), UsbPrinter(0, "E7300123", "10/0/0"));
    run_->AddFile("main.bin", FilePattern(5000, 1));
    run_->AddFile("engine.bin", FilePattern(3000, 2));
    run_->RemoveFile("vorlennet.dll");
    ASSERT_TRUE(run_->Start());
    ASSERT_TRUE(run_->WaitForPage(IDC_LANG_COMBO));
    Next();
    HWND usb = run_->WaitForPage(IDC_USB_LIST);
    ASSERT_TRUE(usb) << "the port page was offered";
    RemoteList list(Control(usb, IDC_USB_LIST));
    EXPECT_TRUE(WaitUntil([&] { return list.Count() == 1 && !list.Text(0, 0).empty(); }));
    PressBack(run_->Sheet());
    EXPECT_TRUE(run_->WaitForPage(IDC_LANG_COMBO));
}

TEST_F(Wizard, UsbChoiceSkipsTheNetworkListAndIsKeptAcrossBack) {
    Start(Config(1), UsbPrinter(0, "E7300123", "10/0/0"));
    Next();
    HWND port = run_->WaitForPage(IDC_PORT_USB);
    ASSERT_TRUE(port);
    EXPECT_EQ(SendMessageW(Control(port, IDC_PORT_NETWORK), BM_GETCHECK, 0, 0), BST_CHECKED);
    SendMessageW(Control(port, IDC_PORT_USB), BM_SETCHECK, BST_CHECKED, 0);
    SendMessageW(Control(port, IDC_PORT_NETWORK), BM_SETCHECK, BST_UNCHECKED, 0);
    Click(Control(port, IDC_PORT_USB));
    Next();
    ASSERT_TRUE(run_->WaitForPage(IDC_USB_LIST));
    PressBack(run_->Sheet());
    port = run_->WaitForPage(IDC_PORT_USB);
    ASSERT_TRUE(port);
    EXPECT_EQ(SendMessageW(Control(port, IDC_PORT_USB), BM_GETCHECK, 0, 0), BST_CHECKED);
    Next();
    EXPECT_TRUE(run_->WaitForPage(IDC_USB_LIST));
    EXPECT_EQ(WindowText(run_->Sheet()), kEnglishTitle);
}

TEST_F(Wizard, LanguageSwitchReachesTheTitleAndTheNextPage) {
    Start(Config(1), UsbPrinter(0, "E7300123", "10/0/0"));
    HWND language = run_->WaitForPage(IDC_LANG_COMBO);
    ASSERT_TRUE(language);
    SelectComboItem(Control(language, IDC_LANG_COMBO), 1);
    ASSERT_TRUE(WaitUntil([&] { return WindowText(run_->Sheet()) == kJapaneseTitle; }));
    RemoteList package(Control(language, IDC_LANG_PACKAGE_LIST));
    EXPECT_EQ(package.Count(), 2);
    EXPECT_EQ(package.Text(0, 0), L"main.bin");
    EXPECT_EQ(package.Text(1, 1), L"3000");
    Next();
    HWND port = run_->WaitForPage(IDC_PORT_USB);
    ASSERT_TRUE(port);
    EXPECT_EQ(WindowText(Control(port, IDC_PORT_USB)), L"USB");
    EXPECT_NE(WindowText(Control(port, IDC_PORT_GROUP)), L"Select a port for updating");
    EXPECT_EQ(WindowText(run_->Sheet()), kJapaneseTitle);
}

TEST_F(Wizard, TwoUsbPrintersAreRefused) {
    Start(Config(0), UsbPrinter(0, "E7300123", "10/0/0") + UsbPrinter(1, "E7300999", "10/0/0"));
    Next();
    const auto box = WaitForMessageBox(run_->ProcessId());
    ASSERT_TRUE(box);
    EXPECT_EQ(box->caption, L"Error");
    EXPECT_EQ(box->text, L"Please connect your computer to only one printer that you want to update.");
    AnswerOk(*box);
    HWND usb = run_->WaitForPage(IDC_USB_LIST);
    ASSERT_TRUE(usb);
    EXPECT_TRUE(WaitUntil([&] { return !IsEnabled(Control(usb, IDC_USB_LIST)); }));
    EXPECT_EQ(RemoteList(Control(usb, IDC_USB_LIST)).Count(), 2);
    EXPECT_FALSE(IsEnabled(Control(run_->Sheet(), kWizardNext)));
}

TEST_F(Wizard, ATickedPrinterThatIsNotReadyIsRefused) {
    Start(Config(0), UsbPrinter(0, "E7300123", "11/0/0"));
    Next();
    HWND usb = run_->WaitForPage(IDC_USB_LIST);
    ASSERT_TRUE(usb);
    RemoteList list(Control(usb, IDC_USB_LIST));
    ASSERT_TRUE(WaitUntil([&] { return list.Count() == 1; }));
    EXPECT_EQ(list.Text(0, 3), L"Not Ready");
    list.SetTicked(0, true);
    Next();
    const auto box = WaitForMessageBox(run_->ProcessId());
    ASSERT_TRUE(box);
    EXPECT_EQ(box->text, L"Unable to update firmware while printer is not ready.");
    AnswerOk(*box);
    EXPECT_EQ(run_->SentInTheWholeRun({"Usb0"}), "");
}

TEST_F(Wizard, WhenTheTickedPrinterIsGoneAfterRefreshNextIsDisabledAndSendsNothing) {
    Start(Config(0), UsbPrinter(0, "E7300123", "10/0/0"));
    Next();
    HWND usb = run_->WaitForPage(IDC_USB_LIST);
    ASSERT_TRUE(usb);
    RemoteList list(Control(usb, IDC_USB_LIST));
    ASSERT_TRUE(WaitUntil([&] { return list.Count() == 1 && !list.Text(0, 0).empty(); }));
    HWND next = Control(run_->Sheet(), kWizardNext);
    list.SetTicked(0, true);
    ASSERT_TRUE(WaitUntil([&] { return IsEnabled(next); }));

    run_->Unplug("Usb0");
    ClickButton(Control(usb, IDC_USB_REFRESH));
    EXPECT_TRUE(WaitUntil([&] { return list.Count() == 0 && !IsEnabled(next); }))
        << "rows " << list.Count() << ", Next " << (IsEnabled(next) ? "enabled" : "disabled");

    // Next forced all the same: refused, no sent state, and nothing sent in
    // the whole run.
    PressNext(run_->Sheet());
    EXPECT_EQ(WindowText(Control(usb, IDC_USB_LINE1)),
              L"Please select printers to update. Check that the printers are ready.");
    EXPECT_TRUE(IsVisible(Control(run_->Sheet(), IDCANCEL)));
    EXPECT_FALSE(IsEnabled(next));
    EXPECT_EQ(run_->SentInTheWholeRun({"Usb0"}), "");
}

TEST_F(Wizard, WithJapaneseChosenTheTitleNeverShowsTheEnglishTextOnAnyPageChange) {
    Start(Config(1), UsbPrinter(0, "E7300123", "10/0/0"));
    HWND language = run_->WaitForPage(IDC_LANG_COMBO);
    ASSERT_TRUE(language);
    const TitleChanges titles(GetWindowThreadProcessId(run_->Sheet(), nullptr), FWDL_TITLE_HOOK_PATH);
    ASSERT_TRUE(titles.Installed());
    SelectComboItem(Control(language, IDC_LANG_COMBO), 1);
    ASSERT_TRUE(WaitUntil([&] { return WindowText(run_->Sheet()) == kJapaneseTitle; }));

    // Forward to the USB list, back to the first page, and forward again.
    Next();
    HWND port = run_->WaitForPage(IDC_PORT_USB);
    ASSERT_TRUE(port);
    ClickButton(Control(port, IDC_PORT_USB));
    ASSERT_TRUE(WaitUntil([&] { return IsTicked(Control(port, IDC_PORT_USB)); }));
    Next();
    ASSERT_TRUE(run_->WaitForPage(IDC_USB_LIST));
    PressBack(run_->Sheet());
    ASSERT_TRUE(run_->WaitForPage(IDC_PORT_USB));
    PressBack(run_->Sheet());
    ASSERT_TRUE(run_->WaitForPage(IDC_LANG_COMBO));
    Next();
    ASSERT_TRUE(run_->WaitForPage(IDC_PORT_USB));
    Next();
    HWND usb = run_->WaitForPage(IDC_USB_LIST);
    ASSERT_TRUE(usb);
    // Anything posted on the last change has been handled.
    ASSERT_TRUE(WaitForPostedMessages(Control(usb, IDC_USB_REFRESH)));

    const std::vector<std::wstring> shown = run_->TitlesOf(run_->Sheet());
    ASSERT_FALSE(shown.empty()) << "no title change was recorded";
    for (std::size_t k = 0; k < shown.size(); ++k) EXPECT_EQ(shown[k], kJapaneseTitle) << "title change " << k;
    EXPECT_EQ(WindowText(run_->Sheet()), kJapaneseTitle);
}

TEST_F(Wizard, FullUsbUpdateSendsThePackageAndShowsTheSentState) {
    Start(Config(0), UsbPrinter(0, "E7300123", "10/0/0", "AfterUpdate=199/0/0*18,10/0/0\nNewFirmware=02.00.00\n"));
    Next();
    HWND usb = run_->WaitForPage(IDC_USB_LIST);
    ASSERT_TRUE(usb);
    RemoteList list(Control(usb, IDC_USB_LIST));
    ASSERT_TRUE(WaitUntil([&] { return list.Count() == 1 && !list.Text(0, 0).empty(); }));
    EXPECT_EQ(list.Text(0, 0), L"E7300123");
    EXPECT_EQ(list.Text(0, 1), L"Tessaro 7000");
    EXPECT_EQ(list.Text(0, 2), L"01.00.00");
    EXPECT_EQ(list.Text(0, 3), L"Not complete");
    list.SetTicked(0, true);
    Next();

    // The sent state: Finish only, Cancel hidden, the sent wording.
    ASSERT_TRUE(WaitUntil([&] { return WindowText(Control(usb, IDC_USB_LINE1)) == L"Update data has been sent."; },
                          std::chrono::seconds(60)));
    EXPECT_FALSE(IsVisible(Control(run_->Sheet(), IDCANCEL)));
    EXPECT_FALSE(IsEnabled(Control(usb, IDC_USB_REFRESH)));
    const std::string expected =
        FilePattern(5000, 1) + std::string("\xAA\x55\x55\xAA", 4) + FilePattern(3000, 2) + std::string(4, '\0');
    EXPECT_EQ(run_->Received("Usb0"), expected);

    EXPECT_TRUE(WaitUntil([&] { return list.Text(0, 3) == L"Updating"; }, std::chrono::seconds(20)));
    EXPECT_TRUE(WaitUntil([&] { return list.Text(0, 3) == L"Completed"; }, std::chrono::seconds(60)))
        << "status " << std::string(list.Text(0, 3).begin(), list.Text(0, 3).end()) << "\n" << run_->Transcript("Usb0");
    EXPECT_EQ(list.Text(0, 2), L"02.00.00");
    PressFinish(run_->Sheet());
    EXPECT_TRUE(run_->WaitForExit());
    EXPECT_EQ(run_->ExitCode(), 0u);  // the wizard's exit code is 0

    // One line in the history for the one printer, with what it ran before.
    const std::string history = run_->History();
    ASSERT_EQ(std::count(history.begin(), history.end(), '\n'), 1) << history;
    EXPECT_TRUE(e2e::JsonCheck::IsOneValue(history.substr(0, history.size() - 1))) << history;
    for (const char* field :
         {"\"mode\":\"wizard-usb\"", "\"target\":\"Tessaro 7000\"", "\"serial\":\"E7300123\"",
          "\"firmware\":{\"before\":\"01.00.00\",\"after\":null}", "\"outcome\":\"updated\"",
          "{\"name\":\"main.bin\",\"bytes\":5000,", "{\"name\":\"engine.bin\",\"bytes\":3000,"})
        EXPECT_NE(history.find(field), std::string::npos) << field << " in " << history;
}

// A package that names the firmware it installs: a printer back from its
// update on its old firmware is not shown as completed, in either language.
TEST_F(Wizard, ACompletedPrinterOnAnotherFirmwareShowsSo) {
    const std::pair<int, std::wstring> languages[] = {{0, L"F/W differs"}, {1, L"F/W\u4E0D\u4E00\u81F4"}};
    for (const auto& [language, expected] : languages) {
        SCOPED_TRACE(language);
        std::string config = Config(0, language);
        config.replace(config.find("FwCount=2"), 9, "FwCount=2\nReportedFirmware=02.00.00");
        Start(config, UsbPrinter(0, "E7300123", "10/0/0", "AfterUpdate=199/0/0*2,10/0/0\n"));
        Next();
        HWND usb = TickAndSend();
        ASSERT_TRUE(usb);
        RemoteList list(Control(usb, IDC_USB_LIST));
        EXPECT_TRUE(WaitUntil([&] { return list.Text(0, 3) == expected; }, std::chrono::seconds(60)))
            << "status " << std::string(list.Text(0, 3).begin(), list.Text(0, 3).end()) << "\n"
            << run_->Transcript("Usb0");
        EXPECT_EQ(list.Text(0, 2), L"01.00.00");
        PressFinish(run_->Sheet());
        EXPECT_TRUE(run_->WaitForExit());
        run_.reset();
    }
}

TEST_F(Wizard, CancelSendsTheAbandonMarkerAndReportsTheInterruption) {
    Start(Config(0, 0, "PostDelay=8000\n"), UsbPrinter(0, "E7300123", "10/0/0"));
    Next();
    HWND usb = TickAndSend();
    ASSERT_TRUE(usb);
    HWND progress = run_->WaitForProgressWindow();
    ASSERT_TRUE(progress);
    // The first file is out and its post delay runs: cancel now.
    ASSERT_TRUE(WaitUntil([&] { return run_->Received("Usb0").size() >= 5004; }));
    Click(Control(progress, IDCANCEL));
    const auto box = WaitForMessageBox(run_->ProcessId(), std::chrono::seconds(60));
    ASSERT_TRUE(box);
    EXPECT_EQ(box->caption, L"Cancel Updating");
    EXPECT_EQ(box->text, L"Printer Update interrupted.");
    AnswerOk(*box);
    const std::string received = run_->Received("Usb0");
    ASSERT_GE(received.size(), 4u);
    EXPECT_EQ(received.substr(received.size() - 4), std::string(4, '\xFF'));
    EXPECT_EQ(received.find(std::string(4, '\0'), 5004), std::string::npos);  // never the last-file marker
    EXPECT_TRUE(WaitUntil([&] { return WindowText(Control(usb, IDC_USB_LINE1)) == L"Update data has been sent."; }));
}

TEST_F(Wizard, AFaultAfterTheLastFileIsReportedWithItsCode) {
    Start(Config(0), UsbPrinter(0, "E7300123", "10/0/0", "FaultAfterFile=2\nFaultCodes=1/32\n"));
    Next();
    ASSERT_TRUE(TickAndSend());
    const auto box = WaitForMessageBox(run_->ProcessId(), std::chrono::seconds(60));
    ASSERT_TRUE(box);
    EXPECT_EQ(box->caption, L"Error");
    EXPECT_EQ(box->text, L"Unable to download data to the printer: 016-744");
    AnswerOk(*box);
    // The window closes without the interruption message.
    HWND usb = run_->WaitForPage(IDC_USB_LIST);
    EXPECT_TRUE(WaitUntil([&] { return WindowText(Control(usb, IDC_USB_LINE1)) == L"Update data has been sent."; }));
    // The interruption message would have come before the sent state.
    EXPECT_FALSE(WaitForMessageBox(run_->ProcessId(), std::chrono::milliseconds(0)));
}

TEST_F(Wizard, ASecondCopyBringsTheWizardToTheFrontAndEnds) {
    Start(Config(0), UsbPrinter(0, "E7300123", "10/0/0"));
    ASSERT_TRUE(run_->WaitForPage(IDC_LANG_COMBO));
    ShowWindow(run_->Sheet(), SW_MINIMIZE);
    EXPECT_EQ(run_->RunSecondCopy(), 0u);
    EXPECT_TRUE(WaitUntil([&] { return !IsIconic(run_->Sheet()); }));
}

}  // namespace
