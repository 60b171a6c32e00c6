#include <windows.h>

#include <csignal>
#include <cstdlib>
#include <exception>

#include "app/application.h"
#include "app/update_outcome.h"
#include "device/library_binding.h"

namespace {

// abort() ends a process with 3, which scripts read as "a library is
// missing"; a run that breaks off must never look like one of our outcomes.
[[noreturn]] void EndBrokenRun() { std::_Exit(kExitEndedWithoutOutcome); }
extern "C" void OnAbortSignal(int) { EndBrokenRun(); }

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    // Before anything loads a library by name: never from the current
    // folder or the PATH.
    RestrictLibrarySearch();
    std::set_terminate(EndBrokenRun);
    std::signal(SIGABRT, OnAbortSignal);
    return TheApp().InitInstance();
}
