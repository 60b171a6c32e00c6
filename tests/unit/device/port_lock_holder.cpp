// Helper process of the port lock tests: takes the port lock of a device the
// way the program does, signals that it holds it, and releases it when told.
//
//   port_lock_holder.exe <device path> <name of the "held" event> <name of the "release" event>
//
// Exits with one of the codes in spooler_test_printers.h.
#include <windows.h>

#include <string>

#include "base/text.h"
#include "device/usb_port_lock_win32.h"
#include "spooler_test_printers.h"

int main(int argc, char** argv) {
    if (argc != 4) return kHolderBadArguments;
    TestSymbolicNames usb;
    SpoolerPortLocks locks(usb);

    const PortLockResult result = locks.AcquireUsbPortLock(argv[1]);
    if (result.busy) return kHolderSawBusy;
    if (!result.lock) return kHolderFoundNoPort;

    const KernelHandle held(OpenEventW(EVENT_MODIFY_STATE, FALSE, FromEightBit(argv[2]).c_str()));
    const KernelHandle release(OpenEventW(SYNCHRONIZE, FALSE, FromEightBit(argv[3]).c_str()));
    int exitCode = kHolderNotToldToRelease;
    if (held && release) {
        SetEvent(held.Get());
        constexpr DWORD kLongestHoldMs = 30000;  // never outlive a failed test for long
        if (WaitForSingleObject(release.Get(), kLongestHoldMs) == WAIT_OBJECT_0) exitCode = kHolderReleased;
    }
    locks.ReleaseUsbPortLock(result.lock);
    return exitCode;
}
