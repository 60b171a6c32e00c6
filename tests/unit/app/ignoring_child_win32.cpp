// A batch child that ignores its stop request, for the tests of the batch's
// grace time: it runs until it is ended, or until the event named by its
// target (the third argument) is set, and then exits with 42. Two minutes
// at most, so that a failed test leaves none behind. Windows only.
#include <windows.h>

int wmain(int argc, wchar_t** argv) {
    if (argc < 4) return 2;
    HANDLE release = CreateEventW(nullptr, TRUE, FALSE, argv[3]);
    if (!release) return 3;
    WaitForSingleObject(release, 120000);
    return 42;
}
