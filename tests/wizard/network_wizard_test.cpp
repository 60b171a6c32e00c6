// The wizard's network road, driven from another process as a person would
// drive it: the network printer list, adding printers by address, the
// community check and updates over the network, against the simulated fleet.
#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include <array>
#include <memory>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "ui/texts/resource_ids.h"
#include "ui_driver.h"
#include "wizard_fixture.h"

using namespace ui_driver;

namespace {

// The package serves two models of the family; a third identifier belongs to
// another family.
constexpr char kFamilyOid[] = "1.3.6.1.4.1.47131.1.1.7000";
constexpr char kSecondFamilyOid[] = "1.3.6.1.4.1.47131.1.1.7030";
constexpr char kForeignOid[] = "1.3.6.1.4.1.47131.1.1.9900";

const std::wstring kSelectLine = L"Please select printers to update. Check that the printers are ready.";
const std::wstring kSentLine = L"Update data has been sent.";
const std::wstring kAlreadyListed = L"The machine with specified IP address is already in the list.";
const std::wstring kUnidentified = L"Unable to identify the machine with specified IP address.";

const std::string kMoreFilesMarker("\xAA\x55\x55\xAA", 4);
const std::string kLastFileMarker(4, '\0');
const std::string kAbandonMarker(4, '\xFF');
// What a printer takes for the whole package: each file with its end marker.
const std::string kPackageStream = FilePattern(5000, 1) + kMoreFilesMarker + FilePattern(3000, 2) + kLastFileMarker;

std::string NetworkConfig(const std::string& firstEntryExtra = "", const std::string& generalExtra = "") {
    return "[General]\nEncoding=0\nModuleName=Main controller\nModelName=Tessaro 7000\nMDLCnt=1\n"
           "MDL0=Korvane Laser 7000\nNetDownload=1\nSysOIDCnt=2\nSysOID0=" +
           std::string(kFamilyOid) + "\nSysOID1=" + kSecondFamilyOid +
           "\nLanguage=0\nFwCount=2\nVID=0A1B\nPID=00C2\n" + generalExtra +
           "[Fw0]\nFileName=main.bin\nReleaseDate=2026-11-02\n" +
           firstEntryExtra +
           "[Fw1]\nFileName=engine.bin\nReleaseDate=2026-11-20\n"
           "[Granted]\nS0A*=1\n";
}

// One simulated network printer; `address` is IPv4 or IPv6 by its form.
struct NetPrinter {
    NetPrinter(std::string address, std::string name, std::string firmware = "1.00", std::string status = "10",
               std::string sysOid = kFamilyOid, std::string extra = "")
        : address(std::move(address)), name(std::move(name)), firmware(std::move(firmware)),
          status(std::move(status)), sysOid(std::move(sysOid)), extra(std::move(extra)) {}

    std::string address;
    std::string name;
    std::string firmware;
    std::string status;
    std::string sysOid;
    std::string extra;  // further keys, one a line
};

std::string Fleet(const std::vector<NetPrinter>& printers) {
    std::string scenario;
    for (std::size_t n = 0; n < printers.size(); ++n) {
        const NetPrinter& printer = printers[n];
        const bool ipv6 = printer.address.find(':') != std::string::npos;
        scenario += "[Net" + std::to_string(n) + "]\n" + (ipv6 ? "IPv6=" : "IPv4=") + printer.address +
                    "\nDeviceName=" + printer.name + "\nSysOID=" + printer.sysOid + "\nFirmware=" + printer.firmware +
                    "\nVariant=EU01\nStatus=" + printer.status + "\n" + printer.extra;
    }
    return scenario;
}

int CountLines(const std::string& text, const std::string& prefix) {
    std::istringstream lines(text);
    int count = 0;
    for (std::string line; std::getline(lines, line);)
        if (line.rfind(prefix, 0) == 0) ++count;
    return count;
}

std::string LastLine(const std::string& text, const std::string& prefix) {
    std::istringstream lines(text);
    std::string last;
    for (std::string line; std::getline(lines, line);)
        if (line.rfind(prefix, 0) == 0) last = line;
    return last;
}

// Names the first byte where `received` leaves `expected`, for a failure message.
std::string Difference(const std::string& received, const std::string& expected) {
    std::size_t at = 0;
    while (at < received.size() && at < expected.size() && received[at] == expected[at]) ++at;
    return "received " + std::to_string(received.size()) + " bytes, expected " + std::to_string(expected.size()) +
           ", first difference at " + std::to_string(at);
}

std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

using Row = std::array<std::wstring, 4>;  // address, device name, firmware, status

class NetworkWizard : public ::testing::Test {
protected:
    // Starts the wizard on a network package and goes to the network list,
    // which lists `rows` printers once its discovery is over.
    void OpenList(const std::vector<NetPrinter>& fleet, int rows, const std::string& firstEntryExtra = "",
                  const std::string& generalExtra = "") {
        run_ = std::make_unique<WizardRun>(NetworkConfig(firstEntryExtra, generalExtra), Fleet(fleet));
        run_->AddFile("main.bin", FilePattern(5000, 1));
        run_->AddFile("engine.bin", FilePattern(3000, 2));
        ASSERT_TRUE(run_->Start());
        ASSERT_NO_FATAL_FAILURE(Next());
        ASSERT_TRUE(run_->WaitForPage(IDC_PORT_NETWORK));
        ASSERT_NO_FATAL_FAILURE(Next());  // the network choice is made at first
        page_ = run_->WaitForPage(IDC_NET_LIST);
        ASSERT_TRUE(page_);
        list_ = std::make_unique<RemoteList>(Control(page_, IDC_NET_LIST));
        ASSERT_TRUE(WaitUntil([&] { return list_->Count() == rows && (rows == 0 || !list_->Text(rows - 1, 3).empty()); }))
            << "rows listed: " << list_->Count();
    }

