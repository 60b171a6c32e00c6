#include "ui/list_view.h"

#include <vector>

namespace {
constexpr UINT kUntickedImage = 1;
constexpr int kLayoutDpi = 96;  // column widths are given for this

// The dots per inch the control is drawn at: its monitor's where the system
// tells (per-monitor awareness), the system's otherwise.
int DpiOf(HWND control) {
    using GetDpiForWindowFunction = UINT(WINAPI*)(HWND);
    static const auto getDpiForWindow = reinterpret_cast<GetDpiForWindowFunction>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
    if (getDpiForWindow) {
        if (const UINT dpi = getDpiForWindow(control)) return static_cast<int>(dpi);
    }
    HDC dc = GetDC(control);
    const int dpi = dc ? GetDeviceCaps(dc, LOGPIXELSX) : kLayoutDpi;
    if (dc) ReleaseDC(control, dc);
    return dpi > 0 ? dpi : kLayoutDpi;
}
}  // namespace

void ListView::AddColumn(int index, int widthPixels) const {
    LVCOLUMNW column = {};
    column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
    column.fmt = LVCFMT_LEFT;
    // The headings' font follows the DPI; so do the columns.
    column.cx = MulDiv(widthPixels, DpiOf(control_), kLayoutDpi);
    wchar_t empty[] = L"";
    column.pszText = empty;
    column.iSubItem = index;
    ListView_InsertColumn(control_, index, &column);
}

void ListView::AddColumns(std::span<const int> widthPixels) const {
    for (std::size_t column = 0; column < widthPixels.size(); ++column)
        AddColumn(static_cast<int>(column), widthPixels[column]);
}

void ListView::ScaleColumns(std::span<const int> widthPixels) const {
    const int dpi = DpiOf(control_);
    for (std::size_t column = 0; column < widthPixels.size(); ++column)
        ListView_SetColumnWidth(control_, static_cast<int>(column), MulDiv(widthPixels[column], dpi, kLayoutDpi));
}

void ListView::SetColumnHeading(int index, const std::wstring& text) const {
    LVCOLUMNW column = {};
    column.mask = LVCF_TEXT;
    std::wstring copy = text;
    column.pszText = copy.data();
    ListView_SetColumn(control_, index, &column);
}

void ListView::SetColumnHeadings(const TextCatalogue& texts, std::span<const int> textIds) const {
    for (std::size_t column = 0; column < textIds.size(); ++column)
        SetColumnHeading(static_cast<int>(column), texts.Text(textIds[column]));
}

int ListView::InsertRow(int index, const std::wstring& text, LPARAM data) const {
    LVITEMW item = {};
    item.mask = LVIF_TEXT | LVIF_PARAM;
    item.iItem = index;
    std::wstring copy = text;
    item.pszText = copy.data();
    item.lParam = data;
    return ListView_InsertItem(control_, &item);
}

void ListView::SetText(int row, int column, const std::wstring& text) const {
    std::wstring copy = text;
    ListView_SetItemText(control_, row, column, copy.data());
}

std::wstring ListView::Text(int row, int column, int chars) const {
    std::vector<wchar_t> buffer(static_cast<std::size_t>(chars > 0 ? chars : 1), L'\0');
    ListView_GetItemText(control_, row, column, buffer.data(), chars);
    return buffer.data();
}

LPARAM ListView::Data(int row) const {
    LVITEMW item = {};
    item.mask = LVIF_PARAM;
    item.iItem = row;
    return ListView_GetItem(control_, &item) ? item.lParam : 0;
}

bool ListView::IsTicked(int row) const {
    const UINT state = ListView_GetItemState(control_, row, LVIS_STATEIMAGEMASK);
    return ((state & 0xF000) >> 12) != kUntickedImage;
}

int ListView::TickedCount() const {
    int ticked = 0;
    for (int row = 0; row < Count(); ++row)
        if (IsTicked(row)) ++ticked;
    return ticked;
}
