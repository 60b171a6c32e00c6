#include "ui_driver.h"

#include <commctrl.h>
#include <prsht.h>

#include <thread>

namespace ui_driver {

namespace {

constexpr int kMessageBoxTextId = 0xFFFF;  // the static that holds a message box's text
constexpr SIZE_T kScratchBytes = 4096;

struct Search {
    DWORD processId;
    std::function<bool(HWND)> accept;
    HWND found = nullptr;
};

BOOL CALLBACK VisitTopLevel(HWND window, LPARAM data) {
    auto& search = *reinterpret_cast<Search*>(data);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != search.processId || !IsWindowVisible(window) || !search.accept(window)) return TRUE;
    search.found = window;
    return FALSE;
}

HWND FindTopLevelWhere(DWORD processId, std::function<bool(HWND)> accept) {
    Search search{processId, std::move(accept)};
    EnumWindows(VisitTopLevel, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::wstring ClassName(HWND window) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return name;
}

bool IsDialogWindow(HWND window) { return ClassName(window) == L"#32770"; }

// A message box is a dialog whose text sits in a static of its own id. Only
// an enabled one counts: a dialog of the program may hold a label of that id
// too, and while a box shows over it that dialog is disabled.
bool IsMessageBox(HWND window) {
    if (!IsDialogWindow(window) || !IsWindowEnabled(window)) return false;
    HWND text = GetDlgItem(window, kMessageBoxTextId);
    return text && lstrcmpiW(ClassName(text).c_str(), L"Static") == 0;
}

}  // namespace

bool WaitUntil(const std::function<bool()>& condition, Milliseconds timeout) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        if (condition()) return true;
        if (std::chrono::steady_clock::now() >= end) return false;
        std::this_thread::sleep_for(Milliseconds(20));
    }
}

HWND FindTopLevel(DWORD processId, const std::wstring& title) {
    return FindTopLevelWhere(processId, [&](HWND window) { return WindowText(window) == title; });
}

HWND FindDialog(DWORD processId, HWND except) {
    return FindTopLevelWhere(processId,
                             [&](HWND window) { return window != except && ClassName(window) == L"#32770"; });
}

HWND FindDialogWith(DWORD processId, std::initializer_list<int> controlIds) {
    return FindTopLevelWhere(processId, [&](HWND window) {
        if (!IsDialogWindow(window) || IsMessageBox(window)) return false;
        for (int id : controlIds)
            if (!GetDlgItem(window, id)) return false;
        return true;
    });
}

HWND WaitForDialogWith(DWORD processId, std::initializer_list<int> controlIds, Milliseconds timeout) {
    HWND dialog = nullptr;
    WaitUntil([&] { return (dialog = FindDialogWith(processId, controlIds)) != nullptr; }, timeout);
    return dialog;
}

std::wstring WindowText(HWND window) {
    const int length = static_cast<int>(SendMessageW(window, WM_GETTEXTLENGTH, 0, 0));
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    SendMessageW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
    text.resize(wcslen(text.c_str()));
    return text;
}

HWND Control(HWND dialog, int id) { return GetDlgItem(dialog, id); }
bool IsEnabled(HWND window) { return window && IsWindowEnabled(window); }
bool IsVisible(HWND window) { return window && IsWindowVisible(window); }

