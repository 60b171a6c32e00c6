// What the two printer list pages do alike: the reaction to ticks, the
// wizard buttons, the texts, the sent state, the frame of StartUpdate and
// the deletion of rows. Each page keeps its own rules: how it fills its
// list, how it runs the transfer and how it watches the printers after it.
// Windows only.
#pragma once

#include <windows.h>

#include <span>

#include "ui/dialog_window.h"
#include "ui/list_view.h"
#include "ui/property_page.h"
#include "ui/wizard_services.h"

struct TransferRequest;

class PrinterListPage : public PropertyPage {
public:
    // Called by the sheet's Next hook: checks the ticked printers and runs
    // the transfer; 1 when it ran, 0 when refused.
    int StartUpdate();

protected:
    // The page's controls by id, and their texts.
    struct Layout {
        int list;
        int moduleName;
        int line1;
        int line2;
        std::span<const int> columnWidths;      // pixels at 96 dots per inch
        std::span<const int> columnHeadings;    // text ids
        std::span<const ControlText> texts;     // the fixed texts besides the two lines
        std::span<const int> disabledWhenSent;  // controls the sent state turns off
    };

    PrinterListPage(int templateId, WizardServices& services, const Layout& layout);

    // The page's own rules.
    // Whether every ticked printer may be updated, by its row's record.
    virtual bool TickedPrintersGranted() const = 0;
    // Adds the page's port and printers to `request` and runs the progress window.
    virtual void RunTransfer(TransferRequest& request) = 0;
    // Starts the timer that keeps the ticked printers' states fresh once sent.
    virtual void StartStatusRefresh() = 0;
    // Frees the rows' records; the rows are gone already.
    virtual void ForgetRecords() = 0;
    // At least one printer is ticked and Next is enabled.
    virtual void OnPrintersTicked() {}

    // The list, its columns and the module name; for OnInitDialog.
    void InitList();
    bool OnNotify(NMHDR& header, LRESULT& result) final;
    void OnDestroy() final { DeleteRows(); }
    void OnDpiChanged() final { list_.ScaleColumns(layout_.columnWidths); }

    // Next follows the ticks.
    void UpdateButtons();
    void SetTexts();
    // Finish only, the sheet's Cancel hidden, the page's controls off.
    void ShowSentState();
    // Deletes every row, then the records the rows carried.
    void DeleteRows();

    WizardServices& services_;
    ListView list_;
    int updatesStarted = 0;

private:
    Layout layout_;
};
