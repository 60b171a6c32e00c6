#include "ui/network_list_page.h"

#include <cstring>

#include "base/text.h"
#include "device/net_address_input.h"
#include "device/net_discovery.h"
#include "transfer/firmware_stream.h"
#include "ui/add_printer_dialog.h"
#include "ui/list_view_rows.h"
#include "ui/progress_window.h"
#include "ui/texts/resource_ids.h"
#include "ui/wait_cursor.h"
#include "ui/wizard_sheet.h"

namespace {

constexpr int kColumnWidths[] = {120, 100, 120, 100};
constexpr int kColumnHeadings[] = {IDS_COL_IP_ADDRESS, IDS_COL_PRINTER_NAME, IDS_COL_PRINTER_FW, IDS_COL_STATUS};
constexpr int kAddressColumn = 0;
constexpr int kNameColumn = 1;
constexpr int kFirmwareColumn = 2;
constexpr int kStatusColumn = 3;
constexpr ControlText kTexts[] = {
    {IDC_NET_MODULE_LABEL, IDS_MODULE_NAME_LABEL},
    {IDC_NET_COMMUNITY_LABEL, IDS_COMMUNITY_LABEL},
    {IDC_NET_REFRESH, IDS_REFRESH},
    {IDC_NET_ADD, IDS_ADD_BUTTON},
};
constexpr int kDisabledWhenSent[] = {IDC_NET_REFRESH, IDC_NET_ADD, IDC_NET_COMMUNITY, IDC_NET_LIST,
                                     IDC_NET_COMMUNITY_LABEL};
constexpr int kAddressChars = 64;  // an address as the status refresh reads it: 63 characters

constexpr int kCommunityChars = 32;

constexpr UINT_PTR kStatusTimer = 16;
constexpr UINT kStatusPeriodMs = 3000;

// Drops the keystrokes still queued for a window and its children.
void DiscardKeystrokes(HWND window) {
    MSG message;
    while (PeekMessageW(&message, window, WM_KEYFIRST, WM_KEYLAST, PM_REMOVE)) {
    }
}

}  // namespace

CNetworkList::CNetworkList(WizardServices& services)
    : PrinterListPage(IDD_NETWORK_PAGE, services,
                      Layout{IDC_NET_LIST, IDC_NET_MODULE_NAME, IDC_NET_LINE1, IDC_NET_LINE2, kColumnWidths,
                             kColumnHeadings, kTexts, kDisabledWhenSent}) {}

// The port page offers the network only when the network library is bound,
// so every call this page makes has its entry point.
bool CNetworkList::AcceptsActivation() { return Sheet().m_bUsbPort == 0; }

BOOL CNetworkList::OnInitDialog() {
    InitList();
    SetItemText(IDC_NET_COMMUNITY, FromEightBit(kDefaultCommunity));
    SendMessageW(Item(IDC_NET_COMMUNITY), EM_LIMITTEXT, kCommunityChars, 0);
    return TRUE;
}

void CNetworkList::OnSetActive() {
    SetTexts();
    if (updatesStarted) {
        ShowSentState();
    } else {
        Refresh();  // the buttons then follow the new list
    }
}

bool CNetworkList::OnCommand(WORD id, WORD code, HWND) {
    if (id == IDC_NET_REFRESH && code == BN_CLICKED) {
        Refresh();
        return true;
    }
    if (id == IDC_NET_ADD && code == BN_CLICKED) {
        Add();
        return true;
    }
    if (id == IDC_NET_COMMUNITY && code == EN_CHANGE) {
        CheckCommunity();
        return true;
    }
    return false;
}

// Refresh is the default button while the page shows.
void CNetworkList::OnShowWindow(bool shown) {
    if (shown) PostMessageW(SheetWindow(), DM_SETDEFID, IDC_NET_REFRESH, 0);
}

// With a printer ticked, Enter means Next.
void CNetworkList::OnPrintersTicked() { PostMessageW(SheetWindow(), DM_SETDEFID, kWizardNextButton, 0); }

std::string CNetworkList::Community() const {
    wchar_t text[kCommunityChars + 1] = {};
    GetDlgItemTextW(Window(), IDC_NET_COMMUNITY, text, kCommunityChars + 1);
    return ToEightBit(text);
}

