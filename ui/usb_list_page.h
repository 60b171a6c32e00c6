// Wizard page 3: the supported printers attached by USB. The user ticks the
// printer to update and presses Next, which runs the transfer; the page then
// keeps refreshing the printers' states until the wizard ends. Exactly one
// attached printer is allowed.
#pragma once

#include <array>

#include "device/printer_items.h"
#include "ui/list_view.h"
#include "ui/list_view_rows.h"
#include "ui/property_page.h"
#include "ui/wizard_services.h"
#include "ui/wizard_sheet.h"

class CUSBList final : public PropertyPage, public PrinterListPage {
public:
    explicit CUSBList(WizardServices& services);
    ~CUSBList() override;

    bool AcceptsActivation() override;
    int StartUpdate() override;

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
    bool OnNotify(NMHDR& header, LRESULT& result) override;
    void OnTimer(UINT_PTR id) override;
    void OnDestroy() override;

private:
    void Refresh();
    void RefreshStatus();
    void UpdateButtons();
    void SetTexts();
    void DeleteRows();
    void Enumerate(bool queryIdentity);
    std::wstring StateText(const PrinterStatusBlock& status, const UsbPrinterItem& item) const;

    WizardServices& services_;
    ListView list_;
    RowRecords<UsbPrinterItem> records_;
    int updatesStarted = 0;
    EnumerationTable table_;
};
