// Where the lines of a command-line run go on Windows: the standard output
// when it is redirected to a file or a pipe, else the console of the program
// that started us (a command prompt or PowerShell window), else nowhere. The
// program keeps no log of its own. Windows only.
#pragma once

#include <windows.h>

#include "app/console_report.h"
#include "base/kernel_handle_win32.h"

class ConsoleOutput final : public ConsoleLines {
public:
    ConsoleOutput() = default;

    // Looks for where the lines go; until then, and when there is no such
    // place, lines are dropped.
    void Open();
    void WriteLine(const std::wstring& line) override;

private:
    HANDLE output_ = nullptr;  // a file, a pipe or a character device: UTF-8 bytes
    KernelHandle console_;  // the attached console's screen: wide text
};
