// Wizard page 2: the network printers. Shown only when the network port was
// chosen. It lists the printers that answer a discovery broadcast and those
// the user adds by address; the user ticks the printers to update and
// presses Next, which runs the transfer; the page then keeps refreshing the
// ticked printers' states until the wizard ends.
#pragma once

#include <string>

#include "device/printer_items.h"
#include "ui/list_view_rows.h"
#include "ui/printer_list_page.h"
#include "ui/wizard_services.h"

struct NetRowIdentity;

class CNetworkList final : public PrinterListPage {
public:
    explicit CNetworkList(WizardServices& services);

    bool AcceptsActivation() override;

protected:
    BOOL OnInitDialog() override;
    void OnSetActive() override;
    bool OnCommand(WORD id, WORD code, HWND control) override;
    void OnShowWindow(bool shown) override;
    void OnTimer(UINT_PTR id) override;
    bool TickedPrintersGranted() const override;
    void RunTransfer(TransferRequest& request) override;
    void StartStatusRefresh() override;
    void ForgetRecords() override { records_.Clear(); }
    void OnPrintersTicked() override;

private:
    void Refresh();
    void Add();
    bool IsListed(bool ipv6, const std::wstring& typedIpv6, const std::wstring& dottedIpv4) const;
    void RefreshStatus();
    void CheckCommunity();
    // Appends or inserts a row for one answering printer and fills it.
    void InsertPrinterRow(int position, const std::wstring& address, const std::string& deviceName,
                          const NetRowIdentity& identity);
    std::string Community() const;

    RowRecords<NetPrinterItem> records_;
};
