// A printer list view as the transfer jobs read it. The job runs on the
// worker thread: each call becomes a message to the list, which the
// interface thread answers from its modal loop.
#pragma once

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
