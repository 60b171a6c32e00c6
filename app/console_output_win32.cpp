#include "app/console_output_win32.h"

#include "base/text.h"

namespace {

// The standard output as given by whoever started us, when it leads to a
// file, a pipe or a device such as NUL. A windowed program may also find a
// handle value it inherited that means nothing in this process, or a
// console's handle: those do not count.
HANDLE RedirectedOutput() {
    HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
    if (!output || output == INVALID_HANDLE_VALUE) return nullptr;
    switch (GetFileType(output)) {
    case FILE_TYPE_DISK:
    case FILE_TYPE_PIPE:
        return output;
    case FILE_TYPE_CHAR: {
        DWORD mode = 0;
        return GetConsoleMode(output, &mode) ? nullptr : output;
    }
    default:
        return nullptr;
    }
}

// Whether the program now has the console of the program that started it.
// Some platforms attach a windowed program to its parent's console from the
// start; attaching then fails as "already attached".
bool AttachToParentConsole() {
    return AttachConsole(ATTACH_PARENT_PROCESS) || GetLastError() == ERROR_ACCESS_DENIED;
}

}  // namespace

void ConsoleOutput::Open() {
    if (output_ || console_) return;
    output_ = RedirectedOutput();
    if (output_ || !AttachToParentConsole()) return;
    console_.Reset(CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                               OPEN_EXISTING, 0, nullptr));
}

void ConsoleOutput::WriteLine(const std::wstring& line) {
    // A reader that went away only loses the lines: results are not looked at.
    if (console_) {
        const std::wstring text = line + L"\r\n";
        DWORD written = 0;
        WriteConsoleW(console_.Get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    } else if (output_) {
        const std::string bytes = ToUtf8(line) + "\r\n";
        DWORD written = 0;
        WriteFile(output_, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    }
}
