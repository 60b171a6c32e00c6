// Base of the wizard's pages: the dialog base's procedure hands each message
// to a virtual reaction, and the sheet's notifications to the page flow.
// Windows only.
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

#include <string>

#include "ui/dialog_window.h"

class CMyPropSheet;

class PropertyPage : public DialogWindow {
public:
    explicit PropertyPage(int templateId) : templateId_(templateId) {}

    // The page as the property sheet takes it.
    HPROPSHEETPAGE CreatePage(HINSTANCE instance);
    void AttachTo(CMyPropSheet& sheet) { sheet_ = &sheet; }

    int TemplateId() const { return templateId_; }

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
    // The window moved to a monitor of another scale (per-monitor awareness).
    virtual void OnDpiChanged() {}

    CMyPropSheet& Sheet() const { return *sheet_; }
    // The frame; also for a page whose window has not been created yet.
    HWND SheetWindow() const;
    // Enables the wizard buttons named by PSWIZB_* flags, disables the others.
    void PostWizardButtons(DWORD flags) const { PostMessageW(SheetWindow(), PSM_SETWIZBUTTONS, 0, flags); }

private:
    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

    int templateId_;
    CMyPropSheet* sheet_ = nullptr;
};