    void Next() { ASSERT_TRUE(PressNextWhenEnabled(run_->Sheet())); }

    std::vector<Row> Rows() const {
        std::vector<Row> rows;
        for (int row = 0; row < list_->Count(); ++row)
            rows.push_back({list_->Text(row, 0), list_->Text(row, 1), list_->Text(row, 2), list_->Text(row, 3)});
        return rows;
    }

    HWND PageControl(int id) const { return Control(page_, id); }
    std::wstring PageText(int id) const { return WindowText(PageControl(id)); }

    // Types the community and waits until the edit shows it.
    void TypeCommunity(const std::wstring& community) {
        TypeText(PageControl(IDC_NET_COMMUNITY), community);
        ASSERT_TRUE(WaitUntil([&] { return PageText(IDC_NET_COMMUNITY) == community; }))
            << Narrow(PageText(IDC_NET_COMMUNITY));
    }

    HWND OpenAddDialog() const {
        ClickButton(PageControl(IDC_NET_ADD));
        return WaitForDialogWith(run_->ProcessId(), {IDC_ADD_IPV4, IDC_ADD_IPV6, IDC_ADD_IPV4_ADDRESS,
                                                     IDC_ADD_IPV6_ADDRESS});
    }

    // Chooses IPv6 in the add dialog and types the address; OK is disabled
    // while the edit is empty.
    static void EnterIpv6(HWND dialog, const std::wstring& address) {
        ClickButton(Control(dialog, IDC_ADD_IPV6));
        ASSERT_TRUE(WaitUntil([&] {
            return IsTicked(Control(dialog, IDC_ADD_IPV6)) && !IsTicked(Control(dialog, IDC_ADD_IPV4)) &&
                   IsEnabled(Control(dialog, IDC_ADD_IPV6_ADDRESS)) && !IsEnabled(Control(dialog, IDC_ADD_IPV4_ADDRESS));
        }));
        EXPECT_FALSE(IsEnabled(Control(dialog, IDC_ADD_OK))) << "OK with an empty IPv6 address";
        TypeText(Control(dialog, IDC_ADD_IPV6_ADDRESS), address);
        ASSERT_TRUE(WaitUntil([&] {
            return WindowText(Control(dialog, IDC_ADD_IPV6_ADDRESS)) == address && IsEnabled(Control(dialog, IDC_ADD_OK));
        }));
    }

    // Adds a printer that answers and waits for its row at the end of the list.
    void AddPrinter(bool ipv6, const std::wstring& ipv6Address, DWORD ipv4Address, int rowsAfter) {
        HWND dialog = OpenAddDialog();
        ASSERT_TRUE(dialog);
        if (ipv6)
            ASSERT_NO_FATAL_FAILURE(EnterIpv6(dialog, ipv6Address));
        else
            SetIpAddress(Control(dialog, IDC_ADD_IPV4_ADDRESS), ipv4Address);
        ClickButton(Control(dialog, IDC_ADD_OK));
        ASSERT_TRUE(WaitUntil([&] { return list_->Count() == rowsAfter && !list_->Text(rowsAfter - 1, 3).empty(); }))
            << "rows listed: " << list_->Count();
    }

