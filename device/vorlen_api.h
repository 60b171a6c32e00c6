// Call contracts of the printer maker's three communication libraries:
// "vorlendu.dll" (device utility), "vorlenusb.dll" (USB) and "vorlennet.dll"
// (network). One function type per export, with the arguments in the order
// the tool passes them. Text is 8-bit unless the parameter is wchar_t.
//
// This header is shared by the program, which binds the exports by name, and
// by our stand-in libraries in sim/, which implement them. It needs no
// windows.h so that the portable core can use the types.
#pragma once

#include <cstdint>
#include <cstddef>

#include <type_traits>

// The calling convention of every export and callback of the three
// libraries, named here only: on 32-bit Windows the standard convention of
// Windows libraries (__stdcall, the callee removes the arguments), exported
// under the plain names without decoration; 64-bit Windows has one
// convention only.
#if defined(_WIN32) && (defined(_M_IX86) || defined(__i386__))
#define VORLEN_CALL __stdcall
#else
#define VORLEN_CALL
#endif

// The 116-byte status record the libraries fill. Only three bytes carry
// meaning for the tool; every caller still hands over the full record.
struct PrinterStatusBlock {
    static constexpr std::size_t kSize = 116;
    static constexpr std::size_t kStateCodeOffset = 9;
    static constexpr std::size_t kDetailCode1Offset = 74;
    static constexpr std::size_t kDetailCode2Offset = 75;

    unsigned char bytes[kSize] = {};

    unsigned char stateCode() const { return bytes[kStateCodeOffset]; }
    unsigned char detailCode1() const { return bytes[kDetailCode1Offset]; }
    unsigned char detailCode2() const { return bytes[kDetailCode2Offset]; }
};
// The record crosses into the libraries as raw memory: the same 116 bytes,
// without padding, in the 32-bit and the 64-bit build.
static_assert(sizeof(PrinterStatusBlock) == PrinterStatusBlock::kSize);
static_assert(alignof(PrinterStatusBlock) == 1);
static_assert(std::is_standard_layout_v<PrinterStatusBlock>);
static_assert(offsetof(PrinterStatusBlock, bytes) == 0);

// Buffer sizes the contracts fix.
inline constexpr int kDevicePathBytes = 260;      // DUGetDevicePath's buffer
inline constexpr int kDeviceIdBytes = 512;        // DUGetDeviceID's buffer
inline constexpr int kSymbolicNameChars = 260;    // USBGetSymbolicNameByPortEx's buffer

// Handles of the network library: -1 is "no connection". Pointer-sized, as
// handles are in either architecture.
using NetHandle = std::intptr_t;
inline constexpr NetHandle kNoNetHandle = -1;
static_assert(sizeof(NetHandle) == sizeof(void*));

// The other arguments that cross into the libraries: 32-bit counts, ports and
// results, 16-bit device indexes and 16-bit wide text, in either build.
static_assert(sizeof(int) == 4 && sizeof(std::uint16_t) == 2 && sizeof(std::uint32_t) == 4);
#if defined(_WIN32)
static_assert(sizeof(wchar_t) == 2);
#endif

