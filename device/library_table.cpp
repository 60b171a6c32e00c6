#include "device/library_table.h"

namespace {

// Failure values of the calls, for entry points that are not bound.
constexpr int kDeviceUtilityFailure = -1;  // device-utility calls succeed with 0
constexpr int kCallFailure = 0;            // the other calls succeed with nonzero
constexpr int kWriteFailure = -1;          // writes report a byte count
constexpr int kNotSameAddress = 1;         // IpAddrV6Cmp: 0 means equal

}  // namespace

// Calls entry point `name` of the table with the given arguments, or yields
// `failure` when it is not bound.
#define CALL_OR(failure, name, ...) (table_.name ? table_.name(__VA_ARGS__) : (failure))

int BoundLibraries::DUOpenConnection(std::uint16_t deviceIndex) {
    return CALL_OR(kDeviceUtilityFailure, DUOpenConnection, deviceIndex);
}
int BoundLibraries::DUReadData(void* buffer, int count, int timeoutMs, std::uint16_t deviceIndex) {
    return CALL_OR(kDeviceUtilityFailure, DUReadData, buffer, count, timeoutMs, deviceIndex);
}
int BoundLibraries::DUWriteData(const void* bytes, int count, int flags, std::uint16_t deviceIndex) {
    return CALL_OR(kDeviceUtilityFailure, DUWriteData, bytes, count, flags, deviceIndex);
}
int BoundLibraries::DUCloseConnection(std::uint16_t deviceIndex) {
    return CALL_OR(kDeviceUtilityFailure, DUCloseConnection, deviceIndex);
}
int BoundLibraries::DUEnumPrinterEx(std::uint16_t vendorId, std::uint16_t productId, const char* modelList,
                                    DUDeviceCallback callback) {
    return CALL_OR(kDeviceUtilityFailure, DUEnumPrinterEx, vendorId, productId, modelList, callback);
}
int BoundLibraries::DUGetDevicePath(char* pathBuffer, std::uint16_t deviceIndex) {
    if (!table_.DUGetDevicePath) {
        pathBuffer[0] = '\0';  // callers read the path whatever the result
        return kDeviceUtilityFailure;
    }
    return table_.DUGetDevicePath(pathBuffer, deviceIndex);
}
int BoundLibraries::DUGetDeviceID(char* buffer, std::uint16_t deviceIndex) {
    return CALL_OR(kCallFailure, DUGetDeviceID, buffer, deviceIndex);
}

int BoundLibraries::DecodeStatusFromDeviceID(const char* deviceId, PrinterStatusBlock* status) {
    return CALL_OR(kCallFailure, DecodeStatusFromDeviceID, deviceId, status);
}
void* BoundLibraries::USBConnectByPrinterName(const wchar_t* printerName) {
    return CALL_OR(nullptr, USBConnectByPrinterName, printerName);
}
int BoundLibraries::USBWrite(void* connection, const void* bytes, int count) {
    return CALL_OR(kWriteFailure, USBWrite, connection, bytes, count);
}
int BoundLibraries::USBDisconnect(void* connection) {
    return CALL_OR(kCallFailure, USBDisconnect, connection);
}
int BoundLibraries::USBReadStatus(const wchar_t* printerName, PrinterStatusBlock* status) {
    return CALL_OR(kCallFailure, USBReadStatus, printerName, status);
}
int BoundLibraries::USBGetSymbolicNameByPortEx(const wchar_t* portName, int reserved1, int reserved2,
                                               wchar_t* nameBuffer, int nameChars) {
    return CALL_OR(kCallFailure, USBGetSymbolicNameByPortEx, portName, reserved1, reserved2, nameBuffer, nameChars);
}

NetHandle BoundLibraries::NetworkConnectNonBlock(const char* address, int port, int timeout) {
    return CALL_OR(kNoNetHandle, NetworkConnectNonBlock, address, port, timeout);
}
int BoundLibraries::NetworkWrite(NetHandle handle, const void* bytes, int count) {
    return CALL_OR(kWriteFailure, NetworkWrite, handle, bytes, count);
}
int BoundLibraries::NetworkClose(NetHandle handle) {
    return CALL_OR(kCallFailure, NetworkClose, handle);
}
int BoundLibraries::NetworkReadStatusV3(const char* address, const char* community, int mode,
                                        PrinterStatusBlock* status) {
    return CALL_OR(kCallFailure, NetworkReadStatusV3, address, community, mode, status);
}
int BoundLibraries::NetworkReadStatusV4(const char* address, const char* community, int mode,
                                        PrinterStatusBlock* status) {
    return CALL_OR(kCallFailure, NetworkReadStatusV4, address, community, mode, status);
}
int BoundLibraries::FindSnmpAgentEx(const char* community, int broadcast, const char* address, int waitMs,
                                    const char* sysOidList, int reserved, SnmpAgentCallbackV4 callback,
                                    void* reserved2) {
    return CALL_OR(kCallFailure, FindSnmpAgentEx, community, broadcast, address, waitMs, sysOidList, reserved,
                   callback, reserved2);
}
int BoundLibraries::FindSnmpAgentExV6(const char* community, int broadcast, const char* address, int waitMs,
                                      const char* sysOidList, int reserved, SnmpAgentCallbackV6 callback,
                                      void* reserved2) {
    return CALL_OR(kCallFailure, FindSnmpAgentExV6, community, broadcast, address, waitMs, sysOidList, reserved,
                   callback, reserved2);
}
int BoundLibraries::IsValidIpAddrV6(const wchar_t* address) {
    return CALL_OR(kCallFailure, IsValidIpAddrV6, address);
}
int BoundLibraries::IpAddrV6Cmp(const wchar_t* first, const wchar_t* second) {
    return CALL_OR(kNotSameAddress, IpAddrV6Cmp, first, second);
}
int BoundLibraries::SNMPGetV4(const char* address, const char* community, int oidCount, const char* const* oids,
                              int waitMs, SnmpValueCallback callback) {
    return CALL_OR(kCallFailure, SNMPGetV4, address, community, oidCount, oids, waitMs, callback);
}
int BoundLibraries::SNMPGetV6(const char* address, const char* community, int oidCount, const char* const* oids,
                              int waitMs, SnmpValueCallback callback) {
    return CALL_OR(kCallFailure, SNMPGetV6, address, community, oidCount, oids, waitMs, callback);
}
int BoundLibraries::GetRAWPortNum(const char* address, const char* community, int* port) {
    return CALL_OR(kCallFailure, GetRAWPortNum, address, community, port);
}

#undef CALL_OR
