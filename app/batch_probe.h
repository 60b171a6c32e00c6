// What a batch reads of a printer outside its update, the way the printer
// lists read it: the firmware text (over USB the identity query, over the
// network the firmware OID) and whether the printer is still updating
// (USBReadStatus by spooler name, or the network status read). Portable:
// the libraries and the USB port locks are seams.
#pragma once

#include "app/batch_run.h"
#include "package/package_settings.h"
#include "device/library_table.h"
#include "device/usb_port_lock.h"

class LibraryPrinterProbe final : public PrinterProbe {
public:
    LibraryPrinterProbe(const PackageSettings& settings, DeviceLibraries& libraries, UsbPortLocks& locks)
        : settings_(settings), libraries_(libraries), locks_(locks) {}

    // Over USB the firmware text is that of the one printer of the package's
    // models that is attached: the spooler name does not lead to a device
    // index, and the USB road serves one attached printer. Nothing when none
    // or several are attached, or when the target's name leads to no
    // attached printer (its status cannot be read by that name).
    std::optional<std::wstring> FirmwareText(const BatchPrinter& printer) override;
    State ReadState(const BatchPrinter& printer) override;

private:
    const PackageSettings& settings_;
    DeviceLibraries& libraries_;
    UsbPortLocks& locks_;
};

// The state a status record tells: updating for the updating state code,
// ready for any other.
PrinterProbe::State StateOfStatus(const PrinterStatusBlock& status);
