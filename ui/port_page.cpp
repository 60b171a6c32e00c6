#include "ui/port_page.h"

#include "ui/texts/resource_ids.h"
#include "ui/wizard_sheet.h"

namespace {

constexpr ControlText kTexts[] = {
    {IDC_PORT_GROUP, IDS_PORT_GROUP},
    {IDC_PORT_NETWORK, IDS_PORT_NETWORK},
    {IDC_PORT_USB, IDS_PORT_USB},
    {IDC_PORT_NETWORK_NOTE, IDS_PORT_NETWORK_NOTE},
    {IDC_PORT_USB_NOTE, IDS_PORT_USB_NOTE},
};

}  // namespace

CPortSelection::CPortSelection(WizardServices& services) : PropertyPage(IDD_PORT_PAGE), services_(services) {}

bool CPortSelection::NetworkChoiceAvailable() const {
    // Without the network library the network road cannot work: as if the
    // package did not allow it.
    return services_.settings.NetDownload != 0 && services_.libraries.HasNetworkLibrary();
}

bool CPortSelection::AcceptsActivation() {
    // The page's activation shows the Back button (the language page hid it)
    // before it decides, so the page that follows has it even when this one
    // is skipped.
    if (HWND back = GetDlgItem(SheetWindow(), kWizardBackButton)) ShowWindow(back, SW_SHOW);
    if (NetworkChoiceAvailable()) return true;
    Sheet().m_bUsbPort = 1;
    return false;
}

BOOL CPortSelection::OnInitDialog() {
    CheckDlgButton(Window(), IDC_PORT_NETWORK, BST_CHECKED);
    return TRUE;
}

void CPortSelection::OnSetActive() {
    PostWizardButtons(PSWIZB_BACK | PSWIZB_NEXT);
    SetItemTexts(services_.texts, kTexts);
}

bool CPortSelection::OnCommand(WORD id, WORD code, HWND) {
    if (code != BN_CLICKED) return false;
    if (id == IDC_PORT_NETWORK) {
        Sheet().m_bUsbPort = 0;
        CheckDlgButton(Window(), IDC_PORT_USB, BST_UNCHECKED);
        return true;
    }
    if (id == IDC_PORT_USB) {
        Sheet().m_bUsbPort = 1;
        CheckDlgButton(Window(), IDC_PORT_NETWORK, BST_UNCHECKED);
        return true;
    }
    return false;
}
