// What a batch reads of a printer outside its update, the way the printer
// lists read it: the firmware text (over USB the identity query, over the
// network the firmware OID) and whether the printer is still updating
// (USBReadStatus by spooler name, or the network status read). Portable:
// the libraries and the USB port locks are seams.
#pragma once

#include <optional>
#include <string>

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
    Reading ReadState(const BatchPrinter& printer) override;
    // The status record as an update reads it first (USBReadStatus by the
    // spooler name, or the network status read); nothing when unread.
    std::optional<PrinterStatusBlock> ReadStatus(const BatchPrinter& printer);
    // The variant code that picks the printer's per-variant files, read as
    // the printer lists read it (USB: the identity query of that same one
    // attached printer; network: the variant code value). Empty when none
    // was read.
    std::string VariantCode(const BatchPrinter& printer);

private:
    struct Identity {
        std::string firmware;
        std::string variant;
    };
    // The identity of the one attached printer of the package's models, when
    // the target names an attached printer.
    std::optional<Identity> UsbIdentityOfTheAttachedPrinter(const BatchPrinter& printer);

    const PackageSettings& settings_;
    DeviceLibraries& libraries_;
    UsbPortLocks& locks_;
};

// The state a status record tells: an update fault when its detail codes
// are one (the wizard's rule, whatever the state code), else updating for
// the updating state code, ready for any other.
PrinterProbe::Reading StateOfStatus(const PrinterStatusBlock& status);
