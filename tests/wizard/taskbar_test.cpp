// The progress window shows the transfer on the wizard's taskbar button where
// the platform offers the taskbar interface; where it does not, the update
// goes on as before.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "registry_override.h"
#include "ui/texts/resource_ids.h"
#include "ui_driver.h"
#include "wizard_fixture.h"

using namespace ui_driver;

namespace {

std::string Config() {
    return "[General]\nEncoding=0\nModuleName=Main controller\nModelName=Tessaro 7000\nMDLCnt=1\n"
           "MDL0=Korvane Laser 7000\nNetDownload=0\nLanguage=0\nFwCount=2\nVID=0A1B\nPID=00C2\n"
           "[Fw0]\nFileName=main.bin\nReleaseDate=2026-11-02\n"
           "[Fw1]\nFileName=engine.bin\nReleaseDate=2026-11-20\n"
           "[Granted]\nS0A*=1\n";
}

TEST(TaskbarProgress, WithoutTheTaskbarInterfaceTheUpdateStillGoesThrough) {
    // The taskbar list object lives in this library: with it disabled for
    // the program, the program cannot create the interface.
    const RegistryOverride noTaskbar(L"Software\\Wine\\AppDefaults\\TessaroFWDL.exe\\DllOverrides", L"explorerframe",
                                     REG_SZ, L"", sizeof(wchar_t));
    WizardRun run(Config(), "[Usb0]\nIndex=1\nVID=0A1B\nPID=00C2\nModel=Korvane Laser 7000\nSerial=E7300123\n"
                            "Firmware=01.00.00\nVariant=JP01\nName=Tessaro 7000\nStatus=10/0/0\n");
    run.AddFile("main.bin", FilePattern(5000, 1));
    run.AddFile("engine.bin", FilePattern(3000, 2));
    ASSERT_TRUE(run.Start());
    ASSERT_TRUE(PressNextWhenEnabled(run.Sheet()));
    HWND usb = run.WaitForPage(IDC_USB_LIST);
    ASSERT_TRUE(usb);
    RemoteList list(Control(usb, IDC_USB_LIST));
    ASSERT_TRUE(WaitUntil([&] { return list.Count() == 1 && !list.Text(0, 0).empty(); }));
    list.SetTicked(0, true);
    ASSERT_TRUE(PressNextWhenEnabled(run.Sheet()));

    EXPECT_TRUE(run.WaitForProgressWindow());
    ASSERT_TRUE(WaitUntil([&] { return WindowText(Control(usb, IDC_USB_LINE1)) == L"Update data has been sent."; },
                          std::chrono::seconds(60)));
    EXPECT_EQ(run.Received("Usb0"),
              FilePattern(5000, 1) + std::string("\xAA\x55\x55\xAA", 4) + FilePattern(3000, 2) + std::string(4, '\0'));
    PressFinish(run.Sheet());
    EXPECT_TRUE(run.WaitForExit());
}

}  // namespace
