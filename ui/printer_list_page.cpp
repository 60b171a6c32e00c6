#include "ui/printer_list_page.h"

#include "ui/language_page.h"
#include "ui/progress_window.h"
#include "ui/texts/resource_ids.h"
#include "ui/wizard_sheet.h"

PrinterListPage::PrinterListPage(int templateId, WizardServices& services, const Layout& layout)
    : PropertyPage(templateId), services_(services), layout_(layout) {}

void PrinterListPage::InitList() {
    list_ = ListView(Item(layout_.list));
    SetItemText(layout_.moduleName, services_.settings.ModuleName);
    // A cell cut short (a long IPv6 address) shows whole in a tip.
    list_.SetExtendedStyle(LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT | LVS_EX_LABELTIP);
    list_.AddColumns(layout_.columnWidths);
    updatesStarted = 0;
}

bool PrinterListPage::OnNotify(NMHDR& header, LRESULT& result) {
    if (header.idFrom != static_cast<UINT_PTR>(layout_.list) || header.code != LVN_ITEMCHANGED) return false;
    result = 0;
    if (updatesStarted) return true;
    // Rows never stay selected: only the ticks count.
    list_.ClearSelection();
    UpdateButtons();
    return true;
}

void PrinterListPage::UpdateButtons() {
    if (list_.TickedCount() > 0) {
        PostWizardButtons(PSWIZB_BACK | PSWIZB_NEXT);
        OnPrintersTicked();
    } else if (IsWindowEnabled(GetDlgItem(SheetWindow(), kWizardNextButton))) {
        PostWizardButtons(PSWIZB_BACK);
    }
}

void PrinterListPage::SetTexts() {
    const TextCatalogue& texts = services_.texts;
    if (updatesStarted) {
        SetItemText(layout_.line1, texts.Text(IDS_DATA_SENT));
        SetItemText(layout_.line2, texts.Text(IDS_KEEP_POWER_ON));
    } else {
        SetItemText(layout_.line1, texts.Text(IDS_SELECT_PRINTERS) + L" " + texts.Text(IDS_CHECK_READY));
        SetItemText(layout_.line2, texts.Text(IDS_SENT_ON_NEXT));
    }
    SetItemTexts(texts, layout_.texts);
    list_.SetColumnHeadings(texts, layout_.columnHeadings);
}

void PrinterListPage::ShowSentState() {
    PostWizardButtons(PSWIZB_FINISH);
    ShowWindow(GetDlgItem(SheetWindow(), IDCANCEL), SW_HIDE);
    for (const int id : layout_.disabledWhenSent) EnableWindow(Item(id), FALSE);
}

void PrinterListPage::DeleteRows() {
    if (list_.Count() > 0) list_.DeleteAll();
    ForgetRecords();
}

int PrinterListPage::StartUpdate() {
    // Next reaches here only with a ticked printer; should it come all the
    // same, nothing is sent and the page stays as it is.
    if (list_.TickedCount() == 0) return 0;
    if (!TickedPrintersGranted()) {
        ShowMessage(Window(), services_.texts, IDS_CAPTION_ERROR, services_.texts.Text(IDS_MSG_NOT_READY));
        return 0;
    }

    TransferRequest request;
    request.parent = Window();
    request.package = &Sheet().m_pLanguagePage->Package();
    request.totalSize = Sheet().m_pLanguagePage->TotalSize();
    RunTransfer(request);

    updatesStarted = 1;
    StartStatusRefresh();
    return 1;
}
