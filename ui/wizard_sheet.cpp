#include "ui/wizard_sheet.h"

#include <commctrl.h>

#include <algorithm>

#include "base/text_ids.h"
#include "ui/printer_list_page.h"

namespace {

constexpr wchar_t kInitialCaption[] = L"Firmware Upgrader";

// The sheet being run: the property sheet's callback carries no pointer of
// ours, so RunModal names the sheet here for the moment of its creation.
CMyPropSheet* g_sheetBeingCreated = nullptr;

}  // namespace

void CMyPropSheet::AddPage(PropertyPage& page) {
    page.AttachTo(*this);
    pages_.push_back(&page);
}

void CMyPropSheet::RunModal(HINSTANCE instance) {
    std::vector<HPROPSHEETPAGE> handles;
    for (PropertyPage* page : pages_) handles.push_back(page->CreatePage(instance));

    PROPSHEETHEADERW header = {};
    header.dwSize = sizeof header;
    header.dwFlags = PSH_WIZARD | PSH_USECALLBACK;
    header.hwndParent = nullptr;
    header.hInstance = instance;
    header.pszCaption = kInitialCaption;
    header.nPages = static_cast<UINT>(handles.size());
    header.nStartPage = 0;
    header.phpage = handles.data();
    header.pfnCallback = SheetCallback;

    g_sheetBeingCreated = this;
    PropertySheetW(&header);
    g_sheetBeingCreated = nullptr;
    window_ = nullptr;
}

int CALLBACK CMyPropSheet::SheetCallback(HWND window, UINT message, LPARAM) {
    if (message == PSCB_INITIALIZED && g_sheetBeingCreated) {
        g_sheetBeingCreated->window_ = window;
        SetWindowSubclass(window, SubclassProc, 0, reinterpret_cast<DWORD_PTR>(g_sheetBeingCreated));
    }
    return 0;
}

LRESULT CALLBACK CMyPropSheet::SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                            DWORD_PTR data) {
    auto* sheet = reinterpret_cast<CMyPropSheet*>(data);
    if (message == WM_NCDESTROY) {
        RemoveWindowSubclass(window, SubclassProc, 0);
        return DefSubclassProc(window, message, wParam, lParam);
    }
    try {
        return sheet->WindowProc(message, wParam, lParam);
    } catch (...) {
        return DefSubclassProc(window, message, wParam, lParam);
    }
}

LRESULT CMyPropSheet::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_QUERYENDSESSION:
        return 1;  // never hold up a log-off while no transfer runs
    case WM_ENDSESSION:
        return 0;
    case WM_COMMAND:
        OnCommand(wParam);
        break;
    case WM_SETTEXT:
        // The frame's title is the wizard's title in the current language,
        // whatever text comes (the platform's sheet sets a page's template
        // caption on a page change): it never shows another, not even for
        // a moment.
        return DefSubclassProc(window_, message, wParam,
                               reinterpret_cast<LPARAM>(texts_.Text(IDS_WIZARD_TITLE).c_str()));
    default:
        if (instanceMessage_ != 0 && message == instanceMessage_) return ForceForegroundWindow(window_);
        break;
    }
    return DefSubclassProc(window_, message, wParam, lParam);
}

void CMyPropSheet::OnCommand(WPARAM wParam) {
    // Next on a printer list page runs the transfer first; the sheet's own
    // Next step follows.
    if (wParam != kWizardNextButton) return;
    if (auto* listPage = dynamic_cast<PrinterListPage*>(ActivePage())) listPage->StartUpdate();
}

PropertyPage* CMyPropSheet::ActivePage() const {
    const HWND current = window_ ? PropSheet_GetCurrentPageHwnd(window_) : nullptr;
    for (PropertyPage* page : pages_)
        if (page->Window() && page->Window() == current) return page;
    return nullptr;
}

int CMyPropSheet::IndexOf(const PropertyPage& page) const {
    const auto found = std::find(pages_.begin(), pages_.end(), &page);
    return static_cast<int>(found - pages_.begin());
}

LRESULT CMyPropSheet::NextPageFrom(PropertyPage& page) {
    for (std::size_t i = static_cast<std::size_t>(IndexOf(page)) + 1; i < pages_.size(); ++i)
        if (pages_[i]->AcceptsActivation()) return pages_[i]->TemplateId();
    PostMessageW(page.Window(), kReactivateMessage, 0, 0);
    return -1;
}

LRESULT CMyPropSheet::PreviousPageFrom(PropertyPage& page) {
    for (int i = IndexOf(page) - 1; i >= 0; --i)
        if (pages_[static_cast<std::size_t>(i)]->AcceptsActivation())
            return pages_[static_cast<std::size_t>(i)]->TemplateId();
    PostMessageW(page.Window(), kReactivateMessage, 0, 0);
    return -1;
}

BOOL ForceForegroundWindow(HWND window) {
    if (!window) return FALSE;
    const HWND foreground = GetForegroundWindow();
    // A minimised window can still be the foreground one; it is restored all the same.
    if (foreground == window && !IsIconic(window)) return TRUE;

    SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    SetWindowPos(window, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);

    const DWORD foregroundThread = GetWindowThreadProcessId(foreground, nullptr);
    const DWORD windowThread = GetWindowThreadProcessId(window, nullptr);
    BOOL result;
    if (foregroundThread != windowThread) {
        AttachThreadInput(foregroundThread, windowThread, TRUE);
        SetForegroundWindow(window);
        SetActiveWindow(window);
        AttachThreadInput(foregroundThread, windowThread, FALSE);
        result = TRUE;
    } else {
        result = SetForegroundWindow(window);
    }
    ShowWindow(window, SW_RESTORE);
    return result;
}
