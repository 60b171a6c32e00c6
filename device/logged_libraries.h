// Every library call of a run, written to its support log: the call with
// its arguments, its result, the status codes read, and the bytes of short
// writes (end-of-file markers, sub-commands) in hexadecimal. It wraps the
// one DeviceLibraries the program calls through. The SNMP community is a
// password on many networks: it is written as "***", never in clear.
#pragma once

#include "base/run_log.h"
#include "device/library_table.h"

class LoggedLibraries final : public DeviceLibraries {
public:
    LoggedLibraries(DeviceLibraries& inner, RunLog& log) : inner_(inner), log_(log) {}

    int DUOpenConnection(std::uint16_t deviceIndex) override;
    int DUReadData(void* buffer, int count, int timeoutMs, std::uint16_t deviceIndex) override;
    int DUWriteData(const void* bytes, int count, int flags, std::uint16_t deviceIndex) override;
    int DUCloseConnection(std::uint16_t deviceIndex) override;
    int DUEnumPrinterEx(std::uint16_t vendorId, std::uint16_t productId, const char* modelList,
                        DUDeviceCallback callback) override;
    int DUGetDevicePath(char* pathBuffer, std::uint16_t deviceIndex) override;
    int DUGetDeviceID(char* buffer, std::uint16_t deviceIndex) override;

    int DecodeStatusFromDeviceID(const char* deviceId, PrinterStatusBlock* status) override;
    void* USBConnectByPrinterName(const wchar_t* printerName) override;
    int USBWrite(void* connection, const void* bytes, int count) override;
    int USBDisconnect(void* connection) override;
    int USBReadStatus(const wchar_t* printerName, PrinterStatusBlock* status) override;
    int USBGetSymbolicNameByPortEx(const wchar_t* portName, int reserved1, int reserved2, wchar_t* nameBuffer,
                                   int nameChars) override;

    bool HasNetworkLibrary() const override { return inner_.HasNetworkLibrary(); }
    bool HasRawPortQuery() const override { return inner_.HasRawPortQuery(); }
    NetHandle NetworkConnectNonBlock(const char* address, int port, int timeout) override;
    int NetworkWrite(NetHandle handle, const void* bytes, int count) override;
    int NetworkClose(NetHandle handle) override;
    int NetworkReadStatusV3(const char* address, const char* community, int mode,
                            PrinterStatusBlock* status) override;
    int NetworkReadStatusV4(const char* address, const char* community, int mode,
                            PrinterStatusBlock* status) override;
    int FindSnmpAgentEx(const char* community, int broadcast, const char* address, int waitMs,
                        const char* sysOidList, int reserved, SnmpAgentCallbackV4 callback,
                        void* reserved2) override;
    int FindSnmpAgentExV6(const char* community, int broadcast, const char* address, int waitMs,
                          const char* sysOidList, int reserved, SnmpAgentCallbackV6 callback,
                          void* reserved2) override;
    int IsValidIpAddrV6(const wchar_t* address) override;
    int IpAddrV6Cmp(const wchar_t* first, const wchar_t* second) override;
    int SNMPGetV4(const char* address, const char* community, int oidCount, const char* const* oids, int waitMs,
                  SnmpValueCallback callback) override;
    int SNMPGetV6(const char* address, const char* community, int oidCount, const char* const* oids, int waitMs,
                  SnmpValueCallback callback) override;
    int GetRAWPortNum(const char* address, const char* community, int* port) override;

private:
    DeviceLibraries& inner_;
    RunLog& log_;
};
