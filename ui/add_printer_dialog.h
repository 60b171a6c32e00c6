// The modal dialog in which the user types the address of one network
// printer, IPv4 or IPv6, for the network list page's Add button. An IPv6
// text is checked before the dialog closes; the page then looks it up.
// Windows only.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "ui/dialog_window.h"
#include "ui/wizard_services.h"

class CAddNetworkPrinter final : public ModalDialog {
public:
    CAddNetworkPrinter(WizardServices& services, HWND owner);

    // Runs the dialog; true when it ended with OK.
    bool RunModal();

    // What the user chose, valid after OK.
    bool Ipv6Mode() const { return ipv6Mode_ != 0; }
    std::wstring Ipv6Text() const { return ipv6Text_; }
    std::uint32_t Ipv4Address() const { return ipv4Address_; }  // first octet in the most significant byte

private:
    static constexpr int kIpv6TextChars = 128;
    static constexpr int kIpv6EditLimit = 42;

    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void OnInitDialog();
    bool OnCommand(WORD id, WORD code);
    void ChooseIpv6();
    void ChooseIpv4();
    void ApplyOkRule() const;
    void OnOk();
    // Message box of the address check; the typed text stays, the focus goes back to it.
    void RefuseIpv6Text(int textId) const;

    WizardServices& services_;
    HWND owner_;
    std::uint32_t ipv4Address_ = 0;
    wchar_t ipv6Text_[kIpv6TextChars] = {};
    int ipv6Mode_ = 0;
};
