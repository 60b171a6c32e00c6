#include "device/logged_libraries.h"

#include <cstdio>
#include <string>

#include "base/text.h"

namespace {

// Writes up to this many bytes in hexadecimal: markers and sub-commands
// whole, the start of anything longer.
constexpr int kShownBytes = 16;

// One call's line: "Name(arg, arg) -> result ...".
class CallLine {
public:
    explicit CallLine(const char* name) : text_(name) { text_ += '('; }

    CallLine& Number(const char* name, long long value) { return Arg(name, std::to_string(value)); }
    CallLine& Text(const char* name, const char* value) {
        return Arg(name, value ? "\"" + std::string(value) + "\"" : std::string("null"));
    }
    CallLine& Text(const char* name, const wchar_t* value) {
        return Arg(name, value ? "\"" + ToUtf8(value) + "\"" : std::string("null"));
    }
    CallLine& Secret(const char* name) { return Arg(name, "***"); }
    CallLine& Bytes(const void* bytes, int count) {
        Number("count", count);
        if (bytes && count > 0) Arg("bytes", Hex(bytes, count));
        return *this;
    }
    CallLine& Status(int result, const PrinterStatusBlock* status) {
        if (result && status) {
            char codes[64];
            std::snprintf(codes, sizeof codes, " state %u detail %u %u", status->stateCode(), status->detailCode1(),
                          status->detailCode2());
            after_ += codes;
        }
        return *this;
    }
    CallLine& After(const std::string& text) {
        after_ += " " + text;
        return *this;
    }
    void Write(RunLog& log, long long result) {
        log.Line(text_ + ") -> " + std::to_string(result) + after_);
    }

    static std::string Hex(const void* bytes, int count) {
        const auto* data = static_cast<const unsigned char*>(bytes);
        std::string hex;
        const int shown = count < kShownBytes ? count : kShownBytes;
        for (int i = 0; i < shown; ++i) {
            char pair[3];
            std::snprintf(pair, sizeof pair, "%02x", data[i]);
            hex += pair;
        }
        return count > shown ? hex + "..." : hex;
    }

private:
    CallLine& Arg(const char* name, const std::string& value) {
        if (!first_) text_ += ", ";
        first_ = false;
        text_ += name;
        text_ += '=';
        text_ += value;
        return *this;
    }

    std::string text_;
    std::string after_;
    bool first_ = true;
};

std::string Pointer(const void* value) {
    char text[32];
    std::snprintf(text, sizeof text, "%p", value);
    return text;
}

}  // namespace

int LoggedLibraries::DUOpenConnection(std::uint16_t deviceIndex) {
    const int result = inner_.DUOpenConnection(deviceIndex);
    CallLine("DUOpenConnection").Number("device", deviceIndex).Write(log_, result);
    return result;
}
int LoggedLibraries::DUReadData(void* buffer, int count, int timeoutMs, std::uint16_t deviceIndex) {
    const int result = inner_.DUReadData(buffer, count, timeoutMs, deviceIndex);
    CallLine line("DUReadData");
    line.Number("count", count).Number("timeoutMs", timeoutMs).Number("device", deviceIndex);
    if (result == 0 && buffer && count > 0) line.After("read " + CallLine::Hex(buffer, count));
    line.Write(log_, result);
    return result;
}
int LoggedLibraries::DUWriteData(const void* bytes, int count, int flags, std::uint16_t deviceIndex) {
    const int result = inner_.DUWriteData(bytes, count, flags, deviceIndex);
    CallLine("DUWriteData").Bytes(bytes, count).Number("flags", flags).Number("device", deviceIndex)
        .Write(log_, result);
    return result;
}
int LoggedLibraries::DUCloseConnection(std::uint16_t deviceIndex) {
    const int result = inner_.DUCloseConnection(deviceIndex);
    CallLine("DUCloseConnection").Number("device", deviceIndex).Write(log_, result);
    return result;
}
int LoggedLibraries::DUEnumPrinterEx(std::uint16_t vendorId, std::uint16_t productId, const char* modelList,
                                     DUDeviceCallback callback) {
    const int result = inner_.DUEnumPrinterEx(vendorId, productId, modelList, callback);
    CallLine("DUEnumPrinterEx").Number("vid", vendorId).Number("pid", productId).Text("models", modelList)
        .Write(log_, result);
    return result;
}
int LoggedLibraries::DUGetDevicePath(char* pathBuffer, std::uint16_t deviceIndex) {
    const int result = inner_.DUGetDevicePath(pathBuffer, deviceIndex);
    CallLine("DUGetDevicePath").Number("device", deviceIndex).After("path=\"" + std::string(pathBuffer) + "\"")
        .Write(log_, result);
    return result;
}
int LoggedLibraries::DUGetDeviceID(char* buffer, std::uint16_t deviceIndex) {
    const int result = inner_.DUGetDeviceID(buffer, deviceIndex);
    CallLine line("DUGetDeviceID");
    line.Number("device", deviceIndex);
    if (result) line.After("id=\"" + std::string(buffer) + "\"");
    line.Write(log_, result);
    return result;
}

