// Base of the wizard's pages: one dialog procedure for all of them that
// keeps the page object in the window and hands each message to a virtual
// reaction. Windows only.
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

#include <string>

class CMyPropSheet;

class PropertyPage {
public:
    explicit PropertyPage(int templateId) : templateId_(templateId) {}
    virtual ~PropertyPage() = default;
    PropertyPage(const PropertyPage&) = delete;
    PropertyPage& operator=(const PropertyPage&) = delete;

    // The page as the property sheet takes it.
    HPROPSHEETPAGE CreatePage(HINSTANCE instance);
    void AttachTo(CMyPropSheet& sheet) { sheet_ = &sheet; }

    int TemplateId() const { return templateId_; }
    HWND Window() const { return window_; }

    // Offered activation by the page flow: false refuses, and the sheet skips
    // the page in the direction of travel. A refusing page may set shared
    // state (the port page forces USB).
    virtual bool AcceptsActivation() { return true; }

    // Runs the page's activation: texts, buttons, list refresh.
    void Activate() { OnSetActive(); }

protected:
    virtual BOOL OnInitDialog() { return TRUE; }
    // The page has been accepted and becomes the current one.
    virtual void OnSetActive() {}
    virtual bool OnCommand(WORD /*id*/, WORD /*code*/, HWND /*control*/) { return false; }
    // Notifications from controls; return true with *result set when handled.
    virtual bool OnNotify(NMHDR& /*header*/, LRESULT& /*result*/) { return false; }
    virtual void OnTimer(UINT_PTR /*id*/) {}
    virtual void OnShowWindow(bool /*shown*/) {}
    virtual void OnDestroy() {}

    CMyPropSheet& Sheet() const { return *sheet_; }
    // The frame; also for a page whose window has not been created yet.
    HWND SheetWindow() const;
    HWND Item(int id) const { return GetDlgItem(window_, id); }
    void SetItemText(int id, const std::wstring& text) const { SetDlgItemTextW(window_, id, text.c_str()); }
    // Enables the wizard buttons named by PSWIZB_* flags, disables the others.
    void PostWizardButtons(DWORD flags) const { PostMessageW(SheetWindow(), PSM_SETWIZBUTTONS, 0, flags); }

private:
    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR Answer(LRESULT result);

    int templateId_;
    HWND window_ = nullptr;
    CMyPropSheet* sheet_ = nullptr;
};
