#include "ui/property_page.h"

#include "ui/wizard_sheet.h"

namespace {
// WM_DPICHANGED_AFTERPARENT, which older SDK headers lack: a child window's
// word that its top-level window changed scale.
constexpr UINT kDpiChangedAfterParent = 0x02E3;
}  // namespace

HPROPSHEETPAGE PropertyPage::CreatePage(HINSTANCE instance) {
    PROPSHEETPAGEW page = {};
    page.dwSize = sizeof page;
    page.dwFlags = PSP_DEFAULT;
    page.hInstance = instance;
    page.pszTemplate = MAKEINTRESOURCEW(templateId_);
    page.pfnDlgProc = PageProc;
    page.lParam = reinterpret_cast<LPARAM>(static_cast<DialogWindow*>(this));
    return CreatePropertySheetPageW(&page);
}

HWND PropertyPage::SheetWindow() const { return Window() ? GetParent(Window()) : Sheet().Window(); }

INT_PTR PropertyPage::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        return OnInitDialog();
    case WM_COMMAND:
        return OnCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
    case WM_TIMER:
        OnTimer(wParam);
        return TRUE;
    case WM_SHOWWINDOW:
        OnShowWindow(wParam != FALSE);
        return FALSE;
    case WM_DESTROY:
        OnDestroy();
        return FALSE;
    case kDpiChangedAfterParent:
        OnDpiChanged();
        return FALSE;
    case CMyPropSheet::kReactivateMessage:
        Activate();
        return TRUE;
    case WM_NOTIFY: {
        NMHDR& header = *reinterpret_cast<NMHDR*>(lParam);
        switch (header.code) {
        case PSN_SETACTIVE:
            if (!AcceptsActivation()) return Answer(-1);
            OnSetActive();
            return Answer(0);
        // The sheet routes Next and Back itself, so that refusing pages are
        // skipped, and the current page re-activated, the same way on every
        // platform.
        case PSN_WIZNEXT:
            return Answer(Sheet().NextPageFrom(*this));
        case PSN_WIZBACK:
            return Answer(Sheet().PreviousPageFrom(*this));
        default: {
            LRESULT result = 0;
            if (OnNotify(header, result)) return Answer(result);
            return FALSE;
        }
        }
    }
    default:
        return FALSE;
    }
}
