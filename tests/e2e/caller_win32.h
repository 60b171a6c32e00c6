// A calling program's side of a silent update: a top-level window of a given
// class and title that collects the tool's notices (message WM_USER + 1),
// and the tool started with given arguments. Windows only.
#pragma once

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

inline constexpr UINT kCallerNoticeMessage = WM_USER + 1;

struct CallerRun {
    std::vector<std::pair<int, int>> notices;  // (code, value) in arrival order
    DWORD exitCode = 0;
    bool finished = false;  // false: the tool was still running at the time limit and was ended

    // Every way out of the tool returns 0: any other exit code is a crash
    // (an unhandled exception, abort, a failed runtime check).
    bool EndedNormally() const { return finished && exitCode == 0; }
};

// Creates the window (none when windowClass is empty), starts `program` with
// `arguments` (argument 0 is added), pumps messages until the program ends,
// then collects what is left in the queue.
CallerRun RunWithCallerWindow(const std::wstring& windowClass, const std::wstring& windowTitle,
                              const std::wstring& program, const std::vector<std::wstring>& arguments,
                              DWORD timeoutMs);

// One argument as CommandLineToArgvW splits it back.
std::wstring QuoteArgument(const std::wstring& argument);
