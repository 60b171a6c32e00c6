// "vorlennet.dll": the network library over the simulated fleet. It opens no
// socket: every address is looked up among the scenario's printers.
#include <type_traits>

#include "device/library_table.h"
#include "sim/dll/process_fleet.h"

SIM_EXPORT NetHandle VORLEN_CALL NetworkConnect(const char* address, int port) {
    return OnFleet([&](Fleet& fleet) { return fleet.NetworkConnect(address, port); });
}
SIM_EXPORT NetHandle VORLEN_CALL NetworkConnectNonBlock(const char* address, int port, int timeout) {
    return OnFleet([&](Fleet& fleet) { return fleet.NetworkConnectNonBlock(address, port, timeout); });
}
SIM_EXPORT int VORLEN_CALL NetworkRead(NetHandle handle, void* buffer, int count) {
    return OnFleet([&](Fleet& fleet) { return fleet.NetworkRead(handle, buffer, count); });
}
SIM_EXPORT int VORLEN_CALL NetworkWrite(NetHandle handle, const void* bytes, int count) {
    return OnFleet([&](Fleet& fleet) { return fleet.NetworkWrite(handle, bytes, count); });
}
SIM_EXPORT int VORLEN_CALL NetworkClose(NetHandle handle) {
    return OnFleet([&](Fleet& fleet) { return fleet.NetworkClose(handle); });
}
SIM_EXPORT int VORLEN_CALL NetworkReadStatusV3(const char* address, const char* community, int mode,
                                               PrinterStatusBlock* status) {
    return OnFleet([&](Fleet& fleet) { return fleet.NetworkReadStatusV3(address, community, mode, status); });
}
SIM_EXPORT int VORLEN_CALL NetworkReadStatusV4(const char* address, const char* community, int mode,
                                               PrinterStatusBlock* status) {
    return OnFleet([&](Fleet& fleet) { return fleet.NetworkReadStatusV4(address, community, mode, status); });
}
SIM_EXPORT int VORLEN_CALL FindSnmpAgentEx(const char* community, int broadcast, const char* address, int waitMs,
                                           const char* sysOidList, int reserved, SnmpAgentCallbackV4 callback,
                                           void* reserved2) {
    return OnFleet([&](Fleet& fleet) {
        return fleet.FindSnmpAgentEx(community, broadcast, address, waitMs, sysOidList, reserved, callback, reserved2);
    });
}
SIM_EXPORT int VORLEN_CALL FindSnmpAgentExV6(const char* community, int broadcast, const char* address, int waitMs,
                                             const char* sysOidList, int reserved, SnmpAgentCallbackV6 callback,
                                             void* reserved2) {
    return OnFleet([&](Fleet& fleet) {
        return fleet.FindSnmpAgentExV6(community, broadcast, address, waitMs, sysOidList, reserved, callback,
                                       reserved2);
    });
}
SIM_EXPORT int VORLEN_CALL IsValidIpAddrV6(const wchar_t* address) {
    return OnFleet([&](Fleet& fleet) { return fleet.IsValidIpAddrV6(address); });
}
SIM_EXPORT int VORLEN_CALL IpAddrV6Cmp(const wchar_t* first, const wchar_t* second) {
    return OnFleet([&](Fleet& fleet) { return fleet.IpAddrV6Cmp(first, second); });
}
SIM_EXPORT int VORLEN_CALL SNMPGetV4(const char* address, const char* community, int oidCount,
                                     const char* const* oids, int waitMs, SnmpValueCallback callback) {
    return OnFleet([&](Fleet& fleet) { return fleet.SNMPGetV4(address, community, oidCount, oids, waitMs, callback); });
}
SIM_EXPORT int VORLEN_CALL SNMPGetV6(const char* address, const char* community, int oidCount,
                                     const char* const* oids, int waitMs, SnmpValueCallback callback) {
    return OnFleet([&](Fleet& fleet) { return fleet.SNMPGetV6(address, community, oidCount, oids, waitMs, callback); });
}
SIM_EXPORT int VORLEN_CALL GetRAWPortNum(const char* address, const char* community, int* port) {
    return OnFleet([&](Fleet& fleet) { return fleet.GetRAWPortNum(address, community, port); });
}

VORLEN_NET_EXPORTS(SIM_CHECK_TYPE)
