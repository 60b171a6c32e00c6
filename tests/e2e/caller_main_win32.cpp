// fwdl_caller: stands in for a program that starts a silent update.
//   fwdl_caller <window class> <window title> <program> [arguments...]
// creates a window of that class and title, starts the program with the
// arguments, and prints every notice it posts ("notice <code> <value>"), then
// "exit <code>" when the program has ended. An empty class creates no window.
// Exits 1 when the program did not end, or ended with a crash.
#include <cstdio>

#include "caller_win32.h"

int wmain(int argc, wchar_t** argv) {
    if (argc < 4) {
        std::fputs("usage: fwdl_caller <window class> <window title> <program> [arguments...]\n", stderr);
        return 2;
    }
    std::vector<std::wstring> arguments(argv + 4, argv + argc);
    constexpr DWORD kTimeLimitMs = 10 * 60 * 1000;
    const CallerRun run = RunWithCallerWindow(argv[1], argv[2], argv[3], arguments, kTimeLimitMs);
    for (const auto& [code, value] : run.notices) std::printf("notice %d %d\n", code, value);
    if (!run.finished) {
        std::puts("timed out");
        return 1;
    }
    std::printf("exit %lu\n", static_cast<unsigned long>(run.exitCode));
    if (!run.EndedNormally()) {
        std::printf("the program crashed (exit code 0x%08lX)\n", static_cast<unsigned long>(run.exitCode));
        return 1;
    }
    return 0;
}