extern "C" {

// --- device-utility library: 0 means success for every call that reports one.
// Called once per attached printer of a listed model; the result is ignored.
typedef int(VORLEN_CALL* DUDeviceCallback)(const char* deviceId, std::uint16_t deviceIndex);

typedef int(VORLEN_CALL* PFN_DUOpenConnection)(std::uint16_t deviceIndex);
typedef int(VORLEN_CALL* PFN_DUReadData)(void* buffer, int count, int timeoutMs, std::uint16_t deviceIndex);
typedef int(VORLEN_CALL* PFN_DUWriteData)(const void* bytes, int count, int flags, std::uint16_t deviceIndex);
typedef int(VORLEN_CALL* PFN_DUCloseConnection)(std::uint16_t deviceIndex);
// Bound for completeness; the tool never calls it.
typedef int(VORLEN_CALL* PFN_DUEnumPrinter)(std::uint16_t vendorId, std::uint16_t productId, DUDeviceCallback callback);
// modelList: NUL-separated names, ended by an empty name.
typedef int(VORLEN_CALL* PFN_DUEnumPrinterEx)(std::uint16_t vendorId, std::uint16_t productId, const char* modelList,
                                              DUDeviceCallback callback);
// pathBuffer holds kDevicePathBytes bytes.
typedef int(VORLEN_CALL* PFN_DUGetDevicePath)(char* pathBuffer, std::uint16_t deviceIndex);
// buffer holds kDeviceIdBytes bytes; nonzero when the device ID was read.
typedef int(VORLEN_CALL* PFN_DUGetDeviceID)(char* buffer, std::uint16_t deviceIndex);

// --- USB library: nonzero (or a handle) means success.
typedef int(VORLEN_CALL* PFN_DecodeStatusFromDeviceID)(const char* deviceId, PrinterStatusBlock* status);
typedef void*(VORLEN_CALL* PFN_USBConnectByPrinterName)(const wchar_t* printerName);
// Returns the number of bytes sent; any other value is a failure.
typedef int(VORLEN_CALL* PFN_USBWrite)(void* connection, const void* bytes, int count);
typedef int(VORLEN_CALL* PFN_USBDisconnect)(void* connection);
typedef int(VORLEN_CALL* PFN_USBReadStatus)(const wchar_t* printerName, PrinterStatusBlock* status);
typedef int(VORLEN_CALL* PFN_USBGetSymbolicNameByPortEx)(const wchar_t* portName, int reserved1, int reserved2,
                                                        wchar_t* nameBuffer, int nameChars);

// --- network library: nonzero (or a handle) means success.
// address: dotted IPv4 text; deviceName: the agent's name.
typedef int(VORLEN_CALL* SnmpAgentCallbackV4)(const char* address, const char* deviceName);
// address: 16 bytes in network order.
typedef int(VORLEN_CALL* SnmpAgentCallbackV6)(const unsigned char* address, std::uint32_t scopeId,
                                             const char* deviceName);
// The fourth and fifth arguments carry the value; the callback returns 1.
typedef int(VORLEN_CALL* SnmpValueCallback)(const char* address, const char* oid, int valueType,
                                           const unsigned char* value, int length);

typedef NetHandle(VORLEN_CALL* PFN_NetworkConnect)(const char* address, int port);
typedef NetHandle(VORLEN_CALL* PFN_NetworkConnectNonBlock)(const char* address, int port, int timeout);
typedef int(VORLEN_CALL* PFN_NetworkRead)(NetHandle handle, void* buffer, int count);
// Returns the number of bytes sent, negative on error.
typedef int(VORLEN_CALL* PFN_NetworkWrite)(NetHandle handle, const void* bytes, int count);
typedef int(VORLEN_CALL* PFN_NetworkClose)(NetHandle handle);
typedef int(VORLEN_CALL* PFN_NetworkReadStatusV3)(const char* address, const char* community, int mode,
                                                  PrinterStatusBlock* status);
typedef int(VORLEN_CALL* PFN_NetworkReadStatusV4)(const char* address, const char* community, int mode,
                                                  PrinterStatusBlock* status);
// sysOidList: NUL-separated identifiers, ended by an empty one.
typedef int(VORLEN_CALL* PFN_FindSnmpAgentEx)(const char* community, int broadcast, const char* address, int waitMs,
                                             const char* sysOidList, int reserved, SnmpAgentCallbackV4 callback,
                                             void* reserved2);
typedef int(VORLEN_CALL* PFN_FindSnmpAgentExV6)(const char* community, int broadcast, const char* address, int waitMs,
                                               const char* sysOidList, int reserved, SnmpAgentCallbackV6 callback,
                                               void* reserved2);
typedef int(VORLEN_CALL* PFN_IsValidIpAddrV6)(const wchar_t* address);
// 0 when both texts name the same address.
typedef int(VORLEN_CALL* PFN_IpAddrV6Cmp)(const wchar_t* first, const wchar_t* second);
typedef int(VORLEN_CALL* PFN_SNMPGetV4)(const char* address, const char* community, int oidCount, const char* const* oids,
                                       int waitMs, SnmpValueCallback callback);
typedef int(VORLEN_CALL* PFN_SNMPGetV6)(const char* address, const char* community, int oidCount, const char* const* oids,
                                       int waitMs, SnmpValueCallback callback);
typedef int(VORLEN_CALL* PFN_GetRAWPortNum)(const char* address, const char* community, int* port);

}  // extern "C"
