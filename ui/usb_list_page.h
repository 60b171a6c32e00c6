// Wizard page 3: the supported printers attached by USB. The user ticks the
// printer to update and presses Next, which runs the transfer; the page then
// keeps refreshing the printers' states until the wizard ends. Exactly one
// attached printer is allowed.
#pragma once

#include <array>

#include "device/printer_items.h"
#include "ui/list_view_rows.h"
#include "ui/printer_list_page.h"
#include "ui/wizard_services.h"

class CUSBList final : public PrinterListPage {
public:
    explicit CUSBList(WizardServices& services);
    ~CUSBList() override;

    bool AcceptsActivation() override;

    // The printers found by one enumeration pass.
    struct EnumerationTable {
        static constexpr int kCapacity = 32;
        std::array<UsbPrinterItem, kCapacity> entries;
        int count = 0;
    };

protected:
    BOOL OnInitDialog() override;
    void OnSetActive() override;
    bool OnCommand(WORD id, WORD code, HWND control) override;
    void OnTimer(UINT_PTR id) override;
    bool TickedPrintersGranted() const override;
    void RunTransfer(TransferRequest& request) override;
    void StartStatusRefresh() override;
    void ForgetRecords() override { records_.Clear(); }

private:
    void Refresh();
    void RefreshStatus();
    void Enumerate(bool queryIdentity);
    // `firmware`: the text the printer reports now, which a completed row is
    // checked against; empty when not read.
    std::wstring StateText(const PrinterStatusBlock& status, const UsbPrinterItem& item,
                           const std::wstring& firmware) const;

    RowRecords<UsbPrinterItem> records_;
    EnumerationTable table_;
};
