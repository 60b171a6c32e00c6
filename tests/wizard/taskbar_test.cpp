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

// Whether this process can create the taskbar interface, and the modules
// loaded while it holds it.
struct TaskbarHere {
    bool created = false;
    std::vector<std::wstring> modules;
};
TaskbarHere CreateTaskbarHere() {
    TaskbarHere here;
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    ITaskbarList3* taskbar = nullptr;
    here.created = SUCCEEDED(CoCreateInstance(CLSID_TaskbarList, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskbarList3,
                                              reinterpret_cast<void**>(&taskbar))) &&
                   taskbar;
    here.modules = LoadedModules(GetCurrentProcessId());
    if (taskbar) taskbar->Release();
    if (SUCCEEDED(com)) CoUninitialize();
    return here;
}

TEST(TaskbarProgress, WithoutTheTaskbarInterfaceTheUpdateStillGoesThrough) {
    // The system offers the interface, from this library: creating it here
    // loads the library.
    const TaskbarHere here = CreateTaskbarHere();
    ASSERT_TRUE(here.created) << "the system offers no taskbar interface at all";
    ASSERT_TRUE(Holds(here.modules, L"explorerframe.dll")) << here.modules.size() << " modules";
    // With the library disabled for the program, the program cannot create
    // the interface.
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
