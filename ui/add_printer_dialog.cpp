#include "ui/add_printer_dialog.h"

#include <commctrl.h>

#include "device/net_address_input.h"
#include "device/net_discovery.h"
#include "ui/texts/resource_ids.h"

namespace {

constexpr ControlText kTexts[] = {
    {IDC_ADD_IPV6, IDS_IPV6_ADDRESS},
    {IDC_ADD_IPV4, IDS_IPV4_ADDRESS},
    {IDOK, IDS_OK},
    {IDCANCEL, IDS_CANCEL},
};

}  // namespace

CAddNetworkPrinter::CAddNetworkPrinter(WizardServices& services, HWND owner) : services_(services), owner_(owner) {}

bool CAddNetworkPrinter::RunModal() {
    return RunDialog(services_.instance, IDD_ADD_PRINTER, owner_) == IDOK;
}

INT_PTR CAddNetworkPrinter::OnMessage(UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        OnInitDialog();
        return TRUE;
    case WM_SHOWWINDOW:
        // After the default handling: the dialog manager would otherwise
        // put the focus on the first tab stop.
        if (wParam) PostMessageW(Window(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(Item(IDC_ADD_IPV4_ADDRESS)), TRUE);
        return FALSE;
    case WM_COMMAND:
        return OnCommand(LOWORD(wParam), HIWORD(wParam));
    default:
        return FALSE;
    }
}

void CAddNetworkPrinter::OnInitDialog() {
    const BOOL ipv6Available = RunningOsMajorVersion() >= kIpv6OsMajorVersion;
    EnableWindow(Item(IDC_ADD_IPV6), ipv6Available);
    EnableWindow(Item(IDC_ADD_IPV6_ADDRESS), ipv6Available);

    ipv6Mode_ = 0;
    CheckRadioButton(Window(), IDC_ADD_IPV4, IDC_ADD_IPV6, IDC_ADD_IPV4);
    ChooseIpv4();
    SendMessageW(Item(IDC_ADD_IPV6_ADDRESS), EM_LIMITTEXT, kIpv6EditLimit, 0);
    SendMessageW(Item(IDC_ADD_IPV4_ADDRESS), IPM_SETADDRESS, 0, static_cast<LPARAM>(ipv4Address_));

    SetWindowTextW(Window(), services_.texts.Text(IDS_ADD_TITLE).c_str());
    SetItemTexts(services_.texts, kTexts);
}

bool CAddNetworkPrinter::OnCommand(WORD id, WORD code) {
    switch (id) {
    case IDC_ADD_IPV6:
        if (code == BN_CLICKED) ChooseIpv6();
        return true;
    case IDC_ADD_IPV4:
        if (code == BN_CLICKED) ChooseIpv4();
        return true;
    case IDC_ADD_IPV6_ADDRESS:
        if (code == EN_CHANGE) ApplyOkRule();
        return true;
    case IDOK:
        OnOk();
        return true;
    case IDCANCEL:
        End(IDCANCEL);
        return true;
    default:
        return false;
    }
}

void CAddNetworkPrinter::ChooseIpv6() {
    EnableWindow(Item(IDC_ADD_IPV4_ADDRESS), FALSE);
    EnableWindow(Item(IDC_ADD_IPV6_ADDRESS), TRUE);
    SetFocus(Item(IDC_ADD_IPV6_ADDRESS));
    ipv6Mode_ = 1;
    ApplyOkRule();
}

void CAddNetworkPrinter::ChooseIpv4() {
    EnableWindow(Item(IDC_ADD_IPV6_ADDRESS), FALSE);
    EnableWindow(Item(IDC_ADD_IPV4_ADDRESS), TRUE);
    SetFocus(Item(IDC_ADD_IPV4_ADDRESS));
    ipv6Mode_ = 0;
    ApplyOkRule();
}

void CAddNetworkPrinter::ApplyOkRule() const {
    const bool ipv6Ticked = IsDlgButtonChecked(Window(), IDC_ADD_IPV6) == BST_CHECKED;
    EnableWindow(Item(IDOK), !(ipv6Ticked && GetWindowTextLengthW(Item(IDC_ADD_IPV6_ADDRESS)) == 0));
}

void CAddNetworkPrinter::OnOk() {
    GetDlgItemTextW(Window(), IDC_ADD_IPV6_ADDRESS, ipv6Text_, kIpv6TextChars);
    if (IsDlgButtonChecked(Window(), IDC_ADD_IPV6) != BST_CHECKED) {
        // Blank fields of the address control read as 0.
        DWORD address = 0;
        SendMessageW(Item(IDC_ADD_IPV4_ADDRESS), IPM_GETADDRESS, 0, reinterpret_cast<LPARAM>(&address));
        ipv4Address_ = address;
        End(IDOK);
        return;
    }
    if (services_.libraries.IsValidIpAddrV6(ipv6Text_) == 0) {
        RefuseIpv6Text(IDS_MSG_IP_INVALID);
        return;
    }
    if (LacksLinkLocalScope(ipv6Text_)) {
        RefuseIpv6Text(IDS_MSG_SCOPE_ID);
        return;
    }
    End(IDOK);
}

void CAddNetworkPrinter::RefuseIpv6Text(int textId) const {
    ShowMessage(Window(), services_.texts, IDS_CAPTION_IP_CONFIRM, services_.texts.Text(textId));
    SetFocus(Item(IDC_ADD_IPV6_ADDRESS));
}
