// "vorlendu.dll": the device-utility library over the simulated fleet.
#include <type_traits>

#include "device/library_table.h"
#include "sim/dll/process_fleet.h"

SIM_EXPORT int VORLEN_CALL DUOpenConnection(std::uint16_t deviceIndex) {
    return ProcessFleet().DUOpenConnection(deviceIndex);
}
SIM_EXPORT int VORLEN_CALL DUReadData(void* buffer, int count, int timeoutMs, std::uint16_t deviceIndex) {
    return ProcessFleet().DUReadData(buffer, count, timeoutMs, deviceIndex);
}
SIM_EXPORT int VORLEN_CALL DUWriteData(const void* bytes, int count, int flags, std::uint16_t deviceIndex) {
    return ProcessFleet().DUWriteData(bytes, count, flags, deviceIndex);
}
SIM_EXPORT int VORLEN_CALL DUCloseConnection(std::uint16_t deviceIndex) {
    return ProcessFleet().DUCloseConnection(deviceIndex);
}
SIM_EXPORT int VORLEN_CALL DUEnumPrinter(std::uint16_t vendorId, std::uint16_t productId, DUDeviceCallback callback) {
    return ProcessFleet().DUEnumPrinter(vendorId, productId, callback);
}
SIM_EXPORT int VORLEN_CALL DUEnumPrinterEx(std::uint16_t vendorId, std::uint16_t productId, const char* modelList,
                                           DUDeviceCallback callback) {
    return ProcessFleet().DUEnumPrinterEx(vendorId, productId, modelList, callback);
}
SIM_EXPORT int VORLEN_CALL DUGetDevicePath(char* pathBuffer, std::uint16_t deviceIndex) {
    return ProcessFleet().DUGetDevicePath(pathBuffer, deviceIndex);
}
SIM_EXPORT int VORLEN_CALL DUGetDeviceID(char* buffer, std::uint16_t deviceIndex) {
    return ProcessFleet().DUGetDeviceID(buffer, deviceIndex);
}

VORLEN_DU_EXPORTS(SIM_CHECK_TYPE)
