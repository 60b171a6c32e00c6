// A printer list view as the transfer jobs read it, the records of its rows,
// and what both list pages do with them. The job runs on the
// worker thread: each call becomes a message to the list, which the
// interface thread answers from its modal loop.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "package/package_model.h"
#include "package/package_settings.h"
#include "transfer/printer_rows.h"
#include "ui/list_view.h"

template <typename Item>
class ListViewPrinterRows final : public PrinterRows<Item> {
public:
    explicit ListViewPrinterRows(ListView list) : list_(list) {}

    int Count() const override { return list_.Count(); }
    bool IsChecked(int row) const override { return list_.IsTicked(row); }
    std::wstring ColumnText(int row, int column) const override { return list_.Text(row, column, kColumnChars); }
    Item* Record(int row) override { return reinterpret_cast<Item*>(list_.Data(row)); }

private:
    static constexpr int kColumnChars = 129;  // the jobs read at most 128 characters of a column
    ListView list_;
};

// The records of a list's rows, owned by their page. A row's item data
// points at its record, which stays in place until Clear.
template <typename Item>
class RowRecords {
public:
    Item& Add(const Item& record) { return *records_.emplace_back(std::make_unique<Item>(record)); }
    void Clear() { records_.clear(); }

private:
    std::vector<std::unique_ptr<Item>> records_;
};

// The item data of a row that carries `record`.
template <typename Item>
LPARAM RowData(Item& record) {
    return reinterpret_cast<LPARAM>(&record);
}

// The printer record a row carries, or nullptr.
template <typename Item>
Item* RowItem(const ListView& list, int row) {
    return reinterpret_cast<Item*>(list.Data(row));
}

// Whether every ticked printer may be updated, by the status codes its row
// last read.
template <typename Item>
bool TickedPrintersGranted(const ListView& list, const PackageSettings& settings) {
    for (int row = 0; row < list.Count(); ++row) {
        const Item* item = RowItem<Item>(list, row);
        if (list.IsTicked(row) && item &&
            !IsUpdateGranted(settings, item->stateCode, item->detailCode1, item->detailCode2))
            return false;
    }
    return true;
}
