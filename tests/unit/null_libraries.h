// A DeviceLibraries where every call fails as an unbound entry point would.
// Fakes derive from it and override only the calls their tests need.
#pragma once

#include "device/library_table.h"

class NullLibraries : public DeviceLibraries {
public:
    int DUOpenConnection(std::uint16_t) override { return -1; }
    int DUReadData(void*, int, int, std::uint16_t) override { return -1; }
    int DUWriteData(const void*, int, int, std::uint16_t) override { return -1; }
    int DUCloseConnection(std::uint16_t) override { return -1; }
    int DUEnumPrinterEx(std::uint16_t, std::uint16_t, const char*, DUDeviceCallback) override { return -1; }
    int DUGetDevicePath(char* pathBuffer, std::uint16_t) override {
        pathBuffer[0] = '\0';
        return -1;
    }
    int DUGetDeviceID(char*, std::uint16_t) override { return 0; }

    int DecodeStatusFromDeviceID(const char*, PrinterStatusBlock*) override { return 0; }
    void* USBConnectByPrinterName(const wchar_t*) override { return nullptr; }
    int USBWrite(void*, const void*, int) override { return -1; }
    int USBDisconnect(void*) override { return 0; }
    int USBReadStatus(const wchar_t*, PrinterStatusBlock*) override { return 0; }
    int USBGetSymbolicNameByPortEx(const wchar_t*, int, int, wchar_t*, int) override { return 0; }

    bool HasNetworkLibrary() const override { return false; }
    bool HasRawPortQuery() const override { return false; }
    NetHandle NetworkConnectNonBlock(const char*, int, int) override { return kNoNetHandle; }
    int NetworkWrite(NetHandle, const void*, int) override { return -1; }
    int NetworkClose(NetHandle) override { return 0; }
    int NetworkReadStatusV3(const char*, const char*, int, PrinterStatusBlock*) override { return 0; }
    int NetworkReadStatusV4(const char*, const char*, int, PrinterStatusBlock*) override { return 0; }
    int FindSnmpAgentEx(const char*, int, const char*, int, const char*, int, SnmpAgentCallbackV4, void*) override {
        return 0;
    }
    int FindSnmpAgentExV6(const char*, int, const char*, int, const char*, int, SnmpAgentCallbackV6, void*) override {
        return 0;
    }
    int IsValidIpAddrV6(const wchar_t*) override { return 0; }
    int IpAddrV6Cmp(const wchar_t*, const wchar_t*) override { return 1; }
    int SNMPGetV4(const char*, const char*, int, const char* const*, int, SnmpValueCallback) override { return 0; }
    int SNMPGetV6(const char*, const char*, int, const char* const*, int, SnmpValueCallback) override { return 0; }
    int GetRAWPortNum(const char*, const char*, int*) override { return 0; }
};
