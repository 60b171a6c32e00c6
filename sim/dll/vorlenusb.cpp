// "vorlenusb.dll": the USB library over the simulated fleet.
#include <type_traits>

#include "device/library_table.h"
#include "sim/dll/process_fleet.h"

SIM_EXPORT int VORLEN_CALL DecodeStatusFromDeviceID(const char* deviceId, PrinterStatusBlock* status) {
    return ProcessFleet().DecodeStatusFromDeviceID(deviceId, status);
}
SIM_EXPORT void* VORLEN_CALL USBConnectByPrinterName(const wchar_t* printerName) {
    return ProcessFleet().USBConnectByPrinterName(printerName);
}
SIM_EXPORT int VORLEN_CALL USBWrite(void* connection, const void* bytes, int count) {
    return ProcessFleet().USBWrite(connection, bytes, count);
}
SIM_EXPORT int VORLEN_CALL USBDisconnect(void* connection) { return ProcessFleet().USBDisconnect(connection); }
SIM_EXPORT int VORLEN_CALL USBReadStatus(const wchar_t* printerName, PrinterStatusBlock* status) {
    return ProcessFleet().USBReadStatus(printerName, status);
}
SIM_EXPORT int VORLEN_CALL USBGetSymbolicNameByPortEx(const wchar_t* portName, int reserved1, int reserved2,
                                                      wchar_t* nameBuffer, int nameChars) {
    return ProcessFleet().USBGetSymbolicNameByPortEx(portName, reserved1, reserved2, nameBuffer, nameChars);
}

VORLEN_USB_EXPORTS(SIM_CHECK_TYPE)