    bool WaitForSentState(Milliseconds timeout) const {
        return WaitUntil([&] { return PageText(IDC_NET_LINE1) == kSentLine; }, timeout);
    }

    std::unique_ptr<WizardRun> run_;
    HWND page_ = nullptr;
    std::unique_ptr<RemoteList> list_;
};

TEST_F(NetworkWizard, ListsThePackagesPrintersIpv6RowsFirstAndRefusesAPrinterThatIsNotReady) {
    ASSERT_NO_FATAL_FAILURE(OpenList({{"192.0.2.21", "KL7000-LOBBY"},
                                      {"fe80::21c:42ff:fe2a:1001%11", "KL7030F-LAB", "2.00", "10", kSecondFamilyOid},
                                      {"192.0.2.23", "KL7000F-STORE", "1.00", "0x13"},
                                      {"192.0.2.24", "OTHER-FAMILY", "9.00", "10", kForeignOid},
                                      {"2001:db8::7", "KL7000-ANNEX", "1.05"}},
                                     4));
    const std::vector<Row> expected = {
        {L"fe80::021c:42ff:fe2a:1001%11", L"KL7030F-LAB", L"2.00", L"Not complete"},
        {L"2001:0db8::0007", L"KL7000-ANNEX", L"1.05", L"Not complete"},
        {L"192.0.2.21", L"KL7000-LOBBY", L"1.00", L"Not complete"},
        {L"192.0.2.23", L"KL7000F-STORE", L"1.00", L"Not Ready"},
    };
    EXPECT_EQ(Rows(), expected);
    // Discovery gives the first row the selection, which the page takes away
    // again: only the ticks count.
    EXPECT_TRUE(WaitUntil([&] { return SendMessageW(PageControl(IDC_NET_LIST), LVM_GETSELECTEDCOUNT, 0, 0) == 0; }));
    EXPECT_EQ(list_->Heading(0), L"IP Address");
    EXPECT_EQ(list_->Heading(1), L"Printer Name");
    EXPECT_EQ(list_->Heading(2), L"Printer F/W");
    EXPECT_EQ(list_->Heading(3), L"Status");
    // An address cut short by its column shows whole in a tip; a change of
    // monitor scale sets the columns' widths anew.
    const HWND listControl = PageControl(IDC_NET_LIST);
    EXPECT_TRUE(SendMessageW(listControl, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0) & LVS_EX_LABELTIP);
    const LRESULT addressWidth = SendMessageW(listControl, LVM_GETCOLUMNWIDTH, 0, 0);
    SendMessageW(listControl, LVM_SETCOLUMNWIDTH, 0, 7);
    SendMessageW(GetParent(listControl), 0x02E3 /* WM_DPICHANGED_AFTERPARENT */, 0, 0);
    EXPECT_EQ(SendMessageW(listControl, LVM_GETCOLUMNWIDTH, 0, 0), addressWidth);
    EXPECT_EQ(PageText(IDC_NET_LINE1), kSelectLine);
    EXPECT_EQ(PageText(IDC_NET_LINE2), L"Update data will be sent to the printer when you click Next.");
    EXPECT_EQ(PageText(IDC_NET_MODULE_LABEL), L"Module Name:");
    EXPECT_EQ(PageText(IDC_NET_MODULE_NAME), L"Main controller");
    EXPECT_EQ(PageText(IDC_NET_COMMUNITY_LABEL), L"Community:");
    EXPECT_EQ(PageText(IDC_NET_COMMUNITY), L"meadow");
    EXPECT_EQ(PageText(IDC_NET_REFRESH), L"&Refresh");
    EXPECT_EQ(PageText(IDC_NET_ADD), L"&Add ...");
    EXPECT_EQ(run_->Transcript("Net3"), "") << "a printer of another family was asked";

    // Next follows the ticks; any row can be ticked, ready or not.
    HWND next = Control(run_->Sheet(), kWizardNext);
    EXPECT_FALSE(IsEnabled(next));
    list_->SetTicked(3, true);
    EXPECT_TRUE(WaitUntil([&] { return IsEnabled(next); }));
    list_->SetTicked(3, false);
    EXPECT_TRUE(WaitUntil([&] { return !IsEnabled(next); }));
    EXPECT_TRUE(IsEnabled(Control(run_->Sheet(), kWizardBack)));

    // The printer that is not ready is refused before anything is sent, and
    // the page starts afresh: discovery again, no ticks.
    list_->SetTicked(2, true);
    list_->SetTicked(3, true);
    ASSERT_NO_FATAL_FAILURE(Next());
    const auto box = WaitForMessageBox(run_->ProcessId());
    ASSERT_TRUE(box);
    EXPECT_EQ(box->caption, L"Error");
    EXPECT_EQ(box->text, L"Unable to update firmware while printer is not ready.");
    EXPECT_EQ(box->owner, run_->Sheet());
    AnswerOk(*box);
    EXPECT_TRUE(WaitUntil([&] { return CountLines(run_->Transcript("fleet"), "FindSnmpAgentEx \"") == 2; }))
        << run_->Transcript("fleet");
    EXPECT_TRUE(WaitUntil([&] { return Rows() == expected && !list_->IsTicked(2) && !list_->IsTicked(3); }));
    EXPECT_EQ(PageText(IDC_NET_LINE1), kSelectLine);
    EXPECT_FALSE(IsEnabled(next));
    EXPECT_EQ(run_->SentInTheWholeRun({"Net0", "Net2"}), "");
    for (const char* printer : {"Net0", "Net2"})
        EXPECT_EQ(CountLines(run_->Transcript(printer), "NetworkConnectNonBlock"), 0) << printer;
}

TEST_F(NetworkWizard, WhenRefreshFindsNoPrinterNextIsDisabledAndSendsNothing) {
    ASSERT_NO_FATAL_FAILURE(OpenList({{"192.0.2.21", "KL7000-LOBBY"}}, 1));
    HWND next = Control(run_->Sheet(), kWizardNext);
    list_->SetTicked(0, true);
    ASSERT_TRUE(WaitUntil([&] { return IsEnabled(next); }));

    // No printer answers this community: the list comes back empty.
    ASSERT_NO_FATAL_FAILURE(TypeCommunity(L"nobody"));
    ClickButton(PageControl(IDC_NET_REFRESH));
    ASSERT_TRUE(WaitUntil([&] { return CountLines(run_->Transcript("fleet"), "FindSnmpAgentEx \"") == 2; }))
        << run_->Transcript("fleet");
    EXPECT_TRUE(WaitUntil([&] { return list_->Count() == 0 && !IsEnabled(next); }))
        << "rows " << list_->Count() << ", Next " << (IsEnabled(next) ? "enabled" : "disabled");

    // Next forced all the same: refused, no sent state, and nothing sent in
    // the whole run.
    PressNext(run_->Sheet());
    EXPECT_EQ(PageText(IDC_NET_LINE1), kSelectLine);
    EXPECT_TRUE(IsVisible(Control(run_->Sheet(), IDCANCEL)));
    EXPECT_FALSE(IsEnabled(next));
    EXPECT_EQ(run_->SentInTheWholeRun({"Net0"}), "");
    EXPECT_EQ(CountLines(run_->Transcript("Net0"), "NetworkConnectNonBlock"), 0);
}

TEST_F(NetworkWizard, CommunityTakesLettersDigitsHyphenAndUnderscoreAndEmptyBecomesMeadowAtRefresh) {
    const std::string longCommunity = "Orchard-7_east-wing-printers-042";  // 32 characters, the most the edit takes
    ASSERT_NO_FATAL_FAILURE(OpenList({{"192.0.2.21", "KL7000-LOBBY"},
                                      {"192.0.2.22", "KL7000-ORCHARD", "1.30", "10", kFamilyOid,
                                       "Community=" + longCommunity + "\n"}},
                                     1));
    EXPECT_EQ(list_->Text(0, 0), L"192.0.2.21");

    // A blank after three letters: the letters stay, the blank goes.
    TypeText(PageControl(IDC_NET_COMMUNITY), L"abc ");
    const auto box = WaitForMessageBox(run_->ProcessId());
    ASSERT_TRUE(box);
    EXPECT_EQ(box->caption, L"Confirm Community Name");
    EXPECT_EQ(box->text, L"The characters used in the Community Name are invalid.\n"
                         L"Only alphabets, numbers, \"-\" (hyphen) and \"_\" (underscore) can be used.");
    EXPECT_EQ(box->owner, run_->Sheet());
    AnswerOk(*box);
    EXPECT_TRUE(WaitUntil([&] { return PageText(IDC_NET_COMMUNITY) == L"abc"; }))
        << Narrow(PageText(IDC_NET_COMMUNITY));

    // A community of 32 characters is used whole, by discovery, the gets and the status.
    const std::wstring wideCommunity(longCommunity.begin(), longCommunity.end());
    ASSERT_NO_FATAL_FAILURE(TypeCommunity(wideCommunity));
    ClickButton(PageControl(IDC_NET_REFRESH));
    const std::vector<Row> orchard = {{L"192.0.2.22", L"KL7000-ORCHARD", L"1.30", L"Not complete"}};
    EXPECT_TRUE(WaitUntil([&] { return Rows() == orchard; })) << run_->Transcript("fleet");
    EXPECT_FALSE(WaitForMessageBox(run_->ProcessId(), Milliseconds(0)));

    // An empty community is the default one at Refresh, in the edit too.
    ASSERT_NO_FATAL_FAILURE(TypeCommunity(L""));
    ClickButton(PageControl(IDC_NET_REFRESH));
    const std::vector<Row> meadow = {{L"192.0.2.21", L"KL7000-LOBBY", L"1.00", L"Not complete"}};
    EXPECT_TRUE(WaitUntil([&] { return PageText(IDC_NET_COMMUNITY) == L"meadow" && Rows() == meadow; }))
        << Narrow(PageText(IDC_NET_COMMUNITY));
    EXPECT_NE(LastLine(run_->Transcript("fleet"), "FindSnmpAgentEx \"").find("\"meadow\""), std::string::npos)
        << run_->Transcript("fleet");
}

// An address given in the add dialog that is refused, and how.
struct AddRefusal {
    const char* what;
    bool ipv6;
    std::wstring ipv6Address;
    DWORD ipv4Address;
    std::wstring caption;
    std::wstring text;
    bool shownByTheDialog;  // else by the page, once the dialog has closed
    bool asksTheNetwork;
};

TEST_F(NetworkWizard, AddRefusesListedSilentAndMalformedAddressesAndAppendsPrintersThatAnswer) {
    ASSERT_NO_FATAL_FAILURE(OpenList(
        {{"192.0.2.21", "KL7000-LOBBY"},
         {"fe80::21c:42ff:fe2a:1001%11", "KL7030F-LAB", "2.00", "10", kSecondFamilyOid},
         // Another community: not found by the discovery, only by address.
         {"192.0.2.40", "KL7000-BRANCH", "1.20", "10", kFamilyOid, "Community=orchard\n"},
         {"2001:db8::40", "KL7030F-BRANCH", "2.20", "0x13", kSecondFamilyOid, "Community=orchard\n"}},
        2));
    const std::vector<Row> discovered = {
        {L"fe80::021c:42ff:fe2a:1001%11", L"KL7030F-LAB", L"2.00", L"Not complete"},
        {L"192.0.2.21", L"KL7000-LOBBY", L"1.00", L"Not complete"},
    };
    ASSERT_EQ(Rows(), discovered);

    {  // The dialog as it opens: IPv4 chosen, its texts set.
        HWND dialog = OpenAddDialog();
        ASSERT_TRUE(dialog);
        EXPECT_EQ(WindowText(dialog), L"Add");
        EXPECT_EQ(WindowText(Control(dialog, IDC_ADD_IPV6)), L"IPv6 Address");
        EXPECT_EQ(WindowText(Control(dialog, IDC_ADD_IPV4)), L"IPv4 Address");
        EXPECT_EQ(WindowText(Control(dialog, IDC_ADD_OK)), L"&OK");
        EXPECT_EQ(WindowText(Control(dialog, IDC_ADD_CANCEL)), L"&Cancel");
        EXPECT_TRUE(IsTicked(Control(dialog, IDC_ADD_IPV4)));
        EXPECT_FALSE(IsTicked(Control(dialog, IDC_ADD_IPV6)));
        EXPECT_FALSE(IsEnabled(Control(dialog, IDC_ADD_IPV6_ADDRESS)));
        EXPECT_TRUE(IsEnabled(Control(dialog, IDC_ADD_OK)));
        ClickButton(Control(dialog, IDC_ADD_CANCEL));
        EXPECT_TRUE(WaitUntil([&] { return !IsWindow(dialog); }));
    }

    const std::wstring ipConfirmation = L"IP Address Confirmation";
    const AddRefusal refusals[] = {
        {"an IPv4 address already listed", false, L"", static_cast<DWORD>(MAKEIPADDRESS(192, 0, 2, 21)), L"Error", kAlreadyListed,
         false, false},
        {"an IPv6 address already listed, written another way", true, L"FE80::21C:42FF:FE2A:1001%11", 0, L"Error",
         kAlreadyListed, false, false},
        {"an IPv4 address that does not answer", false, L"", static_cast<DWORD>(MAKEIPADDRESS(192, 0, 2, 99)), L"Error", kUnidentified,
         false, true},
        {"an IPv6 address that does not answer", true, L"2001:db8::99", 0, L"Error", kUnidentified, false, true},
        {"fe8a is not link-local: asked without a scope", true, L"fe8a::1", 0, L"Error", kUnidentified, false, true},
        {"an invalid IPv6 text", true, L"2001:db8::zz", 0, ipConfirmation, L"IP Address is invalid.", true, false},
        {"a link-local IPv6 address without a scope", true, L"fe80::1", 0, ipConfirmation,
         L"Specify a socpe ID when you specify a Link Local Address.", true, false},
    };
    for (const AddRefusal& refusal : refusals) {
        SCOPED_TRACE(refusal.what);
        const std::string fleetBefore = run_->Transcript("fleet");
        const std::string lobbyBefore = run_->Transcript("Net0");
        const std::string labBefore = run_->Transcript("Net1");
        HWND dialog = OpenAddDialog();
        ASSERT_TRUE(dialog);
        if (refusal.ipv6)
            ASSERT_NO_FATAL_FAILURE(EnterIpv6(dialog, refusal.ipv6Address));
        else
            SetIpAddress(Control(dialog, IDC_ADD_IPV4_ADDRESS), refusal.ipv4Address);
        ClickButton(Control(dialog, IDC_ADD_OK));

        const auto box = WaitForMessageBox(run_->ProcessId());
        ASSERT_TRUE(box);
        EXPECT_EQ(box->caption, refusal.caption);
        EXPECT_EQ(box->text, refusal.text);
        if (refusal.shownByTheDialog) {
            EXPECT_EQ(box->owner, dialog);
            ASSERT_TRUE(AnswerOk(*box));
            // The dialog stays open with the text as typed.
            EXPECT_TRUE(IsVisible(dialog));
            EXPECT_EQ(WindowText(Control(dialog, IDC_ADD_IPV6_ADDRESS)), refusal.ipv6Address);
            ClickButton(Control(dialog, IDC_ADD_CANCEL));
            EXPECT_TRUE(WaitUntil([&] { return !IsWindow(dialog); }));
        } else {
            EXPECT_EQ(box->owner, run_->Sheet());
            EXPECT_FALSE(IsWindow(dialog));
            ASSERT_TRUE(AnswerOk(*box));
        }
        if (refusal.asksTheNetwork) {
            EXPECT_NE(run_->Transcript("fleet"), fleetBefore);
        } else {
            EXPECT_EQ(run_->Transcript("fleet"), fleetBefore);
            EXPECT_EQ(run_->Transcript("Net0"), lobbyBefore);
            EXPECT_EQ(run_->Transcript("Net1"), labBefore);
        }
        EXPECT_EQ(Rows(), discovered);
    }

    // Printers found by their address go to the end, with the community as typed.
    ASSERT_NO_FATAL_FAILURE(TypeCommunity(L"orchard"));
    ASSERT_NO_FATAL_FAILURE(AddPrinter(false, L"", MAKEIPADDRESS(192, 0, 2, 40), 3));
    ASSERT_NO_FATAL_FAILURE(AddPrinter(true, L"2001:db8::40", 0, 4));
    std::vector<Row> expected = discovered;
    expected.push_back({L"192.0.2.40", L"KL7000-BRANCH", L"1.20", L"Not complete"});
    expected.push_back({L"2001:db8::40", L"KL7030F-BRANCH", L"2.20", L"Not Ready"});
    EXPECT_EQ(Rows(), expected);
    EXPECT_FALSE(WaitForMessageBox(run_->ProcessId(), Milliseconds(0)));
}

TEST_F(NetworkWizard, UpdatesTwoTickedPrintersOneConnectionPerFileThenWatchesTheirStatus) {
    // After its last file the IPv6 printer reports "Updating" for eighteen
    // status reads (the update itself takes fifteen), then ready with new firmware.
    ASSERT_NO_FATAL_FAILURE(OpenList({{"fe80::21c:42ff:fe2a:1001%11", "KL7030F-LAB", "2.00", "10", kSecondFamilyOid,
                                       "AfterUpdate=199*18, 10\nNewFirmware=2.10\n"},
                                      {"192.0.2.21", "KL7000-LOBBY", "1.00", "10", kFamilyOid, "NewFirmware=1.10\n"},
                                      {"192.0.2.22", "KL7000-SPARE"}},
                                     3));
    list_->SetTicked(0, true);
    list_->SetTicked(1, true);
    ASSERT_NO_FATAL_FAILURE(Next());
    HWND progress = run_->WaitForProgressWindow();
    ASSERT_TRUE(progress);
    EXPECT_TRUE(WaitUntil([&] { return WindowText(Control(progress, IDC_PROGRESS_PRINTER)) == L"Printer:KL7030F-LAB"; }))
        << Narrow(WindowText(Control(progress, IDC_PROGRESS_PRINTER)));

    ASSERT_TRUE(WaitForSentState(std::chrono::seconds(90)));
    for (const char* printer : {"Net0", "Net1"}) {
        SCOPED_TRACE(printer);
        const std::string received = run_->Received(printer);
        EXPECT_TRUE(received == kPackageStream) << Difference(received, kPackageStream);
        const std::string transcript = run_->Transcript(printer);
        EXPECT_EQ(CountLines(transcript, "NetworkConnectNonBlock"), 2) << transcript;
        EXPECT_EQ(CountLines(transcript, "NetworkClose"), 2) << transcript;
    }
    EXPECT_EQ(run_->Received("Net2"), "");
    EXPECT_EQ(CountLines(run_->Transcript("Net2"), "NetworkConnectNonBlock"), 0);

    // The sent state: Finish only, no Cancel, the page's controls disabled.
    HWND sheet = run_->Sheet();
    EXPECT_EQ(PageText(IDC_NET_LINE2),
              L"Do not switch off the power until the Ready indicator lights, or [Ready to print] is displayed.");
    EXPECT_TRUE(WaitUntil([&] { return IsEnabled(Control(sheet, kWizardFinish)) && IsVisible(Control(sheet, kWizardFinish)); }));
    EXPECT_FALSE(IsEnabled(Control(sheet, kWizardBack)));
    EXPECT_FALSE(IsVisible(Control(sheet, kWizardNext)) && IsEnabled(Control(sheet, kWizardNext)));
    EXPECT_FALSE(IsVisible(Control(sheet, IDCANCEL)));
    for (int id : {IDC_NET_LIST, IDC_NET_REFRESH, IDC_NET_ADD, IDC_NET_COMMUNITY, IDC_NET_COMMUNITY_LABEL})
        EXPECT_FALSE(IsEnabled(PageControl(id))) << "control " << id;

    // The status column follows the printers every few seconds.
    EXPECT_TRUE(WaitUntil([&] { return list_->Text(0, 3) == L"Updating"; }, std::chrono::seconds(20)))
        << Narrow(list_->Text(0, 3)) << "\n" << run_->Transcript("Net0");
    EXPECT_TRUE(WaitUntil([&] { return list_->Text(0, 3) == L"Completed"; }, std::chrono::seconds(30)))
        << Narrow(list_->Text(0, 3)) << "\n" << run_->Transcript("Net0");
    EXPECT_TRUE(WaitUntil([&] { return list_->Text(0, 2) == L"2.10"; }));
    EXPECT_EQ(list_->Text(1, 3), L"Completed");
    EXPECT_EQ(list_->Text(1, 2), L"1.10");
    EXPECT_EQ(list_->Text(2, 3), L"Not complete");  // not ticked: not watched
    PressFinish(sheet);
    EXPECT_TRUE(run_->WaitForExit());
}

// With the firmware the package installs named, the sent state's refresh
// shows a completed printer that reports another as such.
TEST_F(NetworkWizard, ACompletedPrinterOnAnotherFirmwareShowsSo) {
    ASSERT_NO_FATAL_FAILURE(OpenList({{"192.0.2.21", "KL7000-LOBBY", "1.00", "10", kFamilyOid, "NewFirmware=1.10\n"},
                                      {"192.0.2.22", "KL7000-SPARE", "1.00", "10", kFamilyOid, ""}},
                                     2, "", "ReportedFirmware=1.10\n"));
    list_->SetTicked(0, true);
    list_->SetTicked(1, true);
    ASSERT_NO_FATAL_FAILURE(Next());
    ASSERT_TRUE(WaitForSentState(std::chrono::seconds(90)));
    EXPECT_TRUE(WaitUntil([&] { return list_->Text(1, 3) == L"F/W differs"; }, std::chrono::seconds(30)))
        << Narrow(list_->Text(1, 3)) << "\n" << run_->Transcript("Net1");
    EXPECT_EQ(list_->Text(1, 2), L"1.00");
    EXPECT_EQ(list_->Text(0, 3), L"Completed");
    EXPECT_EQ(list_->Text(0, 2), L"1.10");
    PressFinish(run_->Sheet());
    EXPECT_TRUE(run_->WaitForExit());
}

TEST_F(NetworkWizard, APrinterThatRefusesTenConnectionsEndsTheJobNamingItsAddress) {
    ASSERT_NO_FATAL_FAILURE(OpenList({{"192.0.2.21", "KL7000-LOBBY", "1.00", "10", kFamilyOid,
                                       "RefuseConnections=10\n"}},
                                     1));
    list_->SetTicked(0, true);
    ASSERT_NO_FATAL_FAILURE(Next());
    HWND progress = run_->WaitForProgressWindow();
    ASSERT_TRUE(progress);
    const auto box = WaitForMessageBox(run_->ProcessId(), std::chrono::seconds(30));
    ASSERT_TRUE(box);
    EXPECT_EQ(box->caption, L"Error");
    EXPECT_EQ(box->text, L"Unable to download data to the printer:\n\t192.0.2.21");
    EXPECT_EQ(box->owner, progress);
    AnswerOk(*box);
    // No interruption message: the window closes by itself.
    EXPECT_TRUE(WaitForSentState(std::chrono::seconds(10)));
    EXPECT_FALSE(WaitForMessageBox(run_->ProcessId(), Milliseconds(0)));
    const std::string transcript = run_->Transcript("Net0");
    EXPECT_EQ(CountLines(transcript, "NetworkConnectNonBlock"), 10) << transcript;
    EXPECT_EQ(CountLines(transcript, "NetworkConnectNonBlock 192.0.2.21 9100 300000 -> refused"), 10) << transcript;
    EXPECT_EQ(run_->Received("Net0"), "");
}

TEST_F(NetworkWizard, CancelDuringTheUpdateSendsTheAbandonMarkerAndReportsTheInterruption) {
    ASSERT_NO_FATAL_FAILURE(OpenList({{"192.0.2.21", "KL7000-LOBBY"}}, 1, "PostDelay=8000\n"));
    list_->SetTicked(0, true);
    ASSERT_NO_FATAL_FAILURE(Next());
    HWND progress = run_->WaitForProgressWindow();
    ASSERT_TRUE(progress);
    // The first file is out and its post delay runs: cancel now.
    const std::string firstFile = FilePattern(5000, 1) + kMoreFilesMarker;
    ASSERT_TRUE(WaitUntil([&] { return run_->Received("Net0").size() >= firstFile.size(); }));
    ClickButton(Control(progress, IDCANCEL));
    const auto box = WaitForMessageBox(run_->ProcessId(), std::chrono::seconds(30));
    ASSERT_TRUE(box);
    EXPECT_EQ(box->caption, L"Cancel Updating");
    EXPECT_EQ(box->text, L"Printer Update interrupted.");
    EXPECT_EQ(box->owner, progress);
    AnswerOk(*box);
    const std::string received = run_->Received("Net0");
    EXPECT_EQ(received.substr(0, firstFile.size()), firstFile);
    ASSERT_GE(received.size(), firstFile.size() + 4);
    EXPECT_EQ(received.substr(received.size() - 4), kAbandonMarker);
    EXPECT_EQ(received.find(kLastFileMarker, firstFile.size()), std::string::npos) << "the last-file marker was sent";
    EXPECT_TRUE(WaitForSentState(std::chrono::seconds(10)));
}

}  // namespace