void CNetworkList::InsertPrinterRow(int position, const std::wstring& address, const std::string& deviceName,
                                    const NetRowIdentity& identity) {
    NetPrinterItem& item = records_.Add(identity.item);
    item.transferResult = kTransferPending;
    const int row = list_.InsertRow(position, address, RowData(item));
    list_.SetText(row, kNameColumn, FromEightBit(deviceName));
    list_.SetText(row, kFirmwareColumn, FromEightBit(identity.firmwareText));
    list_.SetText(row, kStatusColumn, services_.texts.Text(identity.statusTextId));
}

void CNetworkList::Refresh() {
    {
        WaitCursor busy;
        DeleteRows();
        std::string community = Community();
        if (community.empty()) {
            community = kDefaultCommunity;
            SetItemText(IDC_NET_COMMUNITY, FromEightBit(kDefaultCommunity));
        }
        DeviceLibraries& libraries = services_.libraries;
        const PackageSettings& settings = services_.settings;

        DiscoverIpv4(libraries, settings, community.c_str(), nullptr);
        const AgentTableV4& ipv4 = DiscoveredAgentsV4();
        for (int i = 0; i < ipv4.count; ++i) {
            const AgentEntryV4& entry = ipv4.entries[i];
            InsertPrinterRow(i, FromEightBit(entry.address), entry.deviceName,
                             IdentifyNetRow(libraries, settings, AddressesOfBroadcastEntry(entry), community.c_str(),
                                            updatesStarted != 0));
        }

        // IPv6 rows go above the IPv4 rows, in the order they answered.
        const int osMajorVersion = RunningOsMajorVersion();
        if (osMajorVersion >= kIpv6OsMajorVersion) {
            DiscoverIpv6(libraries, settings, community.c_str(), nullptr, osMajorVersion);
            const AgentTableV6& ipv6 = DiscoveredAgentsV6();
            for (int d = 0; d < ipv6.count; ++d) {
                const AgentEntryV6& entry = ipv6.entries[d];
                InsertPrinterRow(d, FromEightBit(FormatIpv6Address(entry.address, entry.scopeId)), entry.deviceName,
                                 IdentifyNetRow(libraries, settings, AddressesOfBroadcastEntry(entry),
                                                community.c_str(), updatesStarted != 0));
            }
        }
    }
    // Nothing is reported when no printer answers.
    if (list_.Count() > 0) list_.SelectAndFocus(0);
    // The rows ticked before are gone, and deleting them raised no item
    // change: an empty list must not leave Next enabled.
    UpdateButtons();
}

void CNetworkList::Add() {
    CAddNetworkPrinter dialog(services_, Window());
    if (!dialog.RunModal()) return;
    const bool ipv6 = dialog.Ipv6Mode();
    const std::wstring typedIpv6 = dialog.Ipv6Text();
    const std::string dottedIpv4 = FormatIpv4Address(dialog.Ipv4Address());

    const TextCatalogue& texts = services_.texts;
    if (IsListed(ipv6, typedIpv6, FromEightBit(dottedIpv4))) {
        ShowMessage(Window(), texts, IDS_CAPTION_ERROR, texts.Text(IDS_MSG_ALREADY_LISTED));
        return;
    }

    // Unlike Refresh, Add takes the community as it stands, even empty.
    const std::string community = Community();
    DeviceLibraries& libraries = services_.libraries;
    const PackageSettings& settings = services_.settings;
    {
        WaitCursor busy;
        if (ipv6)
            DiscoverIpv6(libraries, settings, community.c_str(), typedIpv6.c_str(), RunningOsMajorVersion());
        else
            DiscoverIpv4(libraries, settings, community.c_str(), dottedIpv4.c_str());
    }
    const AgentTableV4& ipv4Table = DiscoveredAgentsV4();
    const AgentTableV6& ipv6Table = DiscoveredAgentsV6();
    if ((ipv6 ? ipv6Table.count : ipv4Table.count) == 0) {
        ShowMessage(Window(), texts, IDS_CAPTION_ERROR, texts.Text(IDS_MSG_UNIDENTIFIED));
        return;
    }

    const NetQueryAddresses addresses =
        ipv6 ? AddressesOfAskedIpv6(typedIpv6) : AddressesOfAskedIpv4(ipv4Table, dottedIpv4.c_str());
    const std::wstring address = ipv6 ? typedIpv6 : FromEightBit(ipv4Table.entries[0].address);
    const std::string deviceName = ipv6 ? ipv6Table.entries[0].deviceName : ipv4Table.entries[0].deviceName;
    InsertPrinterRow(list_.Count(), address, deviceName,
                     IdentifyNetRow(libraries, settings, addresses, community.c_str(), updatesStarted != 0));
}