int LoggedLibraries::DecodeStatusFromDeviceID(const char* deviceId, PrinterStatusBlock* status) {
    const int result = inner_.DecodeStatusFromDeviceID(deviceId, status);
    CallLine("DecodeStatusFromDeviceID").Text("id", deviceId).Status(result, status).Write(log_, result);
    return result;
}
void* LoggedLibraries::USBConnectByPrinterName(const wchar_t* printerName) {
    void* result = inner_.USBConnectByPrinterName(printerName);
    CallLine("USBConnectByPrinterName").Text("printer", printerName).After("handle " + Pointer(result))
        .Write(log_, result != nullptr);
    return result;
}
int LoggedLibraries::USBWrite(void* connection, const void* bytes, int count) {
    const int result = inner_.USBWrite(connection, bytes, count);
    CallLine("USBWrite").Bytes(bytes, count).Write(log_, result);
    return result;
}
int LoggedLibraries::USBDisconnect(void* connection) {
    const int result = inner_.USBDisconnect(connection);
    CallLine("USBDisconnect").Write(log_, result);
    return result;
}
int LoggedLibraries::USBReadStatus(const wchar_t* printerName, PrinterStatusBlock* status) {
    const int result = inner_.USBReadStatus(printerName, status);
    CallLine("USBReadStatus").Text("printer", printerName).Status(result, status).Write(log_, result);
    return result;
}
int LoggedLibraries::USBGetSymbolicNameByPortEx(const wchar_t* portName, int reserved1, int reserved2,
                                                wchar_t* nameBuffer, int nameChars) {
    const int result = inner_.USBGetSymbolicNameByPortEx(portName, reserved1, reserved2, nameBuffer, nameChars);
    CallLine("USBGetSymbolicNameByPortEx").Text("port", portName).Number("chars", nameChars).Write(log_, result);
    return result;
}

