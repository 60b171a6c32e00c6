// Wizard page 2: the network printers. Shown only when the network port was
// chosen; the USB choice makes it refuse activation.
#pragma once

#include "ui/list_view.h"
#include "ui/property_page.h"
#include "ui/wizard_services.h"
#include "ui/wizard_sheet.h"

class CNetworkList final : public PropertyPage, public PrinterListPage {
public:
    explicit CNetworkList(WizardServices& services);

    bool AcceptsActivation() override;
    int StartUpdate() override;

protected:
    BOOL OnInitDialog() override;
    void OnSetActive() override;

private:
    void SetTexts();

    WizardServices& services_;
    ListView list_;
    int updatesStarted = 0;
};
