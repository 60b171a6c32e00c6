// The printer rows a transfer job walks: the USB or the network printer list
// as the job sees it. The list pages implement this over their list views;
// PrinterTable keeps the rows in memory.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "device/printer_items.h"

inline constexpr int kFirmwareTextColumn = 2;

template <typename Item>
class PrinterRows {
public:
    virtual ~PrinterRows() = default;
    virtual int Count() const = 0;
    virtual bool IsChecked(int row) const = 0;
    // Column 0: serial number (USB) or address (network); column 1: printer
    // name; kFirmwareTextColumn: the firmware text as the list shows it.
    virtual std::wstring ColumnText(int row, int column) const = 0;
    // The row's record; may be null for a network row.
    virtual Item* Record(int row) = 0;
};

using UsbPrinterRows = PrinterRows<UsbPrinterItem>;
using NetPrinterRows = PrinterRows<NetPrinterItem>;

template <typename Item>
class PrinterTable final : public PrinterRows<Item> {
public:
    struct Row {
        bool checked = true;
        std::wstring column0;
        std::wstring column1;
        Item* record = nullptr;  // not owned
    };

    void Append(Row row) { rows_.push_back(std::move(row)); }
    void Clear() { rows_.clear(); }

    int Count() const override { return static_cast<int>(rows_.size()); }
    bool IsChecked(int row) const override { return rows_.at(static_cast<std::size_t>(row)).checked; }
    std::wstring ColumnText(int row, int column) const override {
        const Row& r = rows_.at(static_cast<std::size_t>(row));
        return column == 0 ? r.column0 : column == 1 ? r.column1 : std::wstring();
    }
    Item* Record(int row) override { return rows_.at(static_cast<std::size_t>(row)).record; }

private:
    std::vector<Row> rows_;
};

using UsbPrinterTable = PrinterTable<UsbPrinterItem>;
using NetPrinterTable = PrinterTable<NetPrinterItem>;
