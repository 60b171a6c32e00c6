// Which spooler port guards a USB printer: the portable half of the USB port
// lock. The platform enumerates the local spooler printers; this part picks
// the printer whose port leads to the device, and names the port's mutex.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "device/library_table.h"

// One local spooler printer, as the spooler lists it.
struct SpoolerPrinter {
    std::wstring driverName;
    std::wstring portName;
};

// The printer family's spooler drivers, compared case-sensitively.
bool IsFamilyDriver(std::wstring_view driverName);

// Port names of USB printers begin with "USB" in any letter case.
bool IsUsbPortName(std::wstring_view portName);

// Whether a port's symbolic name and a device path name the same device.
// The two differ in their first four characters ("\??\" against "\\?\"), so
// the rest is compared, without regard to letter case. A text of fewer than
// four characters never matches.
bool SymbolicNameMatchesDevicePath(std::string_view symbolicName, std::string_view devicePath);

// The port of the first printer, in spooler order, that runs one of the
// family's drivers on a USB port whose symbolic name (asked of the USB
// library) matches devicePath; nothing when no printer does.
std::optional<std::wstring> FindPortToLock(DeviceLibraries& libraries, const std::vector<SpoolerPrinter>& printers,
                                           std::string_view devicePath);

// "Global\Ulmix-Port-<port>": the mutex that other programs of the family use too.
std::wstring PortLockName(std::wstring_view portName);

// The local spooler printers, in spooler order: the platform's spooler, or a
// list of a test's own.
class LocalPrinterList {
public:
    virtual ~LocalPrinterList() = default;
    virtual std::vector<SpoolerPrinter> LocalPrinters() = 0;
};
