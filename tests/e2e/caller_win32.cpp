#include "caller_win32.h"

#include "base/kernel_handle_win32.h"

namespace {

// The caller's window: a registered class and one hidden top-level window of
// it (FindWindow finds hidden windows too).
class CallerWindow {
public:
    CallerWindow(const std::wstring& windowClass, const std::wstring& title) : className_(windowClass) {
        if (className_.empty()) return;
        WNDCLASSW wc = {};
        wc.lpfnWndProc = DefWindowProcW;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = className_.c_str();
        registered_ = RegisterClassW(&wc) != 0;
        window_ = CreateWindowExW(0, className_.c_str(), title.c_str(), WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr,
                                  nullptr, wc.hInstance, nullptr);
    }
    ~CallerWindow() {
        if (window_) DestroyWindow(window_);
        if (registered_) UnregisterClassW(className_.c_str(), GetModuleHandleW(nullptr));
    }
    CallerWindow(const CallerWindow&) = delete;
    CallerWindow& operator=(const CallerWindow&) = delete;

    HWND get() const { return window_; }

private:
    std::wstring className_;
    bool registered_ = false;
    HWND window_ = nullptr;
};

void TakeMessages(HWND window, CallerRun& run) {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (window && msg.hwnd == window && msg.message == kCallerNoticeMessage)
            run.notices.emplace_back(static_cast<int>(msg.wParam), static_cast<int>(msg.lParam));
        else
            DispatchMessageW(&msg);
    }
}

}  // namespace

CallerRun RunWithCallerWindow(const std::wstring& windowClass, const std::wstring& windowTitle,
                              const std::wstring& program, const std::vector<std::wstring>& arguments,
                              DWORD timeoutMs, HANDLE standardOutput, const std::wstring& currentFolder) {
    CallerRun run;
    CallerWindow window(windowClass, windowTitle);

    std::wstring commandLine = QuotedArgument(program);
    for (const std::wstring& argument : arguments) commandLine += L" " + QuotedArgument(argument);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    if (standardOutput) {
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdOutput = standardOutput;
    }
    PROCESS_INFORMATION info = {};
    if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, standardOutput != nullptr, 0, nullptr,
                        currentFolder.empty() ? nullptr : currentFolder.c_str(), &startup, &info))
        return run;
    KernelHandle process(info.hProcess);
    KernelHandle thread(info.hThread);

    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        const ULONGLONG now = GetTickCount64();
        const DWORD wait = now >= deadline ? 0 : static_cast<DWORD>(deadline - now);
        const DWORD result = MsgWaitForMultipleObjects(1, &info.hProcess, FALSE, wait, QS_ALLINPUT);
        TakeMessages(window.get(), run);
        if (result == WAIT_OBJECT_0) {
            run.finished = true;
            break;
        }
        if (result == WAIT_TIMEOUT || result == WAIT_FAILED) {
            TerminateProcess(info.hProcess, 1);
            WaitForSingleObject(info.hProcess, 5000);
            break;
        }
    }
    // What the tool posted before it ended is in the queue by now.
    TakeMessages(window.get(), run);
    GetExitCodeProcess(info.hProcess, &run.exitCode);
    return run;
}
