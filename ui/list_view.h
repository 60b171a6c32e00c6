// A thin wrapper over a report-style list view control: the few operations
// the wizard's lists use, with wide texts. Windows only.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <span>
#include <string>

#include "base/text_catalogue.h"

class ListView {
public:
    ListView() = default;
    explicit ListView(HWND control) : control_(control) {}

    HWND Handle() const { return control_; }
    int Count() const { return ListView_GetItemCount(control_); }

    // widthPixels as at 96 dots per inch; scaled to the control's DPI.
    void AddColumn(int index, int widthPixels) const;
    // One column per width, in order.
    void AddColumns(std::span<const int> widthPixels) const;
    // The columns' widths again for the control's DPI now, after a change of scale.
    void ScaleColumns(std::span<const int> widthPixels) const;
    void SetColumnHeading(int index, const std::wstring& text) const;
    // Column i gets catalogue text textIds[i] in the current language.
    void SetColumnHeadings(const TextCatalogue& texts, std::span<const int> textIds) const;
    void SetExtendedStyle(DWORD style) const { ListView_SetExtendedListViewStyle(control_, style); }

    // Inserts a row with the given text in column 0 and item data; returns its index.
    int InsertRow(int index, const std::wstring& text, LPARAM data = 0) const;
    void SetText(int row, int column, const std::wstring& text) const;
    // The text of a cell, cut to `chars` characters including the terminator.
    std::wstring Text(int row, int column, int chars = 256) const;
    LPARAM Data(int row) const;
    void DeleteAll() const { ListView_DeleteAllItems(control_); }

    // A row counts as ticked when its check-box image is anything but the unticked one.
    bool IsTicked(int row) const;
    int TickedCount() const;
    void ClearSelection() const { ListView_SetItemState(control_, -1, 0, LVIS_SELECTED); }
    void SelectAndFocus(int row) const {
        ListView_SetItemState(control_, row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    }

private:
    HWND control_ = nullptr;
};
