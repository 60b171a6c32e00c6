// Wizard page 0: the printer family, the interface language for this run,
// and the package's firmware entries. Loading the package happens here; its
// rows are what the transfer jobs later walk.
#pragma once

#include "package/package_model.h"
#include "package/package_signature.h"
#include "ui/list_view.h"
#include "ui/property_page.h"
#include "ui/wizard_services.h"

class CLanguageSel final : public PropertyPage {
public:
    explicit CLanguageSel(WizardServices& services);

    // The package as the transfer jobs read it.
    const PackageRows& Package() const { return rows_; }
    std::uint32_t TotalSize() const { return TotalSize_; }
    bool PackageReady() const { return PackageReady_; }

    // Sets every text of the page, and the wizard's title, in the language of `offset`.
    void ApplyLanguageTexts(int offset);
    // The package's signature, shown in a line below the package; set before the page opens.
    void SetSignature(SignatureVerdict verdict) { signature_ = std::move(verdict); }

protected:
    BOOL OnInitDialog() override;
    void OnSetActive() override;
    bool OnCommand(WORD id, WORD code, HWND control) override;
    void OnDpiChanged() override;

private:
    void OnLanguageChanged();
    void ShowPackage();

    WizardServices& services_;
    PackageTable rows_;
    bool PackageReady_ = false;
    std::uint32_t TotalSize_ = 0;
    ListView packageList_;
    SignatureVerdict signature_;
};