// IPv4 addresses are compared as texts; IPv6 ones as addresses, with the
// rows that were found or added over IPv6.
bool CNetworkList::IsListed(bool ipv6, const std::wstring& typedIpv6, const std::wstring& dottedIpv4) const {
    for (int row = 0; row < list_.Count(); ++row) {
        const std::wstring address = list_.Text(row, kAddressColumn);
        if (!ipv6) {
            if (address == dottedIpv4) return true;
            continue;
        }
        const auto* item = RowItem<const NetPrinterItem>(list_, row);
        if (item && item->isIpv6 == 1 && services_.libraries.IpAddrV6Cmp(address.c_str(), typedIpv6.c_str()) == 0)
            return true;
    }
    return false;
}

bool CNetworkList::TickedPrintersGranted() const {
    return ::TickedPrintersGranted<NetPrinterItem>(list_, services_.settings);
}

void CNetworkList::RunTransfer(TransferRequest& request) {
    ListViewPrinterRows<NetPrinterItem> printers(list_);
    request.usb = false;
    CopyTruncated(Community(), request.community, sizeof request.community);
    request.netPrinters = &printers;
    CDownloadProgress(services_, request).RunModal();
}

void CNetworkList::StartStatusRefresh() { SetTimer(Window(), kStatusTimer, kStatusPeriodMs, nullptr); }

void CNetworkList::OnTimer(UINT_PTR id) {
    if (id == kStatusTimer) RefreshStatus();
}

// The ticked printers' state and firmware, read afresh; the rows' records
// stay as the update left them.
void CNetworkList::RefreshStatus() {
    const std::string community = Community();
    DeviceLibraries& libraries = services_.libraries;
    for (int row = 0; row < list_.Count(); ++row) {
        const auto* item = RowItem<const NetPrinterItem>(list_, row);
        if (!list_.IsTicked(row) || !item) continue;
        const std::string address = ToEightBit(list_.Text(row, kAddressColumn, kAddressChars));

        PrinterStatusBlock status;
        const int textId = libraries.NetworkReadStatusV3(address.c_str(), community.c_str(), kDiscoveryStatusMode,
                                                         &status) != 0
                               ? NetRowStatusTextId(services_.settings, status, updatesStarted != 0,
                                                    item->transferResult)
                               : IDS_STATE_NOT_READY;

        char firmware[kOidValueBytes] = {};
        GetFirmwareVersion(libraries, address.c_str(), community.c_str(), item->isIpv6 == 1 ? kIpVersion6 : kIpVersion4, firmware,
                           sizeof firmware);
        const std::wstring firmwareText = FromEightBit(firmware);
        // A completed printer is checked against the firmware the package installs.
        list_.SetText(row, kStatusColumn,
                      services_.texts.Text(FirmwareCheckedTextId(services_.settings, textId, firmwareText)));
        list_.SetText(row, kFirmwareColumn, firmwareText);
    }
}

// Only letters, digits, "-" and "_": the text is cut before the first other
// character, and keystrokes typed after it are dropped.
void CNetworkList::CheckCommunity() {
    HWND edit = Item(IDC_NET_COMMUNITY);
    wchar_t text[kCommunityChars + 1] = {};
    GetWindowTextW(edit, text, kCommunityChars + 1);
    const std::wstring_view typed(text);
    const std::size_t invalidAt = FirstInvalidCommunityCharacter(typed);
    if (invalidAt == std::wstring_view::npos) return;

    const std::wstring kept(typed.substr(0, invalidAt));
    DiscardKeystrokes(Window());
    DiscardKeystrokes(edit);
    ShowMessage(Window(), services_.texts, IDS_CAPTION_COMMUNITY, services_.texts.Text(IDS_MSG_COMMUNITY_INVALID));
    SetWindowTextW(edit, kept.c_str());
    SendMessageW(edit, EM_SETSEL, kept.size(), kept.size());
    SetFocus(edit);
}
