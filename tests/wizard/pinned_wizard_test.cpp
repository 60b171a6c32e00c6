// The wizard with a package whose files are pinned to their SHA-256.
#include <gtest/gtest.h>

#include <string>

#include "base/sha256.h"
#include "ui/texts/resource_ids.h"
#include "ui_driver.h"
#include "wizard_fixture.h"

using namespace ui_driver;

namespace {

std::string PinOf(const std::string& bytes) { return Sha256Hex(*Sha256::Of(bytes.data(), bytes.size())); }

std::string PinnedConfig() {
    return "[General]\nEncoding=0\nModuleName=Main controller\nModelName=Tessaro 7000\nMDLCnt=1\n"
           "MDL0=Korvane Laser 7000\nNetDownload=0\nLanguage=0\nFwCount=2\nVID=0A1B\nPID=00C2\n"
           "[Fw0]\nFileName=main.bin\nSha256=" + PinOf(FilePattern(5000, 1)) +
           "\n[Fw1]\nFileName=engine.bin\nSha256=" + PinOf(FilePattern(3000, 2)) + "\n[Granted]\nS0A*=1\n";
}

const char kPrinter[] =
    "[Usb0]\nIndex=1\nVID=0A1B\nPID=00C2\nModel=Korvane Laser 7000\nSerial=E7300123\n"
    "Firmware=01.00.00\nVariant=JP01\nName=Tessaro 7000\nStatus=10/0/0\n";

class PinnedWizard : public ::testing::Test {
protected:
    void Start(const std::string& engineBytes) {
        run_ = std::make_unique<WizardRun>(PinnedConfig(), kPrinter);
        run_->AddFile("main.bin", FilePattern(5000, 1));
        run_->AddFile("engine.bin", engineBytes);
        ASSERT_TRUE(run_->Start());
        ASSERT_TRUE(PressNextWhenEnabled(run_->Sheet()));
        HWND usb = run_->WaitForPage(IDC_USB_LIST);
        ASSERT_TRUE(usb);
        RemoteList list(Control(usb, IDC_USB_LIST));
        ASSERT_TRUE(WaitUntil([&] { return list.Count() == 1 && !list.Text(0, 0).empty(); }));
        list.SetTicked(0, true);
        ASSERT_TRUE(PressNextWhenEnabled(run_->Sheet()));
    }

    std::unique_ptr<WizardRun> run_;
};

}  // namespace

TEST_F(PinnedWizard, ASealedPackageIsSentWhole) {
    Start(FilePattern(3000, 2));
    HWND usb = run_->WaitForPage(IDC_USB_LIST);
    ASSERT_TRUE(WaitUntil([&] { return WindowText(Control(usb, IDC_USB_LINE1)) == L"Update data has been sent."; },
                          std::chrono::seconds(60)));
    // A message of the job would have come before the sent state.
    EXPECT_FALSE(WaitForMessageBox(run_->ProcessId(), std::chrono::milliseconds(0)));
    EXPECT_EQ(run_->Received("Usb0"),
              FilePattern(5000, 1) + std::string("\xAA\x55\x55\xAA", 4) + FilePattern(3000, 2) + std::string(4, '\0'));
}

TEST_F(PinnedWizard, ADamagedFileIsNamedAndNothingIsSent) {
    std::string damaged = FilePattern(3000, 2);
    damaged[2999] = static_cast<char>(damaged[2999] ^ 0x01);
    Start(damaged);
    const auto box = WaitForMessageBox(run_->ProcessId(), std::chrono::seconds(60));
    ASSERT_TRUE(box);
    EXPECT_EQ(box->caption, L"Error");
    const std::wstring message = L"The firmware file does not match the package. Nothing was sent to the printer:\n\t";
    EXPECT_EQ(box->text.substr(0, message.size()), message);
    const std::wstring file = L"\\engine.bin";
    EXPECT_TRUE(box->text.size() > file.size() && box->text.substr(box->text.size() - file.size()) == file);
    AnswerOk(*box);
    // The whole run: nothing of a send may follow the message.
    EXPECT_EQ(run_->SentInTheWholeRun({"Usb0"}), "");
    // The list page's identity and name requests are all the printer got.
    const std::string transcript = run_->Transcript("Usb0");
    for (std::size_t at = transcript.find("DUWriteData "); at != std::string::npos;
         at = transcript.find("DUWriteData ", at + 1)) {
        const std::string line = transcript.substr(at, transcript.find('\n', at) - at);
        EXPECT_NE(line.find(" request -> "), std::string::npos) << line;
    }
}
