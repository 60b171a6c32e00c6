#include "ui/dialog_window.h"

#include <prsht.h>

INT_PTR CALLBACK DialogWindow::ModalProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    DialogWindow* created = message == WM_INITDIALOG ? reinterpret_cast<DialogWindow*>(lParam) : nullptr;
    return Dispatch(window, message, wParam, lParam, created);
}

INT_PTR CALLBACK DialogWindow::PageProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    DialogWindow* created = nullptr;
    if (message == WM_INITDIALOG)
        created = reinterpret_cast<DialogWindow*>(reinterpret_cast<const PROPSHEETPAGEW*>(lParam)->lParam);
    return Dispatch(window, message, wParam, lParam, created);
}

INT_PTR DialogWindow::Dispatch(HWND window, UINT message, WPARAM wParam, LPARAM lParam, DialogWindow* created) {
    if (created) {
        SetWindowLongPtrW(window, DWLP_USER, reinterpret_cast<LONG_PTR>(created));
        created->window_ = window;
    }
    auto* dialog = reinterpret_cast<DialogWindow*>(GetWindowLongPtrW(window, DWLP_USER));
    if (!dialog) return FALSE;
    INT_PTR handled = FALSE;
    try {
        handled = dialog->OnMessage(message, wParam, lParam);
    } catch (...) {
        // Nothing may unwind through the window manager.
        handled = FALSE;
    }
    if (message == WM_NCDESTROY) {
        // No reaction may reach the object once its window is gone.
        SetWindowLongPtrW(window, DWLP_USER, 0);
        dialog->window_ = nullptr;
    }
    return handled;
}

void DialogWindow::SetItemTexts(const TextCatalogue& texts, std::span<const ControlText> table) const {
    for (const ControlText& entry : table) SetItemText(entry.controlId, texts.Text(entry.textId));
}
