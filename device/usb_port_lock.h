// The USB port lock: a named system mutex "Global\Ulmix-Port-%s" (the
// spooler port name of the printer) that exists exactly while one holder
// talks to the printer on that port. Other programs use the same names.
#pragma once

// The mutex handle; nullptr when no lock is held.
using PortLockHandle = void*;

struct PortLockResult {
    bool busy = false;               // another holder has the printer: do not open it
    PortLockHandle lock = nullptr;   // nullptr and not busy: no spooler printer matched, go on without a lock
};

class UsbPortLocks {
public:
    virtual ~UsbPortLocks() = default;
    // devicePath: the 8-bit text DUGetDevicePath gives.
    virtual PortLockResult AcquireUsbPortLock(const char* devicePath) = 0;
    // Releases and closes the mutex, on the thread that took it; nothing for nullptr.
    virtual void ReleaseUsbPortLock(PortLockHandle lock) = 0;
};
