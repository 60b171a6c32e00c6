// Wizard page 2: the network printers. Shown only when the network port was
// chosen. It lists the printers that answer a discovery broadcast and those
// the user adds by address; the user ticks the printers to update and
// presses Next, which runs the transfer; the page then keeps refreshing the
// ticked printers' states until the wizard ends.
#pragma once

#include <string>

#include "device/printer_items.h"
#include "ui/list_view.h"
#include "ui/list_view_rows.h"
#include "ui/property_page.h"
#include "ui/wizard_services.h"
#include "ui/wizard_sheet.h"

struct NetRowIdentity;

class CNetworkList final : public PropertyPage, public PrinterListPage {
public:
    explicit CNetworkList(WizardServices& services);

    bool AcceptsActivation() override;
    int StartUpdate() override;

protected:
    BOOL OnInitDialog() override;
    void OnSetActive() override;
    bool OnCommand(WORD id, WORD code, HWND control) override;
    bool OnNotify(NMHDR& header, LRESULT& result) override;
    void OnShowWindow(bool shown) override;
    void OnTimer(UINT_PTR id) override;
    void OnDestroy() override;

private:
    void Refresh();
    void Add();
    bool IsListed(bool ipv6, const std::wstring& typedIpv6, const std::wstring& dottedIpv4) const;
    void RefreshStatus();
    void CheckCommunity();
    void UpdateButtons();
    void SetTexts();
    void ShowSentState();
    void DeleteRows();
    // Appends or inserts a row for one answering printer and fills it.
    void InsertPrinterRow(int position, const std::wstring& address, const std::string& deviceName,
                          const NetRowIdentity& identity);
    std::string Community() const;

    WizardServices& services_;
    ListView list_;
    RowRecords<NetPrinterItem> records_;
    int updatesStarted = 0;
};
