// The USB port lock over the Windows spooler and named mutexes.
#pragma once

#include <vector>

#include "device/library_table.h"
#include "device/usb_port_lock.h"
#include "device/usb_port_match.h"

// The local printers of the Windows spooler (EnumPrintersW, level 2).
class WindowsSpooler final : public LocalPrinterList {
public:
    std::vector<SpoolerPrinter> LocalPrinters() override;
};

// Finds the spooler port that leads to a device and holds its mutex
// "Global\Ulmix-Port-<port>", created with initial ownership: a mutex that
// already exists means another holder has the printer.
class SpoolerPortLocks final : public UsbPortLocks {
public:
    // Over the Windows spooler.
    explicit SpoolerPortLocks(DeviceLibraries& libraries) : libraries_(libraries), printers_(spooler_) {}
    // Over another list of printers.
    SpoolerPortLocks(DeviceLibraries& libraries, LocalPrinterList& printers)
        : libraries_(libraries), printers_(printers) {}

    PortLockResult AcquireUsbPortLock(const char* devicePath) override;
    void ReleaseUsbPortLock(PortLockHandle lock) override;

private:
    DeviceLibraries& libraries_;
    WindowsSpooler spooler_;
    LocalPrinterList& printers_;
};
