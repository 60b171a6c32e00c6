// A hook library the wizard tests load into the program's interface thread
// (WH_CALLWNDPROCRET): after every WM_SETTEXT to a top-level window it
// appends the window and the title it then shows to "title-changes.txt" in
// the program's current folder, one "<window> <title>" line in UTF-8. So a
// test sees every title the frame ever had, however briefly. Windows only.
#include <windows.h>

#include <cstdio>
#include <string>

extern "C" LRESULT CALLBACK RecordTitleChange(int code, WPARAM wParam, LPARAM lParam) {
    const auto* call = reinterpret_cast<const CWPRETSTRUCT*>(lParam);
    if (code == HC_ACTION && call && call->message == WM_SETTEXT && GetParent(call->hwnd) == nullptr) {
        wchar_t title[512] = {};
        GetWindowTextW(call->hwnd, title, 512);
        char utf8[2048] = {};
        WideCharToMultiByte(CP_UTF8, 0, title, -1, utf8, sizeof utf8, nullptr, nullptr);
        if (FILE* out = _wfopen(L"title-changes.txt", L"ab")) {
            std::fprintf(out, "%llx %s\n", static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(call->hwnd)),
                         utf8);
            std::fclose(out);
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}
