// The base of every dialog of the program, wizard pages and modal dialogs
// alike, with the program's one dialog procedure: it keeps the object in its
// window from WM_INITDIALOG to WM_NCDESTROY and hands each message to the
// object's OnMessage. Windows only.
#pragma once

#include <windows.h>

#include <span>
#include <string>

#include "base/text_catalogue.h"

// A control of a dialog and the catalogue text it shows.
struct ControlText {
    int controlId;
    int textId;
};

class DialogWindow {
public:
    DialogWindow(const DialogWindow&) = delete;
    DialogWindow& operator=(const DialogWindow&) = delete;

    HWND Window() const { return window_; }

protected:
    DialogWindow() = default;
    virtual ~DialogWindow() = default;

    // A message to the dialog; the return value is the dialog procedure's.
    virtual INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam) = 0;

    // The dialog procedure for a template whose WM_INITDIALOG carries the
    // object: as the lParam of DialogBoxParam (ModalProc) or as the lParam
    // of the PROPSHEETPAGE that made the page (PageProc).
    static INT_PTR CALLBACK ModalProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static INT_PTR CALLBACK PageProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    HWND Item(int id) const { return GetDlgItem(window_, id); }
    void SetItemText(int id, const std::wstring& text) const { SetDlgItemTextW(window_, id, text.c_str()); }
    // Gives each control of the table its text in the catalogue's current language.
    void SetItemTexts(const TextCatalogue& texts, std::span<const ControlText> table) const;
    // Answers the current message with `result`, for messages whose answer
    // goes through DWLP_MSGRESULT.
    INT_PTR Answer(LRESULT result) const {
        SetWindowLongPtrW(window_, DWLP_MSGRESULT, result);
        return TRUE;
    }

private:
    static INT_PTR Dispatch(HWND window, UINT message, WPARAM wParam, LPARAM lParam, DialogWindow* created);

    HWND window_ = nullptr;
};

// A dialog that runs modally from a template and ends with a result.
class ModalDialog : public DialogWindow {
protected:
    // Runs the dialog until End; returns End's result (-1 or 0 when the
    // dialog could not be created).
    INT_PTR RunDialog(HINSTANCE instance, int templateId, HWND owner) {
        return DialogBoxParamW(instance, MAKEINTRESOURCEW(templateId), owner, ModalProc,
                               reinterpret_cast<LPARAM>(static_cast<DialogWindow*>(this)));
    }
    void End(INT_PTR result) const { EndDialog(Window(), result); }
};
