// The simulated printer fleet behind our stand-in libraries: every export of
// the three libraries as a call on the fleet. Portable, so that native tests
// drive it directly (it is a DeviceLibraries); the DLLs only forward to the
// one Fleet of their process. Nothing here touches a real device or network.
//
// Printer state lives in this object for the process and in the record
// folder between processes (recorder.h): a printer that has no connection
// open here reloads its counters before each call, so the three libraries,
// and later runs of the program, all see the same printer.
#pragma once

#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "device/library_table.h"
#include "sim/recorder.h"
#include "sim/scenario.h"
#include "sim/sim_printer.h"

// The 10-byte requests of the identity and name queries, and their replies.
inline constexpr unsigned char kIdentityRequest[10] = {0x1B, 0x4D, 0x53, 0x55, 0x01, 0x01, 0, 0, 0, 0};
inline constexpr unsigned char kNameRequest[10] = {0x1B, 0x4D, 0x53, 0x55, 0xE0, 0x0B, 0, 0, 0, 0};
inline constexpr int kIdentityReplyBytes = 428;
inline constexpr int kNameReplyBytes = 44;

std::string IdentityReply(const UsbPrinterSpec& description, const std::string& firmware);
std::string NameReply(const UsbPrinterSpec& description);

// Status codes travel in the device ID as the field "VST:<state>,<detail1>,<detail2>;"
// (decimal). DecodeStatusFromDeviceID reads it back.
std::string DeviceIdText(const UsbPrinterSpec& description, const SimStatus& status);
bool DecodeDeviceIdStatus(std::string_view deviceId, PrinterStatusBlock& status);

class Fleet final : public DeviceLibraries {
public:
    // Reads the scenario file of `folder`; records in its record folder.
    explicit Fleet(const std::filesystem::path& folder);
    Fleet(const std::filesystem::path& folder, std::string_view scenarioText);
    ~Fleet() override;

    const Scenario& scenario() const { return scenario_; }
    const std::filesystem::path& recordFolder() const { return recordFolder_; }

    // Exports that the program binds but DeviceLibraries does not name.
    int DUEnumPrinter(std::uint16_t vendorId, std::uint16_t productId, DUDeviceCallback callback);
    NetHandle NetworkConnect(const char* address, int port);
    int NetworkRead(NetHandle handle, void* buffer, int count);

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

    bool HasNetworkLibrary() const override { return true; }
    bool HasRawPortQuery() const override { return true; }
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
    struct Slot {
        Slot(std::string id, const PrinterBehaviour& behaviour, std::string firmware,
             const std::filesystem::path& folder, bool keepBytes)
            : printer(behaviour, std::move(firmware)), recorder(folder, std::move(id), keepBytes) {}
        SimPrinter printer;
        Recorder recorder;
        int openConnections = 0;
    };
    struct UsbSlot : Slot {
        UsbSlot(const UsbPrinterSpec& s, const std::filesystem::path& folder, bool keepBytes)
            : Slot(s.id, s.behaviour, s.firmware, folder, keepBytes), description(s) {}
        const UsbPrinterSpec& description;
        std::string pendingReply;  // answer to the last query request, until read
    };
    struct NetSlot : Slot {
        NetSlot(const NetPrinterSpec& s, const std::filesystem::path& folder, bool keepBytes)
            : Slot(s.id, s.behaviour, s.oidValues.count(kFirmwareOid) ? s.oidValues.at(kFirmwareOid) : "", folder,
                   keepBytes),
              description(s) {}
        const NetPrinterSpec& description;
    };

    void Start(const std::filesystem::path& folder);
    // Reloads a printer's counters unless this process has it open.
    void Refresh(Slot& slot);
    void Save(Slot& slot);

    // While the record folder holds "<id>.unplugged" the USB printer is not
    // attached: not listed, and not found by index or name.
    bool Unplugged(const UsbSlot& slot) const;
    UsbSlot* UsbByIndex(std::uint16_t index);
    UsbSlot* UsbByName(const wchar_t* printerName);
    UsbSlot* UsbByConnection(void* connection);
    NetSlot* NetByAddress(const char* address);
    NetSlot* NetByHandle(NetHandle handle);

    NetHandle Connect(const char* call, const char* address, int port, int timeout);
    int ReadNetStatus(const char* call, const char* address, const char* community, int mode,
                      PrinterStatusBlock* status);
    int SnmpGet(const char* call, const char* address, const char* community, int oidCount, const char* const* oids,
                SnmpValueCallback callback);
    int EnumUsb(const char* call, std::uint16_t vendorId, std::uint16_t productId, const char* modelList,
                DUDeviceCallback callback);
    // A write to the stream of a printer; the transcript line tells the result.
    SimPrinter::WriteOutcome StreamWrite(Slot& slot, const std::string& call, const void* bytes, int count);

    // Changes a package file when the printer's behaviour asks for it.
    void ChangeFileIfDue(Slot& slot);

    Scenario scenario_;
    std::filesystem::path scenarioFolder_;
    std::filesystem::path recordFolder_;
    std::unique_ptr<Recorder> fleetLog_;
    std::vector<std::unique_ptr<UsbSlot>> usb_;
    std::vector<std::unique_ptr<NetSlot>> net_;
    std::map<NetHandle, NetSlot*> connections_;
    NetHandle nextHandle_ = 100;
};
