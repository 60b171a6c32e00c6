// Drives a whole update through the wizard of a package folder, as a person
// would, and saves a picture of every page and window on the way:
//   wizard_demo.exe PACKAGE_FOLDER SHOT_FOLDER usb|network [japanese]
// Over USB it updates the one attached printer; over the network it opens
// the add dialog, then updates the IPv6 printer and the first IPv4 one, which
// comes back on its old firmware. Exit code 0 when the update went through
// to "Completed" (and, over the network, the other printer shows that it
// reports other firmware than the package's).
#include <windows.h>

#include <cstdio>
#include <string>

#include "screenshot.h"
#include "ui/texts/resource_ids.h"
#include "ui_driver.h"

using namespace ui_driver;

namespace {

class Demo {
public:
    Demo(std::wstring package, std::wstring shots, bool network, bool japanese)
        : package_(std::move(package)), shots_(std::move(shots)), network_(network), japanese_(japanese) {}

    int Run() {
        if (!Launch()) return Fail(L"the wizard did not appear");
        HWND language = WaitPage(IDC_LANG_COMBO);
        if (!language) return Fail(L"no language page");
        if (japanese_) {
            SelectComboItem(Control(language, IDC_LANG_COMBO), 1);
            Sleep(500);
        }
        Shot(L"1-language", sheet_);

        PressNextWhenEnabled(sheet_);
        HWND port = WaitPage(IDC_PORT_USB);
        if (!port) return Fail(L"no port page");
        if (network_) return RunNetworkRoad();
        SendMessageW(Control(port, IDC_PORT_USB), BM_SETCHECK, BST_CHECKED, 0);
        SendMessageW(Control(port, IDC_PORT_NETWORK), BM_SETCHECK, BST_UNCHECKED, 0);
        Click(Control(port, IDC_PORT_USB));
        Sleep(300);
        Shot(L"2-port", sheet_);

        PressNextWhenEnabled(sheet_);
        HWND usb = WaitPage(IDC_USB_LIST);
        if (!usb) return Fail(L"no USB list page");
        RemoteList list(Control(usb, IDC_USB_LIST));
        if (!WaitUntil([&] { return list.Count() >= 1 && !list.Text(0, 0).empty(); })) return Fail(L"no printer listed");
        list.SetTicked(0, true);
        Sleep(300);
        Shot(L"3-usb-list", sheet_);
        return SendAndWatch(list, 0, L"");
    }

private:
    // The network page: the discovered printers, the add dialog (shown, then
    // cancelled), and an update of the IPv6 printer and the first IPv4 one.
    int RunNetworkRoad() {
        PressNextWhenEnabled(sheet_);
        HWND page = WaitPage(IDC_NET_LIST);
        if (!page) return Fail(L"no network list page");
        RemoteList list(Control(page, IDC_NET_LIST));
        if (!WaitUntil([&] { return list.Count() >= 3; })) return Fail(L"the network printers were not listed");
        Sleep(300);
        Shot(L"net-3-list", sheet_);

        Click(Control(page, IDC_NET_ADD));
        HWND add = nullptr;
        WaitUntil([&] {
            add = FindDialog(pid_, sheet_);
            return add && Control(add, IDC_ADD_IPV6_ADDRESS);
        });
        if (!add) return Fail(L"the add dialog did not appear");
        PostMessageW(Control(add, IDC_ADD_IPV6), BM_CLICK, 0, 0);
        Sleep(200);
        SendMessageW(Control(add, IDC_ADD_IPV6_ADDRESS), WM_SETTEXT, 0,
                     reinterpret_cast<LPARAM>(L"fe80::21c:42ff:fe2a:1001%11"));
        Sleep(300);
        Shot(L"net-3-add", add);
        Click(Control(add, IDCANCEL));
        WaitUntil([&] { return !IsWindow(add); });

        // The IPv6 printer stands first; then the two IPv4 ones, the second not ready.
        list.SetTicked(0, true);
        list.SetTicked(1, true);
        Sleep(300);
        return SendAndWatch(list, 0, L"net-", 1);
    }

