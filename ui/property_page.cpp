#include "ui/property_page.h"

#include "ui/wizard_sheet.h"

HPROPSHEETPAGE PropertyPage::CreatePage(HINSTANCE instance) {
    PROPSHEETPAGEW page = {};
    page.dwSize = sizeof page;
    page.dwFlags = PSP_DEFAULT;
    page.hInstance = instance;
    page.pszTemplate = MAKEINTRESOURCEW(templateId_);
    page.pfnDlgProc = DialogProc;
    page.lParam = reinterpret_cast<LPARAM>(this);
    return CreatePropertySheetPageW(&page);
}

INT_PTR CALLBACK PropertyPage::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        auto* page = reinterpret_cast<PropertyPage*>(reinterpret_cast<const PROPSHEETPAGEW*>(lParam)->lParam);
        SetWindowLongPtrW(window, DWLP_USER, reinterpret_cast<LONG_PTR>(page));
        page->window_ = window;
    }
    auto* page = reinterpret_cast<PropertyPage*>(GetWindowLongPtrW(window, DWLP_USER));
    if (!page) return FALSE;
    INT_PTR handled = FALSE;
    try {
        handled = page->OnMessage(message, wParam, lParam);
    } catch (...) {
        // Nothing may unwind through the window manager.
        handled = FALSE;
    }
    if (message == WM_NCDESTROY) {
        // No reaction may reach the page once its window is gone.
        SetWindowLongPtrW(window, DWLP_USER, 0);
        page->window_ = nullptr;
    }
    return handled;
}

HWND PropertyPage::SheetWindow() const { return window_ ? GetParent(window_) : Sheet().Window(); }

INT_PTR PropertyPage::Answer(LRESULT result) {
    SetWindowLongPtrW(window_, DWLP_MSGRESULT, result);
    return TRUE;
}

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
