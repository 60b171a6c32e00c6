// A calling program's side of a silent update: a top-level window of a given
// class and title that collects the tool's notices (message WM_USER + 1),
// and the tool started with given arguments. Windows only.
#pragma once

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

#include "base/text.h"  // QuotedArgument, for the tests' own command lines

inline constexpr UINT kCallerNoticeMessage = WM_USER + 1;

struct CallerRun {
    std::vector<std::pair<int, int>> notices;  // (code, value) in arrival order
    DWORD exitCode = 0;
    bool finished = false;  // false: the tool was still running at the time limit and was ended

    // The tool's own exit codes (README's table); anything else, such as an
    // exception code or 1067 for a run that broke off, is a crash.
    bool EndedNormally() const {
        constexpr DWORD kOwnCodes[] = {0, 1, 2, 3, 4, 6, 29, 87, 255, 1618};
        for (DWORD code : kOwnCodes)
            if (finished && exitCode == code) return true;
        return false;
    }
};

// Creates the window (none when windowClass is empty), starts `program` with
// `arguments` (argument 0 is added), pumps messages until the program ends,
// then collects what is left in the queue. `standardOutput`, an inheritable
// file or pipe handle, becomes the program's standard output, as a shell's
// redirection gives it; without one the program gets none. The program
// starts in `currentFolder`, or in ours when it is empty.
CallerRun RunWithCallerWindow(const std::wstring& windowClass, const std::wstring& windowTitle,
                              const std::wstring& program, const std::vector<std::wstring>& arguments,
                              DWORD timeoutMs, HANDLE standardOutput = nullptr,
                              const std::wstring& currentFolder = L"");