    // Next on a list page with ticked printers: the progress window, the sent
    // state, the watched row's status reaching "Completed" and, when given,
    // another row's showing that it reports other firmware.
    int SendAndWatch(const RemoteList& list, int watchedRow, const std::wstring& prefix, int otherFirmwareRow = -1) {
        PressNextWhenEnabled(sheet_);
        HWND progress = nullptr;
        WaitUntil([&] {
            progress = FindDialog(pid_, sheet_);
            return progress && Control(progress, IDC_PROGRESS_BAR);
        });
        if (progress) {
            Sleep(1500);
            Shot((prefix + L"4-progress").c_str(), progress);
        }
        if (!WaitUntil([&] { return !IsVisible(Control(sheet_, IDCANCEL)); }, std::chrono::seconds(180)))
            return Fail(L"the transfer did not end");
        Sleep(500);
        Shot((prefix + L"5-sent").c_str(), sheet_);
        const std::wstring completed = japanese_ ? L"\u5B8C\u4E86" : L"Completed";
        if (!WaitUntil([&] { return list.Text(watchedRow, 3) == completed; }, std::chrono::seconds(90)))
            return Fail(L"the printer never showed its update as completed");
        const std::wstring otherFirmware = japanese_ ? L"F/W\u4E0D\u4E00\u81F4" : L"F/W differs";
        if (otherFirmwareRow >= 0 &&
            !WaitUntil([&] { return list.Text(otherFirmwareRow, 3) == otherFirmware; }, std::chrono::seconds(30)))
            return Fail(L"the printer on its old firmware never showed so");
        Shot((prefix + L"6-completed").c_str(), sheet_);
        PressFinish(sheet_);
        WaitForSingleObject(process_.hProcess, 10000);
        std::wprintf(L"update completed; pictures in %ls\n", shots_.c_str());
        return 0;
    }

    bool Launch() {
        const std::wstring program = package_ + L"\\TessaroFWDL.exe";
        std::wstring commandLine = L"\"" + program + L"\"";
        STARTUPINFOW startup = {sizeof startup};
        if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, package_.c_str(),
                            &startup, &process_))
            return false;
        pid_ = process_.dwProcessId;
        return WaitUntil([&] {
            sheet_ = FindDialog(pid_);
            return sheet_ && GetDlgItem(sheet_, kWizardNext);
        });
    }

    HWND WaitPage(int controlId) {
        HWND page = nullptr;
        WaitUntil([&] { return (page = ActivePageWith(sheet_, controlId)) != nullptr; });
        return page;
    }

    void Shot(const std::wstring& name, HWND window) {
        // Every control drawn first: at 150 and 200 % a page takes longer to paint.
        RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
        Sleep(800);
        const std::wstring path = shots_ + L"\\" + name + (japanese_ ? L"-ja" : L"-en") + L".bmp";
        SaveWindowShot(window, path);
    }

    int Fail(const wchar_t* why) {
        std::fwprintf(stderr, L"demo: %ls\n", why);
        if (process_.hProcess) TerminateProcess(process_.hProcess, 1);
        return 1;
    }

    std::wstring package_;
    std::wstring shots_;
    bool network_;
    bool japanese_;
    PROCESS_INFORMATION process_ = {};
    DWORD pid_ = 0;
    HWND sheet_ = nullptr;
};

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 4) {
        std::fwprintf(stderr, L"usage: wizard_demo PACKAGE_FOLDER SHOT_FOLDER usb|network [japanese]\n");
        return 2;
    }
    const bool network = std::wstring(argv[3]) == L"network";
    const bool japanese = argc > 4 && std::wstring(argv[4]) == L"japanese";
    return Demo(argv[1], argv[2], network, japanese).Run();
}
