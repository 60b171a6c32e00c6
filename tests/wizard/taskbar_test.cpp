// The progress window shows the transfer on the wizard's taskbar button where
// the platform offers the taskbar interface; where it does not, the update
// goes on as before.
#include <gtest/gtest.h>

#include <windows.h>

#include <psapi.h>
#include <shobjidl.h>

#include <algorithm>
#include <cwctype>
#include <string>
#include <vector>

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

// Whether this process can create the taskbar interface now.
bool TaskbarInterfaceHere() {
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    ITaskbarList3* taskbar = nullptr;
    const bool created = SUCCEEDED(CoCreateInstance(CLSID_TaskbarList, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskbarList3,
                                                    reinterpret_cast<void**>(&taskbar))) &&
                         taskbar;
    if (taskbar) taskbar->Release();
    if (SUCCEEDED(com)) CoUninitialize();
    return created;
}

// The lower-case file names of the modules loaded in process `processId`.
std::vector<std::wstring> LoadedModules(DWORD processId) {
    std::vector<std::wstring> names;
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, processId);
    if (!process) return names;
    HMODULE modules[1024];
    DWORD bytes = 0;
    if (EnumProcessModules(process, modules, sizeof modules, &bytes)) {
        for (DWORD k = 0; k < bytes / sizeof(HMODULE) && k < 1024; ++k) {
            wchar_t name[MAX_PATH] = {};
            if (!GetModuleBaseNameW(process, modules[k], name, MAX_PATH)) continue;
            std::wstring lower(name);
            for (wchar_t& c : lower) c = static_cast<wchar_t>(towlower(c));
            names.push_back(lower);
        }
    }
    CloseHandle(process);
    return names;
}

bool Holds(const std::vector<std::wstring>& names, const std::wstring& name) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

std::wstring OwnProgramName() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    const std::wstring full(path);
    return full.substr(full.find_last_of(L'\\') + 1);
}

const std::wstring kOverrides = L"\\DllOverrides";
const std::wstring kAppDefaults = L"Software\\Wine\\AppDefaults\\";

TEST(TaskbarProgress, WithoutTheTaskbarInterfaceTheUpdateStillGoesThrough) {
    // The taskbar list object lives in this library: with it disabled for
    // the program, the program cannot create the interface. The same
    // setting for this test program shows that it takes effect here: no
    // interface with it, an interface without it.
    {
        const RegistryOverride here((kAppDefaults + OwnProgramName() + kOverrides).c_str(), L"explorerframe", REG_SZ,
                                    L"", sizeof(wchar_t));
        ASSERT_FALSE(TaskbarInterfaceHere()) << "the setting does not take the interface away";
    }
    ASSERT_TRUE(TaskbarInterfaceHere()) << "the system offers no taskbar interface at all";
    const RegistryOverride noTaskbar((kAppDefaults + L"TessaroFWDL.exe" + kOverrides).c_str(), L"explorerframe",
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
    // The progress window asked for the interface as it opened, and the
    // library that holds it was not loaded.
    const std::vector<std::wstring> modules = LoadedModules(run.ProcessId());
    ASSERT_TRUE(Holds(modules, L"kernel32.dll")) << "the program's modules cannot be listed";
    EXPECT_FALSE(Holds(modules, L"explorerframe.dll"));
    ASSERT_TRUE(WaitUntil([&] { return WindowText(Control(usb, IDC_USB_LINE1)) == L"Update data has been sent."; },
                          std::chrono::seconds(60)));
    EXPECT_EQ(run.Received("Usb0"),
              FilePattern(5000, 1) + std::string("\xAA\x55\x55\xAA", 4) + FilePattern(3000, 2) + std::string(4, '\0'));
    PressFinish(run.Sheet());
    EXPECT_TRUE(run.WaitForExit());
}

}  // namespace
