// Wizard page 1: how the printers are reached, network (raw port 9100) or
// USB. The choice lives in the sheet, so it outlasts the page's visits. A
// package that does not allow network updates never shows the page.
#pragma once

#include "ui/property_page.h"
#include "ui/wizard_services.h"

class CPortSelection final : public PropertyPage {
public:
    explicit CPortSelection(WizardServices& services);

    // Refuses when the network choice cannot be made, forcing USB.
    bool AcceptsActivation() override;

protected:
    BOOL OnInitDialog() override;
    void OnSetActive() override;
    bool OnCommand(WORD id, WORD code, HWND control) override;

private:
    bool NetworkChoiceAvailable() const;

    WizardServices& services_;
};
