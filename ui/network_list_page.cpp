#include "ui/network_list_page.h"

#include "ui/texts/resource_ids.h"

namespace {

constexpr int kColumnWidths[] = {120, 100, 120, 100};
constexpr int kColumnHeadings[] = {IDS_COL_IP_ADDRESS, IDS_COL_PRINTER_NAME, IDS_COL_PRINTER_FW, IDS_COL_STATUS};
constexpr wchar_t kDefaultCommunity[] = L"meadow";
constexpr int kCommunityChars = 32;

}  // namespace

CNetworkList::CNetworkList(WizardServices& services) : PropertyPage(IDD_NETWORK_PAGE), services_(services) {}

bool CNetworkList::AcceptsActivation() { return Sheet().m_bUsbPort == 0; }

BOOL CNetworkList::OnInitDialog() {
    list_ = ListView(Item(IDC_NET_LIST));
    SetItemText(IDC_NET_MODULE_NAME, services_.settings.ModuleName);
    list_.SetExtendedStyle(LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT);
    SetItemText(IDC_NET_COMMUNITY, kDefaultCommunity);
    SendMessageW(Item(IDC_NET_COMMUNITY), EM_LIMITTEXT, kCommunityChars, 0);
    for (int column = 0; column < 4; ++column) list_.AddColumn(column, kColumnWidths[column]);
    updatesStarted = 0;
    return TRUE;
}

void CNetworkList::OnSetActive() {
    SetTexts();
    PostWizardButtons(list_.TickedCount() > 0 ? PSWIZB_BACK | PSWIZB_NEXT : PSWIZB_BACK);
}

void CNetworkList::SetTexts() {
    const TextCatalogue& texts = services_.texts;
    SetItemText(IDC_NET_LINE1, texts.Text(IDS_SELECT_PRINTERS) + L" " + texts.Text(IDS_CHECK_READY));
    SetItemText(IDC_NET_LINE2, texts.Text(IDS_SENT_ON_NEXT));
    SetItemText(IDC_NET_MODULE_LABEL, texts.Text(IDS_MODULE_NAME_LABEL));
    SetItemText(IDC_NET_COMMUNITY_LABEL, texts.Text(IDS_COMMUNITY_LABEL));
    SetItemText(IDC_NET_REFRESH, texts.Text(IDS_REFRESH));
    SetItemText(IDC_NET_ADD, texts.Text(IDS_ADD_BUTTON));
    for (int column = 0; column < 4; ++column) list_.SetColumnHeading(column, texts.Text(kColumnHeadings[column]));
}

// Discovery, adding printers and the network transfer from this page come
// with the page's own work; until then nothing can be ticked here.
int CNetworkList::StartUpdate() { return 0; }
