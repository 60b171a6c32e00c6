// Our UI driver: drives the wizard of another process the way a person
// would, through its windows. It finds the wizard frame by its title, pages
// and controls by the ids of the dialog templates, presses buttons, ticks
// list rows, reads texts (list texts across processes through memory in the
// other process), and reads and answers message boxes. Commands that end a
// modal loop are posted, never sent, so the driver never waits on the
// wizard. Windows only.
#pragma once

#include <windows.h>

#include <chrono>
#include <functional>
#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

#include "base/kernel_handle_win32.h"

namespace ui_driver {

using Milliseconds = std::chrono::milliseconds;
inline constexpr Milliseconds kDefaultWait{10000};

// Ids of a wizard frame's own buttons.
inline constexpr int kWizardBack = 0x3023;
inline constexpr int kWizardNext = 0x3024;
inline constexpr int kWizardFinish = 0x3025;

// Polls `condition` every 20 ms until it holds or `timeout` passes.
bool WaitUntil(const std::function<bool()>& condition, Milliseconds timeout = kDefaultWait);

// A visible top-level window of process `processId` with this exact title.
HWND FindTopLevel(DWORD processId, const std::wstring& title);
// A visible top-level dialog (message box, modal dialog) of the process,
// other than `except`.
HWND FindDialog(DWORD processId, HWND except = nullptr);
// A visible top-level dialog of the process, not a message box, that holds
// every control of `controlIds`: a modal dialog known by its template.
HWND FindDialogWith(DWORD processId, std::initializer_list<int> controlIds);
HWND WaitForDialogWith(DWORD processId, std::initializer_list<int> controlIds, Milliseconds timeout = kDefaultWait);

std::wstring WindowText(HWND window);
HWND Control(HWND dialog, int id);
bool IsEnabled(HWND window);
bool IsVisible(HWND window);

// Waits until the interface thread of `button` has handled every message
// posted to it so far: a marker (the button's pushed look, set and taken
// back) goes through the same queue behind them. False when the marker
// never came through.
bool WaitForPostedMessages(HWND button, Milliseconds timeout = kDefaultWait);

// The visible page of a wizard frame that holds a control with this id.
HWND ActivePageWith(HWND sheet, int controlId);

void Click(HWND button);          // BN_CLICKED to the button's parent, posted
// A mouse click, posted (BM_CLICK): the button acts as for the mouse, so an
// automatic radio button ticks itself, clears the others of its group and
// then tells its parent.
void ClickButton(HWND button);
bool IsTicked(HWND button);       // a check box or radio button
// Types into an edit as a person would: selects the whole text, then posts
// a backspace and one WM_CHAR per character, so the edit replaces its text
// itself and raises EN_CHANGE after every key. An empty `text` clears it.
// Keys that the program takes out of its queue are never typed.
void TypeText(HWND edit, const std::wstring& text);
// An IP address control's value, first octet in the most significant byte
// (MAKEIPADDRESS); the control does not tell its parent.
void SetIpAddress(HWND control, DWORD address);
void PressNext(HWND sheet);       // the wizard's Next (or Finish), posted
bool PressNextWhenEnabled(HWND sheet, Milliseconds timeout = kDefaultWait);  // false: it never was
void PressBack(HWND sheet);
void PressCancel(HWND sheet);
void PressFinish(HWND sheet);
void SelectComboItem(HWND combo, int index);  // and tells the parent, as a person's choice would

// Every title the top-level windows of one interface thread take, recorded
// from inside that thread by our hook library (title_hook.cpp) while this
// object lives; the program writes them to "title-changes.txt" in its
// current folder.
class TitleChanges {
public:
    TitleChanges(DWORD threadId, const std::wstring& hookLibrary);
    ~TitleChanges();
    TitleChanges(const TitleChanges&) = delete;
    TitleChanges& operator=(const TitleChanges&) = delete;

    bool Installed() const { return hook_ != nullptr; }

private:
    HMODULE library_ = nullptr;
    HHOOK hook_ = nullptr;
};

// A list view of another process.
class RemoteList {
public:
    explicit RemoteList(HWND list);
    ~RemoteList();
    RemoteList(const RemoteList&) = delete;
    RemoteList& operator=(const RemoteList&) = delete;

    int Count() const;
    std::wstring Text(int row, int column) const;
    bool IsTicked(int row) const;
    void SetTicked(int row, bool ticked) const;
    std::wstring Heading(int column) const;

private:
    // Copies `record` (an item whose text goes to a buffer) into the list's
    // process with the buffer beside it, lets `ask` send the request with
    // the record's remote address, and reads the text back.
    template <typename Record, typename Ask>
    std::wstring AskForText(Record record, Ask&& ask) const {
        if (!remote_) return L"";
        auto* base = static_cast<char*>(remote_);
        wchar_t* remoteText = reinterpret_cast<wchar_t*>(base + kTextOffset);
        record.pszText = remoteText;
        record.cchTextMax = kTextChars;
        WriteProcessMemory(process_.Get(), base, &record, sizeof record, nullptr);
        ask(reinterpret_cast<LPARAM>(base));
        wchar_t text[kTextChars] = {};
        ReadProcessMemory(process_.Get(), remoteText, text, sizeof text - sizeof(wchar_t), nullptr);
        return text;
    }

    static constexpr std::size_t kTextOffset = 512;  // past any item record
    static constexpr int kTextChars = 1024;

    HWND list_;
    KernelHandle process_;
    void* remote_ = nullptr;  // scratch memory in the list's process
};

// A message box of another process: caption, text, and OK. The box is the
// one that takes input: with a box over a modal dialog (or over the wizard)
// it is the box, never the dialog below it.
struct MessageBoxView {
    HWND window = nullptr;
    HWND owner = nullptr;  // the top-level window it was raised over
    std::wstring caption;
    std::wstring text;
};
std::optional<MessageBoxView> WaitForMessageBox(DWORD processId, Milliseconds timeout = kDefaultWait);
// Presses OK and waits until the box has gone, so that the next wait does not
// find the same box again; false when it stays.
bool AnswerOk(const MessageBoxView& box);

}  // namespace ui_driver
