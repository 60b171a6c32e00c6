// "vorlendu.dll": the device-utility library over the simulated fleet.
#include <type_traits>

#include "device/library_table.h"
#include "sim/dll/process_fleet.h"

SIM_EXPORT int VORLEN_CALL DUOpenConnection(std::uint16_t deviceIndex) {
    return OnFleet([&](Fleet& fleet) { return fleet.DUOpenConnection(deviceIndex); });
}
SIM_EXPORT int VORLEN_CALL DUReadData(void* buffer, int count, int timeoutMs, std::uint16_t deviceIndex) {
    return OnFleet([&](Fleet& fleet) { return fleet.DUReadData(buffer, count, timeoutMs, deviceIndex); });
}
SIM_EXPORT int VORLEN_CALL DUWriteData(const void* bytes, int count, int flags, std::uint16_t deviceIndex) {
    return OnFleet([&](Fleet& fleet) { return fleet.DUWriteData(bytes, count, flags, deviceIndex); });
}
SIM_EXPORT int VORLEN_CALL DUCloseConnection(std::uint16_t deviceIndex) {
    return OnFleet([&](Fleet& fleet) { return fleet.DUCloseConnection(deviceIndex); });
}
SIM_EXPORT int VORLEN_CALL DUEnumPrinter(std::uint16_t vendorId, std::uint16_t productId, DUDeviceCallback callback) {
    return OnFleet([&](Fleet& fleet) { return fleet.DUEnumPrinter(vendorId, productId, callback); });
}
SIM_EXPORT int VORLEN_CALL DUEnumPrinterEx(std::uint16_t vendorId, std::uint16_t productId, const char* modelList,
                                           DUDeviceCallback callback) {
    return OnFleet([&](Fleet& fleet) { return fleet.DUEnumPrinterEx(vendorId, productId, modelList, callback); });
}
SIM_EXPORT int VORLEN_CALL DUGetDevicePath(char* pathBuffer, std::uint16_t deviceIndex) {
    return OnFleet([&](Fleet& fleet) { return fleet.DUGetDevicePath(pathBuffer, deviceIndex); });
}
SIM_EXPORT int VORLEN_CALL DUGetDeviceID(char* buffer, std::uint16_t deviceIndex) {
    return OnFleet([&](Fleet& fleet) { return fleet.DUGetDeviceID(buffer, deviceIndex); });
}

VORLEN_DU_EXPORTS(SIM_CHECK_TYPE)