NetHandle LoggedLibraries::NetworkConnectNonBlock(const char* address, int port, int timeout) {
    const NetHandle result = inner_.NetworkConnectNonBlock(address, port, timeout);
    CallLine("NetworkConnectNonBlock").Text("address", address).Number("port", port).Number("timeout", timeout)
        .Write(log_, static_cast<long long>(result));
    return result;
}
int LoggedLibraries::NetworkWrite(NetHandle handle, const void* bytes, int count) {
    const int result = inner_.NetworkWrite(handle, bytes, count);
    CallLine("NetworkWrite").Number("handle", static_cast<long long>(handle)).Bytes(bytes, count)
        .Write(log_, result);
    return result;
}
int LoggedLibraries::NetworkClose(NetHandle handle) {
    const int result = inner_.NetworkClose(handle);
    CallLine("NetworkClose").Number("handle", static_cast<long long>(handle)).Write(log_, result);
    return result;
}
int LoggedLibraries::NetworkReadStatusV3(const char* address, const char* community, int mode,
                                         PrinterStatusBlock* status) {
    const int result = inner_.NetworkReadStatusV3(address, community, mode, status);
    CallLine("NetworkReadStatusV3").Text("address", address).Secret("community").Number("mode", mode)
        .Status(result, status).Write(log_, result);
    return result;
}
int LoggedLibraries::NetworkReadStatusV4(const char* address, const char* community, int mode,
                                         PrinterStatusBlock* status) {
    const int result = inner_.NetworkReadStatusV4(address, community, mode, status);
    CallLine("NetworkReadStatusV4").Text("address", address).Secret("community").Number("mode", mode)
        .Status(result, status).Write(log_, result);
    return result;
}
int LoggedLibraries::FindSnmpAgentEx(const char* community, int broadcast, const char* address, int waitMs,
                                     const char* sysOidList, int reserved, SnmpAgentCallbackV4 callback,
                                     void* reserved2) {
    const int result =
        inner_.FindSnmpAgentEx(community, broadcast, address, waitMs, sysOidList, reserved, callback, reserved2);
    CallLine("FindSnmpAgentEx").Secret("community").Number("broadcast", broadcast).Text("address", address)
        .Number("waitMs", waitMs).Text("sysOids", sysOidList).Write(log_, result);
    return result;
}
int LoggedLibraries::FindSnmpAgentExV6(const char* community, int broadcast, const char* address, int waitMs,
                                       const char* sysOidList, int reserved, SnmpAgentCallbackV6 callback,
                                       void* reserved2) {
    const int result =
        inner_.FindSnmpAgentExV6(community, broadcast, address, waitMs, sysOidList, reserved, callback, reserved2);
    CallLine("FindSnmpAgentExV6").Secret("community").Number("broadcast", broadcast).Text("address", address)
        .Number("waitMs", waitMs).Text("sysOids", sysOidList).Write(log_, result);
    return result;
}
int LoggedLibraries::IsValidIpAddrV6(const wchar_t* address) {
    const int result = inner_.IsValidIpAddrV6(address);
    CallLine("IsValidIpAddrV6").Text("address", address).Write(log_, result);
    return result;
}
int LoggedLibraries::IpAddrV6Cmp(const wchar_t* first, const wchar_t* second) {
    const int result = inner_.IpAddrV6Cmp(first, second);
    CallLine("IpAddrV6Cmp").Text("first", first).Text("second", second).Write(log_, result);
    return result;
}
int LoggedLibraries::SNMPGetV4(const char* address, const char* community, int oidCount, const char* const* oids,
                               int waitMs, SnmpValueCallback callback) {
    const int result = inner_.SNMPGetV4(address, community, oidCount, oids, waitMs, callback);
    CallLine line("SNMPGetV4");
    line.Text("address", address).Secret("community").Number("oids", oidCount);
    for (int i = 0; oids && i < oidCount; ++i) line.Text("oid", oids[i]);
    line.Number("waitMs", waitMs).Write(log_, result);
    return result;
}
int LoggedLibraries::SNMPGetV6(const char* address, const char* community, int oidCount, const char* const* oids,
                               int waitMs, SnmpValueCallback callback) {
    const int result = inner_.SNMPGetV6(address, community, oidCount, oids, waitMs, callback);
    CallLine line("SNMPGetV6");
    line.Text("address", address).Secret("community").Number("oids", oidCount);
    for (int i = 0; oids && i < oidCount; ++i) line.Text("oid", oids[i]);
    line.Number("waitMs", waitMs).Write(log_, result);
    return result;
}
int LoggedLibraries::GetRAWPortNum(const char* address, const char* community, int* port) {
    const int result = inner_.GetRAWPortNum(address, community, port);
    CallLine line("GetRAWPortNum");
    line.Text("address", address).Secret("community");
    if (result && port) line.After("port " + std::to_string(*port));
    line.Write(log_, result);
    return result;
}
