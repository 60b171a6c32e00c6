// "vorlenusb.dll": the USB library over the simulated fleet.
#include <type_traits>

#include "device/library_table.h"
#include "sim/dll/process_fleet.h"

SIM_EXPORT int VORLEN_CALL DecodeStatusFromDeviceID(const char* deviceId, PrinterStatusBlock* status) {
    return OnFleet([&](Fleet& fleet) { return fleet.DecodeStatusFromDeviceID(deviceId, status); });
}
SIM_EXPORT void* VORLEN_CALL USBConnectByPrinterName(const wchar_t* printerName) {
    return OnFleet([&](Fleet& fleet) { return fleet.USBConnectByPrinterName(printerName); });
}
SIM_EXPORT int VORLEN_CALL USBWrite(void* connection, const void* bytes, int count) {
    return OnFleet([&](Fleet& fleet) { return fleet.USBWrite(connection, bytes, count); });
}
SIM_EXPORT int VORLEN_CALL USBDisconnect(void* connection) {
    return OnFleet([&](Fleet& fleet) { return fleet.USBDisconnect(connection); });
}
SIM_EXPORT int VORLEN_CALL USBReadStatus(const wchar_t* printerName, PrinterStatusBlock* status) {
    return OnFleet([&](Fleet& fleet) { return fleet.USBReadStatus(printerName, status); });
}
SIM_EXPORT int VORLEN_CALL USBGetSymbolicNameByPortEx(const wchar_t* portName, int reserved1, int reserved2,
                                                      wchar_t* nameBuffer, int nameChars) {
    return OnFleet([&](Fleet& fleet) {
        return fleet.USBGetSymbolicNameByPortEx(portName, reserved1, reserved2, nameBuffer, nameChars);
    });
}

VORLEN_USB_EXPORTS(SIM_CHECK_TYPE)
