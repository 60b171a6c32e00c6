#include "ui/usb_list_page.h"

#include <cstring>
#include <vector>

#include "base/text.h"
#include "device/usb_identity.h"
#include "ui/list_view_rows.h"
#include "ui/progress_window.h"
#include "ui/texts/resource_ids.h"
#include "ui/wait_cursor.h"
#include "ui/wizard_sheet.h"

namespace {

constexpr int kColumnWidths[] = {120, 120, 120, 80};
constexpr int kColumnHeadings[] = {IDS_COL_SERIAL_NO, IDS_COL_PRINTER_NAME, IDS_COL_PRINTER_FW, IDS_COL_STATUS};
constexpr int kStatusColumn = 3;
constexpr ControlText kTexts[] = {
    {IDC_USB_MODULE_LABEL, IDS_MODULE_NAME_LABEL},
    {IDC_USB_REFRESH, IDS_REFRESH},
};
constexpr int kDisabledWhenSent[] = {IDC_USB_REFRESH, IDC_USB_LIST};
constexpr int kIdentityLimit = 32;

// States in which a printer is not asked for its identity.
constexpr unsigned char kStateNotQueried1 = 130;
constexpr unsigned char kStateNotQueried2 = 8;

constexpr UINT_PTR kFirstStatusTimer = 1;
constexpr UINT_PTR kStatusTimer = 16;
constexpr UINT kFirstStatusDelayMs = 2000;
constexpr UINT kStatusPeriodMs = 3000;

bool IsQueried(unsigned char stateCode) { return stateCode != kStateNotQueried1 && stateCode != kStateNotQueried2; }

// One enumeration pass. The library's callback carries no pointer of ours,
// so the pass in progress is named here while DUEnumPrinterEx runs (on the
// interface thread only).
struct EnumerationPass {
    CUSBList::EnumerationTable& table;
    DeviceLibraries& libraries;
    UsbPortLocks& locks;
    bool queryIdentity;
};
EnumerationPass* g_pass = nullptr;

int VORLEN_CALL CollectPrinter(const char* deviceId, std::uint16_t deviceIndex) {
    if (!g_pass || g_pass->table.count >= CUSBList::EnumerationTable::kCapacity) return 1;
    UsbPrinterItem& entry = g_pass->table.entries[static_cast<std::size_t>(g_pass->table.count++)];
    entry = UsbPrinterItem{};
    CopyTruncated(deviceId ? std::string_view(deviceId) : std::string_view(), entry.deviceId, sizeof entry.deviceId);
    entry.deviceIndex = deviceIndex;
    if (g_pass->queryIdentity &&
        !QueryUsbIdentity(g_pass->libraries, g_pass->locks, deviceIndex, entry.serialNumber, kIdentityLimit,
                          entry.firmwareVersion, kIdentityLimit, entry.variantCode, kIdentityLimit)) {
        entry.serialNumber[0] = entry.firmwareVersion[0] = entry.variantCode[0] = '\0';
    }
    return 1;
}

}  // namespace

CUSBList::CUSBList(WizardServices& services)
    : PrinterListPage(IDD_USB_PAGE, services,
                      Layout{IDC_USB_LIST, IDC_USB_MODULE_NAME, IDC_USB_LINE1, IDC_USB_LINE2, kColumnWidths,
                             kColumnHeadings, kTexts, kDisabledWhenSent}) {}

CUSBList::~CUSBList() = default;

bool CUSBList::AcceptsActivation() { return Sheet().m_bUsbPort != 0; }

BOOL CUSBList::OnInitDialog() {
    InitList();
    return TRUE;
}

void CUSBList::OnSetActive() {
    if (updatesStarted) {
        ShowSentState();
    } else {
        UpdateButtons();
        Refresh();
    }
    SetTexts();
}

bool CUSBList::OnCommand(WORD id, WORD code, HWND) {
    if (id != IDC_USB_REFRESH || code != BN_CLICKED) return false;
    Refresh();
    return true;
}

void CUSBList::Enumerate(bool queryIdentity) {
    table_.count = 0;
    EnumerationPass pass{table_, services_.libraries, services_.portLocks, queryIdentity};
    const std::vector<char> models = ModelNameList(services_.settings);
    g_pass = &pass;
    services_.libraries.DUEnumPrinterEx(services_.settings.VID, services_.settings.PID, models.data(), CollectPrinter);
    g_pass = nullptr;
}

std::wstring CUSBList::StateText(const PrinterStatusBlock& status, const UsbPrinterItem& item,
                                 const std::wstring& firmware) const {
    const bool completed = updatesStarted && item.transferResult == kTransferCompleted;
    const int textId =
        StatusTextId(services_.settings, status.stateCode(), status.detailCode1(), status.detailCode2(), completed);
    return services_.texts.Text(FirmwareCheckedTextId(services_.settings, textId, firmware));
}