HWND ActivePageWith(HWND sheet, int controlId) {
    for (HWND child = GetWindow(sheet, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        if (IsWindowVisible(child) && GetDlgItem(child, controlId)) return child;
    return nullptr;
}

void Click(HWND button) {
    PostMessageW(GetParent(button), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(button), BN_CLICKED),
                 reinterpret_cast<LPARAM>(button));
}

void ClickButton(HWND button) { PostMessageW(button, BM_CLICK, 0, 0); }

bool IsTicked(HWND button) { return SendMessageW(button, BM_GETCHECK, 0, 0) == BST_CHECKED; }

void TypeText(HWND edit, const std::wstring& text) {
    constexpr LPARAM kOneKeyStroke = 1;  // repeat count 1
    PostMessageW(edit, EM_SETSEL, 0, -1);
    PostMessageW(edit, WM_CHAR, VK_BACK, kOneKeyStroke);
    for (wchar_t character : text) PostMessageW(edit, WM_CHAR, character, kOneKeyStroke);
}

void SetIpAddress(HWND control, DWORD address) { SendMessageW(control, IPM_SETADDRESS, 0, address); }

void PressNext(HWND sheet) { PostMessageW(sheet, WM_COMMAND, MAKEWPARAM(kWizardNext, BN_CLICKED), 0); }
bool PressNextWhenEnabled(HWND sheet, Milliseconds timeout) {
    if (!WaitUntil([&] { return IsEnabled(Control(sheet, kWizardNext)); }, timeout)) return false;
    PressNext(sheet);
    return true;
}
void PressBack(HWND sheet) { PostMessageW(sheet, WM_COMMAND, MAKEWPARAM(kWizardBack, BN_CLICKED), 0); }
bool WaitForPostedMessages(HWND button, Milliseconds timeout) {
    const auto pushed = [button] { return (SendMessageW(button, BM_GETSTATE, 0, 0) & BST_PUSHED) != 0; };
    if (pushed() || !PostMessageW(button, BM_SETSTATE, TRUE, 0)) return false;
    const bool through = WaitUntil(pushed, timeout);
    PostMessageW(button, BM_SETSTATE, FALSE, 0);
    return through && WaitUntil([&] { return !pushed(); }, timeout);
}

void PressCancel(HWND sheet) { PostMessageW(sheet, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0); }
void PressFinish(HWND sheet) { PostMessageW(sheet, PSM_PRESSBUTTON, PSBTN_FINISH, 0); }

void SelectComboItem(HWND combo, int index) {
    SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    PostMessageW(GetParent(combo), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(combo), CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(combo));
}

TitleChanges::TitleChanges(DWORD threadId, const std::wstring& hookLibrary)
    : library_(LoadLibraryW(hookLibrary.c_str())) {
    const auto record = library_ ? reinterpret_cast<HOOKPROC>(
                                       reinterpret_cast<void*>(GetProcAddress(library_, "RecordTitleChange")))
                                 : nullptr;
    if (record) hook_ = SetWindowsHookExW(WH_CALLWNDPROCRET, record, library_, threadId);
}

TitleChanges::~TitleChanges() {
    if (hook_) UnhookWindowsHookEx(hook_);
    if (library_) FreeLibrary(library_);
}

RemoteList::RemoteList(HWND list) : list_(list) {
    DWORD processId = 0;
    GetWindowThreadProcessId(list, &processId);
    process_.Reset(OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, processId));
    if (process_) remote_ = VirtualAllocEx(process_.Get(), nullptr, kScratchBytes, MEM_COMMIT, PAGE_READWRITE);
}

RemoteList::~RemoteList() {
    if (remote_) VirtualFreeEx(process_.Get(), remote_, 0, MEM_RELEASE);
}

int RemoteList::Count() const { return static_cast<int>(SendMessageW(list_, LVM_GETITEMCOUNT, 0, 0)); }

std::wstring RemoteList::Text(int row, int column) const {
    LVITEMW item = {};
    item.iSubItem = column;
    return AskForText(item, [&](LPARAM remoteItem) {
        SendMessageW(list_, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), remoteItem);
    });
}

bool RemoteList::IsTicked(int row) const {
    const auto state = SendMessageW(list_, LVM_GETITEMSTATE, static_cast<WPARAM>(row), LVIS_STATEIMAGEMASK);
    return ((state & 0xF000) >> 12) == 2;
}

void RemoteList::SetTicked(int row, bool ticked) const {
    if (!remote_) return;
    LVITEMW item = {};
    item.stateMask = LVIS_STATEIMAGEMASK;
    item.state = INDEXTOSTATEIMAGEMASK(ticked ? 2 : 1);
    WriteProcessMemory(process_.Get(), remote_, &item, sizeof item, nullptr);
    SendMessageW(list_, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(remote_));
}

std::wstring RemoteList::Heading(int column) const {
    HWND header = reinterpret_cast<HWND>(SendMessageW(list_, LVM_GETHEADER, 0, 0));
    HDITEMW item = {};
    item.mask = HDI_TEXT;
    return AskForText(item, [&](LPARAM remoteItem) {
        SendMessageW(header, HDM_GETITEMW, static_cast<WPARAM>(column), remoteItem);
    });
}

std::optional<MessageBoxView> WaitForMessageBox(DWORD processId, Milliseconds timeout) {
    MessageBoxView box;
    const bool found = WaitUntil(
        [&] {
            box.window = FindTopLevelWhere(processId, IsMessageBox);
            return box.window != nullptr;
        },
        timeout);
    if (!found) return std::nullopt;
    box.owner = GetWindow(box.window, GW_OWNER);
    box.caption = WindowText(box.window);
    box.text = WindowText(GetDlgItem(box.window, kMessageBoxTextId));
    return box;
}

bool AnswerOk(const MessageBoxView& box) {
    PostMessageW(box.window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    return WaitUntil([&] { return !IsWindow(box.window) || !IsWindowVisible(box.window); });
}

}  // namespace ui_driver
