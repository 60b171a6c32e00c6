// The binding table of the three communication libraries, and the one place
// through which every call reaches them.
//
// Start-up fills a LibraryTable by export name (device/library_binding.h,
// Windows only). The rest of the program calls through DeviceLibraries:
// BoundLibraries forwards to the table and turns an entry point that is not
// bound into a failure of that call, so no caller ever calls a null pointer.
// Tests implement DeviceLibraries with fakes.
#pragma once

#include "device/vorlen_api.h"
#include "package/package_libraries.h"

// Export names in lookup order, per library.
#define VORLEN_DU_EXPORTS(X) \
    X(DUOpenConnection)      \
    X(DUReadData)            \
    X(DUWriteData)           \
    X(DUCloseConnection)     \
    X(DUEnumPrinter)         \
    X(DUEnumPrinterEx)       \
    X(DUGetDevicePath)       \
    X(DUGetDeviceID)

#define VORLEN_USB_EXPORTS(X)      \
    X(DecodeStatusFromDeviceID)    \
    X(USBConnectByPrinterName)     \
    X(USBWrite)                    \
    X(USBDisconnect)               \
    X(USBReadStatus)               \
    X(USBGetSymbolicNameByPortEx)

#define VORLEN_NET_EXPORTS(X)  \
    X(NetworkConnect)          \
    X(NetworkConnectNonBlock)  \
    X(NetworkRead)             \
    X(NetworkWrite)            \
    X(NetworkClose)            \
    X(NetworkReadStatusV3)     \
    X(NetworkReadStatusV4)     \
    X(FindSnmpAgentEx)         \
    X(FindSnmpAgentExV6)       \
    X(IsValidIpAddrV6)         \
    X(IpAddrV6Cmp)             \
    X(SNMPGetV4)               \
    X(SNMPGetV6)               \
    X(GetRAWPortNum)

// One entry point per export; nullptr while not bound.
struct LibraryTable {
#define VORLEN_TABLE_ENTRY(name) PFN_##name name = nullptr;
    VORLEN_DU_EXPORTS(VORLEN_TABLE_ENTRY)
    VORLEN_USB_EXPORTS(VORLEN_TABLE_ENTRY)
    VORLEN_NET_EXPORTS(VORLEN_TABLE_ENTRY)
#undef VORLEN_TABLE_ENTRY

    bool HasNetworkLibrary() const { return NetworkConnectNonBlock != nullptr; }
};

// The calls the tool makes, named after the exports. Each method returns the
// library's result, or the failure value of that call when it is not bound.
class DeviceLibraries {
public:
    virtual ~DeviceLibraries() = default;

    // Device utility: 0 is success.
    virtual int DUOpenConnection(std::uint16_t deviceIndex) = 0;
    virtual int DUReadData(void* buffer, int count, int timeoutMs, std::uint16_t deviceIndex) = 0;
    virtual int DUWriteData(const void* bytes, int count, int flags, std::uint16_t deviceIndex) = 0;
    virtual int DUCloseConnection(std::uint16_t deviceIndex) = 0;
    virtual int DUEnumPrinterEx(std::uint16_t vendorId, std::uint16_t productId, const char* modelList,
                                DUDeviceCallback callback) = 0;
    virtual int DUGetDevicePath(char* pathBuffer, std::uint16_t deviceIndex) = 0;
    virtual int DUGetDeviceID(char* buffer, std::uint16_t deviceIndex) = 0;

    // USB: nonzero or a handle is success.
    virtual int DecodeStatusFromDeviceID(const char* deviceId, PrinterStatusBlock* status) = 0;
    virtual void* USBConnectByPrinterName(const wchar_t* printerName) = 0;
    virtual int USBWrite(void* connection, const void* bytes, int count) = 0;
    virtual int USBDisconnect(void* connection) = 0;
    virtual int USBReadStatus(const wchar_t* printerName, PrinterStatusBlock* status) = 0;
    virtual int USBGetSymbolicNameByPortEx(const wchar_t* portName, int reserved1, int reserved2, wchar_t* nameBuffer,
                                           int nameChars) = 0;

    // Network: nonzero or a handle is success.
    virtual bool HasNetworkLibrary() const = 0;
    virtual bool HasRawPortQuery() const = 0;
    virtual NetHandle NetworkConnectNonBlock(const char* address, int port, int timeout) = 0;
    virtual int NetworkWrite(NetHandle handle, const void* bytes, int count) = 0;
    virtual int NetworkClose(NetHandle handle) = 0;
    virtual int NetworkReadStatusV3(const char* address, const char* community, int mode,
                                    PrinterStatusBlock* status) = 0;
    virtual int NetworkReadStatusV4(const char* address, const char* community, int mode,
                                    PrinterStatusBlock* status) = 0;
    virtual int FindSnmpAgentEx(const char* community, int broadcast, const char* address, int waitMs,
                                const char* sysOidList, int reserved, SnmpAgentCallbackV4 callback,
                                void* reserved2) = 0;
    virtual int FindSnmpAgentExV6(const char* community, int broadcast, const char* address, int waitMs,
                                  const char* sysOidList, int reserved, SnmpAgentCallbackV6 callback,
                                  void* reserved2) = 0;
    virtual int IsValidIpAddrV6(const wchar_t* address) = 0;
    virtual int IpAddrV6Cmp(const wchar_t* first, const wchar_t* second) = 0;
    virtual int SNMPGetV4(const char* address, const char* community, int oidCount, const char* const* oids,
                          int waitMs, SnmpValueCallback callback) = 0;
    virtual int SNMPGetV6(const char* address, const char* community, int oidCount, const char* const* oids,
                          int waitMs, SnmpValueCallback callback) = 0;
    virtual int GetRAWPortNum(const char* address, const char* community, int* port) = 0;
};

// DeviceLibraries over a bound table.
class BoundLibraries final : public DeviceLibraries {
public:
    explicit BoundLibraries(const LibraryTable& table) : table_(table) {}

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

    bool HasNetworkLibrary() const override { return table_.HasNetworkLibrary(); }
    bool HasRawPortQuery() const override { return table_.GetRAWPortNum != nullptr; }
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
    const LibraryTable& table_;
};