void CUSBList::Refresh() {
    {
        WaitCursor busy;
        DeleteRows();
        Enumerate(false);

        for (int k = 0; k < table_.count; ++k) {
            const UsbPrinterItem& entry = table_.entries[static_cast<std::size_t>(k)];
            UsbPrinterItem* item = &records_.Add(UsbPrinterItem{});
            std::memcpy(item->deviceId, entry.deviceId, sizeof item->deviceId);
            item->deviceIndex = entry.deviceIndex;
            item->transferResult = kTransferPending;
            const int row = list_.InsertRow(k, L"", RowData(*item));

            PrinterStatusBlock status;
            services_.libraries.DecodeStatusFromDeviceID(item->deviceId, &status);
            list_.SetText(row, kStatusColumn, FitText(StateText(status, *item, L""), 64));
            item->stateCode = status.stateCode();
            item->detailCode1 = status.detailCode1();
            item->detailCode2 = status.detailCode2();
            if (!IsQueried(item->stateCode)) continue;

            char serial[kIdentityLimit] = {}, firmware[kIdentityLimit] = {}, variant[kIdentityLimit] = {};
            if (QueryUsbIdentity(services_.libraries, services_.portLocks, item->deviceIndex, serial, kIdentityLimit,
                                 firmware, kIdentityLimit, variant, kIdentityLimit)) {
                std::memcpy(item->variantCode, variant, sizeof item->variantCode);
                list_.SetText(row, 0, FromEightBit(serial));
                list_.SetText(row, 2, FromEightBit(firmware));
            }
            char name[kIdentityLimit] = {};
            if (QueryUsbPrinterName(services_.libraries, services_.portLocks, item->deviceIndex, name, kIdentityLimit))
                list_.SetText(row, 1, FromEightBit(name));
        }
    }

    if (table_.count >= 2) {
        ShowMessage(Window(), services_.texts, IDS_CAPTION_ERROR, services_.texts.Text(IDS_MSG_ONE_PRINTER_ONLY));
        EnableWindow(list_.Handle(), FALSE);
    } else {
        EnableWindow(list_.Handle(), TRUE);
    }
    if (list_.Count() > 0) list_.SelectAndFocus(0);
    // The rows ticked before are gone, and deleting them raised no item
    // change: an empty list must not leave Next enabled.
    UpdateButtons();
}

bool CUSBList::TickedPrintersGranted() const {
    return ::TickedPrintersGranted<UsbPrinterItem>(list_, services_.settings);
}

void CUSBList::RunTransfer(TransferRequest& request) {
    ListViewPrinterRows<UsbPrinterItem> printers(list_);
    request.usb = true;
    request.usbPrinters = &printers;
    CDownloadProgress(services_, request).RunModal();
}

void CUSBList::StartStatusRefresh() { SetTimer(Window(), kFirstStatusTimer, kFirstStatusDelayMs, nullptr); }

void CUSBList::OnTimer(UINT_PTR id) {
    if (id == kFirstStatusTimer) {
        KillTimer(Window(), kFirstStatusTimer);
        SetTimer(Window(), kStatusTimer, kStatusPeriodMs, nullptr);
    } else if (id == kStatusTimer) {
        RefreshStatus();
    }
}

void CUSBList::RefreshStatus() {
    Enumerate(true);
    for (int row = 0; row < list_.Count(); ++row) {
        if (!list_.IsTicked(row)) continue;
        const std::string serial = ToEightBit(list_.Text(row, 0, kIdentityLimit));
        const UsbPrinterItem* found = nullptr;
        for (int k = 0; k < table_.count && !found; ++k)
            if (serial == table_.entries[static_cast<std::size_t>(k)].serialNumber)
                found = &table_.entries[static_cast<std::size_t>(k)];
        // A lone printer that does not answer the identity query just now is still ours.
        if (!found && list_.Count() == 1 && table_.count == 1 && table_.entries[0].serialNumber[0] == '\0')
            found = &table_.entries[0];

        const auto* item = RowItem<const UsbPrinterItem>(list_, row);
        PrinterStatusBlock status;
        if (found && item && services_.libraries.DecodeStatusFromDeviceID(found->deviceId, &status)) {
            const std::wstring firmware = IsQueried(status.stateCode()) ? FromEightBit(found->firmwareVersion) : L"";
            list_.SetText(row, kStatusColumn, StateText(status, *item, firmware));
            list_.SetText(row, 2, firmware);
        } else {
            list_.SetText(row, 2, L"");
            list_.SetText(row, kStatusColumn, services_.texts.Text(IDS_STATE_NOT_READY));
        }
    }
}
