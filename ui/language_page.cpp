#include "ui/language_page.h"

#include "package/signature_texts.h"
#include "ui/texts/resource_ids.h"
#include "ui/wizard_sheet.h"

namespace {

constexpr int kColumnWidths[] = {160, 100, 180};
constexpr int kColumnHeadings[] = {IDS_COL_FILE_NAME, IDS_COL_FILE_SIZE, IDS_COL_RELEASE_DATE};
constexpr int kLanguageCount = 2;
constexpr ControlText kTexts[] = {
    {IDC_LANG_MODEL_LABEL, IDS_MODEL_LABEL},
    {IDC_LANG_HINT, IDS_SELECT_LANGUAGE},
    {IDC_LANG_GROUP, IDS_LANGUAGE_GROUP},
};

}  // namespace

CLanguageSel::CLanguageSel(WizardServices& services) : PropertyPage(IDD_LANGUAGE_PAGE), services_(services) {}

BOOL CLanguageSel::OnInitDialog() {
    ShowWindow(Item(IDC_LANG_ADD), SW_HIDE);
    ShowWindow(Item(IDC_LANG_DELETE), SW_HIDE);
    SetItemText(IDC_LANG_MODEL_NAME, services_.settings.ModelName);

    packageList_ = ListView(Item(IDC_LANG_PACKAGE_LIST));
    packageList_.AddColumns(kColumnWidths);
    packageList_.SetExtendedStyle(LVS_EX_FULLROWSELECT);

    // Each language is named in its own language, whatever the current one.
    const HWND combo = Item(IDC_LANG_COMBO);
    SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(services_.texts.TextAt(IDS_LANGUAGE_NAME).c_str()));
    SendMessageW(combo, CB_ADDSTRING, 0,
                 reinterpret_cast<LPARAM>(services_.texts.TextAt(IDS_JAPANESE_BASE + IDS_LANGUAGE_NAME).c_str()));
    const int language = services_.settings.Language;
    SendMessageW(combo, CB_SETCURSEL, language >= 0 && language < kLanguageCount ? language : -1, 0);

    ApplyLanguageTexts(services_.settings.LanguageOffset);

    const PackageLoadResult loaded = LoadPackage(services_.settings, services_.files, rows_);
    PackageReady_ = loaded.PackageReady;
    TotalSize_ = loaded.TotalSize;
    ShowPackage();
    return TRUE;
}

void CLanguageSel::ShowPackage() {
    packageList_.DeleteAll();
    for (int i = 0; i < rows_.Count(); ++i) {
        const PackageRow& row = rows_.At(i);
        packageList_.InsertRow(i, row.fileName);
        packageList_.SetText(i, 1, row.sizeText);
        packageList_.SetText(i, 2, row.releaseDate);
    }
}

void CLanguageSel::ApplyLanguageTexts(int offset) {
    services_.settings.LanguageOffset = offset;
    const TextCatalogue& texts = services_.texts;
    SetItemTexts(texts, kTexts);
    packageList_.SetColumnHeadings(texts, kColumnHeadings);
    SetItemText(IDC_LANG_SIGNATURE, SignatureStateText(texts, signature_));
    SetWindowTextW(SheetWindow(), texts.Text(IDS_WIZARD_TITLE).c_str());
}

void CLanguageSel::OnDpiChanged() { packageList_.ScaleColumns(kColumnWidths); }

void CLanguageSel::OnSetActive() {
    PostWizardButtons(PackageReady_ ? PSWIZB_NEXT : 0);
    ShowWindow(GetDlgItem(SheetWindow(), kSheetHelpButton), SW_HIDE);
    if (HWND back = GetDlgItem(SheetWindow(), kWizardBackButton)) ShowWindow(back, SW_HIDE);
}

bool CLanguageSel::OnCommand(WORD id, WORD code, HWND) {
    if (id != IDC_LANG_COMBO || code != CBN_SELCHANGE) return false;
    OnLanguageChanged();
    return true;
}

void CLanguageSel::OnLanguageChanged() {
    // The choice holds for this run only: the configuration is not written.
    const int index = static_cast<int>(SendMessageW(Item(IDC_LANG_COMBO), CB_GETCURSEL, 0, 0));
    ApplyLanguageTexts(LanguageOffsetFromIndex(index));
}
