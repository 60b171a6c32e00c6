// The wizard frame: a property sheet in wizard mode holding the four pages,
// the port choice the pages share, the Next hook that starts the transfer on
// a printer list page, and the reaction to a second copy of the program.
// Windows only.
#pragma once

#include <windows.h>
#include <prsht.h>

#include <vector>

#include "base/text_catalogue.h"
#include "ui/property_page.h"

// Ids of the property sheet's own wizard buttons.
inline constexpr int kWizardBackButton = 0x3023;  // 12323
inline constexpr int kWizardNextButton = 0x3024;  // 12324
inline constexpr int kSheetHelpButton = IDHELP;   // 9

class CLanguageSel;
class CPortSelection;
class CNetworkList;
class CUSBList;

class CMyPropSheet {
public:
    // Private message: a page runs its activation again.
    static constexpr UINT kReactivateMessage = WM_APP + 1;

    CMyPropSheet(const TextCatalogue& texts, UINT instanceMessage) : texts_(texts), instanceMessage_(instanceMessage) {}
    CMyPropSheet(const CMyPropSheet&) = delete;
    CMyPropSheet& operator=(const CMyPropSheet&) = delete;

    // Pages in the order of the wizard; the sheet does not own them.
    void AddPage(PropertyPage& page);
    // Runs the wizard modally; returns when it is closed by Finish or Cancel.
    void RunModal(HINSTANCE instance);
    HWND Window() const { return window_; }

    // The page the wizard goes to from `page` by Next or Back: the template
    // id of the first page in that direction that accepts activation, or -1
    // to stay; staying re-activates the current page.
    LRESULT NextPageFrom(PropertyPage& page);
    LRESULT PreviousPageFrom(PropertyPage& page);

    CPortSelection* m_pPortPage = nullptr;
    CLanguageSel* m_pLanguagePage = nullptr;
    CNetworkList* m_pNetworkPage = nullptr;
    CUSBList* m_pUsbPage = nullptr;
    int m_bUsbPort = 0;  // 0: network (raw port 9100), 1: USB

private:
    static int CALLBACK SheetCallback(HWND window, UINT message, LPARAM lParam);
    static LRESULT CALLBACK SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                         DWORD_PTR data);
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    void OnCommand(WPARAM wParam);
    int IndexOf(const PropertyPage& page) const;
    PropertyPage* ActivePage() const;

    const TextCatalogue& texts_;
    UINT instanceMessage_;
    std::vector<PropertyPage*> pages_;
    HWND window_ = nullptr;
};

// Brings a window to the front across processes, restored; 1 or 0.
BOOL ForceForegroundWindow(HWND window);
